#include "config/ServerDiscovery.h"
#include "config/ServerDiscoveryUnix.h"
#include "config/ServerProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

class TestServerDiscovery : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void findDefaultInstanceIn_data();
    void findDefaultInstanceIn();
    void versionFoldersBelow_data();
    void versionFoldersBelow();
    void versionFoldersBelowMissingFolder();
    void systemServerProbe_data();
    void systemServerProbe();
    void findDefaultInstanceReadsTheVariable();
    void registryErrorNamesTheValue();
    void runningServerIsFoundByItsProgramName();

private:
    // Creates `folder` below the temporary tree, with a "firebird.conf" when asked.
    QString MakeFolder(const QString &folder, bool withConfig);

    QTemporaryDir FTree;
    std::optional<QByteArray> FSavedVariable;
};

void TestServerDiscovery::init()
{
    QVERIFY(FTree.isValid());
    if (qEnvironmentVariableIsSet("FIREBIRD"))
        FSavedVariable = qgetenv("FIREBIRD");
}

void TestServerDiscovery::cleanup()
{
    if (FSavedVariable)
        qputenv("FIREBIRD", *FSavedVariable);
    else
        qunsetenv("FIREBIRD");
    FSavedVariable.reset();
    QDir(FTree.path()).removeRecursively();
    QDir().mkpath(FTree.path());
}

QString TestServerDiscovery::MakeFolder(const QString &folder, bool withConfig)
{
    const QString path = FTree.filePath(folder);
    QDir().mkpath(path);
    if (withConfig) {
        QFile config(QDir(path).filePath(u"firebird.conf"_s));
        if (!config.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(config.fileName()));
    }
    return path;
}

void TestServerDiscovery::findDefaultInstanceIn_data()
{
    QTest::addColumn<bool>("variableSet");
    QTest::addColumn<QString>("variable");
    // Candidate folders below the tree, in probe order; a trailing "+" gives one a firebird.conf,
    // and "absent" is never created.
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<bool>("found");
    // The folder expected below the tree; for a set variable, its value as is.
    QTest::addColumn<QString>("folder");

    QTest::newRow("variable wins over a candidate") << true << "/srv/fb" << QStringList{"opt+"} << true << "/srv/fb";
    QTest::newRow("variable set empty") << true << "" << QStringList{"opt+"} << true << "";
    QTest::newRow("first candidate with config") << false << "" << QStringList{"opt+", "etc/4.0+"} << true << "opt";
    QTest::newRow("candidate without config skipped")
        << false << "" << QStringList{"opt", "etc/4.0+"} << true << "etc/4.0";
    QTest::newRow("missing candidate skipped") << false << "" << QStringList{"absent", "etc/3.0+"} << true << "etc/3.0";
    QTest::newRow("nothing holds a config") << false << "" << QStringList{"opt", "etc/4.0"} << false << "";
    QTest::newRow("no candidates") << false << "" << QStringList{} << false << "";
}

void TestServerDiscovery::findDefaultInstanceIn()
{
    QFETCH(bool, variableSet);
    QFETCH(QString, variable);
    QFETCH(QStringList, candidates);
    QFETCH(bool, found);
    QFETCH(QString, folder);

    TServerProbe probe;
    if (variableSet)
        probe.FirebirdVariable = variable;
    for (QString candidate : candidates) {
        const bool withConfig = candidate.endsWith(u'+');
        if (withConfig)
            candidate.chop(1);
        if (candidate == u"absent"_s)
            probe.CandidateFolders.append(FTree.filePath(candidate));
        else
            probe.CandidateFolders.append(MakeFolder(candidate, withConfig));
    }

    const QString untouched = u"untouched"_s;
    QString result = untouched;
    QCOMPARE(FindDefaultInstanceIn(probe, result), found);
    if (!found)
        QCOMPARE(result, untouched);
    else if (variableSet)
        QCOMPARE(result, folder);
    else
        QCOMPARE(result, FTree.filePath(folder));
}

void TestServerDiscovery::versionFoldersBelow_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("numeric order, highest first")
        << QStringList{"3.0", "10.0", "4.0"} << QStringList{"10.0", "4.0", "3.0"};
    QTest::newRow("minor and patch versions")
        << QStringList{"3.0", "3.0.11", "2.5", "3.10"} << QStringList{"3.10", "3.0.11", "3.0", "2.5"};
    QTest::newRow("other names left out") << QStringList{"4.0", "4.0.bak", "common", "5"} << QStringList{"5", "4.0"};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestServerDiscovery::versionFoldersBelow()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, expected);

    for (const QString &folder : folders)
        MakeFolder(u"etc/"_s + folder, false);
    MakeFolder(u"etc"_s, false);
    // A file named like a version is no server folder.
    QFile file(FTree.filePath(u"etc/9.0"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QStringList expectedPaths;
    for (const QString &folder : expected)
        expectedPaths.append(FTree.filePath(u"etc/"_s + folder));
    QCOMPARE(VersionFoldersBelow(FTree.filePath(u"etc"_s)), expectedPaths);
}

void TestServerDiscovery::versionFoldersBelowMissingFolder()
{
    QCOMPARE(VersionFoldersBelow(FTree.filePath(u"absent"_s)), QStringList());
}

void TestServerDiscovery::systemServerProbe_data()
{
    QTest::addColumn<bool>("variableSet");
    QTest::addColumn<QByteArray>("variable");

    QTest::newRow("set") << true << QByteArray("/srv/firebird");
    QTest::newRow("set empty") << true << QByteArray();
    QTest::newRow("unset") << false << QByteArray();
}

void TestServerDiscovery::systemServerProbe()
{
    QFETCH(bool, variableSet);
    QFETCH(QByteArray, variable);

    if (variableSet)
        qputenv("FIREBIRD", variable);
    else
        qunsetenv("FIREBIRD");

    const TServerProbe probe = SystemServerProbe();
    QCOMPARE(probe.FirebirdVariable.has_value(), variableSet);
    if (variableSet)
        QCOMPARE(*probe.FirebirdVariable, QString::fromLocal8Bit(variable));
    QVERIFY(!probe.CandidateFolders.isEmpty());
    QCOMPARE(probe.CandidateFolders.first(), u"/opt/firebird"_s);
    QCOMPARE(probe.CandidateFolders.mid(1), VersionFoldersBelow(u"/etc/firebird"_s));
}

void TestServerDiscovery::findDefaultInstanceReadsTheVariable()
{
    const QString server = MakeFolder(u"server"_s, true);
    qputenv("FIREBIRD", server.toLocal8Bit());

    QString folder;
    QVERIFY(FindDefaultInstance(folder));
    QCOMPARE(folder, server);
}

void TestServerDiscovery::registryErrorNamesTheValue()
{
    const ERegistryError error(u"DefaultInstance"_s);
    QCOMPARE(error.Message(), u"Ungültiger Datentyp für 'DefaultInstance'"_s);
}

// A process of a server program's name counts as a running server, whoever started it; the
// restart command names the service the installed server brings.
void TestServerDiscovery::runningServerIsFoundByItsProgramName()
{
    const QString guardian = FTree.filePath(u"fbguard"_s);
    QVERIFY(QFile::copy(u"/bin/sleep"_s, guardian));
    QProcess server;
    server.start(guardian, {u"60"_s});
    QVERIFY(server.waitForStarted());
    const TServerRestart restart = FindServerRestart();
    server.kill();
    server.waitForFinished();

    QVERIFY(restart.Running);
    // Where the server's package put its unit, and the administrator none of their own, that unit
    // names the command.
    const QStringList units = QDir(u"/lib/systemd/system"_s).entryList({u"firebird*.service"_s});
    const bool ownUnits = !QDir(u"/etc/systemd/system"_s).entryList({u"firebird*.service"_s}).isEmpty();
    if (!units.isEmpty() && !ownUnits) {
        QString unit = units.last();
        unit.chop(8);
        QCOMPARE(restart.Command, u"systemctl restart "_s + unit);
    }
}

QTEST_GUILESS_MAIN(TestServerDiscovery)
#include "tst_ServerDiscovery.moc"
