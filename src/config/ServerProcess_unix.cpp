#include "config/ServerProcess.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>

namespace {

// The programs a running server consists of: Firebird 3.0 and later run as "firebird" under the
// guardian "fbguard"; older ones as "fbserver" (SuperServer), "fb_inet_server" (Classic) or
// "fb_smp_server" (SuperClassic).
bool IsServerProgram(const QByteArray &name)
{
    static const QByteArrayList names = {"firebird", "fbguard", "fbserver", "fb_inet_server", "fb_smp_server"};
    return names.contains(name);
}

// Whether a process of the server runs, by the name each process has (/proc/<id>/comm), which
// any user may read: the program behind another user's process cannot be read here.
bool ServerProcessRuns()
{
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &process : processes) {
        bool isNumber = false;
        process.toUInt(&isNumber);
        if (!isNumber)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(process));
        if (comm.open(QIODevice::ReadOnly) && IsServerProgram(comm.readAll().trimmed()))
            return true;
    }
    return false;
}

// The highest of the entries in `folder` that match `pattern`, without `suffix`; empty for none.
// "firebird3.0" sorts above "firebird2.5", as the newest installed server is the one that runs.
QString HighestEntry(const QString &folder, const QString &pattern, const QString &suffix)
{
    QStringList names = QDir(folder).entryList({pattern}, QDir::Files | QDir::System);
    if (names.isEmpty())
        return {};
    std::sort(names.begin(), names.end());
    QString name = names.last();
    name.chop(suffix.size());
    return name;
}

QString RestartCommand()
{
    for (const char *folder : {"/etc/systemd/system", "/lib/systemd/system", "/usr/lib/systemd/system"}) {
        const QString unit =
            HighestEntry(QString::fromLatin1(folder), QStringLiteral("firebird*.service"), QStringLiteral(".service"));
        if (!unit.isEmpty())
            return QStringLiteral("systemctl restart ") + unit;
    }
    const QString script = HighestEntry(QStringLiteral("/etc/init.d"), QStringLiteral("firebird*"), QString());
    return script.isEmpty() ? QString() : QStringLiteral("/etc/init.d/%1 restart").arg(script);
}

} // namespace

TServerRestart FindServerRestart()
{
    if (!ServerProcessRuns())
        return {};
    return {true, RestartCommand()};
}
