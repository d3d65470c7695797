// A raw text editor kept showing its document's lines: filled in pieces, only when looked at, and
// only when the document changed or typed text is to be dropped.

#include "app/RawTextBinding.h"
#include "text/LineDocument.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>

using namespace Qt::StringLiterals;

namespace {

// An editor on the second tab of a shown window, so that it is hidden until that tab is chosen.
struct TBindingFixture {
    TBindingFixture()
    {
        Tabs.addTab(new QWidget, u"List"_s);
        Tabs.addTab(Editor, u"Text"_s);
        Binding = new TRawTextBinding(*Editor, Document);
        Tabs.show();
    }
    void ShowEditor() { Tabs.setCurrentIndex(1); }
    void HideEditor() { Tabs.setCurrentIndex(0); }
    // Each line of the editor as a block of its own, joined.
    QString EditorText() const { return Editor->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'); }
    TLineDocument Document;
    QTabWidget Tabs;
    QPlainTextEdit *Editor = new QPlainTextEdit;
    TRawTextBinding *Binding = nullptr;
};

QStringList ManyLines(int count, qsizetype longLine)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << (i % 7 == 3 ? QString() : u"Line%1 = value %1"_s.arg(i));
    lines.insert(count / 2, QString(longLine, u'x'));
    return lines;
}

} // namespace

class TestRawTextBinding : public QObject {
    Q_OBJECT

private slots:
    void fillsExactlyTheLines_data();
    void fillsExactlyTheLines();
    void filledOnlyWhenShownAndChanged();
    void refillDropsTypedText();
    void takenOverTextStaysUntilRefill();
};

void TestRawTextBinding::fillsExactlyTheLines_data()
{
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("no lines") << QStringList();
    QTest::newRow("one empty line") << QStringList{QString()};
    QTest::newRow("empty first and last lines") << QStringList{QString(), u"a"_s, QString()};
    // Many pieces, and a line longer than a piece.
    QTest::newRow("many pieces") << ManyLines(60'000, 300'000);
    QTest::newRow("characters the editor takes for breaks")
        << QStringList{u"a\u2028b"_s, u"c\u2029d"_s, u"\u00A0e\uFDD0"_s};
}

void TestRawTextBinding::fillsExactlyTheLines()
{
    QFETCH(QStringList, lines);

    TBindingFixture fixture;
    fixture.Document.AddStrings(lines);
    fixture.Binding->Refill();
    fixture.ShowEditor();

    // As the whole text in one piece would show.
    QPlainTextEdit whole;
    whole.setPlainText(lines.join(u'\n'));
    QCOMPARE(fixture.Editor->document()->blockCount(), whole.document()->blockCount());
    QCOMPARE(fixture.Editor->document()->toRawText(), whole.document()->toRawText());
    if (lines.size() > 1000)
        QCOMPARE(fixture.Editor->document()->blockCount(), lines.size());
    QVERIFY(!fixture.Editor->document()->isModified());
    QVERIFY(!fixture.Editor->document()->isUndoAvailable());
    QCOMPARE(fixture.Editor->textCursor().position(), 0);
}

void TestRawTextBinding::filledOnlyWhenShownAndChanged()
{
    TBindingFixture fixture;
    fixture.Document.AddStrings({u"a=1"_s, u"b=2"_s});
    fixture.Binding->Refill();
    QVERIFY(fixture.Editor->document()->isEmpty());

    fixture.ShowEditor();
    QCOMPARE(fixture.EditorText(), u"a=1\nb=2"_s);
    const int filled = fixture.Editor->document()->revision();

    // Unchanged: no new fill, but the caret goes back to the start as after one.
    fixture.Editor->moveCursor(QTextCursor::End);
    fixture.HideEditor();
    fixture.Binding->Refill();
    fixture.ShowEditor();
    QCOMPARE(fixture.Editor->document()->revision(), filled);
    QCOMPARE(fixture.Editor->textCursor().position(), 0);

    // Changed while hidden: filled when shown, not before.
    fixture.HideEditor();
    fixture.Document.Put(1, u"b=3"_s);
    fixture.Binding->Refill();
    QCOMPARE(fixture.EditorText(), u"a=1\nb=2"_s);
    fixture.ShowEditor();
    QCOMPARE(fixture.EditorText(), u"a=1\nb=3"_s);

    // Visible: filled at once. A search settles a pending fill of a hidden editor.
    fixture.Document.Add(u"c=4"_s);
    fixture.Binding->Refill();
    QCOMPARE(fixture.EditorText(), u"a=1\nb=3\nc=4"_s);
    fixture.HideEditor();
    fixture.Document.Delete(0);
    fixture.Binding->Refill();
    fixture.Binding->ApplyPendingRefill();
    QCOMPARE(fixture.EditorText(), u"b=3\nc=4"_s);
}

// Text typed and not taken over goes at a refill, also when the document did not change.
void TestRawTextBinding::refillDropsTypedText()
{
    TBindingFixture fixture;
    fixture.Document.AddStrings({u"a=1"_s});
    fixture.Binding->Refill();
    fixture.ShowEditor();
    fixture.Editor->moveCursor(QTextCursor::End);
    fixture.Editor->insertPlainText(u"\ntyped"_s);
    QVERIFY(fixture.Binding->HasTypedText());
    fixture.HideEditor();
    QVERIFY(fixture.Binding->HasTypedText());

    fixture.Binding->Refill();
    QVERIFY(!fixture.Binding->HasTypedText());
    fixture.ShowEditor();
    QCOMPARE(fixture.EditorText(), u"a=1"_s);
    QVERIFY(!fixture.Editor->document()->isModified());
}

// Taken-over text stays in the editor as typed, even where the document holds it otherwise,
// until the next refill shows the document's lines.
void TestRawTextBinding::takenOverTextStaysUntilRefill()
{
    TBindingFixture fixture;
    fixture.Binding->Refill();
    fixture.ShowEditor();
    fixture.Editor->insertPlainText(u"a = 1"_s);
    fixture.HideEditor();
    fixture.Document.AddStrings({u"a=1"_s});
    fixture.Binding->TakenOver();
    QVERIFY(!fixture.Binding->HasTypedText());

    fixture.ShowEditor();
    QCOMPARE(fixture.EditorText(), u"a = 1"_s);
    fixture.HideEditor();
    fixture.Binding->Refill();
    fixture.ShowEditor();
    QCOMPARE(fixture.EditorText(), u"a=1"_s);
}

QTEST_MAIN(TestRawTextBinding)
#include "tst_RawTextBinding.moc"
