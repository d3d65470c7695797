#include "config/ktFBFunc.h"

#include "text/SettingsFile.h"

#include <QMap>
#include <QSet>
#include <QTest>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

TLineDocument DocumentOf(const QStringList &lines)
{
    TLineDocument document;
    document.AddStrings(lines);
    return document;
}

const QString CachePages = u"DefaultDbCachePages"_s;

// The help text of `name` in the language file shipped with the program.
QString ShippedHelpText(const QString &name)
{
    return TSettingsFile(QString::fromUtf8(TESSARO_LANGUAGE_FILE)).ReadString(u"GERMAN"_s, name, QString());
}

// The names Firebird 3.0 and later ignore, with the name that took each one's place, if any.
const QMap<QString, QString> IgnoredNames = {
    {"RootDirectory", ""},
    {"ExternalTablesDirs", "ExternalFileAccess"},
    {"SortMemBlockSize", "TempBlockSize"},
    {"SortMemUpperLimit", "TempCacheLimit"},
    {"OldParameterOrdering", ""},
    {"CompleteBooleanEvaluation", ""},
    {"LockSemCount", ""},
    {"LockGrantOrder", ""},
    {"LockRequireSpins", "LockAcquireSpins"},
    {"PrioritySwitchDelay", ""},
    {"DeadThreadsCollection", ""},
    {"PriorityBoost", ""},
    {"IpcMapSize", ""},
    {"CreateInternalWindow", ""},
    {"LockSignal", ""},
};

const QString IgnoredSentence = u"Firebird 3.0 und neuer lesen diesen Namen nicht"_s;

} // namespace

class TestKtFBFunc : public QObject {
    Q_OBJECT

private slots:
    void paramCatalogRows_data();
    void paramCatalogRows();
    void paramCatalogNames();
    void ignoredParameters();
    void shippedHelpTextsOfIgnoredParameters();
    void shippedHelpTextsGiveBothDefaults_data();
    void shippedHelpTextsGiveBothDefaults();
    void shippedHelpTextOfBindAddressWarnsOfReset();
    void aliasCatalogRows_data();
    void aliasCatalogRows();
    void aliasCatalogFileNamesFollowKeys();

    void normalizeLines_data();
    void normalizeLines();
    void normalizeLinesLeavesNormalisedLinesUntouched();

    void activateCommentedKey_data();
    void activateCommentedKey();

    void setConfigValue_data();
    void setConfigValue();
    void setConfigValueTwiceActivatesOnce();

    void addAlias_data();
    void addAlias();
    void addSecurityBlock();
    void addingEveryAliasBlocksAllButTheSecurityDatabase();

    void aliasValue_data();
    void aliasValue();
    void aliasPath_data();
    void aliasPath();

    void assignAliasFolder_data();
    void assignAliasFolder();
};

void TestKtFBFunc::paramCatalogRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("defaultValue");

    QTest::newRow("first") << 0 << u"RootDirectory"_s << u""_s;
    QTest::newRow("cache pages") << 2 << u"DefaultDbCachePages"_s << u"2048"_s;
    QTest::newRow("sort upper limit") << 4 << u"SortMemUpperLimit"_s << u"67108864"_s;
    QTest::newRow("service name") << 13 << u"RemoteServiceName"_s << u"gds_db"_s;
    QTest::newRow("service port") << 14 << u"RemoteServicePort"_s << u"3050"_s;
    QTest::newRow("bind address") << 18 << u"RemoteBindAddress"_s << u""_s;
    QTest::newRow("ipc name") << 31 << u"IpcName"_s << u"FirebirdIPI"_s;
    QTest::newRow("pipe name") << 32 << u"RemotePipeName"_s << u"interbas"_s;
    QTest::newRow("last") << 36 << u"ServerMode"_s << u""_s;
}

void TestKtFBFunc::paramCatalogRows()
{
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, defaultValue);

    QCOMPARE(QString::fromUtf8(ParamCatalog.at(row).Name), name);
    QCOMPARE(QString::fromUtf8(ParamCatalog.at(row).Default), defaultValue);
}

void TestKtFBFunc::paramCatalogNames()
{
    // The table's length is fixed by its type; a row left out would show up as an empty name.
    const QStringList names = ParamCatalogNames();
    QCOMPARE(names.size(), 37);
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(!names.at(i).isEmpty());
        QCOMPARE(names.at(i), QString::fromUtf8(ParamCatalog.at(i).Name));
    }

    // The server ignores the letter case of names, so two rows must never name one parameter.
    QSet<QString> folded;
    for (const QString &name : names)
        folded.insert(name.toLower());
    QCOMPARE(folded.size(), names.size());
}

void TestKtFBFunc::ignoredParameters()
{
    QSet<QString> ignored;
    for (const TParamCatalogRow &row : ParamCatalog) {
        if (row.Use == TServerUse::Ignored)
            ignored.insert(QString::fromUtf8(row.Name));
    }
    QCOMPARE(ignored.size(), 15);
    QCOMPARE(ignored, QSet<QString>(IgnoredNames.keyBegin(), IgnoredNames.keyEnd()));
}

// Every ignored name says so first, and names its successor; no other text says so.
void TestKtFBFunc::shippedHelpTextsOfIgnoredParameters()
{
    for (const QString &name : ParamCatalogNames()) {
        const QString help = ShippedHelpText(name);
        QVERIFY2(!help.isEmpty(), qPrintable(name));
        if (!IgnoredNames.contains(name)) {
            QVERIFY2(!help.contains(IgnoredSentence), qPrintable(name));
            continue;
        }
        const QString firstLine = help.section(u"\\n"_s, 0, 0);
        QVERIFY2(firstLine.contains(IgnoredSentence), qPrintable(name));
        const QString successor = IgnoredNames.value(name);
        if (!successor.isEmpty())
            QVERIFY2(firstLine.contains(u"An seine Stelle trat %1."_s.arg(successor)), qPrintable(name));
        else
            QVERIFY2(!firstLine.contains(u"An seine Stelle"_s), qPrintable(name));
    }
}

void TestKtFBFunc::shippedHelpTextsGiveBothDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("serverDefault");

    QTest::newRow("LockHashSlots") << u"LockHashSlots"_s << u"8191"_s;
    QTest::newRow("LockMemSize") << u"LockMemSize"_s << u"1M"_s;
    QTest::newRow("DummyPacketInterval") << u"DummyPacketInterval"_s << u"0"_s;
    QTest::newRow("TcpNoNagle") << u"TcpNoNagle"_s << u"1"_s;
    QTest::newRow("CpuAffinityMask") << u"CpuAffinityMask"_s << u"0"_s;
    QTest::newRow("IpcName") << u"IpcName"_s << u"FIREBIRD"_s;
    QTest::newRow("ServerMode") << u"ServerMode"_s << u"Super"_s;
    QTest::newRow("MaxUnflushedWrites") << u"MaxUnflushedWrites"_s << u"-1 auf anderen Systemen als Windows"_s;
    QTest::newRow("MaxUnflushedWriteTime") << u"MaxUnflushedWriteTime"_s << u"-1 auf anderen Systemen als Windows"_s;
}

void TestKtFBFunc::shippedHelpTextsGiveBothDefaults()
{
    QFETCH(QString, name);
    QFETCH(QString, serverDefault);

    const auto row = std::find_if(ParamCatalog.begin(), ParamCatalog.end(),
                                  [&](const TParamCatalogRow &r) { return name == QLatin1String(r.Name); });
    QVERIFY(row != ParamCatalog.end());
    const QString catalogDefault = *row->Default ? QString::fromUtf8(row->Default) : u"leer"_s;
    const QString help = ShippedHelpText(name);
    const QString expected = u"Standard: %1"_s.arg(catalogDefault);
    QVERIFY2(help.contains(expected + u';') || help.contains(expected + u" ("_s), qPrintable(help));
    QVERIFY2(help.contains(u"Firebird 3.0 selbst nimmt ohne Eintrag %1"_s.arg(serverDefault)), qPrintable(help));
}

void TestKtFBFunc::shippedHelpTextOfBindAddressWarnsOfReset()
{
    const QString help = ShippedHelpText(u"RemoteBindAddress"_s);
    QVERIFY(help.contains(u"Zurücksetzen entfernt die Zeile"_s));
    QVERIFY(help.contains(u"alle Netzwerkschnittstellen"_s));
    QVERIFY(help.contains(u"RemoteBindAddress = localhost"_s));
}

void TestKtFBFunc::aliasCatalogRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("description");

    QTest::newRow("security database") << 0 << u"hv_sec"_s << u"Anmelde-Datenbank"_s;
    QTest::newRow("main database") << 1 << u"hv"_s << u"Stamm-Datenbank"_s;
    QTest::newRow("marketplace") << 3 << u"hv_mkt"_s << u"Marktplatz-Datenbank"_s;
    QTest::newRow("last") << 7 << u"pq_pics"_s << u"Bestandteil-Abbildungen"_s;
}

void TestKtFBFunc::aliasCatalogRows()
{
    QFETCH(int, row);
    QFETCH(QString, key);
    QFETCH(QString, description);

    QCOMPARE(QString::fromUtf8(AliasCatalog.at(row).Key), key);
    QCOMPARE(QString::fromUtf8(AliasCatalog.at(row).Description), description);
    QCOMPARE(AliasCatalogKeys().at(row), key);
}

void TestKtFBFunc::aliasCatalogFileNamesFollowKeys()
{
    QCOMPARE(SecurityAlias(), u"hv_sec"_s);
    const QStringList keys = AliasCatalogKeys();
    QCOMPARE(keys.size(), 8);
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(keys.at(i), QString::fromUtf8(AliasCatalog.at(i).Key));
        QCOMPARE(QString::fromUtf8(AliasCatalog.at(i).FileName), keys.at(i) + u".db"_s);
    }
}

void TestKtFBFunc::normalizeLines_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");

    const QString normalised = u"DefaultDbCachePages=4096"_s;
    QTest::newRow("blanks around =") << QStringList{"DefaultDbCachePages = 4096"} << QStringList{normalised};
    QTest::newRow("tabs around =") << QStringList{"DefaultDbCachePages\t=\t4096"} << QStringList{normalised};
    QTest::newRow("blanks at the end") << QStringList{"DefaultDbCachePages = 4096   "} << QStringList{normalised};
    QTest::newRow("control characters trimmed")
        << QStringList{u"\x01 DefaultDbCachePages =4096\x1f"_s} << QStringList{normalised};
    QTest::newRow("already normalised") << QStringList{normalised} << QStringList{normalised};
    QTest::newRow("comment line") << QStringList{"#DefaultDbCachePages = 2048"}
                                  << QStringList{"#DefaultDbCachePages = 2048"};
    QTest::newRow("lines without =") << QStringList{"", "{", "}", "   "} << QStringList{"", "{", "}", "   "};
    QTest::newRow("indented comment loses its blanks")
        << QStringList{"   #DefaultDbCachePages = 2048"} << QStringList{"#DefaultDbCachePages=2048"};
    QTest::newRow("empty value") << QStringList{"DefaultDbCachePages =", "DefaultDbCachePages =   "}
                                 << QStringList{"DefaultDbCachePages =", "DefaultDbCachePages =   "};
    QTest::newRow("empty name") << QStringList{" = 4096"} << QStringList{" = 4096"};
    QTest::newRow("trailing comment kept")
        << QStringList{"DefaultDbCachePages = 4096 # pages"} << QStringList{"DefaultDbCachePages=4096 # pages"};
    QTest::newRow("alias block line") << QStringList{"{", "    SecurityDatabase = hv_sec", "}"}
                                      << QStringList{"{", "SecurityDatabase=hv_sec", "}"};
    QTest::newRow("alias path") << QStringList{"hv = D:\\Data\\hv.db"} << QStringList{"hv=D:\\Data\\hv.db"};
    QTest::newRow("value holding =") << QStringList{"P = a=b", "P = a = b ", "P==x"}
                                     << QStringList{"P=a=b", "P=a = b", "P==x"};
    QTest::newRow("only changed lines change") << QStringList{"# head", "A = 1", "", "B=2", "#C = 3", "D = 4"}
                                               << QStringList{"# head", "A=1", "", "B=2", "#C = 3", "D=4"};
}

void TestKtFBFunc::normalizeLines()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);

    TLineDocument document = DocumentOf(before);
    NormalizeLines(document);
    QCOMPARE(document.Lines(), after);
}

void TestKtFBFunc::normalizeLinesLeavesNormalisedLinesUntouched()
{
    TLineDocument document = DocumentOf({"#A = 1", "B=2", "C = 3", "", "plain text"});
    const quint64 before = document.Revision();

    NormalizeLines(document);

    // One change, the one line that needed it: the others were not replaced, even by an equal copy.
    QCOMPARE(document.Revision(), before + 1);
    QCOMPARE(document.Lines(), QStringList({"#A = 1", "B=2", "C=3", "", "plain text"}));
    NormalizeLines(document);
    QCOMPARE(document.Revision(), before + 1);
}

void TestKtFBFunc::activateCommentedKey_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("commented default") << QStringList{"#DefaultDbCachePages = 2048"} << CachePages
                                       << QStringList{"DefaultDbCachePages=2048"};
    QTest::newRow("blanks before #") << QStringList{"   #DefaultDbCachePages = 2048"} << CachePages
                                     << QStringList{"DefaultDbCachePages=2048"};
    QTest::newRow("two #") << QStringList{"##DefaultDbCachePages = 2048"} << CachePages
                           << QStringList{"DefaultDbCachePages=2048"};
    QTest::newRow("tab and # mixed") << QStringList{"\t# #DefaultDbCachePages\t=\t2048"} << CachePages
                                     << QStringList{"DefaultDbCachePages=2048"};
    QTest::newRow("blank after #") << QStringList{"# DefaultDbCachePages = 2048"} << CachePages
                                   << QStringList{"# DefaultDbCachePages = 2048"};
    QTest::newRow("other letter case") << QStringList{"#defaultdbcachepages = 2048"} << CachePages
                                       << QStringList{"#defaultdbcachepages = 2048"};
    QTest::newRow("only the first of two")
        << QStringList{"#DefaultDbCachePages = 2048", "#DefaultDbCachePages = 1024"} << CachePages
        << QStringList{"DefaultDbCachePages=2048", "#DefaultDbCachePages = 1024"};
    QTest::newRow("key alone") << QStringList{"#DefaultDbCachePages"} << CachePages
                               << QStringList{"DefaultDbCachePages="};
    QTest::newRow("key and =") << QStringList{"#DefaultDbCachePages ="} << CachePages
                               << QStringList{"DefaultDbCachePages="};
    QTest::newRow("trailing comment") << QStringList{"#DefaultDbCachePages = 2048 # pages"} << CachePages
                                      << QStringList{"DefaultDbCachePages=2048 # pages"};
    QTest::newRow("value holding =") << QStringList{"#P = a=b"} << "P" << QStringList{"P=a=b"};
    QTest::newRow("no hit") << QStringList{"#Other = 1", "P=2"} << "P" << QStringList{"#Other = 1", "P=2"};

    QTest::newRow("longer name is skipped, own line taken")
        << QStringList{"#PQ = 5", "#P = 1"} << "P" << QStringList{"#PQ = 5", "P=1"};
    QTest::newRow("longer name alone") << QStringList{"#PQ = 5"} << "P" << QStringList{"#PQ = 5"};
    QTest::newRow("text before the #") << QStringList{"X = 1 #P = D", "#P = E"} << "P"
                                       << QStringList{"X = 1 #P = D", "P=E"};
    QTest::newRow("prose after the key") << QStringList{"#P sets the pages", "#P = 7"} << "P"
                                         << QStringList{"#P sets the pages", "P=7"};
    QTest::newRow("active line is no comment") << QStringList{"P = 1"} << "P" << QStringList{"P = 1"};
}

void TestKtFBFunc::activateCommentedKey()
{
    QFETCH(QStringList, before);
    QFETCH(QString, key);
    QFETCH(QStringList, after);

    TLineDocument document = DocumentOf(before);
    ActivateCommentedKey(document, key);
    QCOMPARE(document.Lines(), after);
}

void TestKtFBFunc::setConfigValue_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("after");

    // Key P throughout; D is the commented-out default, V the new value.
    QTest::newRow("active line") << QStringList{"a=1", "P=X", "b=2"} << "V" << QStringList{"a=1", "P=V", "b=2"};
    QTest::newRow("commented line") << QStringList{"a=1", "#P = D", "b=2"} << "V" << QStringList{"a=1", "P=V", "b=2"};
    QTest::newRow("no line") << QStringList{"a=1"} << "V" << QStringList{"a=1", "P=V"};
    QTest::newRow("active line, empty value") << QStringList{"a=1", "P=X", "b=2"} << "" << QStringList{"a=1", "b=2"};
    QTest::newRow("commented line, empty value")
        << QStringList{"a=1", "#P = D", "b=2"} << "" << QStringList{"a=1", "b=2"};
    QTest::newRow("no line, empty value") << QStringList{"a=1"} << "" << QStringList{"a=1"};
    QTest::newRow("other letter case") << QStringList{"p=X"} << "V" << QStringList{"P=V"};
    QTest::newRow("active line wins over the comment")
        << QStringList{"#P = D", "P=X"} << "V" << QStringList{"#P = D", "P=V"};
    QTest::newRow("empty active line before the comment")
        << QStringList{"P=", "#P = D"} << "V" << QStringList{"P=V", "#P = D"};
    QTest::newRow("empty active line after the comment")
        << QStringList{"#P = D", "P="} << "V" << QStringList{"#P = D", "P=V"};
    QTest::newRow("longer name's comment stays") << QStringList{"#PQ = 5"} << "V" << QStringList{"#PQ = 5", "P=V"};
}

void TestKtFBFunc::setConfigValue()
{
    QFETCH(QStringList, before);
    QFETCH(QString, value);
    QFETCH(QStringList, after);

    TLineDocument document = DocumentOf(before);
    SetConfigValue(document, u"P"_s, value);
    QCOMPARE(document.Lines(), after);
}

void TestKtFBFunc::setConfigValueTwiceActivatesOnce()
{
    TLineDocument document = DocumentOf({"#DefaultDbCachePages = 2048", "#DefaultDbCachePages = 1024"});

    SetConfigValue(document, CachePages, u"8192"_s);
    SetConfigValue(document, CachePages, u"8192"_s);

    QCOMPARE(document.Lines(), QStringList({"DefaultDbCachePages=8192", "#DefaultDbCachePages = 1024"}));
}

void TestKtFBFunc::addAlias_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("after");

    const QString path = u"D:\\Db\\x.db"_s;
    const QStringList block{"{", "SecurityDatabase=hv_sec", "}"};

    QTest::newRow("no security line") << QStringList{"other=1"} << "hv" << QStringList{"other=1", "hv=" + path};
    QTest::newRow("security line") << QStringList{"hv_sec=S"} << "hv" << QStringList{"hv_sec=S", "hv=" + path} + block;
    QTest::newRow("security line in upper case")
        << QStringList{"HV_SEC=S"} << "hv" << QStringList{"HV_SEC=S", "hv=" + path} + block;
    QTest::newRow("security line commented out")
        << QStringList{"#hv_sec=S"} << "hv" << QStringList{"#hv_sec=S", "hv=" + path};
    QTest::newRow("security line not normalised")
        << QStringList{"hv_sec = S"} << "hv" << QStringList{"hv_sec = S", "hv=" + path};
    QTest::newRow("security alias itself, empty") << QStringList{} << "hv_sec" << QStringList{"hv_sec=" + path};
    QTest::newRow("security alias itself, present")
        << QStringList{"hv_sec=S"} << "hv_sec" << QStringList{"hv_sec=S", "hv_sec=" + path};
    // The key is compared with the security alias exactly, while its own new line is then found
    // by the case-blind lookup.
    QTest::newRow("security alias in upper case") << QStringList{} << "HV_SEC" << QStringList{"HV_SEC=" + path} + block;
}

void TestKtFBFunc::addAlias()
{
    QFETCH(QStringList, before);
    QFETCH(QString, key);
    QFETCH(QStringList, after);

    TLineDocument document = DocumentOf(before);
    AddAlias(document, key, u"D:\\Db\\x.db"_s);
    QCOMPARE(document.Lines(), after);
}

void TestKtFBFunc::addSecurityBlock()
{
    TLineDocument document = DocumentOf({"hv=x"});
    AddSecurityBlock(document);
    QCOMPARE(document.Lines(), QStringList({"hv=x", "{", "SecurityDatabase=hv_sec", "}"}));
}

void TestKtFBFunc::addingEveryAliasBlocksAllButTheSecurityDatabase()
{
    TLineDocument document;
    for (const TAliasCatalogRow &row : AliasCatalog)
        AddAlias(document, QString::fromUtf8(row.Key), "D:\\Db\\" + QString::fromUtf8(row.FileName));

    QCOMPARE(document.Count(), 1 + 7 * 4);
    QCOMPARE(document.Lines().mid(0, 9),
             QStringList({"hv_sec=D:\\Db\\hv_sec.db", "hv=D:\\Db\\hv.db", "{", "SecurityDatabase=hv_sec", "}",
                          "hv_media=D:\\Db\\hv_media.db", "{", "SecurityDatabase=hv_sec", "}"}));
    QCOMPARE(document.Lines().mid(25),
             QStringList({"pq_pics=D:\\Db\\pq_pics.db", "{", "SecurityDatabase=hv_sec", "}"}));
}

void TestKtFBFunc::aliasValue_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");

    QTest::newRow("plain path as it is") << u"/srv/db/hv.db"_s << u"/srv/db/hv.db"_s;
    QTest::newRow("Windows path as it is") << u"D:\\Db\\hv.db"_s << u"D:\\Db\\hv.db"_s;
    QTest::newRow("blank inside as it is") << u"/srv/my db/hv.db"_s << u"/srv/my db/hv.db"_s;
    QTest::newRow("umlauts as they are") << u"/srv/Datenbänke/hv.db"_s << u"/srv/Datenbänke/hv.db"_s;
    QTest::newRow("empty as it is") << u""_s << u""_s;
    QTest::newRow("# would start a comment") << u"/srv/n#1/hv.db"_s << u"\"/srv/n#1/hv.db\""_s;
    QTest::newRow("# at the end") << u"/srv/hv.db#"_s << u"\"/srv/hv.db#\""_s;
    QTest::newRow("leading blank would be trimmed") << u" x/hv.db"_s << u"\" x/hv.db\""_s;
    QTest::newRow("trailing blank would be trimmed") << u"/srv/hv.db "_s << u"\"/srv/hv.db \""_s;
    QTest::newRow("trailing tab would be trimmed") << u"/srv/hv.db\t"_s << u"\"/srv/hv.db\t\""_s;
}

void TestKtFBFunc::aliasValue()
{
    QFETCH(QString, path);
    QFETCH(QString, value);

    QCOMPARE(AliasValue(path), value);
    QCOMPARE(AliasPath(value), path);
}

void TestKtFBFunc::aliasPath_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("path");

    QTest::newRow("quoted") << u"\"/srv/n#1/hv.db\""_s << u"/srv/n#1/hv.db"_s;
    QTest::newRow("quoted without need") << u"\"/srv/hv.db\""_s << u"/srv/hv.db"_s;
    QTest::newRow("empty quotes") << u"\"\""_s << u""_s;
    QTest::newRow("a lone quote") << u"\""_s << u"\""_s;
    QTest::newRow("opening quote only") << u"\"/srv/hv.db"_s << u"\"/srv/hv.db"_s;
    QTest::newRow("closing quote only") << u"/srv/hv.db\""_s << u"/srv/hv.db\""_s;
    QTest::newRow("quotes inside") << u"/srv/\"a\"/hv.db"_s << u"/srv/\"a\"/hv.db"_s;
    // The server ends the path at a "#" or "{" outside quotes and trims what stands before it.
    QTest::newRow("comment after the path") << u"/x/old/hv.db   # Stammdaten"_s << u"/x/old/hv.db"_s;
    QTest::newRow("comment naming a folder")
        << u"/x/old/hv_mkt.db\t# moved here from /srv/old"_s << u"/x/old/hv_mkt.db"_s;
    QTest::newRow("comment straight after the path") << u"/x/hv.db#c"_s << u"/x/hv.db"_s;
    QTest::newRow("brace on the alias line") << u"/x/hv_media.db {"_s << u"/x/hv_media.db"_s;
    QTest::newRow("comment only") << u"   # nothing yet"_s << u""_s;
    QTest::newRow("# inside quotes, comment after") << u"\"/n#1/hv.db\"  # c"_s << u"/n#1/hv.db"_s;
    QTest::newRow("{ inside quotes") << u"\"/n{1/hv.db\""_s << u"/n{1/hv.db"_s;
    QTest::newRow("quoted blanks kept, comment after") << u"\"/x/hv.db \" # c"_s << u"/x/hv.db "_s;
}

void TestKtFBFunc::aliasPath()
{
    QFETCH(QString, value);
    QFETCH(QString, path);

    QCOMPARE(AliasPath(value), path);
    QCOMPARE(AliasPaths(DocumentOf({"x=1", "HV=" + value}), {"hv_sec", "hv"}), QStringList({QString(), path}));
}

void TestKtFBFunc::assignAliasFolder_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("after");

    // Row 1 of the catalogue: "hv", file name "hv.db".
    QTest::newRow("no line, no security alias") << QStringList{"# x"} << "D:\\Db\\" << QChar(u'\\') << "D:\\Db\\hv.db"
                                                << QStringList{"# x", "hv=D:\\Db\\hv.db"};
    QTest::newRow("no line, security alias present")
        << QStringList{"hv_sec=S"} << "D:\\" << QChar(u'\\') << "D:\\hv.db"
        << QStringList{"hv_sec=S", "hv=D:\\hv.db", "{", "SecurityDatabase=hv_sec", "}"};
    QTest::newRow("path keeps its own file name")
        << QStringList{"hv=C:\\Old\\main.fdb", "x=1"} << "D:\\Db\\" << QChar(u'\\') << "D:\\Db\\main.fdb"
        << QStringList{"hv=D:\\Db\\main.fdb", "x=1"};
    QTest::newRow("drive colon ends the folder")
        << QStringList{"hv=C:main.fdb"} << "D:\\" << QChar(u'\\') << "D:\\main.fdb" << QStringList{"hv=D:\\main.fdb"};
    QTest::newRow("forward slashes are no Windows separator")
        << QStringList{"hv=/old/main.fdb"} << "D:\\" << QChar(u'\\') << "D:\\/old/main.fdb"
        << QStringList{"hv=D:\\/old/main.fdb"};
    QTest::newRow("a colon is no separator elsewhere")
        << QStringList{"hv=/old/a:b.fdb"} << "/db/" << QChar(u'/') << "/db/a:b.fdb" << QStringList{"hv=/db/a:b.fdb"};
    QTest::newRow("empty line takes the path in place") << QStringList{"hv=", "hv_sec=S"} << "/db/" << QChar(u'/')
                                                        << "/db/hv.db" << QStringList{"hv=/db/hv.db", "hv_sec=S"};
    // The server matches alias names by exact letter case: a hand-written spelling stays.
    QTest::newRow("name keeps its letter case") << QStringList{"HV=/old/main.fdb", "hv_sec=S"} << "/db/" << QChar(u'/')
                                                << "/db/main.fdb" << QStringList{"HV=/db/main.fdb", "hv_sec=S"};
    QTest::newRow("empty line keeps its letter case")
        << QStringList{"Hv="} << "/db/" << QChar(u'/') << "/db/hv.db" << QStringList{"Hv=/db/hv.db"};
    QTest::newRow("comment stays behind the new path")
        << QStringList{"hv=/x/old/hv.db   # Stammdaten"} << "/x/new/" << QChar(u'/') << "/x/new/hv.db"
        << QStringList{"hv=/x/new/hv.db   # Stammdaten"};
    QTest::newRow("a folder in the comment is no path")
        << QStringList{"hv=/x/old/main.fdb   # moved here from /srv/old"} << "/x/new/" << QChar(u'/')
        << "/x/new/main.fdb" << QStringList{"hv=/x/new/main.fdb   # moved here from /srv/old"};
    QTest::newRow("Windows path with comment") << QStringList{"hv=C:\\Old\\main.fdb # Stamm"} << "D:\\" << QChar(u'\\')
                                               << "D:\\main.fdb" << QStringList{"hv=D:\\main.fdb # Stamm"};
    QTest::newRow("brace stays on the alias line")
        << QStringList{"hv=/x/hv.db {", "SecurityDatabase=hv_sec", "}"} << "/y/" << QChar(u'/') << "/y/hv.db"
        << QStringList{"hv=/y/hv.db {", "SecurityDatabase=hv_sec", "}"};
    QTest::newRow("comment only takes the catalogue's file name")
        << QStringList{"hv=# later"} << "/db/" << QChar(u'/') << "/db/hv.db" << QStringList{"hv=/db/hv.db # later"};
    QTest::newRow("quoted path with comment, # in the new folder")
        << QStringList{"hv=\"/a#1/main.fdb\"  # c"} << "/b#2/" << QChar(u'/') << "/b#2/main.fdb"
        << QStringList{"hv=\"/b#2/main.fdb\"  # c"};
    QTest::newRow("empty quotes take the path in place") << QStringList{"hv=\"\"", "hv_sec=S"} << "/db/" << QChar(u'/')
                                                         << "/db/hv.db" << QStringList{"hv=/db/hv.db", "hv_sec=S"};
    QTest::newRow("new line with # quoted, block behind it")
        << QStringList{"hv_sec=S"} << "/n#1/" << QChar(u'/') << "/n#1/hv.db"
        << QStringList{"hv_sec=S", "hv=\"/n#1/hv.db\"", "{", "SecurityDatabase=hv_sec", "}"};
    QTest::newRow("path with # quoted in place") << QStringList{"hv=/old/main.fdb"} << "/n#1/" << QChar(u'/')
                                                 << "/n#1/main.fdb" << QStringList{"hv=\"/n#1/main.fdb\""};
    QTest::newRow("quoted path keeps its file name, quotes go where not needed")
        << QStringList{"hv=\"/n#1/main.fdb\""} << "/db/" << QChar(u'/') << "/db/main.fdb"
        << QStringList{"hv=/db/main.fdb"};
    QTest::newRow("quoted file name with # stays quoted")
        << QStringList{"hv=\"D:\\Old\\a#b.fdb\""} << "E:\\" << QChar(u'\\') << "E:\\a#b.fdb"
        << QStringList{"hv=\"E:\\a#b.fdb\""};
    QTest::newRow("file name ending in a blank stays quoted")
        << QStringList{"hv=\"/old/hv.db \""} << "/db/" << QChar(u'/') << "/db/hv.db "
        << QStringList{"hv=\"/db/hv.db \""};
}

void TestKtFBFunc::assignAliasFolder()
{
    QFETCH(QStringList, before);
    QFETCH(QString, folder);
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(QStringList, after);

    TLineDocument document = DocumentOf(before);
    QCOMPARE(AssignAliasFolder(document, folder, separator, u"hv"_s, 1), path);
    QCOMPARE(document.Lines(), after);
}

QTEST_GUILESS_MAIN(TestKtFBFunc)
#include "tst_ktFBFunc.moc"
