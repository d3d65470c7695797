#include "config/ParamKinds.h"

#include "FileFixtures.h"
#include "config/ktFBFunc.h"
#include "text/SettingsFile.h"

#include <QMap>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TParamKind)

namespace {

QString ShippedText(const QString &key)
{
    return TSettingsFile(QString::fromUtf8(TESSARO_LANGUAGE_FILE)).ReadString(u"GERMAN"_s, key, QString());
}

// Values that each kind of reason is given for, to collect the texts the reasons are made of.
const QList<QPair<QString, QString>> MarkedValues = {
    {u"DefaultDbCachePages"_s, u"viel"_s},
    {u"DefaultDbCachePages"_s, u"\"\""_s},
    {u"DefaultDbCachePages"_s, u"10"_s},
    {u"DefaultDbCachePages"_s, u"-5"_s},
    {u"DefaultDbCachePages"_s, u"2G"_s},
    {u"DefaultDbCachePages"_s, u"\"1\" x"_s},
    {u"TcpRemoteBufferSize"_s, u"40000"_s},
    {u"LockHashSlots"_s, u"1"_s},
    {u"LockMemSize"_s, u"0"_s},
    {u"EventMemSize"_s, u"0"_s},
    {u"EventMemSize"_s, u"1"_s},
    {u"DeadlockTimeout"_s, u"-1"_s},
    {u"MaxUnflushedWrites"_s, u"x"_s},
    {u"MaxUnflushedWriteTime"_s, u"x"_s},
    {u"DummyPacketInterval"_s, u"x"_s},
    {u"CpuAffinityMask"_s, u"x"_s},
    {u"RemoteServicePort"_s, u"x"_s},
    {u"RemoteServicePort"_s, u"70000"_s},
    {u"RemoteAuxPort"_s, u"x"_s},
    {u"RemoteServiceName"_s, u"\"\""_s},
    {u"RemoteServiceName"_s, u"70000"_s},
    {u"TcpNoNagle"_s, u"on"_s},
    {u"TcpNoNagle"_s, u"1x"_s},
    {u"ServerMode"_s, u"x"_s},
    {u"RemoteBindAddress"_s, u"a,b"_s},
    {u"RemoteBindAddress"_s, u"a:1"_s},
    {u"RemoteBindAddress"_s, u"999.1.1.1"_s},
    {u"TcpRemoteBufferSize"_s, u"99999999999"_s},
    {u"DeadlockTimeout"_s, u"x"_s},
    {u"LockHashSlots"_s, u"x"_s},
};

} // namespace

class TestParamKinds : public QObject {
    Q_OBJECT

private slots:
    void everyCatalogParameterHasItsKind_data();
    void everyCatalogParameterHasItsKind();
    void unusableValueReason_data();
    void unusableValueReason();
    void ignoredParametersAreNotMarked_data();
    void ignoredParametersAreNotMarked();
    void reasonsAreTextsOfTheLanguageFile();
};

void TestParamKinds::everyCatalogParameterHasItsKind_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TParamKind>("kind");

    const QMap<QString, TParamKind> kinds = {
        {"RootDirectory", TParamKind::Path},
        {"ExternalTablesDirs", TParamKind::PathList},
        {"DefaultDbCachePages", TParamKind::Integer},
        {"SortMemBlockSize", TParamKind::Integer},
        {"SortMemUpperLimit", TParamKind::Integer},
        {"OldParameterOrdering", TParamKind::Switch},
        {"CompleteBooleanEvaluation", TParamKind::Switch},
        {"DeadlockTimeout", TParamKind::Integer},
        {"EventMemSize", TParamKind::Integer},
        {"MaxUnflushedWrites", TParamKind::Integer},
        {"MaxUnflushedWriteTime", TParamKind::Integer},
        {"ConnectionTimeout", TParamKind::Integer},
        {"DummyPacketInterval", TParamKind::Integer},
        {"RemoteServiceName", TParamKind::PortOrService},
        {"RemoteServicePort", TParamKind::Port},
        {"RemoteAuxPort", TParamKind::Port},
        {"TcpRemoteBufferSize", TParamKind::Integer},
        {"TcpNoNagle", TParamKind::Switch},
        {"RemoteBindAddress", TParamKind::Address},
        {"LockMemSize", TParamKind::Integer},
        {"LockSemCount", TParamKind::Integer},
        {"LockGrantOrder", TParamKind::Switch},
        {"LockRequireSpins", TParamKind::Integer},
        {"LockHashSlots", TParamKind::Integer},
        {"CpuAffinityMask", TParamKind::Integer},
        {"PrioritySwitchDelay", TParamKind::Integer},
        {"DeadThreadsCollection", TParamKind::Integer},
        {"PriorityBoost", TParamKind::Integer},
        {"GuardianOption", TParamKind::Integer},
        {"ProcessPriorityLevel", TParamKind::Integer},
        {"IpcMapSize", TParamKind::Integer},
        {"IpcName", TParamKind::Name},
        {"RemotePipeName", TParamKind::Name},
        {"CreateInternalWindow", TParamKind::Switch},
        {"LockSignal", TParamKind::Integer},
        {"RemoteFileOpenAbility", TParamKind::Switch},
        {"ServerMode", TParamKind::Choice},
    };
    QCOMPARE(kinds.size(), qsizetype(ParamCatalog.size()));
    for (const QString &name : ParamCatalogNames()) {
        QVERIFY2(kinds.contains(name), qPrintable(name));
        QTest::newRow(qPrintable(name)) << name << kinds.value(name);
    }
}

void TestParamKinds::everyCatalogParameterHasItsKind()
{
    QFETCH(QString, name);
    QFETCH(TParamKind, kind);

    QCOMPARE(ParamKindOf(name), std::optional<TParamKind>(kind));
    // A name outside the catalogue has none.
    QCOMPARE(ParamKindOf(u"Tessaro"_s + name), std::nullopt);
}

void TestParamKinds::unusableValueReason_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason"); // a piece of it; empty: the value is not marked

    const auto row = [](const char *tag, const QString &name, const QString &value, const QString &reason) {
        QTest::newRow(tag) << name << value << reason;
    };
    const QString pages = u"DefaultDbCachePages"_s;
    const QString fifty = u"der Server nimmt 50 Seiten."_s;
    const QString modeDefault = u"Negativ: der Server nimmt die Vorgabe der Betriebsart (2048 Seiten bei Super"_s;
    const QString noStart = u"kann der Server nicht lesen: der Server startet nicht."_s;

    // Integers: the server's syntax and where it reads 0.
    row("no active line", pages, u""_s, u""_s);
    row("plain", pages, u"3000"_s, u""_s);
    row("suffix k", pages, u"2k"_s, u""_s);
    row("suffix K", pages, u"2K"_s, u""_s);
    row("blanks and comment", pages, u"  3000 # x"_s, u""_s);
    row("comment without blank", pages, u"4096# x"_s, u""_s);
    row("quoted", pages, u"\"4096\""_s, u""_s);
    row("quoted with comment", pages, u"\"3000\" # c"_s, u""_s);
    row("two minus signs", pages, u"--3000"_s, u""_s);
    row("word", pages, u"viel"_s, u"„viel“ ist keine ganze Zahl, also 0: "_s + fifty);
    row("trailing letter", pages, u"12x"_s, u"„12x“ ist keine ganze Zahl, also 0: "_s + fifty);
    row("plus sign", pages, u"+4096"_s, fifty);
    row("hexadecimal", pages, u"0x1000"_s, fifty);
    row("decimal point", pages, u"4096.0"_s, fifty);
    row("blank inside", pages, u"20 48"_s, fifty);
    row("blank before suffix", pages, u"3 k"_s, fifty);
    row("two suffixes", pages, u"3kk"_s, fifty);
    row("equals sign", pages, u"3000=1"_s, fifty);
    row("comment sign in quotes", pages, u"\"3000#1\""_s, u"„3000#1“ ist keine ganze Zahl"_s);
    row("closing quote at the end", pages, u"3\"00\""_s, u"„3\"00“ ist keine ganze Zahl"_s);
    row("empty quotes", pages, u"\"\""_s, u"Leerer Wert: "_s + fifty);
    row("comment only", pages, u" # nur ein Kommentar"_s, u"Leerer Wert: "_s + fifty);
    row("below minimum", pages, u"10"_s, u"Unter 50: "_s + fifty);
    row("zero", pages, u"0"_s, u"Unter 50: "_s + fifty);
    row("last below minimum", pages, u"49"_s, u"Unter 50"_s);
    row("minimum", pages, u"50"_s, u""_s);
    row("negative", pages, u"-5"_s, modeDefault);
    row("minus blank digits", pages, u"- 3000"_s, modeDefault);
    row("2^32 + 4096", pages, u"4294971392"_s,
        u"Zu groß für 32 Bit, der Server kürzt auf 4096: der Server nimmt 4096 Seiten."_s);
    row("beyond 32 bits", pages, u"99999999999"_s, u"kürzt auf 1215752191: der Server nimmt 1215752191 Seiten."_s);
    row("2G wraps negative", pages, u"2G"_s, u"kürzt auf -2147483648: der Server nimmt die Vorgabe"_s);
    row("1G fits", pages, u"1G"_s, u""_s);
    row("text after closing quote", pages, u"\"4096\" x"_s, u"Die Zeile mit „\"4096\" x“ "_s + noStart);
    row("unclosed quote", pages, u"\"4096"_s, noStart);
    row("quotes inside", pages, u"3\"00\"0"_s, noStart);
    row("third quote", pages, u"\"40\"\"96\""_s, noStart);
    row("name outside the catalogue", u"DefaultDbCachePagez"_s, u"viel"_s, u""_s);

    row("buffer below", u"TcpRemoteBufferSize"_s, u"1447"_s, u"Unter 1448: der Server nimmt 1448 Bytes."_s);
    row("buffer minimum", u"TcpRemoteBufferSize"_s, u"1448"_s, u""_s);
    row("buffer suffix", u"TcpRemoteBufferSize"_s, u"16k"_s, u""_s);
    row("buffer maximum", u"TcpRemoteBufferSize"_s, u"32767"_s, u""_s);
    row("buffer above", u"TcpRemoteBufferSize"_s, u"32768"_s, u"Über 32767: der Server nimmt 32767 Bytes."_s);
    row("buffer word", u"TcpRemoteBufferSize"_s, u"viel"_s, u"also 0: der Server nimmt 1448 Bytes."_s);
    row("hash slots below", u"LockHashSlots"_s, u"100"_s, u"Unter 101: der Server nimmt 101 Hash-Einträge."_s);
    row("hash slots minimum", u"LockHashSlots"_s, u"101"_s, u""_s);
    row("hash slots maximum", u"LockHashSlots"_s, u"65521"_s, u""_s);
    row("hash slots above", u"LockHashSlots"_s, u"70000"_s, u"Über 65521: der Server nimmt 65521 Hash-Einträge."_s);
    row("lock memory word", u"LockMemSize"_s, u"viel"_s, u"also 0: der Server stürzt beim Start ab."_s);
    row("lock memory 64k", u"LockMemSize"_s, u"64k"_s, u"Unter 100000: der Server stürzt beim Start ab."_s);
    row("lock memory 100000", u"LockMemSize"_s, u"100000"_s, u""_s);
    row("lock memory 2G", u"LockMemSize"_s, u"2G"_s, u"kürzt auf -2147483648: der Server stürzt beim Start ab."_s);
    row("event memory zero", u"EventMemSize"_s, u"0"_s, u"Unter 1: Ereignisse gehen dann nicht."_s);
    row("event memory word", u"EventMemSize"_s, u"viel"_s, u"also 0: Ereignisse gehen dann nicht."_s);
    row("event memory tiny", u"EventMemSize"_s, u"1"_s,
        u"Unter 1000: der Server kann beim ersten Ereignis abbrechen."_s);
    row("event memory 4096", u"EventMemSize"_s, u"4096"_s, u""_s);
    row("deadlock zero", u"DeadlockTimeout"_s, u"0"_s, u""_s);
    row("deadlock word", u"DeadlockTimeout"_s, u"viel"_s, u"also 0: der Server nimmt 0 Sekunden."_s);
    row("deadlock negative", u"DeadlockTimeout"_s, u"-5"_s, u"Negativ: der Server nimmt 4294967291 Sekunden."_s);
    row("deadlock large", u"DeadlockTimeout"_s, u"70000"_s, u""_s);
    row("unflushed writes zero", u"MaxUnflushedWrites"_s, u"0"_s, u""_s);
    row("unflushed writes off", u"MaxUnflushedWrites"_s, u"-1"_s, u""_s);
    row("unflushed writes word", u"MaxUnflushedWrites"_s, u"viel"_s, u"der Server schreibt nach jedem Commit"_s);
    row("unflushed time word", u"MaxUnflushedWriteTime"_s, u"12x"_s, u"nach jeder Sekunde auf die Platte."_s);
    row("dummy packets negative", u"DummyPacketInterval"_s, u"-1"_s, u"Negativ: der Server nimmt 60 Sekunden."_s);
    row("dummy packets word", u"DummyPacketInterval"_s, u"2x"_s, u"der Server schickt keine Leerpakete."_s);
    row("dummy packets off", u"DummyPacketInterval"_s, u"0"_s, u""_s);
    row("connection timeout word", u"ConnectionTimeout"_s, u"viel"_s, u"der Server nimmt 0 Sekunden."_s);
    // Windows-only parameters are marked for what the Windows server reads, not for being there.
    row("affinity word", u"CpuAffinityMask"_s, u"viel"_s, u"also 0: der Server nimmt 0."_s);
    row("affinity 64 bits", u"CpuAffinityMask"_s, u"4294967296"_s, u""_s);
    row("guardian word", u"GuardianOption"_s, u"viel"_s, u"der Server nimmt 0."_s);
    row("priority level", u"ProcessPriorityLevel"_s, u"-2"_s, u""_s);
    row("ipc name", u"IpcName"_s, u"bogus name"_s, u""_s);
    row("pipe name", u"RemotePipeName"_s, u"/nonexistent/x"_s, u""_s);

    // Switches: C's atoi or true, yes, y.
    for (const char *value : {"1", "0", "2", "-1", "yes", "No", "TRUE", "false", "y", "N", "off", "\"yes\"", "yes # c"})
        row(qPrintable(u"switch "_s + QLatin1StringView(value)), u"TcpNoNagle"_s, QString::fromUtf8(value), u""_s);
    row("switch on", u"TcpNoNagle"_s, u"on"_s, u"„on“ ist kein Schalterwert: der Server liest aus (0)."_s);
    row("switch t", u"TcpNoNagle"_s, u"t"_s, u"der Server liest aus (0)."_s);
    row("switch ja", u"RemoteFileOpenAbility"_s, u"ja"_s, u"„ja“ ist kein Schalterwert: der Server liest aus (0)."_s);
    row("switch 1x", u"TcpNoNagle"_s, u"1x"_s, u"„1x“ ist kein Schalterwert: der Server liest ein (1)."_s);
    row("switch +1", u"TcpNoNagle"_s, u"+1"_s, u"der Server liest ein (1)."_s);
    row("switch 0x1", u"TcpNoNagle"_s, u"0x1"_s, u"der Server liest aus (0)."_s);
    row("switch true1", u"TcpNoNagle"_s, u"true1"_s, u"der Server liest aus (0)."_s);
    row("switch two words", u"TcpNoNagle"_s, u"yes please"_s, u"der Server liest aus (0)."_s);
    row("switch empty quotes", u"TcpNoNagle"_s, u"\"\""_s, u"Leerer Wert: der Server liest aus (0)."_s);

    // The server's modes.
    for (const char *value : {"Super", "classic", "SUPERCLASSIC", "ThreadedDedicated", "ThreadedShared", "MultiProcess",
                              "\"Classic\"", "  Classic  ", "Super # c"})
        row(qPrintable(u"mode "_s + QLatin1StringView(value)), u"ServerMode"_s, QString::fromUtf8(value), u""_s);
    row("mode bogus", u"ServerMode"_s, u"bogus"_s, u"Unbekannte Betriebsart „bogus“: der Server arbeitet als Super."_s);
    row("mode with blank", u"ServerMode"_s, u"Super Classic"_s, u"der Server arbeitet als Super."_s);
    row("mode with semicolon", u"ServerMode"_s, u"Classic;"_s, u"„Classic;“"_s);
    row("mode empty quotes", u"ServerMode"_s, u"\"\""_s, u"Leerer Wert: der Server arbeitet als Super."_s);

    // Ports: 16 bits; 0 has a meaning of its own.
    for (const char *value : {"3050", "0", "65535", "3k", "\"3052\""})
        row(qPrintable(u"port "_s + QLatin1StringView(value)), u"RemoteServicePort"_s, QString::fromUtf8(value), u""_s);
    row("port 70000", u"RemoteServicePort"_s, u"70000"_s, u"Über 65535: der Server nimmt Port 4464."_s);
    row("port 65536", u"RemoteServicePort"_s, u"65536"_s, u"Über 65535: der Server nimmt RemoteServiceName."_s);
    row("port -1", u"RemoteServicePort"_s, u"-1"_s, u"Negativ: der Server nimmt Port 65535."_s);
    row("port word", u"RemoteServicePort"_s, u"30x1"_s,
        u"„30x1“ ist keine ganze Zahl, also 0: der Server nimmt RemoteServiceName."_s);
    row("port beyond 32 bits", u"RemoteServicePort"_s, u"4295037296"_s,
        u"Zu groß für 32 Bit, der Server kürzt auf 70000: der Server nimmt Port 4464."_s);
    row("aux port word", u"RemoteAuxPort"_s, u"viel"_s, u"der Server wählt jedes Mal einen freien Port."_s);
    row("aux port 70000", u"RemoteAuxPort"_s, u"70000"_s, u"der Server nimmt Port 4464."_s);
    row("aux port zero", u"RemoteAuxPort"_s, u"0"_s, u""_s);
    for (const char *value : {"gds_db", "3051", "ssh", "bogusname"})
        row(qPrintable(u"service "_s + QLatin1StringView(value)), u"RemoteServiceName"_s, QString::fromUtf8(value),
            u""_s);
    row("service empty quotes", u"RemoteServiceName"_s, u"\"\""_s,
        u"Leerer Wert: ohne RemoteServicePort wählt der Server einen Port nach Zufall."_s);
    row("service 70000", u"RemoteServiceName"_s, u"70000"_s,
        u"Über 65535: ohne RemoteServicePort nimmt der Server Port 4464."_s);
    row("service 65536", u"RemoteServiceName"_s, u"65536"_s, u"einen Port nach Zufall."_s);

    // Addresses: what the system's lookup cannot turn into one address.
    for (const char *value :
         {"127.0.0.1", "localhost", "::1", "[::1]", "127.1", "2130706433", "127.0.0.1/3057", "localhost/3058",
          "\"127.0.0.1\"", "127.0.0.1 # comment", "0.0.0.0", "::", "10.1.2.3", "0377.0.0.1"})
        row(qPrintable(u"address "_s + QLatin1StringView(value)), u"RemoteBindAddress"_s, QString::fromUtf8(value),
            u""_s);
    row("address octet 999", u"RemoteBindAddress"_s, u"999.1.1.1"_s,
        u"„999.1.1.1“ ist keine IP-Adresse: der Server startet nicht."_s);
    row("address octet 256", u"RemoteBindAddress"_s, u"127.0.0.256"_s, u"ist keine IP-Adresse"_s);
    row("address five numbers", u"RemoteBindAddress"_s, u"1.2.3.4.5"_s, u"ist keine IP-Adresse"_s);
    row("address list comma", u"RemoteBindAddress"_s, u"127.0.0.1, 127.0.0.2"_s,
        u"„127.0.0.1, 127.0.0.2“ ist mehr als eine Adresse: der Server startet nicht."_s);
    row("address list blank", u"RemoteBindAddress"_s, u"127.0.0.1 127.0.0.2"_s, u"ist mehr als eine Adresse"_s);
    row("address colon port", u"RemoteBindAddress"_s, u"localhost:3059"_s,
        u"„localhost:3059“ trennt den Port mit „:“ statt mit „/“ ab: der Server startet nicht."_s);
    row("address IPv4 colon port", u"RemoteBindAddress"_s, u"127.0.0.1:3050"_s, u"statt mit „/“ ab"_s);
}

void TestParamKinds::unusableValueReason()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, reason);

    const QString given = UnusableValueReason(name, value, FallbackText);
    if (reason.isEmpty())
        QCOMPARE(given, QString());
    else
        QVERIFY2(given.contains(reason), qPrintable(given));
}

void TestParamKinds::ignoredParametersAreNotMarked_data()
{
    QTest::addColumn<QString>("name");
    for (const TParamCatalogRow &row : ParamCatalog)
        if (row.Use == TServerUse::Ignored)
            QTest::newRow(row.Name) << QString::fromUtf8(row.Name);
}

void TestParamKinds::ignoredParametersAreNotMarked()
{
    QFETCH(QString, name);

    for (const QString &value : {u"viel"_s, u"on"_s, u"-5"_s, u"99999999999"_s, u"\"\""_s, u"a, b:1"_s})
        QCOMPARE(UnusableValueReason(name, value, FallbackText), QString());
    // The server's reader refuses such a line before it looks at the name.
    QVERIFY(UnusableValueReason(name, u"\"/x\" y"_s, FallbackText).contains(u"der Server startet nicht."_s));
}

void TestParamKinds::reasonsAreTextsOfTheLanguageFile()
{
    // Every piece of every reason goes through the lookup; the shipped file has each one as the
    // program's fallback gives it.
    QMap<QString, QString> used;
    const auto recording = [&used](const QString &key, const QString &fallback) {
        used.insert(key, fallback);
        return u"<"_s + key + u":%s>"_s;
    };
    for (const auto &[name, value] : MarkedValues) {
        const QString reason = UnusableValueReason(name, value, recording);
        QVERIFY2(reason.startsWith(u"<Kind"_s) && reason.endsWith(u'>'),
                 qPrintable(name + u' ' + value + u' ' + reason));
    }
    QCOMPARE(used.size(), 33);
    for (auto it = used.cbegin(); it != used.cend(); ++it)
        QCOMPARE(ShippedText(it.key()), it.value());

    // The window's text replaces the built-in one.
    const auto english = [](const QString &key, const QString &fallback) {
        return key == u"KindBelowMin"_s ? u"Below %s:"_s : fallback;
    };
    QCOMPARE(UnusableValueReason(u"DefaultDbCachePages"_s, u"10"_s, english),
             u"Below 50: der Server nimmt 50 Seiten."_s);
}

QTEST_GUILESS_MAIN(TestParamKinds)
#include "tst_ParamKinds.moc"
