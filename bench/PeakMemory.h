#pragma once

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <QByteArray>
#include <QFile>
#elif defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

// The process's resident memory at its highest so far, in bytes; -1 where this bench cannot tell.
// Call it while the data to measure still lives: Linux raises its high-water mark only now and
// then, so the resident size of this moment counts as well. (getrusage is no help on Linux: a
// program started by another inherits that one's high-water mark.)
inline qint64 PeakResidentBytes()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    qint64 peak = -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:") || line.startsWith("VmRSS:"))
            peak = qMax(peak, line.mid(6).trimmed().split(' ').first().toLongLong() * 1024);
    }
    return peak;
#elif defined(Q_OS_UNIX)
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? qint64(usage.ru_maxrss) * 1024 : -1;
#else
    return -1;
#endif
}
