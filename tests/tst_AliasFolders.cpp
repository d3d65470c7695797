// The alias page: list, and pointing one or all aliases at a folder of database files.

#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// The tests write paths with "/"; the program, like the folder picker it gets them from, uses the
// system's own separator. Every "/" below is a path's.
QString Native(const QString &text)
{
    return QDir::toNativeSeparators(text);
}

QStringList Native(QStringList lines)
{
    for (QString &line : lines)
        line = Native(line);
    return lines;
}

QByteArray NativeFile(const char *text)
{
    return Native(QString::fromUtf8(text)).toUtf8();
}

const QByteArray AliasFile = NativeFile("# Aliases\n"
                                        "HV = /old/main.fdb\n"
                                        "pq_items=\n"
                                        "employee = /srv/employee.fdb\n");

const QStringList LoadedLines =
    Native({u"# Aliases"_s, u"HV=/old/main.fdb"_s, u"pq_items="_s, u"employee=/srv/employee.fdb"_s});

struct TOpenAliasPage {
    TWindowFixture Fixture;
    QTreeWidget *List;

    explicit TOpenAliasPage(const QByteArray &aliases = AliasFile)
    {
        Fixture.WriteServerFile(u"databases.conf"_s, aliases);
        Fixture.Open(Fixture.ServerFolder());
        List = Fixture.Control<QTreeWidget>("FBAliasList");
    }

    // Runs Update with the folder picked and the answer given to the question.
    void Update(int row, const QString &folder, int answer)
    {
        List->setCurrentItem(List->topLevelItem(row));
        Fixture.Dialogs.FolderAnswers = {Native(folder)};
        Fixture.Dialogs.MessageAnswers = {answer};
        Fixture.Control<QToolButton>("EditBtn")->click();
    }

    QStringList Paths() const
    {
        QStringList paths;
        for (int row = 0; row < List->topLevelItemCount(); ++row)
            paths << List->topLevelItem(row)->text(2);
        return paths;
    }
};

} // namespace

class TestAliasFolders : public QObject {
    Q_OBJECT

private slots:
    void listShowsCatalogueAndPaths();
    void assign_data();
    void assign();
    void allOnFileWithoutAliases();
    void allToFolderWithHashAndBack();
    void cancelledPickerChangesNothing();
    void yesWithoutSelectedRowAssignsNothing();
    void enterAndDoubleClickRunUpdate();
    void missingDatabasesAreMarked_data();
    void missingDatabasesAreMarked();
    void assignmentShowsWhatIsMissing();
};

void TestAliasFolders::listShowsCatalogueAndPaths()
{
    TOpenAliasPage page;
    QCOMPARE(page.List->topLevelItemCount(), 8);
    QCOMPARE(page.List->topLevelItem(0)->text(0), u"hv_sec"_s);
    QCOMPARE(page.List->topLevelItem(0)->text(1), u"Anmelde-Datenbank"_s);
    QCOMPARE(page.List->topLevelItem(7)->text(0), u"pq_pics"_s);
    QCOMPARE(page.List->topLevelItem(7)->text(1), u"Bestandteil-Abbildungen"_s);
    // An alias written in upper case is found.
    QCOMPARE(page.Paths(),
             QStringList({QString(), Native(u"/old/main.fdb"_s), QString(), QString(), QString(), QString(), QString(),
                          QString()}));
    QCOMPARE(page.List->columnWidth(0), 200);
    QCOMPARE(page.List->columnWidth(1), 198);
    QCOMPARE(page.List->selectedItems(), QList<QTreeWidgetItem *>({page.List->topLevelItem(0)}));
}

void TestAliasFolders::assign_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("shownPath");

    QTest::newRow("Yes, no line, no security alias: only the alias line")
        << 2 << u"/srv/db"_s << mrYes << LoadedLines + QStringList(u"hv_media=/srv/db/hv_media.db"_s)
        << u"/srv/db/hv_media.db"_s;
    QTest::newRow("Yes on the security alias: never a block")
        << 0 << u"/srv/db"_s << mrYes << LoadedLines + QStringList(u"hv_sec=/srv/db/hv_sec.db"_s)
        << u"/srv/db/hv_sec.db"_s;
    QTest::newRow("Yes on an existing path keeps its file name and spelling of the line")
        << 1 << u"/srv/db"_s << mrYes
        << QStringList({u"# Aliases"_s, u"HV=/srv/db/main.fdb"_s, u"pq_items="_s, u"employee=/srv/employee.fdb"_s})
        << u"/srv/db/main.fdb"_s;
    QTest::newRow("Yes on a line left empty: set in place")
        << 4 << u"/srv/db"_s << mrYes
        << QStringList({u"# Aliases"_s, u"HV=/old/main.fdb"_s, u"pq_items=/srv/db/pq_items.db"_s,
                        u"employee=/srv/employee.fdb"_s})
        << u"/srv/db/pq_items.db"_s;
    QTest::newRow("root folder gives one separator")
        << 2 << u"/"_s << mrYes << LoadedLines + QStringList(u"hv_media=/hv_media.db"_s) << u"/hv_media.db"_s;
    QTest::newRow("folder with its separator gives one separator")
        << 2 << u"/srv/db/"_s << mrYes << LoadedLines + QStringList(u"hv_media=/srv/db/hv_media.db"_s)
        << u"/srv/db/hv_media.db"_s;
    QTest::newRow("No assigns nothing") << 2 << u"/srv/db"_s << mrNo << LoadedLines << QString();
    QTest::newRow("closed box assigns nothing") << 2 << u"/srv/db"_s << mrCancel << LoadedLines << QString();
}

void TestAliasFolders::assign()
{
    QFETCH(int, row);
    QFETCH(QString, folder);
    QFETCH(int, answer);
    QFETCH(QStringList, lines);
    QFETCH(QString, shownPath);
    lines = Native(lines);
    shownPath = Native(shownPath);

    TOpenAliasPage page;
    page.Update(row, folder, answer);

    TParvexDlg &window = page.Fixture.Window();
    QCOMPARE(page.Fixture.Dialogs.Messages.size(), 1);
    // The question names the folder picked and the alias marked, each on a line of its own.
    const QString shownFolder = Native(folder.endsWith(u'/') ? folder : folder + u'/');
    QCOMPARE(page.Fixture.Dialogs.Messages[0].Text,
             u"Set selected or all Aliases\n\nOrdner: "_s + shownFolder + u"\nMarkierter Alias: "_s
                 + page.List->topLevelItem(row)->text(0));
    QCOMPARE(page.Fixture.Dialogs.Messages[0].Kind, TMsgKind::Confirmation);
    QCOMPARE(page.Fixture.Dialogs.Messages[0].Buttons, TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
    QCOMPARE(page.Fixture.Dialogs.FolderTitles, QStringList(u"Choice Folder of Firebird Databases"_s));
    QCOMPARE(window.AliasList().Lines(), lines);
    QCOMPARE(page.List->topLevelItem(row)->text(2),
             shownPath.isNull() ? window.AliasList().Values(page.List->topLevelItem(row)->text(0)) : shownPath);
    QCOMPARE(page.Fixture.ShownRawText(TParvexDlg::AliasPage), lines.join(u'\n'));
    // The flag rises whatever the answer, so Save writes the normalised file.
    QVERIFY(window.AliasChanged());
    QVERIFY(!window.ConfigChanged());

    page.Fixture.Control<QToolButton>("SaveBtn")->click();
    QCOMPARE(page.Fixture.ReadServerFile(u"databases.conf"_s), CrLfLines(lines));
}

void TestAliasFolders::allOnFileWithoutAliases()
{
    TOpenAliasPage page(NativeFile("# none of ours\nemployee = /srv/employee.fdb\n"));
    page.Update(3, u"/srv/db"_s, mrAll);

    QStringList expected = {u"# none of ours"_s, u"employee=/srv/employee.fdb"_s, u"hv_sec=/srv/db/hv_sec.db"_s};
    for (const char *key : {"hv", "hv_media", "hv_mkt", "pq_items", "pq_stock", "pq_rates", "pq_pics"}) {
        const QString alias = QLatin1String(key);
        expected << alias + u"=/srv/db/"_s + alias + u".db"_s << u"{"_s << u"SecurityDatabase=hv_sec"_s << u"}"_s;
    }
    QCOMPARE(page.Fixture.Window().AliasList().Lines(), Native(expected));
    QCOMPARE(page.Paths(),
             Native({u"/srv/db/hv_sec.db"_s, u"/srv/db/hv.db"_s, u"/srv/db/hv_media.db"_s, u"/srv/db/hv_mkt.db"_s,
                     u"/srv/db/pq_items.db"_s, u"/srv/db/pq_stock.db"_s, u"/srv/db/pq_rates.db"_s,
                     u"/srv/db/pq_pics.db"_s}));
}

// The server would cut a path at its "#": such paths go into the file in double quotes, while the
// list shows the path itself, and a second assignment reads it without them.
void TestAliasFolders::allToFolderWithHashAndBack()
{
    TOpenAliasPage page(NativeFile("hv = \"/old/n#0/main.fdb\"\npq_items=\"\"\n"));
    QCOMPARE(page.Paths()[1], Native(u"/old/n#0/main.fdb"_s));
    QCOMPARE(page.Paths()[4], QString());

    const QStringList files = {u"hv_sec.db"_s,   u"main.fdb"_s,    u"hv_media.db"_s, u"hv_mkt.db"_s,
                               u"pq_items.db"_s, u"pq_stock.db"_s, u"pq_rates.db"_s, u"pq_pics.db"_s};
    for (const QString &folder : {u"/srv/n#1"_s, u"/srv/db"_s}) {
        page.Update(0, folder, mrAll);
        const QStringList keys = AliasCatalogKeys();
        for (int row = 0; row < 8; ++row) {
            const QString path = Native(folder + u'/' + files[row]);
            QCOMPARE(page.Paths()[row], path);
            const QString written = folder.contains(u'#') ? u'"' + path + u'"' : path;
            QCOMPARE(page.Fixture.Window().AliasList().Values(keys[row]), written);
        }
    }
    QCOMPARE(page.Fixture.Window().AliasList().Lines().mid(0, 2),
             Native({u"hv=/srv/db/main.fdb"_s, u"pq_items=/srv/db/pq_items.db"_s}));
}

void TestAliasFolders::cancelledPickerChangesNothing()
{
    TOpenAliasPage page;
    page.List->setCurrentItem(page.List->topLevelItem(2));
    page.Fixture.Control<QToolButton>("EditBtn")->click(); // the script cancels the picker
    QCOMPARE(page.Fixture.Dialogs.FolderTitles.size(), 1);
    QVERIFY(page.Fixture.Dialogs.Messages.isEmpty());
    QCOMPARE(page.Fixture.Window().AliasList().Lines(), LoadedLines);
    QVERIFY(!page.Fixture.Window().AliasChanged());
}

void TestAliasFolders::yesWithoutSelectedRowAssignsNothing()
{
    TOpenAliasPage page;
    page.Fixture.Dialogs.FolderAnswers = {Native(u"/srv/db"_s)};
    page.Fixture.Dialogs.MessageAnswers = {mrYes};
    page.List->clearSelection();
    page.Fixture.Control<QToolButton>("EditBtn")->click();
    QCOMPARE(page.Fixture.Window().AliasList().Lines(), LoadedLines);
    QCOMPARE(page.Paths()[2], QString());
    QVERIFY(page.Fixture.Window().AliasChanged());
}

void TestAliasFolders::enterAndDoubleClickRunUpdate()
{
    TOpenAliasPage page;
    page.List->setCurrentItem(page.List->topLevelItem(2));
    page.Fixture.Dialogs.FolderAnswers = {Native(u"/a"_s), Native(u"/b"_s)};
    page.Fixture.Dialogs.MessageAnswers = {mrYes, mrYes};
    QTest::keyClick(page.List, Qt::Key_Return);
    QCOMPARE(page.Paths()[2], Native(u"/a/hv_media.db"_s));
    QTest::mouseDClick(page.List->viewport(), Qt::LeftButton, {},
                       page.List->visualItemRect(page.List->topLevelItem(2)).center());
    QCOMPARE(page.Paths()[2], Native(u"/b/hv_media.db"_s));
    QCOMPARE(page.Fixture.Window().AliasList().Values(u"hv_media"), Native(u"/b/hv_media.db"_s));
}

QTEST_MAIN(TestAliasFolders)
#include "tst_AliasFolders.moc"

// The alias list marks a database file that does not exist, and differently one whose folder does
// not exist either; the tooltip says which. Paths that are not this machine's absolute paths, and
// aliases without a path, stay unmarked.
void TestAliasFolders::missingDatabasesAreMarked_data()
{
    QTest::addColumn<QString>("path"); // "<here>" stands for an existing folder
    QTest::addColumn<QString>("mark"); // "", "file" or "folder"

    QTest::newRow("file there") << u"<here>/hv.db"_s << QString();
    QTest::newRow("file missing") << u"<here>/missing.db"_s << u"file"_s;
    QTest::newRow("folder missing") << u"<here>/gone/hv.db"_s << u"folder"_s;
    QTest::newRow("path with blanks and umlauts, missing") << u"<here>/Datenbänke neu/hv.db"_s << u"folder"_s;
    QTest::newRow("relative path") << u"data/hv.db"_s << QString();
    QTest::newRow("no path") << QString() << QString();
}

void TestAliasFolders::missingDatabasesAreMarked()
{
    QFETCH(QString, path);
    QFETCH(QString, mark);
    QTemporaryDir here;
    QVERIFY(here.isValid());
    QFile database(QDir(here.path()).filePath(u"hv.db"_s));
    QVERIFY(database.open(QIODevice::WriteOnly));
    database.close();
    path = Native(path.replace(u"<here>"_s, here.path()));

    // With its mark, the file reads as UTF-8 on every system, umlauts included.
    TOpenAliasPage page("\xEF\xBB\xBF" + u"hv = %1\n"_s.arg(path).toUtf8());
    QTreeWidgetItem *row = page.List->topLevelItem(1);
    QCOMPARE(row->text(2), path);
    const QString missingFile = u"Die Datenbankdatei „%1“ gibt es noch nicht."_s.arg(path);
    const QString missingFolder = u"Der Ordner „%1“ der Datenbankdatei fehlt, und damit auch die Datei."_s.arg(
        Native(QFileInfo(path).absolutePath()));
    const QString tip = mark == u"file" ? missingFile : mark == u"folder" ? missingFolder : QString();
    for (int column = 0; column < row->columnCount(); ++column)
        QCOMPARE(row->toolTip(column), tip);
    QCOMPARE(row->icon(2).isNull(), mark.isEmpty());
    // The two marks look different, and differ from an alias without a path.
    if (!mark.isEmpty()) {
        const QIcon other = page.List->style()->standardIcon(mark == u"file" ? QStyle::SP_MessageBoxWarning
                                                                             : QStyle::SP_MessageBoxInformation);
        QVERIFY(row->icon(2).cacheKey() != other.cacheKey());
        QVERIFY(page.List->topLevelItem(0)->icon(2).isNull());
    }
}

// An assignment into an empty folder shows at once that the database files are still missing;
// a file made there meanwhile shows unmarked at the next assignment.
void TestAliasFolders::assignmentShowsWhatIsMissing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    TOpenAliasPage page;
    page.Update(0, folder.path(), mrAll);
    for (int row = 0; row < page.List->topLevelItemCount(); ++row)
        QVERIFY2(page.List->topLevelItem(row)->toolTip(2).contains(u"gibt es noch nicht"_s),
                 qPrintable(page.List->topLevelItem(row)->text(0)));

    QFile database(QDir(folder.path()).filePath(u"hv_sec.db"_s));
    QVERIFY(database.open(QIODevice::WriteOnly));
    database.close();
    page.Update(0, folder.path(), mrAll);
    QCOMPARE(page.List->topLevelItem(0)->toolTip(2), QString());
    QVERIFY(page.List->topLevelItem(1)->toolTip(2).contains(u"gibt es noch nicht"_s));
}
