#include "FileFixtures.h"

#include <QFile>

#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

bool BecomeNobody()
{
    return setgid(NobodyId) == 0 && setuid(NobodyId) == 0;
}

bool BecomeNobodyInGroups(std::initializer_list<unsigned> groups)
{
    const std::vector<gid_t> list(groups.begin(), groups.end());
    return setgroups(list.size(), list.data()) == 0 && BecomeNobody();
}

QString InChildProcess(const std::function<QString()> &work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return u"no pipe"_s;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const QByteArray message = work().toUtf8();
        [[maybe_unused]] const auto written = write(channel[1], message.constData(), message.size());
        _exit(0);
    }
    close(channel[1]);
    QFile reader;
    reader.open(channel[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray message = reader.readAll();
    if (child < 0 || waitpid(child, nullptr, 0) != child)
        return u"no child"_s;
    return QString::fromUtf8(message);
}

bool MakeSpecialFile(TSpecialFile kind, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    switch (kind) {
    case TSpecialFile::Fifo:
        return mkfifo(native.constData(), 0666) == 0;
    case TSpecialFile::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(native.size()) >= sizeof(address.sun_path))
            return false;
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        const int socketHandle = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound =
            socketHandle >= 0 && bind(socketHandle, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
        if (socketHandle >= 0)
            close(socketHandle);
        return bound;
    }
    case TSpecialFile::ZeroDevice:
        // A device of its own, so that nothing done to it can touch the system's /dev/zero.
        return mknod(native.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0;
    case TSpecialFile::LinkToZeroDevice:
        return MakeSpecialFile(TSpecialFile::ZeroDevice, path + u".device"_s) && QFile::link(path + u".device"_s, path);
    }
    return false;
}

QString ResultInChild(const std::function<QString()> &work)
{
    return InChildProcess([&work] {
        alarm(10);
        if (!UnderAddressSanitizer) {
            const rlimit memory{4ull << 30, 4ull << 30};
            setrlimit(RLIMIT_AS, &memory);
        }
        return work();
    });
}
