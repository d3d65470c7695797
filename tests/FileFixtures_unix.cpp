#include "FileFixtures.h"

#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

bool BecomeNobody()
{
    return setgid(NobodyId) == 0 && setuid(NobodyId) == 0;
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
