// The find dialog on the real main window: where it opens, what it keeps, and Find Next on the
// raw text views.

#include "WindowFixture.h"
#include "app/search/FindDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ConfigFile = "# Ports: RemoteServicePort, RemoteAuxPort\n"
                              "RemoteServicePort = 3051\n"
                              "AuthServer = Srp\n";

const QByteArray AliasFile = "# Aliases\n"
                             "hv = /data/hv.db\n"
                             "hvarchiv = /data/archiv/hv.db\n";

QByteArray SettingsWith(const QStringList &lines)
{
    return QByteArray("\xEF\xBB\xBF") + CrLfLines(QStringList(u"[GERMAN]"_s) + lines);
}

// The main window on a server folder holding both files (or with no server found), and the
// find dialog it keeps from the first Search on.
class TSearchFixture : public TWindowFixture {
public:
    explicit TSearchFixture(const QStringList &settings = {}, bool serverFound = true)
    {
        WriteSettings(SettingsWith(settings));
        WriteServerFile(u"firebird.conf"_s, ConfigFile);
        WriteServerFile(u"databases.conf"_s, AliasFile);
        Open(serverFound ? std::optional(ServerFolder()) : std::nullopt);
        if (!QTest::qWaitForWindowExposed(&Window()))
            qFatal("the main window is not shown");
    }

    void PressSearchBtn()
    {
        Control<QToolButton>("SearchBtn")->click();
        if (!Dialog)
            Dialog = Control<TFindDialog>("FindDialog");
    }

    template <class T>
    T *DialogControl(const char *name) const
    {
        return Dialog->findChild<T *>(QLatin1String(name));
    }

    void Search(const QString &text)
    {
        DialogControl<QLineEdit>("edtFindText")->setText(text);
        DialogControl<QPushButton>("FindNextBtn")->click();
    }

    TFindDialog *Dialog = nullptr;
};

} // namespace

class TestFindDialog : public QObject {
    Q_OBJECT

private slots:
    void opensAtMainPagesCorner();
    void reopeningKeepsSettings();
    void openDialogFollowsWindowAndComesToFront();
    void findNextNeedsSearchText();
    void walksOccurrencesOnRawTab_data();
    void walksOccurrencesOnRawTab();
    void searchesTextAsShown();
    void searchesPageShownAfterLoad();
    void missMessage_data();
    void missMessage();
};

void TestFindDialog::opensAtMainPagesCorner()
{
    TSearchFixture fixture;
    // The window makes its find dialog at the first Search, not at its start.
    QVERIFY(!fixture.Control<TFindDialog>("FindDialog"));

    fixture.PressSearchBtn();
    QVERIFY(fixture.Dialog);
    QVERIFY(fixture.Dialog->isVisible());
    QVERIFY(!fixture.Dialog->isModal());
    QCOMPARE(fixture.Dialog->parentWidget(), &fixture.Window());
    QCOMPARE(fixture.Dialog->pos(), fixture.Control<QTabWidget>("pcMain")->mapToGlobal(QPoint(100, 50)));

    QCOMPARE(fixture.Dialog->windowTitle(), u"Suchen"_s);
    QStringList captions;
    for (const QLabel *label : fixture.Dialog->findChildren<QLabel *>())
        captions << label->text();
    for (const QAbstractButton *button : fixture.Dialog->findChildren<QAbstractButton *>()) {
        captions << button->text();
        QVERIFY2(button->isEnabled() || button->objectName() == u"FindNextBtn"_s, qPrintable(button->text()));
    }
    for (const QGroupBox *group : fixture.Dialog->findChildren<QGroupBox *>())
        captions << group->title();
    captions.sort();
    QCOMPARE(captions,
             QStringList({u"Abwärts"_s, u"Aufwärts"_s, u"Groß-/Kleinschreibung beachten"_s, u"Nur ganzes Wort"_s,
                          u"Richtung"_s, u"Schließen"_s, u"Suchen nach:"_s, u"Weitersuchen"_s}));
    QVERIFY(fixture.DialogControl<QRadioButton>("rbDown")->isChecked());
    QVERIFY(!fixture.DialogControl<QCheckBox>("chkMatchCase")->isChecked());
    QVERIFY(!fixture.DialogControl<QCheckBox>("chkWholeWord")->isChecked());
    QCOMPARE(fixture.DialogControl<QLineEdit>("edtFindText")->maxLength(), 255);
}

void TestFindDialog::reopeningKeepsSettings()
{
    TSearchFixture fixture;
    fixture.PressSearchBtn();
    QTest::keyClicks(fixture.DialogControl<QLineEdit>("edtFindText"), u"Port%"_s);
    fixture.DialogControl<QCheckBox>("chkMatchCase")->setChecked(true);
    fixture.DialogControl<QCheckBox>("chkWholeWord")->setChecked(true);
    fixture.DialogControl<QRadioButton>("rbUp")->setChecked(true);
    const QPoint place = fixture.Dialog->pos();

    // Each way of closing only hides the dialog.
    const std::function<void()> closings[] = {
        [&] { QTest::keyClick(fixture.Dialog, Qt::Key_Escape); },
        [&] { fixture.Dialog->close(); },
        [&] { fixture.DialogControl<QPushButton>("FindCloseBtn")->click(); },
    };
    for (const auto &closeDialog : closings) {
        closeDialog();
        QVERIFY(!fixture.Dialog->isVisible());
        fixture.PressSearchBtn();
        QVERIFY(fixture.Dialog->isVisible());
        QCOMPARE(fixture.Control<TFindDialog>("FindDialog"), fixture.Dialog);
        QCOMPARE(fixture.Dialog->pos(), place);
        QCOMPARE(fixture.Dialog->FindText(), u"Port%"_s);
        QVERIFY(fixture.DialogControl<QCheckBox>("chkMatchCase")->isChecked());
        QVERIFY(fixture.DialogControl<QCheckBox>("chkWholeWord")->isChecked());
        QVERIFY(fixture.DialogControl<QRadioButton>("rbUp")->isChecked());
        QVERIFY(fixture.DialogControl<QPushButton>("FindNextBtn")->isEnabled());
    }
}

void TestFindDialog::openDialogFollowsWindowAndComesToFront()
{
    TSearchFixture fixture;
    TParvexDlg &window = fixture.Window();
    fixture.PressSearchBtn();
    QTRY_COMPARE(QApplication::activeWindow(), fixture.Dialog);
    fixture.DialogControl<QLineEdit>("edtFindText")->setText(u"Port"_s);

    window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    window.move(window.pos() + QPoint(30, 20));
    const QPoint corner = fixture.Control<QTabWidget>("pcMain")->mapToGlobal(QPoint(100, 50));
    fixture.PressSearchBtn();
    QCOMPARE(fixture.Dialog->pos(), corner);
    QTRY_COMPARE(QApplication::activeWindow(), fixture.Dialog);
    QCOMPARE(fixture.Dialog->FindText(), u"Port"_s);

    // Where the user put the open dialog is kept while the window's corner stays where it was.
    const QPoint userPlace = corner + QPoint(200, 100);
    fixture.Dialog->move(userPlace);
    fixture.PressSearchBtn();
    QCOMPARE(fixture.Dialog->pos(), userPlace);
}

void TestFindDialog::findNextNeedsSearchText()
{
    TSearchFixture fixture;
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.PressSearchBtn();
    auto *text = fixture.DialogControl<QLineEdit>("edtFindText");
    auto *findNext = fixture.DialogControl<QPushButton>("FindNextBtn");
    auto *view = fixture.Control<QPlainTextEdit>("edtConfigFile");

    QVERIFY(!findNext->isEnabled());
    QTest::keyClick(text, Qt::Key_Return);
    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QVERIFY(!view->textCursor().hasSelection());

    QTest::keyClicks(text, u"A"_s);
    QVERIFY(findNext->isEnabled());
    QTest::keyClick(text, Qt::Key_Backspace);
    QVERIFY(!findNext->isEnabled());

    // Enter is Find Next.
    QTest::keyClicks(text, u"AuthServer"_s);
    QTest::keyClick(text, Qt::Key_Return);
    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QCOMPARE(view->textCursor().selectedText(), u"AuthServer"_s);
    QVERIFY(fixture.Dialog->isVisible());
}

void TestFindDialog::walksOccurrencesOnRawTab_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("upward");
    QTest::addColumn<QString>("innerTabs");
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<QString>("otherViewName");

    QTest::newRow("alias page") << TParvexDlg::AliasPage << u"hv.db"_s << false << u"pcAlias"_s << u"edtAliasFile"_s
                                << u"edtConfigFile"_s;
    // The dialog was opened on the alias page; the page shown at Find Next decides. The
    // direction is never consulted.
    QTest::newRow("server page, upward") << TParvexDlg::ConfigPage << u"RemoteServicePort"_s << true << u"pcConfig"_s
                                         << u"edtConfigFile"_s << u"edtAliasFile"_s;
}

void TestFindDialog::walksOccurrencesOnRawTab()
{
    QFETCH(int, page);
    QFETCH(QString, pattern);
    QFETCH(bool, upward);
    QFETCH(QString, innerTabs);
    QFETCH(QString, viewName);
    QFETCH(QString, otherViewName);

    TSearchFixture fixture({u"TextNotFound=„%s“ wurde nicht gefunden."_s});
    TParvexDlg &window = fixture.Window();
    fixture.PressSearchBtn();
    QTRY_COMPARE(QApplication::activeWindow(), fixture.Dialog);
    fixture.DialogControl<QRadioButton>(upward ? "rbUp" : "rbDown")->setChecked(true);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(page);
    auto *tabs = window.findChild<QTabWidget *>(innerTabs);
    auto *view = window.findChild<QPlainTextEdit *>(viewName);
    auto *otherView = window.findChild<QPlainTextEdit *>(otherViewName);
    QCOMPARE(tabs->currentIndex(), TParvexDlg::ListTab);

    // What the view shows once looked at: the document's lines.
    const QString shown =
        (page == TParvexDlg::AliasPage ? window.AliasList() : window.ConfigItems()).Lines().join(u'\n');
    const qsizetype first = shown.indexOf(pattern);
    const qsizetype second = shown.indexOf(pattern, first + 1);
    QVERIFY(first >= 0 && second > first && shown.indexOf(pattern, second + 1) < 0);

    fixture.Search(pattern);
    QCOMPARE(tabs->currentIndex(), TParvexDlg::FileTab);
    QCOMPARE(view->textCursor().anchor(), first);
    QCOMPARE(view->textCursor().position(), first + pattern.size());
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    QCOMPARE(QApplication::focusWidget(), view);
    QVERIFY(fixture.Dialog->isVisible());

    fixture.Search(pattern);
    QCOMPARE(view->textCursor().anchor(), second);
    QCOMPARE(view->textCursor().position(), second + pattern.size());
    QVERIFY(fixture.Dialogs.Messages.isEmpty());

    fixture.Search(pattern);
    QCOMPARE(fixture.Dialogs.Messages.size(), 1);
    QCOMPARE(fixture.Dialogs.Messages[0].Text, u"„"_s + pattern + u"“ wurde nicht gefunden."_s);
    QCOMPARE(view->textCursor().anchor(), second);
    QCOMPARE(view->textCursor().position(), second + pattern.size());
    QVERIFY(!otherView->textCursor().hasSelection());
}

void TestFindDialog::searchesTextAsShown()
{
    TSearchFixture fixture;
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    auto *view = fixture.Control<QPlainTextEdit>("edtConfigFile");
    view->moveCursor(QTextCursor::End);
    view->insertPlainText(u"\nTypedLine"_s);
    fixture.PressSearchBtn();

    fixture.Search(u"typedline"_s);
    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QCOMPARE(view->textCursor().selectedText(), u"TypedLine"_s);
    QCOMPARE(view->textCursor().position(), view->document()->characterCount() - 1);
}

void TestFindDialog::searchesPageShownAfterLoad()
{
    TSearchFixture fixture({}, false);
    fixture.Dialogs.FolderAnswers = {fixture.ServerFolder()};
    fixture.Control<QToolButton>("LoadBtn")->click();
    QCOMPARE(fixture.Window().CurPage(), TParvexDlg::ConfigPage);
    QCOMPARE(fixture.Control<QTabWidget>("pcMain")->currentIndex(), TParvexDlg::AliasPage);
    fixture.PressSearchBtn();

    fixture.Search(u"hv.db"_s);
    QCOMPARE(fixture.Control<QPlainTextEdit>("edtAliasFile")->textCursor().selectedText(), u"hv.db"_s);
    QCOMPARE(fixture.Control<QTabWidget>("pcAlias")->currentIndex(), TParvexDlg::FileTab);
    QVERIFY(!fixture.Control<QPlainTextEdit>("edtConfigFile")->textCursor().hasSelection());
}

void TestFindDialog::missMessage_data()
{
    QTest::addColumn<bool>("serverFound");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("message");

    const QStringList oneString{u"TextNotFound=„%s“ wurde nicht gefunden."_s};
    QTest::newRow("search text in place of %s")
        << true << oneString << u"Nirgends"_s << u"„Nirgends“ wurde nicht gefunden."_s;
    QTest::newRow("percent in the search text kept")
        << true << oneString << u"100% %1 %s"_s << u"„100% %1 %s“ wurde nicht gefunden."_s;
    QTest::newRow("format not fitting one string shown as it stands")
        << true << QStringList{u"TextNotFound=%d Treffer für %s"_s} << u"Nirgends"_s << u"%d Treffer für %s"_s;
    QTest::newRow("two %s shown as they stand")
        << true << QStringList{u"TextNotFound=%s oder %s"_s} << u"Nirgends"_s << u"%s oder %s"_s;
    QTest::newRow("no text in the language file") << true << QStringList() << u"Nirgends"_s << QString();
    QTest::newRow("empty view of a file not found")
        << false << oneString << u"Port"_s << u"„Port“ wurde nicht gefunden."_s;
}

void TestFindDialog::missMessage()
{
    QFETCH(bool, serverFound);
    QFETCH(QStringList, settings);
    QFETCH(QString, pattern);
    QFETCH(QString, message);

    TSearchFixture fixture(settings, serverFound);
    // A selection made on the file tab stays when the user goes back to the list.
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    auto *view = fixture.Control<QPlainTextEdit>("edtConfigFile");
    QTextCursor selection = view->textCursor();
    selection.setPosition(std::min(2, view->document()->characterCount() - 1));
    selection.setPosition(0, QTextCursor::KeepAnchor);
    view->setTextCursor(selection);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
    const qsizetype shownBefore = fixture.Dialogs.Messages.size();

    fixture.PressSearchBtn();
    fixture.Search(pattern);

    QCOMPARE(fixture.Dialogs.Messages.size(), shownBefore + 1);
    const TScriptedDialogs::TShownMessage &shown = fixture.Dialogs.Messages.last();
    QCOMPARE(shown.Text, message);
    QCOMPARE(shown.Kind, TMsgKind::Information);
    QCOMPARE(shown.Buttons, TMsgButtons(TMsgButton::OK));
    QCOMPARE(view->textCursor().anchor(), selection.anchor());
    QCOMPARE(view->textCursor().position(), 0);
    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->currentIndex(), TParvexDlg::ListTab);
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
}

QTEST_MAIN(TestFindDialog)
#include "tst_FindDialog.moc"
