// Loading a second server folder: nothing read, typed or flagged for the first folder may end up
// in a file of the second, and a page is switched whole or left without a file, never half.

#include "FileFixtures.h"
#include "WindowFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ConfigA = "# A\nRemoteServicePort = 3051\n#DefaultDbCachePages = 2048\n"_ba;
const QByteArray AliasesA = "# A\nhv = /a/hv.db\n"_ba;
const QByteArray ConfigB = "# B\nRemoteServicePort = 3052\n"_ba;
const QByteArray AliasesB = "# B\nhv = /b/hv.db\n"_ba;
// A UTF-8 mark followed by a Latin-1 "ü": no decoding reads it.
const QByteArray Undecodable = "\xEF\xBB\xBF# B \xFC\nRemoteServicePort = 3053\n"_ba;

enum class TWhen { TypedBeforeLoad, TypedAfterLoad, FlaggedByEdit };

int OtherPage(int page)
{
    return page == TParvexDlg::AliasPage ? TParvexDlg::ConfigPage : TParvexDlg::AliasPage;
}

// Folder A in the fixture's server folder, folder B beside it; the window opens without a server
// found, so that Load is there, and loads A.
class TTwoFolders {
public:
    TTwoFolders(const QByteArray &configB, const QByteArray &aliasesB)
    {
        Fixture.WriteServerFile(u"firebird.conf"_s, ConfigA);
        Fixture.WriteServerFile(u"databases.conf"_s, AliasesA);
        if (!configB.isNull())
            WriteFixture(B(u"firebird.conf"_s), configB);
        if (!aliasesB.isNull())
            WriteFixture(B(u"databases.conf"_s), aliasesB);
        Fixture.Open(std::nullopt);
        Load(Fixture.ServerFolder());
    }

    QString B(const QString &name = QString()) const
    {
        return name.isEmpty() ? FolderB.path() : QDir(FolderB.path()).filePath(name);
    }
    void Load(const QString &folder)
    {
        Fixture.Dialogs.FolderAnswers = {folder};
        Fixture.Control<QToolButton>("LoadBtn")->click();
    }
    // Types a line at the end of the raw text of main page `page` and leaves the raw tab shown.
    void Type(int page, const QString &line)
    {
        Fixture.ShownRawText(page);
        auto *editor =
            Fixture.Control<QPlainTextEdit>(page == TParvexDlg::AliasPage ? "edtAliasFile" : "edtConfigFile");
        editor->moveCursor(QTextCursor::End);
        editor->insertPlainText(u'\n' + line);
    }
    // Edits through the page's own command: a folder for all aliases, or the selected parameter.
    void EditWithCommand(int page)
    {
        // After Load the parameter page is current whatever tab is shown: the page is picked anew.
        Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(OtherPage(page));
        Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(page);
        Fixture.Control<QTabWidget>(page == TParvexDlg::AliasPage ? "pcAlias" : "pcConfig")
            ->setCurrentIndex(TParvexDlg::ListTab);
        if (page == TParvexDlg::AliasPage) {
            Fixture.Dialogs.FolderAnswers = {u"/typed/in/a"_s};
            Fixture.Dialogs.MessageAnswers = {mrAll};
        } else {
            AnswerEditDialog(u"4096"_s);
        }
        Fixture.Control<QToolButton>("EditBtn")->click();
    }
    // Every raw text back to its list, both pages, then Save with Yes to every question.
    void TakeOverAndSave()
    {
        for (int page : {TParvexDlg::AliasPage, TParvexDlg::ConfigPage}) {
            Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(page);
            Fixture.Control<QTabWidget>(page == TParvexDlg::AliasPage ? "pcAlias" : "pcConfig")
                ->setCurrentIndex(TParvexDlg::ListTab);
        }
        Fixture.Dialogs.MessageAnswers = {mrYes, mrYes};
        Fixture.Control<QToolButton>("SaveBtn")->click();
    }

    TWindowFixture Fixture;
    QTemporaryDir FolderB;
};

} // namespace

Q_DECLARE_METATYPE(TWhen)

class TestFolderSwitch : public QObject {
    Q_OBJECT

private slots:
    void unreadableFileOfSecondFolderStays_data();
    void unreadableFileOfSecondFolderStays();
    void typedTextStaysWithItsFolder_data();
    void typedTextStaysWithItsFolder();
    void flagAloneCreatesNoFile();
    void flagOfCommandRewritesFileThatWasRead();
};

void TestFolderSwitch::unreadableFileOfSecondFolderStays_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<TWhen>("when");
    for (int page : {TParvexDlg::AliasPage, TParvexDlg::ConfigPage}) {
        const char *file = page == TParvexDlg::AliasPage ? "databases.conf" : "firebird.conf";
        QTest::addRow("%s, typed before Load", file) << page << TWhen::TypedBeforeLoad;
        QTest::addRow("%s, typed after Load", file) << page << TWhen::TypedAfterLoad;
        QTest::addRow("%s, flagged by an edit", file) << page << TWhen::FlaggedByEdit;
    }
}

void TestFolderSwitch::unreadableFileOfSecondFolderStays()
{
    QFETCH(int, page);
    QFETCH(TWhen, when);
    const QString badName = page == TParvexDlg::AliasPage ? u"databases.conf"_s : u"firebird.conf"_s;
    TTwoFolders folders(page == TParvexDlg::AliasPage ? ConfigB : Undecodable,
                        page == TParvexDlg::AliasPage ? Undecodable : AliasesB);
    TWindowFixture &fixture = folders.Fixture;

    if (when == TWhen::TypedBeforeLoad)
        folders.Type(page, u"TypedInA = 1"_s);
    if (when == TWhen::FlaggedByEdit)
        folders.EditWithCommand(page);
    folders.Load(folders.B());

    // The error names the file; the page shows the new name over an empty text and an empty list.
    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QVERIFY2(fixture.Dialogs.Errors[0].contains(QDir::toNativeSeparators(folders.B(badName))),
             qPrintable(fixture.Dialogs.Errors[0]));
    QVERIFY(fixture.Dialogs.Errors[0].contains(u"Keine Zuordnung für Unicode-Zeichen"_s));
    auto *tabs = fixture.Control<QTabWidget>(page == TParvexDlg::AliasPage ? "pcAlias" : "pcConfig");
    QVERIFY(tabs->tabText(TParvexDlg::FileTab).endsWith(QDir::toNativeSeparators(folders.B(badName))));
    QCOMPARE(fixture.ShownRawText(page), QString());
    const QTreeWidget *list =
        fixture.Control<QTreeWidget>(page == TParvexDlg::AliasPage ? "FBAliasList" : "ParvexList");
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        QCOMPARE(list->topLevelItem(row)->text(page == TParvexDlg::AliasPage ? 2 : 1), QString());

    if (when == TWhen::TypedAfterLoad)
        folders.Type(page, u"TypedInB = 1"_s);
    folders.TakeOverAndSave();

    QCOMPARE(FileBytes(folders.B(badName)), Undecodable);
    QCOMPARE(FileBytes(folders.B(page == TParvexDlg::AliasPage ? u"firebird.conf"_s : u"databases.conf"_s)),
             page == TParvexDlg::AliasPage ? ConfigB : AliasesB);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigA);
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasesA);
    // Changes typed for the unreadable file are not dropped without a word.
    if (when == TWhen::TypedAfterLoad) {
        QCOMPARE(fixture.Dialogs.Errors.size(), 2);
        QVERIFY(fixture.Dialogs.Errors[1].contains(u"wurde nicht gespeichert"_s));
    } else {
        QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    }
}

void TestFolderSwitch::typedTextStaysWithItsFolder_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("whereAtLoad");
    for (int page : {TParvexDlg::AliasPage, TParvexDlg::ConfigPage}) {
        const char *file = page == TParvexDlg::AliasPage ? "databases.conf" : "firebird.conf";
        QTest::addRow("%s, its raw text shown", file) << page << u"raw text"_s;
        QTest::addRow("%s, the other page shown", file) << page << u"other page"_s;
        QTest::addRow("%s, its list shown", file) << page << u"list"_s;
    }
}

// Text typed into folder A's raw text goes into A's document or nowhere: Load drops what was not
// taken over, and what was taken over counts for A's file, never for B's.
void TestFolderSwitch::typedTextStaysWithItsFolder()
{
    QFETCH(int, page);
    QFETCH(QString, whereAtLoad);
    TTwoFolders folders(ConfigB, AliasesB);
    TWindowFixture &fixture = folders.Fixture;

    folders.Type(page, u"TypedInA = 1"_s);
    if (whereAtLoad == u"other page"_s)
        fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(OtherPage(page));
    else if (whereAtLoad == u"list"_s)
        fixture.Control<QTabWidget>(page == TParvexDlg::AliasPage ? "pcAlias" : "pcConfig")
            ->setCurrentIndex(TParvexDlg::ListTab);
    folders.Load(folders.B());
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(!fixture.ShownRawText(page).contains(u"TypedInA"_s));
    folders.TakeOverAndSave();

    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QCOMPARE(FileBytes(folders.B(u"firebird.conf"_s)), ConfigB);
    QCOMPARE(FileBytes(folders.B(u"databases.conf"_s)), AliasesB);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigA);
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasesA);
}

// A flag raised in folder A makes no file in folder B, where there was none to read.
void TestFolderSwitch::flagAloneCreatesNoFile()
{
    TTwoFolders folders(ConfigB, QByteArray());
    TWindowFixture &fixture = folders.Fixture;
    folders.EditWithCommand(0);
    folders.EditWithCommand(1);
    folders.Load(folders.B());
    QVERIFY(fixture.Window().AliasChanged());
    folders.TakeOverAndSave();

    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(!QFileInfo::exists(folders.B(u"databases.conf"_s)));
    // The file that was there is written again, normalised, as the flag that outlived Load says.
    QCOMPARE(FileBytes(folders.B(u"firebird.conf"_s)), "# B\r\nRemoteServicePort=3052\r\n"_ba);

    // Edited in B, the new document makes its file.
    fixture.ShownRawText(TParvexDlg::AliasPage);
    auto *editor = fixture.Control<QPlainTextEdit>("edtAliasFile");
    editor->insertPlainText(u"hv = /b/new.db"_s);
    folders.TakeOverAndSave();
    QCOMPARE(FileBytes(folders.B(u"databases.conf"_s)), "hv=/b/new.db\r\n"_ba);
}

// The design's changed flag still outlives a Load: a command's change in A has Save write B's file
// that was read, in its normalised form, whether or not B was edited.
void TestFolderSwitch::flagOfCommandRewritesFileThatWasRead()
{
    TTwoFolders folders(ConfigB, AliasesB);
    folders.EditWithCommand(1);
    folders.Load(folders.B());
    QVERIFY(folders.Fixture.Window().ConfigChanged());
    QVERIFY(!folders.Fixture.Window().AliasChanged());
    folders.TakeOverAndSave();
    QCOMPARE(FileBytes(folders.B(u"firebird.conf"_s)), "# B\r\nRemoteServicePort=3052\r\n"_ba);
    QCOMPARE(FileBytes(folders.B(u"databases.conf"_s)), AliasesB);
    QCOMPARE(folders.Fixture.ReadServerFile(u"firebird.conf"_s), ConfigA);
}

QTEST_MAIN(TestFolderSwitch)
#include "tst_FolderSwitch.moc"
