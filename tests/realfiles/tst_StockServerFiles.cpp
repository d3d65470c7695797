// Debian's stock server files, which no one here wrote, taken through the program's whole path:
// load, normalise, set two parameters, point all aliases at a folder, save. The saved files may
// differ from the stock ones only where an edit or the normalisation says so, and end every line
// with CR LF. scripts/setup.sh unpacks the files from Debian's packages into build/.

#include "config/ktFBFunc.h"
#include "text/LineDocument.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using TReplacements = QHash<QByteArray, QByteArray>;

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStockServerFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void serverConfigurationKeepsAllButTheEditedLines();
    void aliasFileKeepsAllButTheNormalisedLinesAndGainsTheAliases();

private:
    // A working copy of the stock file `name`, as the program would find it in the server folder.
    QString CopyOfStockFile(const QString &name);
    // Compares `saved` line by line with the stock file `name` in which each line that is a key
    // of `replacements` (there must be exactly one) is replaced by its value and to which
    // `appended` is added, every line ending in CR LF.
    void CompareWithStock(const QString &name, const QByteArray &saved, const TReplacements &replacements,
                          const QByteArrayList &appended);

    QDir FStock{QString::fromUtf8(TESSARO_STOCK_FILES)};
    QTemporaryDir FServerFolder;
};

void TestStockServerFiles::initTestCase()
{
    const QStringList names{u"firebird.conf"_s, u"databases.conf"_s};
    for (const QString &name : names) {
        if (!FStock.exists(name)) {
            QSKIP(qPrintable(
                u"Debian's stock %1 is missing in %2: scripts/setup.sh fetches it "
                "(scripts/fetch-stock-server-files.sh), which needs the network."_s.arg(name, FStock.path())));
        }
    }
    QVERIFY(FServerFolder.isValid());
}

QString TestStockServerFiles::CopyOfStockFile(const QString &name)
{
    const QString path = FServerFolder.filePath(name);
    QFile::remove(path);
    if (!QFile::copy(FStock.filePath(name), path))
        return {};
    // The package's files are read-only for everyone but root; the copy must be writable.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

void TestStockServerFiles::CompareWithStock(const QString &name, const QByteArray &saved,
                                            const TReplacements &replacements, const QByteArrayList &appended)
{
    const QByteArray stock = ReadFile(FStock.filePath(name));
    // The stock files have LF endings and no mark: every CR and every mark in the result is ours.
    QVERIFY(!stock.contains('\r'));
    QVERIFY(!stock.startsWith("\xEF\xBB\xBF"));
    QVERIFY(stock.endsWith('\n'));

    QByteArrayList expected = stock.chopped(1).split('\n');
    for (auto replacement = replacements.cbegin(); replacement != replacements.cend(); ++replacement) {
        QVERIFY2(expected.count(replacement.key()) == 1,
                 qPrintable(u"the stock %1 should hold the line \"%2\" once"_s.arg(
                     name, QString::fromLatin1(replacement.key()))));
        expected[expected.indexOf(replacement.key())] = replacement.value();
    }
    expected += appended;

    // Every line break is CR LF, the last line's included: no lone CR, no lone LF.
    QVERIFY2(saved.endsWith("\r\n"), "the last line should end in CR LF");
    QCOMPARE(saved.count('\r'), saved.count("\r\n"));
    QCOMPARE(saved.count('\n'), saved.count("\r\n"));

    const QByteArrayList lines = QByteArray(saved).replace("\r\n", "\n").chopped(1).split('\n');
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i) {
        QVERIFY2(lines[i] == expected[i],
                 qPrintable(u"line %1 is \"%2\", expected \"%3\""_s.arg(i + 1).arg(QString::fromLatin1(lines[i]),
                                                                                   QString::fromLatin1(expected[i]))));
    }
    QCOMPARE(lines.size(), expected.size());
}

void TestStockServerFiles::serverConfigurationKeepsAllButTheEditedLines()
{
    const QString path = CopyOfStockFile(u"firebird.conf"_s);
    QVERIFY(!path.isEmpty());
    TLineDocument document;
    document.LoadFromFile(path);
    NormalizeLines(document);
    SetConfigValue(document, u"DefaultDbCachePages"_s, u"4096"_s);
    SetConfigValue(document, u"RemoteServicePort"_s, u"3051"_s);
    document.SaveToFile(path);

    // The header explains the syntax with example lines such as
    // "#    DefaultDbCachePages = 2048   # This is an end-of-line comment": those stay as they are,
    // and the commented-out defaults further down become the active lines.
    const TReplacements replacements{
        {"#DefaultDbCachePages = 2048", "DefaultDbCachePages=4096"},
        {"#RemoteServicePort = 3050", "RemoteServicePort=3051"},
        {"UdfAccess = None", "UdfAccess=None"},
        {"RemoteBindAddress = localhost", "RemoteBindAddress=localhost"},
    };
    const QByteArray saved = ReadFile(path);
    QVERIFY(saved.contains("\r\n#    DefaultDbCachePages = 2048   # This is an end-of-line comment\r\n"));
    CompareWithStock(u"firebird.conf"_s, saved, replacements, {});
}

void TestStockServerFiles::aliasFileKeepsAllButTheNormalisedLinesAndGainsTheAliases()
{
    const QString path = CopyOfStockFile(u"databases.conf"_s);
    QVERIFY(!path.isEmpty());
    TLineDocument document;
    document.LoadFromFile(path);
    NormalizeLines(document);
    // As the Update command with All does: every catalogue row in order.
    const QString folder = u"/srv/halvora/"_s;
    for (int index = 0; index < int(AliasCatalog.size()); ++index) {
        const QString key = QString::fromLatin1(AliasCatalog[std::size_t(index)].Key);
        QCOMPARE(AssignAliasFolder(document, folder, u'/', key, index), folder + key + ".db");
    }
    document.SaveToFile(path);

    // The stock file's own alias, its block and the commented-out example stay where they are.
    const TReplacements replacements{
        {"security.db = $(dir_secDb)/security3.fdb", "security.db=$(dir_secDb)/security3.fdb"},
        {"\tRemoteAccess = false", "RemoteAccess=false"},
        {"\tDefaultDbCachePages = 50", "DefaultDbCachePages=50"},
    };
    // The security database comes first and has no block; every later alias names it.
    const QByteArrayList appended{
        "hv_sec=/srv/halvora/hv_sec.db",
        "hv=/srv/halvora/hv.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "hv_media=/srv/halvora/hv_media.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "hv_mkt=/srv/halvora/hv_mkt.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "pq_items=/srv/halvora/pq_items.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "pq_stock=/srv/halvora/pq_stock.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "pq_rates=/srv/halvora/pq_rates.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
        "pq_pics=/srv/halvora/pq_pics.db",
        "{",
        "SecurityDatabase=hv_sec",
        "}",
    };
    CompareWithStock(u"databases.conf"_s, ReadFile(path), replacements, appended);
}

QTEST_GUILESS_MAIN(TestStockServerFiles)
#include "tst_StockServerFiles.moc"
