// The floor for the window bench: the least a Qt program does to show a file's text, a window of
// two tabs whose second holds one QPlainTextEdit with the file's text. Prints the same fields as
// a run of tessaro-window-bench: milliseconds to the first paint of the window, to the text on
// screen (the same here, since the text is shown at once), to the other tab and back to the text,
// and the peak resident memory in bytes, then the four times again as processor time. Runs
// offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   tessaro-window-floor FILE STARTED_NS
//
// STARTED_NS: when the process was started, on the monotonic clock of QDeadlineTimer; the first
// two times count from then.

#include "FirstPaint.h"
#include "PeakMemory.h"
#include "ProcessClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QString>
#include <QTabWidget>
#include <cstdio>

namespace {

double Milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void ProcessPendingEvents()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

// The text as a plain program reads it; the bench's inputs are ASCII or UTF-8.
QString ReadText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() != 2) {
        std::fputs("usage: tessaro-window-floor FILE STARTED_NS\n", stderr);
        return 2;
    }
    const qint64 startedNs = arguments[1].toLongLong();

    QTabWidget window;
    window.resize(784, 553);
    window.addTab(new QWidget, QStringLiteral("List"));
    auto *editor = new QPlainTextEdit;
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    window.addTab(editor, QStringLiteral("Text"));
    editor->setPlainText(ReadText(arguments.first()));
    window.setCurrentIndex(1);
    TFirstPaint firstPaint(window);
    window.show();
    const TFirstPaint::TTime painted = firstPaint.Wait();
    const double shown = MillisecondsFrom(startedNs, painted.Ns);
    const double shownCpu = painted.CpuMs;
    ProcessPendingEvents();
    const double settledCpu = CpuMilliseconds();

    QElapsedTimer timer;
    timer.start();
    window.setCurrentIndex(0);
    ProcessPendingEvents();
    const double away = Milliseconds(timer);
    const double awayCpu = CpuMilliseconds() - settledCpu;
    timer.restart();
    window.setCurrentIndex(1);
    ProcessPendingEvents();
    const double back = Milliseconds(timer);
    const double backCpu = CpuMilliseconds() - settledCpu - awayCpu;
    std::printf("%.1f %.1f %.1f %.1f %lld %.1f %.1f %.1f %.1f\n", shown, shown, away, back,
                static_cast<long long>(PeakResidentBytes()), shownCpu, shownCpu, awayCpu, backCpu);
    return 0;
}
