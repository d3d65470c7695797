#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>
#include <ctime>

// The clocks of the window benchmarks. A child process is told when its parent started it, in
// nanoseconds on the monotonic clock of QDeadlineTimer, so that its times include its own start.

inline qint64 MonotonicNanoseconds()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

// Milliseconds from `startedNs` to `ns`, both on that clock.
inline double MillisecondsFrom(qint64 startedNs, qint64 ns)
{
    return double(ns - startedNs) / 1e6;
}

// Milliseconds since the parent started the process, at `startedNs`.
inline double SinceStart(qint64 startedNs)
{
    return MillisecondsFrom(startedNs, MonotonicNanoseconds());
}

// Processor time of this process so far: on a machine busy with other work it varies far less
// than the time on the clock.
inline double CpuMilliseconds()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}
