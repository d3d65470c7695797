// The floor for the start-up of the window bench: the least a Qt program does to put a window on
// the screen, a bare window of the main window's size showing one QLabel in the program's font.
// Prints the same fields as a start-up run of tessaro-window-bench: milliseconds to the window's
// first paint, the peak resident memory in bytes, and the processor time by the first paint. Runs
// offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   tessaro-startup-floor FONT WIDTH HEIGHT STARTED_NS
//
// FONT: the program's font as QFont::toString() gives it. STARTED_NS: when the process was
// started, on the monotonic clock of QDeadlineTimer; the time counts from then.

#include "FirstPaint.h"
#include "PeakMemory.h"
#include "ProcessClock.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    QFont font;
    if (arguments.size() != 4 || !font.fromString(arguments[0])) {
        std::fputs("usage: tessaro-startup-floor FONT WIDTH HEIGHT STARTED_NS\n", stderr);
        return 2;
    }
    const qint64 startedNs = arguments[3].toLongLong();
    QApplication::setFont(font);

    QWidget window;
    window.resize(arguments[1].toInt(), arguments[2].toInt());
    new QLabel(QStringLiteral("Tessaro"), &window);
    TFirstPaint firstPaint(window);
    window.show();
    const TFirstPaint::TTime painted = firstPaint.Wait();
    std::printf("%.1f %lld %.1f\n", MillisecondsFrom(startedNs, painted.Ns),
                static_cast<long long>(PeakResidentBytes()), painted.CpuMs);
    return 0;
}
