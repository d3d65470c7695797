// The main window: start-up, pages, raw text views, Load, Save and Close, interface texts.

#include "FileFixtures.h"
#include "WindowFixture.h"
#include "text/Errors.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QByteArray Settings = QByteArray("\xEF\xBB\xBF")
    + CrLfLines({
        u"[GERMAN]"_s,
        u"MainWinTitle=Firebird-Konfiguration"_s,
        u"CloseBtn=Schließen"_s,
        u"LoadBtn=Laden"_s,
        u"EditBtn=Bearbeiten"_s,
        u"AliasEditBtn=Ordner zuweisen"_s,
        u"FolderDialogDescr=Server-Ordner wählen"_s,
        u"DbFolderDialogDescr=Datenbank-Ordner wählen"_s,
        u"FirebirdNotFound=Kein Server gefunden"_s,
        u"FileName=Datei"_s,
        u"AliasKeyLabel=Alias-Name"_s,
    });

const QByteArray ConfigFile = "# Server settings\n"
                              "#DefaultDbCachePages = 2048\n"
                              "RemoteServicePort = 3051\n"
                              "AuthServer = Srp\n";

const QByteArray AliasFile = "# Aliases\n"
                             "hv = /data/hv.db\n"
                             "{\n"
                             "    SecurityDatabase = hv_sec\n"
                             "}\n";

// Opens the window on a server folder holding both fixture files.
TParvexDlg &OpenWithServerFiles(TWindowFixture &fixture)
{
    fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    return fixture.Open(fixture.ServerFolder());
}

#ifdef Q_OS_UNIX
// The other end of a FIFO, opened again and again while it lives, so that a program blocked in
// opening the FIFO gets going and reads a line, instead of waiting for ever.
class TFifoPartner {
public:
    explicit TFifoPartner(const QString &path)
        : FThread([this, path = QFile::encodeName(path)] {
              while (!FStop) {
                  const int fifo = open(path.constData(), O_RDWR | O_NONBLOCK);
                  if (fifo >= 0) {
                      [[maybe_unused]] const auto written = write(fifo, "TcpNoNagle = 1\n", 15);
                      close(fifo);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
    {}
    ~TFifoPartner()
    {
        FStop = true;
        FThread.join();
    }

private:
    std::atomic<bool> FStop = false;
    std::thread FThread;
};
#endif

} // namespace

Q_DECLARE_METATYPE(TSpecialFile)

class TestParvexDlg : public QObject {
    Q_OBJECT

private slots:
    void startsWithoutServer();
    void startsWithServerFolder();
    void missingAliasFileDisablesUpdateOnly();
    void undecodableConfigShowsErrorAndOpens();
    void unreadableConfigShowsErrorAndKeepsLoad();
    void emptyRecordedFolderKeepsLoad();
    void specialFileShowsErrorAndOpens_data();
    void specialFileShowsErrorAndOpens();
    void specialSettingsFileStopsTheStart();
    void pageSwitchMovesButtons();
    void rawTextTakenOverOnListTab();
    void modifiedEditorNotLostOnPageSwitch();
    void rawTextFilledWhenFirstShown();
    void pageSwitchWithoutEditKeepsRawText();
    void loadDropsTextTypedOnShownPage();
    void saveWritesFlaggedDocumentsInTheirEncoding();
    void saveWithoutChangesWritesNothing();
    void closeWritesNothing();
    void loadSecondFolder();
    void fallbackTextsWithoutLanguageSection();
    void saveFailureShowsErrorAndKeepsFlag();
    void windowStateWrittenAtTheEnd();
    void storedColumnsKeepTheSelectedRows();
    void saveWithoutFolderWritesNothing();
    void rawTextTakenOverExactly_data();
    void rawTextTakenOverExactly();
    void rawTextNotTakenOverWhereTypedIntoSplitLine();
    void fileTabsKeepListTabsInView_data();
    void fileTabsKeepListTabsInView();
};

void TestParvexDlg::startsWithoutServer()
{
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    TParvexDlg &window = fixture.Open(std::nullopt);

    QCOMPARE(fixture.Dialogs.Messages.size(), 1);
    QCOMPARE(fixture.Dialogs.Messages[0].Text, u"Kein Server gefunden"_s);
    QCOMPARE(fixture.Dialogs.Messages[0].Kind, TMsgKind::Information);
    QCOMPARE(fixture.Dialogs.Messages[0].Buttons, TMsgButtons(TMsgButton::OK));
    QVERIFY(fixture.Dialogs.Errors.isEmpty());

    QVERIFY(fixture.Control<QToolButton>("LoadBtn")->isVisible());
    QCOMPARE(fixture.Control<QTreeWidget>("ParvexList")->topLevelItemCount(), 0);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItemCount(), 0);
    QVERIFY(fixture.ShownRawText(TParvexDlg::AliasPage).isEmpty());
    QVERIFY(!fixture.Control<QToolButton>("EditBtn")->isEnabled());
    QVERIFY(!fixture.Control<QToolButton>("ResetBtn")->isEnabled());

    QVERIFY(fixture.ShownRawText(TParvexDlg::ConfigPage).isEmpty());
    QVERIFY(!fixture.Control<QToolButton>("EditBtn")->isEnabled());
    QCOMPARE(window.windowTitle(), u"Firebird-Konfiguration"_s);
}

void TestParvexDlg::startsWithServerFolder()
{
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    TParvexDlg &window = OpenWithServerFiles(fixture);

    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(!fixture.Control<QToolButton>("LoadBtn")->isVisible());
    QCOMPARE(window.FirebirdFolder(), QDir::toNativeSeparators(fixture.ServerFolder() + u'/'));
    QCOMPARE(window.CurPage(), TParvexDlg::AliasPage);
    QCOMPARE(fixture.Control<QTabWidget>("pcMain")->currentIndex(), TParvexDlg::AliasPage);

    auto *params = fixture.Control<QTreeWidget>("ParvexList");
    QCOMPARE(params->topLevelItemCount(), 37);
    QCOMPARE(params->topLevelItem(14)->text(0), u"RemoteServicePort"_s);
    QCOMPARE(params->topLevelItem(14)->text(1), u"3051"_s);
    QCOMPARE(params->topLevelItem(2)->text(1), QString());
    auto *aliases = fixture.Control<QTreeWidget>("FBAliasList");
    QCOMPARE(aliases->topLevelItemCount(), 8);
    QCOMPARE(aliases->topLevelItem(1)->text(2), u"/data/hv.db"_s);
    QCOMPARE(aliases->headerItem()->text(0), u"Alias-Name"_s);

    // Each view shows the normalised document once its page is current.
    QCOMPARE(fixture.ShownRawText(TParvexDlg::AliasPage),
             u"# Aliases\nhv=/data/hv.db\n{\nSecurityDatabase=hv_sec\n}"_s);
    QCOMPARE(fixture.ShownRawText(TParvexDlg::ConfigPage),
             u"# Server settings\n#DefaultDbCachePages = 2048\nRemoteServicePort=3051\nAuthServer=Srp"_s);
    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->tabText(TParvexDlg::FileTab),
             u" Datei : "_s + QDir::toNativeSeparators(fixture.ServerFolder() + u"/firebird.conf"_s));
    QCOMPARE(fixture.Control<QTabWidget>("pcAlias")->tabText(TParvexDlg::FileTab),
             u" Datei : "_s + QDir::toNativeSeparators(fixture.ServerFolder() + u"/databases.conf"_s));
    QVERIFY(fixture.Control<QToolButton>("EditBtn")->isEnabled());
}

void TestParvexDlg::missingAliasFileDisablesUpdateOnly()
{
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.Open(fixture.ServerFolder() + u'/');

    auto *edit = fixture.Control<QToolButton>("EditBtn");
    QVERIFY(!edit->isEnabled());
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItemCount(), 8);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItem(0)->text(2), QString());
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    QVERIFY(edit->isEnabled());
}

void TestParvexDlg::undecodableConfigShowsErrorAndOpens()
{
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, QByteArray("\xEF\xBB\xBF\xFF", 4));
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());

    QCOMPARE(fixture.Dialogs.Errors,
             QStringList(u"Datei „"_s + QDir::toNativeSeparators(fixture.ServerFolder() + u"/firebird.conf"_s)
                         + u"“ kann nicht gelesen werden. Keine Zuordnung für Unicode-Zeichen in der "
                           "Multibyte-Zielcodeseite vorhanden."_s));
    QVERIFY(window.isVisible());
    QVERIFY(fixture.Control<QToolButton>("LoadBtn")->isVisible());
    QCOMPARE(window.CurPage(), TParvexDlg::AliasPage);
    QCOMPARE(fixture.Control<QTabWidget>("pcMain")->currentIndex(), TParvexDlg::AliasPage);
}

void TestParvexDlg::unreadableConfigShowsErrorAndKeepsLoad()
{
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    // A "firebird.conf" that is a folder exists but cannot be opened.
    fixture.WriteServerFile(u"dir/firebird.conf/x"_s, "x");
    fixture.Open(fixture.ServerFolder() + u"/dir"_s);

    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QVERIFY2(fixture.Dialogs.Errors[0].startsWith(
                 u"Datei "_s + QDir::toNativeSeparators(fixture.ServerFolder() + u"/dir/firebird.conf"_s)
                 + u" kann nicht geöffnet werden. "_s),
             qPrintable(fixture.Dialogs.Errors[0]));
    QVERIFY(fixture.Control<QToolButton>("LoadBtn")->isVisible());
}

void TestParvexDlg::specialFileShowsErrorAndOpens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TSpecialFile>("kind");
    QTest::newRow("firebird.conf a FIFO") << u"firebird.conf"_s << TSpecialFile::Fifo;
    QTest::newRow("firebird.conf a socket") << u"firebird.conf"_s << TSpecialFile::Socket;
    QTest::newRow("databases.conf a FIFO") << u"databases.conf"_s << TSpecialFile::Fifo;
}

// Start-up must not wait on a FIFO for a writer: the window opens and says what is wrong.
void TestParvexDlg::specialFileShowsErrorAndOpens()
{
    QFETCH(QString, name);
    QFETCH(TSpecialFile, kind);

#ifdef Q_OS_UNIX
    TWindowFixture fixture;
    const QString folder = fixture.ServerFolder();
    for (const QString &file : {u"firebird.conf"_s, u"databases.conf"_s}) {
        if (file != name)
            fixture.WriteServerFile(file, file == u"firebird.conf"_s ? ConfigFile : AliasFile);
    }
    const QString path = folder + u'/' + name;
    if (!MakeSpecialFile(kind, path))
        QSKIP("This kind of file cannot be made here.");
    std::optional<TFifoPartner> partner;
    if (kind == TSpecialFile::Fifo)
        partner.emplace(path);

    TParvexDlg &window = fixture.Open(folder);
    partner.reset();

    QCOMPARE(fixture.Dialogs.Errors,
             QStringList{u"Datei "_s + path + u" kann nicht geöffnet werden. keine reguläre Datei."_s});
    QVERIFY(window.isVisible());
    QVERIFY(fixture.Control<QToolButton>("LoadBtn")->isVisible());
#else
    Q_UNUSED(name);
    Q_UNUSED(kind);
    QSKIP("FIFOs and sockets as made here exist on Unix only.");
#endif
}

// A settings file that cannot be read stops the creation of the window, as an unreadable one
// always has; a FIFO in its place must not pass for a missing file that is later replaced.
void TestParvexDlg::specialSettingsFileStopsTheStart()
{
#ifdef Q_OS_UNIX
    TWindowFixture fixture;
    const QString path = fixture.ProgramFolder() + u"/Tessaro.ini"_s;
    QVERIFY(MakeSpecialFile(TSpecialFile::Fifo, path));
    TFifoPartner partner(path);

    QVERIFY_THROWS_EXCEPTION(EFOpenError, fixture.Open(std::nullopt));
    QVERIFY(!QFileInfo(path).isFile());
#else
    QSKIP("FIFOs exist on Unix only.");
#endif
}

void TestParvexDlg::emptyRecordedFolderKeepsLoad()
{
    TWindowFixture fixture;
    TParvexDlg &window = fixture.Open(QString());

    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QVERIFY(window.FirebirdFolder().isEmpty());
    QVERIFY(fixture.Control<QToolButton>("LoadBtn")->isVisible());
    QCOMPARE(fixture.Control<QTreeWidget>("ParvexList")->topLevelItemCount(), 0);
}

void TestParvexDlg::pageSwitchMovesButtons()
{
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    TParvexDlg &window = OpenWithServerFiles(fixture);
    auto *edit = fixture.Control<QToolButton>("EditBtn");
    auto *reset = fixture.Control<QToolButton>("ResetBtn");
    auto *search = fixture.Control<QToolButton>("SearchBtn");
    auto *load = fixture.Control<QToolButton>("LoadBtn");
    load->show(); // to read the folder picker's title through it

    QCOMPARE(edit->parentWidget()->objectName(), u"pnlAliasList"_s);
    QCOMPARE(search->parentWidget()->objectName(), u"pnlAliasSearch"_s);
    QCOMPARE(edit->text(), u"Ordner zuweisen"_s);
    QVERIFY(!reset->isVisible());
    load->click();

    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    QCOMPARE(window.CurPage(), TParvexDlg::ConfigPage);
    QCOMPARE(edit->parentWidget()->objectName(), u"pnlParamsList"_s);
    QCOMPARE(search->parentWidget()->objectName(), u"pnlConfigSearch"_s);
    QCOMPARE(edit->text(), u"Bearbeiten"_s);
    QVERIFY(reset->isVisible());
    QVERIFY(edit->isVisible());
    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->currentIndex(), TParvexDlg::ListTab);
    // The configuration view now shows the normalised document.
    QVERIFY(fixture.ShownRawText(TParvexDlg::ConfigPage).contains(u"\nRemoteServicePort=3051\n"_s));
    load->click();

    QCOMPARE(fixture.Dialogs.FolderTitles, QStringList({u"Datenbank-Ordner wählen"_s, u"Server-Ordner wählen"_s}));
    QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
}

void TestParvexDlg::rawTextTakenOverOnListTab()
{
    TWindowFixture fixture;
    TParvexDlg &window = OpenWithServerFiles(fixture);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    auto *pcConfig = fixture.Control<QTabWidget>("pcConfig");
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");

    pcConfig->setCurrentIndex(TParvexDlg::FileTab);
    editor->selectAll();
    editor->insertPlainText(u"DefaultDbCachePages = 4096\nRemoteServicePort=3052"_s);
    QVERIFY(!window.ConfigChanged());
    pcConfig->setCurrentIndex(TParvexDlg::ListTab);

    auto *params = fixture.Control<QTreeWidget>("ParvexList");
    QCOMPARE(params->topLevelItem(2)->text(1), u"4096"_s);
    QCOMPARE(params->topLevelItem(14)->text(1), u"3052"_s);
    QCOMPARE(window.ConfigItems().Lines(), QStringList({u"DefaultDbCachePages=4096"_s, u"RemoteServicePort=3052"_s}));
    QVERIFY(!editor->document()->isModified());
    QVERIFY(window.ConfigChanged());
    QVERIFY(!window.AliasChanged());

    // The alias page the same way.
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::AliasPage);
    auto *pcAlias = fixture.Control<QTabWidget>("pcAlias");
    pcAlias->setCurrentIndex(TParvexDlg::FileTab);
    fixture.Control<QPlainTextEdit>("edtAliasFile")->setPlainText(u"HV_SEC = /x/hv_sec.db"_s);
    fixture.Control<QPlainTextEdit>("edtAliasFile")->document()->setModified(true);
    pcAlias->setCurrentIndex(TParvexDlg::ListTab);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItem(0)->text(2), u"/x/hv_sec.db"_s);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItem(1)->text(2), QString());
    QVERIFY(window.AliasChanged());
}

void TestParvexDlg::modifiedEditorNotLostOnPageSwitch()
{
    TWindowFixture fixture;
    TParvexDlg &window = OpenWithServerFiles(fixture);
    auto *pcMain = fixture.Control<QTabWidget>("pcMain");
    pcMain->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(u"\nTcpNoNagle = 1"_s);

    pcMain->setCurrentIndex(TParvexDlg::AliasPage);
    pcMain->setCurrentIndex(TParvexDlg::ConfigPage);

    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->currentIndex(), TParvexDlg::ListTab);
    QVERIFY(fixture.ShownRawText(TParvexDlg::ConfigPage).endsWith(u"\nTcpNoNagle=1"_s));
    QCOMPARE(window.ConfigItems().Values(u"TcpNoNagle"), u"1"_s);
    QCOMPARE(fixture.Control<QTreeWidget>("ParvexList")->topLevelItem(17)->text(1), u"1"_s);
    QVERIFY(window.ConfigChanged());
}

// A large file's raw text costs as much to lay out as to read many times: nobody sees the views
// at start-up, so neither is filled before it is shown.
void TestParvexDlg::rawTextFilledWhenFirstShown()
{
    TWindowFixture fixture;
    OpenWithServerFiles(fixture);
    auto *configEditor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    auto *aliasEditor = fixture.Control<QPlainTextEdit>("edtAliasFile");
    QVERIFY(configEditor->document()->isEmpty());
    QVERIFY(aliasEditor->document()->isEmpty());
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    QVERIFY(configEditor->document()->isEmpty());

    QCOMPARE(fixture.ShownRawText(TParvexDlg::ConfigPage),
             u"# Server settings\n#DefaultDbCachePages = 2048\nRemoteServicePort=3051\nAuthServer=Srp"_s);
    QVERIFY(aliasEditor->document()->isEmpty());
    QCOMPARE(fixture.ShownRawText(TParvexDlg::AliasPage),
             u"# Aliases\nhv=/data/hv.db\n{\nSecurityDatabase=hv_sec\n}"_s);
}

// Back on a page whose document did not change, the view is not filled again, yet it is left as a
// fill leaves it: a search starts at the top.
void TestParvexDlg::pageSwitchWithoutEditKeepsRawText()
{
    TWindowFixture fixture;
    OpenWithServerFiles(fixture);
    auto *pcMain = fixture.Control<QTabWidget>("pcMain");
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    const QString shown = fixture.ShownRawText(TParvexDlg::ConfigPage);
    const int filled = editor->document()->revision();
    editor->moveCursor(QTextCursor::End);
    editor->moveCursor(QTextCursor::StartOfLine, QTextCursor::KeepAnchor);

    pcMain->setCurrentIndex(TParvexDlg::AliasPage);
    pcMain->setCurrentIndex(TParvexDlg::ConfigPage);
    QCOMPARE(fixture.ShownRawText(TParvexDlg::ConfigPage), shown);
    QCOMPARE(editor->document()->revision(), filled);
    QVERIFY(!editor->textCursor().hasSelection());
    QCOMPARE(editor->textCursor().position(), 0);

    // An edit in between fills it anew.
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
    fixture.Control<QTreeWidget>("ParvexList")
        ->setCurrentItem(fixture.Control<QTreeWidget>("ParvexList")->topLevelItem(14));
    fixture.Control<QToolButton>("ResetBtn")->click();
    QVERIFY(fixture.ShownRawText(TParvexDlg::ConfigPage).contains(u"\nRemoteServicePort=3050\n"_s));
    QVERIFY(editor->document()->revision() != filled);
}

// Text typed into the view of the page on screen and not taken over is dropped when Load reads
// that page's file again, as the view then shows the file as read.
void TestParvexDlg::loadDropsTextTypedOnShownPage()
{
    TWindowFixture fixture;
    TParvexDlg &window = OpenWithServerFiles(fixture);
    fixture.Dialogs.FolderAnswers = {fixture.ServerFolder()};
    auto *editor = fixture.Control<QPlainTextEdit>("edtAliasFile");
    fixture.ShownRawText(TParvexDlg::AliasPage);
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(u"\nHV_SEC = /typed"_s);

    auto *load = fixture.Control<QToolButton>("LoadBtn");
    load->show();
    load->click();

    QCOMPARE(editor->toPlainText(), QString::fromLatin1(AliasFile).chopped(1));
    QVERIFY(!editor->document()->isModified());
    QCOMPARE(window.AliasList().Values(u"HV_SEC"), QString());
    QVERIFY(!window.AliasChanged());
    // Back to the list: nothing typed is left to take over.
    fixture.Control<QTabWidget>("pcAlias")->setCurrentIndex(TParvexDlg::ListTab);
    QVERIFY(!window.AliasChanged());
}

void TestParvexDlg::saveWritesFlaggedDocumentsInTheirEncoding()
{
    TWindowFixture fixture;
    // UTF-16 big-endian with its mark, LF line ends.
    QByteArray config("\xFE\xFF", 2);
    for (QChar c : u"#Note\nTcpNoNagle = 0\n"_s)
        config += char(c.unicode() >> 8), config += char(c.unicode() & 0xFF);
    fixture.WriteServerFile(u"firebird.conf"_s, config);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    fixture.Open(fixture.ServerFolder());
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(u"\nIpcName = Größe"_s);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);

    fixture.Control<QToolButton>("SaveBtn")->click();

    QByteArray expected("\xFE\xFF", 2);
    for (QChar c : u"#Note\r\nTcpNoNagle=0\r\nIpcName=Größe\r\n"_s)
        expected += char(c.unicode() >> 8), expected += char(c.unicode() & 0xFF);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), expected);
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasFile);
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
}

void TestParvexDlg::saveWithoutChangesWritesNothing()
{
    TWindowFixture fixture;
    OpenWithServerFiles(fixture);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QToolButton>("SaveBtn")->click();
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigFile);
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasFile);
}

void TestParvexDlg::closeWritesNothing()
{
    TWindowFixture fixture;
    TParvexDlg &window = OpenWithServerFiles(fixture);
    fixture.Control<QTabWidget>("pcAlias")->setCurrentIndex(TParvexDlg::FileTab);
    fixture.Control<QPlainTextEdit>("edtAliasFile")->insertPlainText(u"x = y\n"_s);
    fixture.Control<QTabWidget>("pcAlias")->setCurrentIndex(TParvexDlg::ListTab);
    QVERIFY(window.AliasChanged());

    fixture.Control<QToolButton>("CloseBtn")->click();

    QVERIFY(!window.isVisible());
    QVERIFY(fixture.Dialogs.Messages.isEmpty());
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasFile);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigFile);
}

void TestParvexDlg::loadSecondFolder()
{
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    fixture.WriteServerFile(u"second/firebird.conf"_s, "TcpNoNagle = 1\n");
    TParvexDlg &window = fixture.Open(std::nullopt);
    const QString second = fixture.ServerFolder() + u"/second"_s;

    fixture.Dialogs.FolderAnswers = {fixture.ServerFolder(), std::nullopt, second};
    auto *load = fixture.Control<QToolButton>("LoadBtn");
    load->click();
    QCOMPARE(window.CurPage(), TParvexDlg::ConfigPage);
    QCOMPARE(fixture.Control<QTabWidget>("pcMain")->currentIndex(), TParvexDlg::AliasPage);
    QCOMPARE(fixture.Control<QToolButton>("EditBtn")->parentWidget()->objectName(), u"pnlParamsList"_s);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItem(1)->text(2), u"/data/hv.db"_s);
    fixture.Control<QTabWidget>("pcAlias")->setCurrentIndex(TParvexDlg::FileTab);
    fixture.Control<QPlainTextEdit>("edtAliasFile")->insertPlainText(u"a = b\n"_s);
    fixture.Control<QTabWidget>("pcAlias")->setCurrentIndex(TParvexDlg::ListTab);
    QVERIFY(window.AliasChanged());

    load->click(); // cancelled: nothing changes
    QCOMPARE(window.FirebirdFolder(), QDir::toNativeSeparators(fixture.ServerFolder() + u'/'));

    load->click();
    QCOMPARE(window.FirebirdFolder(), QDir::toNativeSeparators(second + u'/'));
    QCOMPARE(window.ConfigItems().Lines(), QStringList(u"TcpNoNagle=1"_s));
    QCOMPARE(window.AliasList().Count(), 0);
    QCOMPARE(fixture.Control<QTreeWidget>("ParvexList")->topLevelItem(17)->text(1), u"1"_s);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->topLevelItem(1)->text(2), QString());
    QVERIFY(window.AliasChanged());
    QVERIFY(!window.ConfigChanged());
}

void TestParvexDlg::fallbackTextsWithoutLanguageSection()
{
    TWindowFixture fixture;
    fixture.WriteSettings("[ENGLISH]\r\nCloseBtn=Quit\r\n");
    fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    TParvexDlg &window = fixture.Open(std::nullopt);

    QCOMPARE(fixture.Dialogs.Messages.size(), 1);
    QCOMPARE(fixture.Dialogs.Messages[0].Text, QString());
    QCOMPARE(window.windowTitle(), QString());
    const struct {
        const char *Name;
        const char16_t *Caption;
    } captions[] = {{"CloseBtn", u"Close"}, {"LoadBtn", u"Load"},   {"SaveBtn", u"Save"},
                    {"EditBtn", u"Update"}, {"ResetBtn", u"Reset"}, {"SearchBtn", u"Search"}};
    for (const auto &caption : captions)
        QCOMPARE(fixture.Control<QToolButton>(caption.Name)->text(), QString::fromUtf16(caption.Caption));
    auto *pcMain = fixture.Control<QTabWidget>("pcMain");
    QCOMPARE(pcMain->tabText(TParvexDlg::AliasPage), u"Alias Configuration"_s);
    QCOMPARE(pcMain->tabText(TParvexDlg::ConfigPage), u"Server Configuration"_s);
    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->tabText(TParvexDlg::ListTab), u"Config Parameters"_s);
    QCOMPARE(fixture.Control<QTabWidget>("pcAlias")->tabText(TParvexDlg::ListTab), u"Halvora Aliase"_s);
    auto *params = fixture.Control<QTreeWidget>("ParvexList")->headerItem();
    QCOMPARE(QStringList({params->text(0), params->text(1), params->text(2)}),
             QStringList({u"Property"_s, u"Value"_s, u"Default"_s}));
    auto *aliases = fixture.Control<QTreeWidget>("FBAliasList")->headerItem();
    QCOMPARE(QStringList({aliases->text(0), aliases->text(1), aliases->text(2)}),
             QStringList({u"Alias"_s, u"Description"_s, u"Path"_s}));

    fixture.Dialogs.FolderAnswers = {fixture.ServerFolder()};
    fixture.Control<QToolButton>("LoadBtn")->click();
    QCOMPARE(fixture.Dialogs.FolderTitles, QStringList(u"Choice Folder of Firebird Databases"_s));
    QCOMPARE(fixture.Control<QTabWidget>("pcConfig")->tabText(TParvexDlg::FileTab),
             u" File : "_s + QDir::toNativeSeparators(fixture.ServerFolder() + u"/firebird.conf"_s));
    QCOMPARE(fixture.Control<QToolButton>("EditBtn")->text(), u"Edit"_s);
}

void TestParvexDlg::saveFailureShowsErrorAndKeepsFlag()
{
    TWindowFixture fixture;
    const QString config = fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    fixture.Control<QPlainTextEdit>("edtConfigFile")->insertPlainText(u"TcpNoNagle = 1\n"_s);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
    QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::ReadGroup);

    fixture.Control<QToolButton>("SaveBtn")->click();

    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QVERIFY2(fixture.Dialogs.Errors[0].startsWith(u"Datei \""_s + QDir::toNativeSeparators(config)
                                                  + u"\" kann nicht erstellt werden. "_s),
             qPrintable(fixture.Dialogs.Errors[0]));
    QVERIFY(fixture.Dialogs.Errors[0].endsWith(u'.'));
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigFile);
    QVERIFY(window.ConfigChanged());
}

void TestParvexDlg::windowStateWrittenAtTheEnd()
{
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    fixture.Open(std::nullopt);
    fixture.EndProgram();

    const QByteArray bytes = fixture.ReadSettings();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF")); // rewritten in the encoding it was read in
    const QString written = QString::fromUtf8(bytes.mid(3));
    // The language section comes first as it was read; the window's sections follow.
    QVERIFY2(written.startsWith(u"[GERMAN]\r\nMainWinTitle=Firebird-Konfiguration\r\n"_s), qPrintable(written));
    const QStringList sectionOrder = {u"[GERMAN]"_s,
                                      u"[ParvexDlg]"_s,
                                      u"[ParvexDlg\\FBAliasList_Columns\\Item0]"_s,
                                      u"[ParvexDlg\\FBAliasList_Columns\\Item2]"_s,
                                      u"[ParvexDlg\\FBAliasList_Columns]"_s,
                                      u"[ParvexDlg\\ParvexList_Columns\\Item0]"_s,
                                      u"[ParvexDlg\\ParvexList_Columns]"_s};
    qsizetype at = 0;
    for (const QString &section : sectionOrder) {
        const qsizetype found = written.indexOf(section, at);
        QVERIFY2(found >= at, qPrintable(section));
        at = found;
    }
    QVERIFY(written.contains(u"\r\nItemComment_Width=250\r\n"_s));
    QVERIFY(written.contains(
        u"[ParvexDlg\\FBAliasList_Columns\\Item0]\r\nAlignment=taLeftJustify\r\nAutoSize=FALSE\r\n"
        "Caption=Alias-Name\r\nImageIndex=-1\r\nMaxWidth=0\r\nMinWidth=0\r\nTag=0\r\nWidth=200\r\n"_s));
    QVERIFY(
        written.contains(u"[ParvexDlg\\ParvexList_Columns\\Item2]\r\nAlignment=taLeftJustify\r\nAutoSize=FALSE\r\n"
                         "Caption=Default\r\nImageIndex=-1\r\nMaxWidth=0\r\nMinWidth=0\r\nTag=0\r\nWidth=180\r\n"_s));

    // The next start puts the stored captions in place of the language texts.
    fixture.WriteSettings(fixture.ReadSettings().replace("Caption=Alias-Name", "Caption=Kurzname"));
    fixture.Open(std::nullopt);
    QCOMPARE(fixture.Control<QTreeWidget>("FBAliasList")->headerItem()->text(0), u"Kurzname"_s);
}

void TestParvexDlg::storedColumnsKeepTheSelectedRows()
{
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    OpenWithServerFiles(fixture);
    fixture.EndProgram();

    // The second start rebuilds both lists' columns from the stored sets, after the lists were
    // filled: their top rows stay selected and current, so Edit, Reset and Update act on them.
    QVERIFY(fixture.ReadSettings().contains("[ParvexDlg\\ParvexList_Columns]"));
    OpenWithServerFiles(fixture);
    for (const char *name : {"FBAliasList", "ParvexList"}) {
        auto *list = fixture.Control<QTreeWidget>(name);
        QCOMPARE(list->columnCount(), 3);
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem *>{list->topLevelItem(0)});
    }
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    AnswerEditDialog(u"/opt/server"_s);
    fixture.Control<QToolButton>("EditBtn")->click();
    QCOMPARE(fixture.Control<QTreeWidget>("ParvexList")->topLevelItem(0)->text(1), u"/opt/server"_s);
}

void TestParvexDlg::saveWithoutFolderWritesNothing()
{
    TWindowFixture fixture;
    TParvexDlg &window = fixture.Open(std::nullopt);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    fixture.Control<QPlainTextEdit>("edtConfigFile")->insertPlainText(u"TcpNoNagle = 1"_s);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
    QVERIFY(window.ConfigChanged());

    fixture.Control<QToolButton>("SaveBtn")->click();
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(QDir(fixture.ServerFolder()).isEmpty());

    // Once a folder is loaded, the flag still stands; but the typed text went with the Load, and
    // a folder without the file gets none made of a document nobody edited there.
    fixture.Dialogs.FolderAnswers = {fixture.ServerFolder()};
    fixture.Control<QToolButton>("LoadBtn")->click();
    QVERIFY(window.ConfigChanged());
    fixture.Control<QToolButton>("SaveBtn")->click();
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(QDir(fixture.ServerFolder()).isEmpty());
}

void TestParvexDlg::rawTextTakenOverExactly_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("line");
    const struct {
        const char *Name;
        const char16_t *Line;
    } lines[] = {
        {"no-break space in a comment", u"# a\u00A0b"},
        {"no-break space in a value", u"IpcName=a\u00A0b"},
        {"line separator in a comment", u"# c\u2028d = 1"},
        {"line separator in a value", u"IpcName=c\u2028RemoteServicePort=9"},
        {"both in one line", u"#\u00A0TcpNoNagle = 1\u2028RemoteServicePort = 9"},
        {"zero width no-break space, soft hyphen", u"IpcName=a\uFEFFb\u00ADc"},
        {"next line, form feed, tab", u"# a\u0085b\u000Cc\td"},
        {"noncharacters outside the editor's own", u"IpcName=a\uFDEFb\uFFFEc\U0010FFFF"},
        // The editor shows a new paragraph at these; the untouched line still comes back whole.
        {"paragraph separator", u"IpcName=x\u2029y"},
        {"the editor's frame marks", u"IpcName=x\uFDD0y\uFDD1z"},
    };
    for (const auto &entry : lines) {
        QTest::addRow("aliases, %s", entry.Name) << TParvexDlg::AliasPage << QString::fromUtf16(entry.Line);
        QTest::addRow("server configuration, %s", entry.Name)
            << TParvexDlg::ConfigPage << QString::fromUtf16(entry.Line);
    }
}

// Characters the user never touched reach the file as they were read, through the raw text view,
// the list tab that takes its lines over, and Save.
void TestParvexDlg::rawTextTakenOverExactly()
{
    QFETCH(int, page);
    QFETCH(QString, line);
    const bool aliases = page == TParvexDlg::AliasPage;
    const QString fileName = aliases ? u"databases.conf"_s : u"firebird.conf"_s;
    const QString other = aliases ? u"firebird.conf"_s : u"databases.conf"_s;
    const QByteArray bom = "\xEF\xBB\xBF"_ba;
    const QStringList lines = {u"# Kopf"_s, line, u"hv=/data/hv.db"_s};
    TWindowFixture fixture;
    fixture.WriteServerFile(fileName, bom + CrLfLines(lines));
    fixture.WriteServerFile(other, "# unberührt\n");
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(page);
    auto *tabSet = fixture.Control<QTabWidget>(aliases ? "pcAlias" : "pcConfig");
    auto *editor = fixture.Control<QPlainTextEdit>(aliases ? "edtAliasFile" : "edtConfigFile");

    tabSet->setCurrentIndex(TParvexDlg::FileTab);
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(u"\nTcpNoNagle=1"_s);
    tabSet->setCurrentIndex(TParvexDlg::ListTab);
    QCOMPARE((aliases ? window.AliasList() : window.ConfigItems()).Lines(), lines + QStringList(u"TcpNoNagle=1"_s));
    fixture.Control<QToolButton>("SaveBtn")->click();

    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QCOMPARE(fixture.ReadServerFile(fileName), bom + CrLfLines(lines + QStringList(u"TcpNoNagle=1"_s)));
    QCOMPARE(fixture.ReadServerFile(other), "# unberührt\n"_ba);
}

// A line the editor shows as several paragraphs cannot be told apart once the user types inside
// it: the takeover is refused with a message, and the document and the file stay as they were.
void TestParvexDlg::rawTextNotTakenOverWhereTypedIntoSplitLine()
{
    const QStringList lines = {u"# Kopf"_s, u"IpcName=x\u2029y"_s, u"RemoteServicePort=3051"_s};
    const QByteArray bytes = "\xEF\xBB\xBF"_ba + CrLfLines(lines);
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, bytes);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());
    fixture.ShownRawText(TParvexDlg::ConfigPage);
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    QTextCursor cursor(editor->document()->findBlockByNumber(2));
    cursor.insertText(u"z"_s);

    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);

    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QVERIFY(fixture.Dialogs.Errors[0].contains(u"nicht übernommen"_s));
    QCOMPARE(window.ConfigItems().Lines(), lines);
    QVERIFY(!window.ConfigChanged());
    // The typed text is still there to be undone, also after a trip to the other page.
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::AliasPage);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    QVERIFY(fixture.ShownRawText(TParvexDlg::ConfigPage).contains(u"zy"_s));
    fixture.Control<QToolButton>("SaveBtn")->click();
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), bytes);
}

void TestParvexDlg::fileTabsKeepListTabsInView_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("default size") << 784;
    QTest::newRow("narrower") << 520;
    QTest::newRow("wider") << 1400;
}

// A deep server folder makes the file tab's caption far wider than the window: it is shortened,
// and the list tab beside it stays whole and in view, whichever of the two is in front.
void TestParvexDlg::fileTabsKeepListTabsInView()
{
    QFETCH(int, width);
    TWindowFixture fixture;
    fixture.WriteSettings(Settings);
    const QString deep = u"Programme/Firebird/Firebird_3_0/"_s + QString(100, u'o') + u'/' + QString(100, u'p');
    fixture.WriteServerFile(deep + u"/firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(deep + u"/databases.conf"_s, AliasFile);
    const QString folder = fixture.ServerFolder() + u'/' + deep;
    TParvexDlg &window = fixture.Open(folder);
    QCOMPARE(window.size(), QSize(784, 553));
    window.resize(width, 553);

    auto *pcMain = fixture.Control<QTabWidget>("pcMain");
    const struct {
        const char *TabSet;
        int MainPage;
        const char16_t *FileName;
    } pages[] = {{"pcAlias", TParvexDlg::AliasPage, u"/databases.conf"},
                 {"pcConfig", TParvexDlg::ConfigPage, u"/firebird.conf"}};
    for (const auto &page : pages) {
        pcMain->setCurrentIndex(page.MainPage);
        auto *tabSet = fixture.Control<QTabWidget>(page.TabSet);
        const QString caption = u" Datei : "_s + QDir::toNativeSeparators(folder + QString::fromUtf16(page.FileName));
        QCOMPARE(tabSet->tabText(TParvexDlg::FileTab), caption);
        QCOMPARE(tabSet->tabToolTip(TParvexDlg::FileTab), caption);
        for (int current : {TParvexDlg::FileTab, TParvexDlg::ListTab}) {
            tabSet->setCurrentIndex(current);
            QApplication::processEvents();
            const QTabBar *bar = tabSet->tabBar();
            const QString where = QStringLiteral("%1, tab %2 in front").arg(QLatin1String(page.TabSet)).arg(current);
            QVERIFY2(tabSet->rect().contains(bar->geometry()), qPrintable(where));
            for (int tab = 0; tab < 2; ++tab)
                QVERIFY2(bar->rect().contains(bar->tabRect(tab)),
                         qPrintable(where + QStringLiteral(": tab %1").arg(tab)));
            // Only the file tab gives way: the list tab's whole caption fits its tab.
            QVERIFY(bar->tabRect(TParvexDlg::ListTab).width()
                    > bar->fontMetrics().horizontalAdvance(tabSet->tabText(TParvexDlg::ListTab)));
            QVERIFY(bar->tabRect(TParvexDlg::FileTab).width() < bar->fontMetrics().horizontalAdvance(caption));
        }
    }
}

QTEST_MAIN(TestParvexDlg)
#include "tst_ParvexDlg.moc"
