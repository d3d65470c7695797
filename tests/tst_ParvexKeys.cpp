// The keyboard on the main window: its buttons take no focus, so their access keys, Enter in the
// parameter list and Ctrl+S are the only ways to them without the mouse. Every key goes through
// the window as a user's would, and each is judged by what its command leaves behind.

#include "WindowFixture.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "app/search/FindDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ConfigFile = "RemoteServicePort = 3051\n"
                              "DefaultDbCachePages = 4096\n";

const QByteArray AliasFile = "hv = /data/hv.db\n";

// firebird.conf after DefaultDbCachePages was reset and saved.
const QByteArray SavedConfigFile = "RemoteServicePort=3051\r\n"
                                   "DefaultDbCachePages=2048\r\n";

const QString ServerFolderTitle = u"Installationsordner des Firebird-Servers wählen"_s;
const QString DatabaseFolderTitle = u"Ordner mit den Firebird-Datenbanken wählen"_s;

// What a key is expected to leave behind.
enum class TEffect {
    Saved, // firebird.conf holds the change made before the key
    Edited, // the edit dialog came, and its answer is in the list
    Reset, // the selected parameter shows its default
    FindShown, // the find dialog is open
    ServerPickerAsked, // the folder picker was asked for the server folder
    DatabasePickerAsked, // the folder picker was asked for the database folder
    Closed, // the window is gone from the screen
    Nothing, // the key's button is not on the screen: nothing of the above
};

// The letter of the access key in a caption as shown: the character after a single '&'.
QChar AccessLetter(const QString &caption)
{
    for (qsizetype at = 0; at + 1 < caption.size(); ++at) {
        if (caption[at] != u'&')
            continue;
        if (caption[at + 1] != u'&')
            return caption[at + 1].toLower();
        ++at; // "&&" shows a plain '&'
    }
    return {};
}

// Answers each edit dialog that comes while it lives, whenever the dialog comes: a button's access
// key clicks it only once its pressed look has been seen, after the key was sent.
class TEditDialogAnswerer {
public:
    TEditDialogAnswerer(const QString &value, bool pressOk)
    {
        QObject::connect(&FPoll, &QTimer::timeout, [this, value, pressOk] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!qobject_cast<TParvexItemEditDlg *>(modal) || modal == FAnswered)
                return;
            FAnswered = modal;
            ++Shown;
            AnswerEditDialog(value, pressOk);
        });
        FPoll.start(1);
    }

    int Shown = 0;

private:
    QTimer FPoll;
    QPointer<QWidget> FAnswered;
};

// The window on a folder with both files, the shipped language file beside it, active on the
// screen as the user's keys need it.
class TKeysWindow : public TWindowFixture {
public:
    explicit TKeysWindow(bool serverFound)
    {
        QFile shipped(QStringLiteral(TESSARO_LANGUAGE_FILE));
        if (!shipped.open(QIODevice::ReadOnly))
            qFatal("cannot read the shipped language file %s", TESSARO_LANGUAGE_FILE);
        WriteSettings(shipped.readAll());
        WriteServerFile(u"firebird.conf"_s, ConfigFile);
        WriteServerFile(u"databases.conf"_s, AliasFile);
        Open(serverFound ? std::optional(ServerFolder()) : std::nullopt);
        Window().activateWindow();
        if (!QTest::qWaitForWindowActive(&Window()))
            qFatal("the main window does not become active");
    }

    QTreeWidget *ParvexList() const { return Control<QTreeWidget>("ParvexList"); }
    QTreeWidgetItem *ParamRow(const QString &name) const
    {
        const QList<QTreeWidgetItem *> rows = ParvexList()->findItems(name, Qt::MatchExactly);
        return rows.isEmpty() ? nullptr : rows.constFirst();
    }
    QString ParamValue(const QString &name) const
    {
        const QTreeWidgetItem *row = ParamRow(name);
        return row ? row->text(1) : QString();
    }

    // The user clicks the page's tab and its inner tab, then into the list or the raw text.
    void Show(int page, int tab)
    {
        Control<QTabWidget>("pcMain")->setCurrentIndex(page);
        const bool alias = page == TParvexDlg::AliasPage;
        Control<QTabWidget>(alias ? "pcAlias" : "pcConfig")->setCurrentIndex(tab);
        QWidget *focus = tab == TParvexDlg::ListTab
            ? static_cast<QWidget *>(Control<QTreeWidget>(alias ? "FBAliasList" : "ParvexList"))
            : static_cast<QWidget *>(Control<QPlainTextEdit>(alias ? "edtAliasFile" : "edtConfigFile"));
        focus->setFocus();
    }

    // A key as the window system delivers it: to the window, which hands it to the shortcuts
    // first and then to the focused widget.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(Window().windowHandle(), key, modifiers);
    }

    // Whether the find dialog is on the screen; the window makes it at the first Search.
    bool FindShown() const
    {
        const auto *find = Control<TFindDialog>("FindDialog");
        return find && find->isVisible();
    }

    // The buttons the user sees on the window.
    QList<QAbstractButton *> VisibleButtons()
    {
        QList<QAbstractButton *> shown;
        for (QAbstractButton *button : Window().findChildren<QAbstractButton *>())
            if (button->window() == &Window() && button->isVisible())
                shown << button;
        return shown;
    }
};

} // namespace

Q_DECLARE_METATYPE(TEffect)

class TestParvexKeys : public QObject {
    Q_OBJECT

private slots:
    void captionsCarryTheirKeys_data();
    void captionsCarryTheirKeys();
    void keyRunsItsCommand_data();
    void keyRunsItsCommand();
    void noTwoButtonsShareALetter_data();
    void noTwoButtonsShareALetter();
};

void TestParvexKeys::captionsCarryTheirKeys_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("caption");

    const int alias = TParvexDlg::AliasPage, config = TParvexDlg::ConfigPage;
    QTest::newRow("CloseBtn") << config << u"CloseBtn"_s << u"Sc&hließen"_s;
    QTest::newRow("LoadBtn") << config << u"LoadBtn"_s << u"Server-Ordner &laden…"_s;
    QTest::newRow("SaveBtn") << config << u"SaveBtn"_s << u"&Speichern"_s;
    QTest::newRow("EditBtn on the parameter page") << config << u"EditBtn"_s << u"&Bearbeiten…"_s;
    QTest::newRow("EditBtn on the alias page") << alias << u"EditBtn"_s << u"Zu&weisen…"_s;
    QTest::newRow("ResetBtn") << config << u"ResetBtn"_s << u"&Zurücksetzen"_s;
    QTest::newRow("SearchBtn") << config << u"SearchBtn"_s << u"S&uchen…"_s;
}

// The keys below are only worth their rows while the shipped captions give them.
void TestParvexKeys::captionsCarryTheirKeys()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QString, caption);

    TKeysWindow fixture(false);
    fixture.Show(page, TParvexDlg::ListTab);
    QCOMPARE(fixture.Control<QToolButton>(qPrintable(button))->text(), caption);
}

void TestParvexKeys::keyRunsItsCommand_data()
{
    QTest::addColumn<bool>("serverFound");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<TEffect>("effect");

    const int alias = TParvexDlg::AliasPage, config = TParvexDlg::ConfigPage;
    const int list = TParvexDlg::ListTab, file = TParvexDlg::FileTab;
    const Qt::KeyboardModifiers alt = Qt::AltModifier, none = Qt::NoModifier;
    const auto row = [](const char *name, bool serverFound, int page, int tab, Qt::Key key,
                        Qt::KeyboardModifiers modifiers, TEffect effect) {
        QTest::newRow(name) << serverFound << page << tab << int(key) << modifiers << effect;
    };

    row("Alt+S saves", true, config, list, Qt::Key_S, alt, TEffect::Saved);
    row("Alt+S saves from the alias page", true, alias, list, Qt::Key_S, alt, TEffect::Saved);
    row("Ctrl+S saves", true, config, list, Qt::Key_S, Qt::ControlModifier, TEffect::Saved);
    row("Ctrl+S saves from the raw text", true, config, file, Qt::Key_S, Qt::ControlModifier, TEffect::Saved);
    row("Ctrl+S saves from the alias page", true, alias, list, Qt::Key_S, Qt::ControlModifier, TEffect::Saved);
    row("Alt+B edits", true, config, list, Qt::Key_B, alt, TEffect::Edited);
    row("Return in the parameter list edits", true, config, list, Qt::Key_Return, none, TEffect::Edited);
    row("the keypad's Enter in the parameter list edits", true, config, list, Qt::Key_Enter, Qt::KeypadModifier,
        TEffect::Edited);
    row("Alt+Z resets", true, config, list, Qt::Key_Z, alt, TEffect::Reset);
    row("Alt+U searches the parameter page's text", true, config, file, Qt::Key_U, alt, TEffect::FindShown);
    row("Alt+U searches the alias page's text", true, alias, file, Qt::Key_U, alt, TEffect::FindShown);
    row("Alt+L loads when no server was found", false, config, list, Qt::Key_L, alt, TEffect::ServerPickerAsked);
    row("Alt+W assigns a database folder", true, alias, list, Qt::Key_W, alt, TEffect::DatabasePickerAsked);
    row("Alt+H closes", true, config, list, Qt::Key_H, alt, TEffect::Closed);
    row("Alt+H closes from the alias page's text", true, alias, file, Qt::Key_H, alt, TEffect::Closed);
    // Keys whose button is not on the screen.
    row("Alt+L with a server found: Load is hidden", true, config, list, Qt::Key_L, alt, TEffect::Nothing);
    row("Alt+B on the alias page: Edit is Assign there", true, alias, list, Qt::Key_B, alt, TEffect::Nothing);
    row("Alt+W on the parameter page: Assign is Edit there", true, config, list, Qt::Key_W, alt, TEffect::Nothing);
    row("Alt+Z on the alias page: Reset is on the parameter page", true, alias, list, Qt::Key_Z, alt, TEffect::Nothing);
    row("Alt+U on the list: Search is on the raw text", true, config, list, Qt::Key_U, alt, TEffect::Nothing);
}

void TestParvexKeys::keyRunsItsCommand()
{
    QFETCH(bool, serverFound);
    QFETCH(int, page);
    QFETCH(int, tab);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(TEffect, effect);

    TKeysWindow fixture(serverFound);
    TParvexDlg &window = fixture.Window();
    if (serverFound) {
        // A change for Save to write, made with the mouse; then the row the keys act on.
        fixture.Show(TParvexDlg::ConfigPage, TParvexDlg::ListTab);
        fixture.ParvexList()->setCurrentItem(fixture.ParamRow(u"DefaultDbCachePages"_s));
        fixture.Control<QToolButton>("ResetBtn")->click();
        QCOMPARE(fixture.ParamValue(u"DefaultDbCachePages"_s), u"2048"_s);
        fixture.ParvexList()->setCurrentItem(fixture.ParamRow(u"RemoteServicePort"_s));
    }
    fixture.Show(page, tab);
    const QByteArray configBefore = fixture.ReadServerFile(u"firebird.conf"_s);
    const QString valueBefore = fixture.ParamValue(u"RemoteServicePort"_s);
    TEditDialogAnswerer answerer(u"3052"_s, effect == TEffect::Edited);

    fixture.Press(Qt::Key(key), modifiers);

    switch (effect) {
    case TEffect::Saved:
        QTRY_COMPARE(fixture.ReadServerFile(u"firebird.conf"_s), SavedConfigFile);
        break;
    case TEffect::Edited:
        QTRY_COMPARE(fixture.ParamValue(u"RemoteServicePort"_s), u"3052"_s);
        QCOMPARE(answerer.Shown, 1);
        break;
    case TEffect::Reset:
        QTRY_COMPARE(fixture.ParamValue(u"RemoteServicePort"_s), u"3050"_s);
        break;
    case TEffect::FindShown:
        QTRY_VERIFY(fixture.FindShown());
        break;
    case TEffect::ServerPickerAsked:
        QTRY_COMPARE(fixture.Dialogs.FolderTitles, QStringList(ServerFolderTitle));
        break;
    case TEffect::DatabasePickerAsked:
        QTRY_COMPARE(fixture.Dialogs.FolderTitles, QStringList(DatabaseFolderTitle));
        break;
    case TEffect::Closed:
        QTRY_VERIFY(!window.isVisible());
        break;
    case TEffect::Nothing:
        // A click by access key runs once the button has been seen pressed. Alt+H is pressed after
        // it and clicks the same way: once the window is closed, a click the first key started
        // would have run too.
        fixture.Press(Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(!window.isVisible());
        break;
    }

    // Whatever the key did not ask for stays undone.
    if (effect != TEffect::Saved)
        QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), configBefore);
    if (effect != TEffect::Edited) {
        QCOMPARE(answerer.Shown, 0);
        if (effect != TEffect::Reset)
            QCOMPARE(fixture.ParamValue(u"RemoteServicePort"_s), valueBefore);
    }
    if (effect != TEffect::FindShown)
        QVERIFY(!fixture.FindShown());
    if (effect != TEffect::ServerPickerAsked && effect != TEffect::DatabasePickerAsked)
        QCOMPARE(fixture.Dialogs.FolderTitles, QStringList());
    if (effect != TEffect::Closed && effect != TEffect::Nothing)
        QVERIFY(window.isVisible());
}

void TestParvexKeys::noTwoButtonsShareALetter_data()
{
    QTest::addColumn<bool>("serverFound");
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("buttons");

    const QStringList toolbar = {u"CloseBtn"_s, u"SaveBtn"_s};
    const QStringList withLoad = {u"CloseBtn"_s, u"LoadBtn"_s, u"SaveBtn"_s};
    QTest::newRow("alias page, server found")
        << true << TParvexDlg::AliasPage << toolbar + QStringList{u"EditBtn"_s, u"SearchBtn"_s};
    QTest::newRow("alias page, no server found")
        << false << TParvexDlg::AliasPage << withLoad + QStringList{u"EditBtn"_s, u"SearchBtn"_s};
    QTest::newRow("parameter page, server found")
        << true << TParvexDlg::ConfigPage << toolbar + QStringList{u"EditBtn"_s, u"ResetBtn"_s, u"SearchBtn"_s};
    QTest::newRow("parameter page, no server found")
        << false << TParvexDlg::ConfigPage << withLoad + QStringList{u"EditBtn"_s, u"ResetBtn"_s, u"SearchBtn"_s};
}

// Of two buttons with one letter, the key clicks neither; each page is seen with its list and its
// raw text in front, as each shows its own buttons.
void TestParvexKeys::noTwoButtonsShareALetter()
{
    QFETCH(bool, serverFound);
    QFETCH(int, page);
    QFETCH(QStringList, buttons);

    TKeysWindow fixture(serverFound);
    QStringList seen;
    QMap<QChar, QString> owners;
    for (int tab : {TParvexDlg::ListTab, TParvexDlg::FileTab}) {
        fixture.Show(page, tab);
        for (const QAbstractButton *button : fixture.VisibleButtons()) {
            if (seen.contains(button->objectName()))
                continue;
            seen << button->objectName();
            const QChar letter = AccessLetter(button->text());
            QVERIFY2(!letter.isNull(), qPrintable(button->objectName() + u" has no access key: "_s + button->text()));
            QVERIFY2(!owners.contains(letter),
                     qPrintable(u"%1 and %2 share the letter %3"_s.arg(owners.value(letter), button->objectName(),
                                                                       QString(letter))));
            owners.insert(letter, button->objectName());
        }
    }
    std::sort(seen.begin(), seen.end());
    std::sort(buttons.begin(), buttons.end());
    QCOMPARE(seen, buttons);
}

QTEST_MAIN(TestParvexKeys)
#include "tst_ParvexKeys.moc"
