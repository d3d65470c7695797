// Debian's Firebird 3.0 server reads the two files as the program writes them. The server is
// started by hand from a private copy of its folder (its own root, lock and temporary folders) on
// a free loopback port; the program's window, offscreen, writes both files through its commands;
// the server's own client then creates and opens every database through its alias over TCP.
// And the server does with a value what the program's mark of it says: the page buffers a
// database gets, the port it listens on, whether it starts at all, the socket option it sets.

#include "FileFixtures.h"
#include "WindowFixture.h"
#include "config/ParamKinds.h"
#include "config/ServerProcess.h"
#include "config/ktFBFunc.h"
#include "text/LineDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString ServerBinary = u"/usr/sbin/firebird"_s;
const QString ClientBinary = u"/usr/bin/isql-fb"_s;
// Debian's server folder: links to the configuration files beside the server's own parts.
const QString SystemRoot = u"/usr/lib/x86_64-linux-gnu/firebird/3.0"_s;

// The private server's administrator, kept in its own security database, and the same name with
// another password in the suite's security database "hv_sec".
const QString ServerPassword = u"masterkey"_s;
const QString SuitePassword = u"hv-secret"_s;

// A loopback port that nothing listens on now.
int FreeLoopbackPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

bool Listening(int port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    const bool connected = ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

// The private server folder: its own configuration files, the server's other parts linked.
bool MakeServerFolder(const QString &root)
{
    const QDir system(SystemRoot);
    for (const QFileInfo &entry : system.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QDir(root).filePath(entry.fileName());
        QFile::remove(target);
        // The configuration files are links to /etc: copied, they follow the links.
        const bool ok = entry.fileName().endsWith(u".conf") ? QFile::copy(entry.filePath(), target)
                                                            : QFile::link(entry.canonicalFilePath(), target);
        if (!ok)
            return false;
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    return true;
}

// The server's processes see this folder as their root, with lock and temporary files of their
// own, and the locale of a Debian system.
QProcessEnvironment ServerEnvironment(const QString &root, const QString &work)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"FIREBIRD"_s, root);
    environment.insert(u"FIREBIRD_LOCK"_s, work + u"/lock"_s);
    environment.insert(u"FIREBIRD_TMP"_s, work + u"/tmp"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    environment.remove(u"LC_ALL"_s);
    environment.remove(u"ISC_USER"_s);
    environment.remove(u"ISC_PASSWORD"_s);
    return environment;
}

// Runs the server's SQL client on `script`; gives what it printed, errors included.
QString RunClient(const QProcessEnvironment &environment, const QStringList &arguments, const QString &script)
{
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(ClientBinary, QStringList{u"-q"_s} + arguments);
    client.write(script.toUtf8() + "\nquit;\n");
    client.closeWriteChannel();
    if (!client.waitForFinished(30000)) {
        client.kill();
        client.waitForFinished();
        return u"<the client did not finish>"_s;
    }
    return QString::fromUtf8(client.readAll());
}

// The server process, stopped by its process id when this ends, whatever happened; should this
// test process die first, the system stops the server too. A `tracer` (a command before the
// server's) runs the server as its child; the server is then stopped by its own process id.
class TServerProcess {
public:
    TServerProcess(const QProcessEnvironment &environment, const QStringList &tracer = {})
        : FTraced(!tracer.isEmpty())
    {
        FProcess.setProcessEnvironment(environment);
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        if (FTraced)
            // The server's parent is the tracer: it dies with the tracer, as the tracer with this test.
            FProcess.start(tracer.first(),
                           tracer.mid(1) + QStringList{u"setpriv"_s, u"--pdeathsig"_s, u"KILL"_s, ServerBinary});
        else
            FProcess.start(ServerBinary, {});
        FProcess.waitForStarted();
    }
    ~TServerProcess() { Stop(); }

    bool WaitListening(int port)
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (FProcess.state() == QProcess::NotRunning)
                return false;
            if (Listening(port))
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    // Whether the server ended by itself within 10 seconds.
    bool WaitEnded() { return FProcess.waitForFinished(10000); }

    QString Output() { return QString::fromLocal8Bit(FProcess.readAll()); }

    void Stop()
    {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        const pid_t server = ServerId();
        ::kill(server, SIGTERM);
        if (!FProcess.waitForFinished(10000)) {
            ::kill(server, SIGKILL);
            FProcess.waitForFinished();
        }
    }

private:
    pid_t ServerId() const
    {
        const pid_t started = pid_t(FProcess.processId());
        if (!FTraced)
            return started;
        QFile children(u"/proc/%1/task/%1/children"_s.arg(started));
        if (!children.open(QIODevice::ReadOnly))
            return started;
        const pid_t child = pid_t(children.readAll().trimmed().split(' ').value(0).toInt());
        return child > 0 ? child : started;
    }

    QProcess FProcess;
    bool FTraced;
};

// Sets every "name=value" of `settings` in the server folder's firebird.conf with the program's
// routine, in order: a later one for the same name wins.
void SetServerConfig(const QString &root, const QStringList &settings)
{
    TLineDocument config;
    config.LoadFromFile(root + u"/firebird.conf"_s);
    NormalizeLines(config);
    for (const QString &setting : settings)
        SetConfigValue(config, setting.section(u'=', 0, 0), setting.section(u'=', 1));
    config.SaveToFile(root + u"/firebird.conf"_s);
}

// The private server's own administrator, in a security database of its own at `path`, which the
// server folder's firebird.conf names first. Gives what the client said: nothing when all went well.
QString CreateSecurityDatabase(const QProcessEnvironment &environment, const QString &root, const QString &path)
{
    SetServerConfig(root, {u"SecurityDatabase="_s + path});
    return RunClient(environment, {u"-user"_s, u"SYSDBA"_s},
                     u"create database '%1';\ncreate user SYSDBA password '%2' using plugin Srp;\ncommit;"_s.arg(
                         path, ServerPassword));
}

const char *const NotInstalled = "Debian's firebird3.0-server and firebird3.0-utils are not installed "
                                 "(scripts/setup.sh test installs them): the real-server test is skipped.";

bool ServerInstalled()
{
    return QFileInfo(ServerBinary).isExecutable() && QFileInfo(ClientBinary).isExecutable()
        && QFileInfo::exists(SystemRoot + u"/firebird.conf"_s);
}

// Lines "DB|<file>|<security database kind>" of every database the client opened.
QStringList OpenedDatabases(const QString &output)
{
    QStringList opened;
    static const QRegularExpression line(u"DB\\|[^\\n]*\\|\\w+"_s);
    for (QRegularExpressionMatchIterator it = line.globalMatch(output); it.hasNext();)
        opened << it.next().captured();
    return opened;
}

} // namespace

class TestRealServer : public QObject {
    Q_OBJECT

private slots:
    void serverReadsWhatTheProgramWrote();
    void serverTreatsValuesAsTheirMarkSays_data();
    void serverTreatsValuesAsTheirMarkSays();

private:
    // A folder for the servers of the rows, with one security database that all of them name.
    std::unique_ptr<QTemporaryDir> FWork;
    QString FSecurityDatabase;
};

void TestRealServer::serverReadsWhatTheProgramWrote()
{
    if (!ServerInstalled())
        QSKIP(NotInstalled);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(QDir(work.path()).mkpath(u"lock"_s) && QDir(work.path()).mkpath(u"tmp"_s));
    TWindowFixture fixture;
    const QString root = fixture.ServerFolder();
    QVERIFY(MakeServerFolder(root));
    const QProcessEnvironment environment = ServerEnvironment(root, work.path());

    // The private server's own administrator, in a security database of its own: the first
    // setting of the copied firebird.conf, made by the program's routines.
    const QString securityDatabase = root + u"/security3.fdb"_s;
    const QString created = CreateSecurityDatabase(environment, root, securityDatabase);
    QVERIFY2(QFileInfo::exists(securityDatabase) && created.trimmed().isEmpty(), qPrintable(created));

    // Aliases as an administrator writes them by hand: a comment after the path, one that names a
    // folder itself, and a block opened on the alias line. The program must point the server at
    // the new folder's files, not at names cut out of the comments.
    {
        QFile aliases(root + u"/databases.conf"_s);
        QVERIFY(aliases.open(QIODevice::Append));
        aliases.write("\nhv = /x/old/hv.db   # Stammdaten\n{\n    SecurityDatabase = hv_sec\n}\n"
                      "hv_mkt = /x/old/hv_mkt.db   # moved here from /srv/old\n{\n    SecurityDatabase = hv_sec\n}\n"
                      "hv_media = /x/old/hv_media.db {\n    SecurityDatabase = hv_sec\n}\n");
    }

    // The port, set through the edit dialog.
    const int port = FreeLoopbackPort();
    QVERIFY(port > 0 && port != 3050);
    fixture.Open(root);
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    auto *parameters = fixture.Control<QTreeWidget>("ParvexList");
    parameters->setCurrentItem(parameters->findItems(u"RemoteServicePort"_s, Qt::MatchExactly).value(0));
    AnswerEditDialog(QString::number(port));
    fixture.Control<QToolButton>("EditBtn")->click();
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::AliasPage);

    const QStringList keys = AliasCatalogKeys();
    const QString server = u"localhost/%1:"_s.arg(port);
    // "#" would start a comment and umlauts must reach a UTF-8 system as UTF-8; each folder takes
    // over the aliases the one before it wrote.
    for (const QString &name : {u"plain"_s, u"n#1"_s, u"Datenbänke"_s}) {
        const QString folder = work.path() + u"/databases/"_s + name;
        QVERIFY(QDir().mkpath(folder));
        fixture.Dialogs.FolderAnswers = {folder};
        fixture.Dialogs.MessageAnswers = {mrAll};
        fixture.Control<QToolButton>("EditBtn")->click();
        fixture.Control<QToolButton>("SaveBtn")->click();
        QVERIFY2(fixture.Dialogs.Errors.isEmpty(), qPrintable(fixture.Dialogs.Errors.join(u'\n')));

        TServerProcess process(environment);
        QVERIFY2(process.WaitListening(port),
                 qPrintable(u"The server is not listening on port %1, its firebird.conf's port. It said:\n"_s.arg(port)
                            + process.Output()));
        // The program finds the running server, as the status line needs after a save.
        QVERIFY(FindServerRestart().Running);

        // The suite's security database first, by the server's administrator; then its own
        // administrator, put in by a local attachment through an alias that names it.
        QString output = RunClient(
            environment, {}, u"create database '%1hv_sec' user 'SYSDBA' password '%2';"_s.arg(server, ServerPassword));
        QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));
        output = RunClient(
            environment, {u"-user"_s, u"SYSDBA"_s},
            u"create database 'hv';\ncreate user SYSDBA password '%1' using plugin Srp;\ncommit;\ndrop database;"_s.arg(
                SuitePassword));
        QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));

        QString script;
        for (const QString &key : keys.mid(1))
            script += u"create database '%1%2' user 'SYSDBA' password '%3';\n"_s.arg(server, key, SuitePassword);
        for (const QString &key : keys) {
            const QString password = key == SecurityAlias() ? ServerPassword : SuitePassword;
            script += u"connect '%1%2' user 'SYSDBA' password '%3';\n"_s.arg(server, key, password)
                + u"select 'DB|' || trim(mon$database_name) || '|' || trim(mon$sec_database) from mon$database;\n"_s;
        }
        output = RunClient(environment, {}, script);
        QVERIFY2(!output.contains(u"Statement failed"_s), qPrintable(output));
        QStringList expected;
        for (const QString &key : keys) {
            const QString kind = key == SecurityAlias() ? u"Default"_s : u"Other"_s;
            expected << u"DB|%1/%2.db|%3"_s.arg(folder, key, kind);
            QVERIFY2(QFileInfo::exists(folder + u'/' + key + u".db"_s), qPrintable(key));
        }
        QCOMPARE(OpenedDatabases(output), expected);

        // "Other" is hv_sec: the server's administrator is unknown there.
        output =
            RunClient(environment, {}, u"connect '%1hv' user 'SYSDBA' password '%2';"_s.arg(server, ServerPassword));
        QVERIFY2(output.contains(u"Your user name and password are not defined"_s), qPrintable(output));

        process.Stop();
        QVERIFY(!Listening(port));
    }
}

void TestRealServer::serverTreatsValuesAsTheirMarkSays_data()
{
    QTest::addColumn<QString>("setting"); // "name=value"; {port} is the row's free port
    QTest::addColumn<bool>("marked");
    QTest::addColumn<QString>("observed"); // what is looked at: pages, listening, refused, nodelay
    QTest::addColumn<int>("expected"); // the page buffers, or whether TCP_NODELAY is set

    QTest::newRow("pages word") << u"DefaultDbCachePages=viel"_s << true << u"pages"_s << 50;
    QTest::newRow("pages trailing letter") << u"DefaultDbCachePages=12x"_s << true << u"pages"_s << 50;
    QTest::newRow("pages negative") << u"DefaultDbCachePages=-5"_s << true << u"pages"_s << 2048;
    QTest::newRow("pages below minimum") << u"DefaultDbCachePages=10"_s << true << u"pages"_s << 50;
    QTest::newRow("pages suffix") << u"DefaultDbCachePages=2k"_s << false << u"pages"_s << 2048;
    QTest::newRow("pages commented and quoted") << u"DefaultDbCachePages= \"300\" # c"_s << false << u"pages"_s << 300;
    QTest::newRow("mode unknown") << u"ServerMode=bogus"_s << true << u"pages"_s << 2048;
    QTest::newRow("mode classic") << u"ServerMode=classic"_s << false << u"pages"_s << 256;
    QTest::newRow("port wraps") << u"RemoteServicePort={port+65536}"_s << true << u"listening"_s << 0;
    QTest::newRow("address octet 999") << u"RemoteBindAddress=999.1.1.1"_s << true << u"refused"_s << 0;
    QTest::newRow("address colon port") << u"RemoteBindAddress=127.0.0.1:{port}"_s << true << u"refused"_s << 0;
    QTest::newRow("text after quote") << u"DefaultDbCachePages=\"4096\" x"_s << true << u"refused"_s << 0;
    // The reader refuses the line before it looks at the name, which the server does not know.
    QTest::newRow("ignored name, text after quote") << u"RootDirectory=\"/x\" y"_s << true << u"refused"_s << 0;
    // TCP_NODELAY is seen only in the server's system calls: on the listening socket, which the
    // accepted ones take it from.
    QTest::newRow("switch on") << u"TcpNoNagle=on"_s << true << u"nodelay"_s << 0;
    QTest::newRow("switch yes") << u"TcpNoNagle=yes"_s << false << u"nodelay"_s << 1;
}

void TestRealServer::serverTreatsValuesAsTheirMarkSays()
{
    QFETCH(QString, setting);
    QFETCH(bool, marked);
    QFETCH(QString, observed);
    QFETCH(int, expected);

    if (!ServerInstalled())
        QSKIP(NotInstalled);
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (observed == u"nodelay" && strace.isEmpty())
        QSKIP("strace is not installed: a switch's effect is seen only in the server's system calls.");

    if (!FWork) {
        FWork = std::make_unique<QTemporaryDir>();
        QVERIFY(FWork->isValid());
        const QString root = FWork->filePath(u"security"_s);
        QVERIFY(QDir().mkpath(root) && MakeServerFolder(root));
        QVERIFY(QDir(root).mkpath(u"lock"_s) && QDir(root).mkpath(u"tmp"_s));
        FSecurityDatabase = root + u"/security3.fdb"_s;
        const QString created = CreateSecurityDatabase(ServerEnvironment(root, root), root, FSecurityDatabase);
        QVERIFY2(QFileInfo::exists(FSecurityDatabase) && created.trimmed().isEmpty(), qPrintable(created));
    }

    const int port = FreeLoopbackPort();
    QVERIFY(port > 0);
    setting.replace(u"{port+65536}"_s, QString::number(port + 65536)).replace(u"{port}"_s, QString::number(port));
    const QString name = setting.section(u'=', 0, 0);
    const QString value = setting.section(u'=', 1);
    const QString reason = UnusableValueReason(name, value, FallbackText);
    QVERIFY2(reason.isEmpty() != marked, qPrintable(u"„%1“: „%2“"_s.arg(setting, reason)));

    const QString root = FWork->filePath(QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(root) && MakeServerFolder(root));
    QVERIFY(QDir(root).mkpath(u"lock"_s) && QDir(root).mkpath(u"tmp"_s));
    SetServerConfig(root,
                    {u"SecurityDatabase="_s + FSecurityDatabase, u"RemoteBindAddress=127.0.0.1"_s,
                     u"RemoteServicePort=%1"_s.arg(port), setting});
    const QProcessEnvironment environment = ServerEnvironment(root, root);

    const QString trace = root + u"/strace.txt"_s;
    TServerProcess process(environment,
                           observed == u"nodelay"
                               ? QStringList{strace, u"-f"_s, u"-e"_s, u"trace=setsockopt"_s, u"-o"_s, trace}
                               : QStringList{});
    if (observed == u"refused") {
        QVERIFY2(process.WaitEnded(), "The server kept running.");
        QVERIFY(!Listening(port));
        return;
    }
    QVERIFY2(process.WaitListening(port),
             qPrintable(u"The server is not listening on port %1. It said:\n"_s.arg(port) + process.Output()));
    if (observed == u"nodelay") {
        process.Stop();
        QFile calls(trace);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(int(calls.readAll().contains("TCP_NODELAY, [1]")), expected);
    } else if (observed == u"pages") {
        const QString output =
            RunClient(environment, {},
                      u"create database '127.0.0.1/%1:%2/pages.fdb' user 'SYSDBA' password '%3';\n"
                      "select 'PAGES|' || mon$page_buffers from mon$database;\ndrop database;"_s.arg(port)
                          .arg(root, ServerPassword));
        static const QRegularExpression pages(u"PAGES\\|(\\d+)"_s);
        const QRegularExpressionMatch match = pages.match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QCOMPARE(match.captured(1).toInt(), expected);
    }
}

QTEST_MAIN(TestRealServer)
#include "tst_RealServer.moc"
