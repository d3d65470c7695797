// Debian's Firebird 3.0 server reads the two files as the program writes them. The server is
// started by hand from a private copy of its folder (its own root, lock and temporary folders) on
// a free loopback port; the program's window, offscreen, writes both files through its commands;
// the server's own client then creates and opens every database through its alias over TCP.

#include "WindowFixture.h"
#include "config/ktFBFunc.h"
#include "text/LineDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
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
// test process die first, the system stops the server too.
class TServerProcess {
public:
    TServerProcess(const QProcessEnvironment &environment)
    {
        FProcess.setProcessEnvironment(environment);
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
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

    QString Output() { return QString::fromLocal8Bit(FProcess.readAll()); }

    void Stop()
    {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(FProcess.processId()), SIGTERM);
        if (!FProcess.waitForFinished(10000)) {
            ::kill(pid_t(FProcess.processId()), SIGKILL);
            FProcess.waitForFinished();
        }
    }

private:
    QProcess FProcess;
};

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
};

void TestRealServer::serverReadsWhatTheProgramWrote()
{
    if (!QFileInfo(ServerBinary).isExecutable() || !QFileInfo(ClientBinary).isExecutable()
        || !QFileInfo::exists(SystemRoot + u"/firebird.conf"_s))
        QSKIP("Debian's firebird3.0-server and firebird3.0-utils are not installed (scripts/setup.sh "
              "test installs them): the real-server test is skipped.");

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
    {
        TLineDocument config;
        config.LoadFromFile(root + u"/firebird.conf"_s);
        NormalizeLines(config);
        SetConfigValue(config, u"SecurityDatabase"_s, securityDatabase);
        config.SaveToFile(root + u"/firebird.conf"_s);
    }
    const QString created =
        RunClient(environment, {u"-user"_s, u"SYSDBA"_s},
                  u"create database '%1';\ncreate user SYSDBA password '%2' using plugin Srp;\ncommit;"_s.arg(
                      securityDatabase, ServerPassword));
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

QTEST_MAIN(TestRealServer)
#include "tst_RealServer.moc"
