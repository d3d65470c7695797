// The search step on a raw text view: where it starts, what counts as an occurrence, what it
// selects; and the miss message's format.

#include "app/search/TextSearch.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace {

// One Find Next as the main window runs it: a hit is selected, a miss changes nothing.
int FindNextStep(QPlainTextEdit &view, const QString &pattern, TSearchOptions options)
{
    const int match = FindNext(view, pattern, options);
    if (match >= 0)
        SelectMatch(view, match, int(pattern.size()));
    return match;
}

} // namespace

class TestTextSearch : public QObject {
    Q_OBJECT

private slots:
    void successiveSteps_data();
    void successiveSteps();
    void hitIsScrolledIntoView_data();
    void hitIsScrolledIntoView();
};

void TestTextSearch::successiveSteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<int>("anchor"); // the selection before the first step:
    QTest::addColumn<int>("position"); // anchor == position is a bare caret
    QTest::addColumn<QList<int>>("matches"); // of the successive steps; -1 a miss

    const QString ports = u"# Ports\nRemoteServicePort = 3050\n#RemoteAuxPort = 0\n"_s;
    QTest::newRow("two occurrences, then a miss keeps the second")
        << u"alpha beta alpha"_s << u"alpha"_s << false << false << 0 << 0 << QList<int>{0, 11, -1, -1};
    QTest::newRow("caret after the first occurrence starts at 0")
        << u"alpha beta alpha"_s << u"alpha"_s << false << false << 8 << 8 << QList<int>{0, 11};
    QTest::newRow("backward selection continues after its end")
        << u"Port Port Port"_s << u"Port"_s << false << false << 9 << 5 << QList<int>{10, -1};
    QTest::newRow("selection reaching the end misses")
        << u"Port Port"_s << u"Port"_s << false << false << 5 << 9 << QList<int>{-1};
    QTest::newRow("overlapping occurrences are not found twice")
        << u"aaa"_s << u"aa"_s << false << false << 0 << 0 << QList<int>{0, -1};
    QTest::newRow("match case off: capitals find lower case")
        << ports << u"REMOTESERVICEPORT"_s << false << false << 0 << 0 << QList<int>{8, -1};
    QTest::newRow("match case off: umlauts alike")
        << u"Größe GRÖSSE größe"_s << u"GRÖ"_s << false << false << 0 << 0 << QList<int>{0, 6, 13, -1};
    QTest::newRow("match case on: capitals miss lower case")
        << ports << u"REMOTESERVICEPORT"_s << true << false << 0 << 0 << QList<int>{-1};
    QTest::newRow("match case on: exact case found")
        << ports << u"RemoteAuxPort"_s << true << false << 0 << 0 << QList<int>{34, -1};
    QTest::newRow("whole word off: inside longer words")
        << ports << u"Port"_s << false << false << 0 << 0 << QList<int>{2, 21, 43, -1};
    QTest::newRow("whole word on: not inside RemoteServicePort")
        << ports << u"Port"_s << false << true << 0 << 0 << QList<int>{-1};
    QTest::newRow("whole word on: standalone after a rejected hit on the same line")
        << u"RemoteServicePort Port"_s << u"Port"_s << false << true << 0 << 0 << QList<int>{18, -1};
    QTest::newRow("whole word on: next word starts inside the rejected hit")
        << u"xa-a-a"_s << u"a-a"_s << false << true << 0 << 0 << QList<int>{3, -1};
    QTest::newRow("whole word on: underscore and digits join words")
        << u"Port_x x_Port Port2 2Port (Port)"_s << u"Port"_s << false << true << 0 << 0 << QList<int>{27, -1};
    QTest::newRow("whole word on: punctuation and line breaks separate words")
        << u"Port=1\n#Port\n-Port-"_s << u"port"_s << false << true << 0 << 0 << QList<int>{0, 8, 14, -1};
    QTest::newRow("whole word on: a letter outside the basic plane joins a word")
        << u"\U0001D400x x"_s << u"x"_s << false << true << 0 << 0 << QList<int>{4, -1};
    QTest::newRow("each line break is one position, CR LF too")
        << u"one\r\ntwo\rthree\nPort"_s << u"Port"_s << false << false << 0 << 0 << QList<int>{14, -1};
    QTest::newRow("occurrence at the very end of the last line")
        << u"first\nsecond\nlast"_s << u"last"_s << false << true << 0 << 0 << QList<int>{13, -1};
    QTest::newRow("a no-break space is not a space")
        << u"a\u00A0b a b"_s << u"a b"_s << false << false << 0 << 0 << QList<int>{4, -1};
    QTest::newRow("empty view misses") << QString() << u"Port"_s << false << false << 0 << 0 << QList<int>{-1};
    QTest::newRow("empty search text misses") << u"Port"_s << QString() << false << false << 0 << 0 << QList<int>{-1};
}

void TestTextSearch::successiveSteps()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(QList<int>, matches);

    QPlainTextEdit view;
    view.setPlainText(text);
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);

    for (qsizetype step = 0; step < matches.size(); ++step) {
        const QTextCursor before = view.textCursor();
        QCOMPARE(FindNextStep(view, pattern, {matchCase, wholeWord}), matches[step]);
        const QTextCursor after = view.textCursor();
        if (matches[step] < 0) {
            QCOMPARE(after.anchor(), before.anchor());
            QCOMPARE(after.position(), before.position());
            continue;
        }
        QCOMPARE(after.anchor(), matches[step]);
        QCOMPARE(after.position(), matches[step] + pattern.size());
        // The positions line up with the view's own: the selection holds the occurrence.
        QVERIFY2(after.selectedText().compare(pattern, Qt::CaseInsensitive) == 0, qPrintable(after.selectedText()));
    }
}

void TestTextSearch::hitIsScrolledIntoView_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");

    QStringList lines(300, u"#RemoteServicePort = 3050"_s);
    lines << u"DefaultDbCachePages = 2048"_s;
    QTest::newRow("last of many lines") << lines.join(u'\n') << u"2048"_s;
    QTest::newRow("end of a long line") << QString(u"x"_s.repeated(3000) + u" Port"_s) << u"Port"_s;
}

void TestTextSearch::hitIsScrolledIntoView()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);

    QPlainTextEdit view;
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.setPlainText(text);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const int match = FindNextStep(view, pattern, {});
    QCOMPARE(match, int(text.size() - pattern.size()));
    QVERIFY(view.verticalScrollBar()->value() > 0 || view.horizontalScrollBar()->value() > 0);
    QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
}

QTEST_MAIN(TestTextSearch)
#include "tst_TextSearch.moc"
