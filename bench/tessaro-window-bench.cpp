// Opens the main window on huge and hostile inputs and times what a user does first: the window
// opening, the raw text of firebird.conf, the other page and back to that text, closing (which
// rewrites the settings file). Each input runs in processes of its own, at half and at full size,
// interleaved with tessaro-window-floor on the same firebird.conf; "stock" is Debian's server
// files (when the build has fetched them), "demo" the demo server folder. The start-up table
// times the program's start, set up as the program sets itself up, to its window's first paint on
// the stock files (the demo folder without them), interleaved with tessaro-startup-floor, a bare
// window. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   tessaro-window-bench [REPEATS [KIND...]]      the table, medians of REPEATS runs (default 3)
//   tessaro-window-bench startup [REPEATS]        the start-up table, medians of REPEATS runs
//   tessaro-window-bench open KIND SCALE SERVER SOURCE STARTED_NS
//                                                 one run on the server folder SERVER, printing
//                                                 the times and peak memory; STARTED_NS: when it
//                                                 was started, on the monotonic clock of
//                                                 QDeadlineTimer
//   tessaro-window-bench start SERVER SOURCE STARTED_NS
//                                                 one start-up on SERVER, printing the time to the
//                                                 first paint, the peak memory and processor time

#include "BenchInputs.h"
#include "FirstPaint.h"
#include "PeakMemory.h"
#include "ProcessClock.h"
#include "app/ProgramStart.h"
#include "app/ktParvex.h"
#include "app/stddialogs/StdDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtNumeric>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Any dialog would wait for a person: the bench stops instead.
class TNoDialogs : public TStdDialogs {
public:
    int ShowMessageBox(const QString &text, TMsgKind, TMsgButtons) override { Stop(text); }
    void ShowErrorBox(const QString &text) override { Stop(text); }
    std::optional<QString> BrowseForFolder(const QString &title) override { Stop(title); }

private:
    [[noreturn]] static void Stop(const QString &text) { qFatal("a dialog opened: %s", qPrintable(text)); }
};

void Copy(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

// Debian's firebird.conf and databases.conf, where the setup script fetched them.
QString StockFolder()
{
    return QStringLiteral(TESSARO_SOURCE_DIR "/build/firebird-stock/etc/firebird/3.0");
}

bool IsHostileKind(const QString &kind)
{
    return HostileKinds().contains(kind);
}

// Milliseconds for `step` and the events it leaves behind (layout, painting).
template <typename TStep>
double Timed(TStep step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    QApplication::processEvents();
    QApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The server folder for the runs of one input, written before they start, as the floor's file is:
// Debian's stock files for "stock", the demo folder's databases.conf beside a generated or the
// demo firebird.conf otherwise. The window only reads them.
void WriteServerFolder(const QDir &server, const QString &kind, int scale, const QString &sourceFolder)
{
    const QString aliases = server.filePath(u"databases.conf"_s);
    const QString config = server.filePath(u"firebird.conf"_s);
    if (kind == u"stock"_s) {
        Copy(StockFolder() + u"/databases.conf"_s, aliases);
        Copy(StockFolder() + u"/firebird.conf"_s, config);
        return;
    }
    Copy(sourceFolder + u"/examples/server/databases.conf"_s, aliases);
    if (kind == u"demo"_s || IsSettingsKind(kind))
        Copy(sourceFolder + u"/examples/server/firebird.conf"_s, config);
    else
        WriteBytes(config, HostileInput(kind, scale));
}

// A folder named `name` in `folder`, written by WriteServerFolder.
QString MakeServerFolder(const QTemporaryDir &folder, const QString &name, const QString &kind, int scale,
                         const QString &sourceFolder)
{
    const QString server = QDir(folder.path()).filePath(name);
    if (!QDir().mkpath(server))
        qFatal("cannot make %s", qPrintable(server));
    WriteServerFolder(QDir(server), kind, scale, sourceFolder);
    return server;
}

// The shipped settings file, copied into `folder`: closing the window writes to it.
QString CopySettings(const QTemporaryDir &folder, const QString &sourceFolder)
{
    if (!folder.isValid())
        qFatal("no temporary folder");
    const QString settings = QDir(folder.path()).filePath(u"Tessaro.ini"_s);
    Copy(sourceFolder + u"/resources/Tessaro.ini"_s, settings);
    return settings;
}

// The main window on the server folder `server`, not yet shown.
std::unique_ptr<TParvexDlg> MakeWindow(TStdDialogs &dialogs, const QString &settings, const QString &server)
{
    return std::make_unique<TParvexDlg>(dialogs, settings, [server](QString &found) {
        found = server;
        return true;
    });
}

// One start of the program as its main function makes it, up to the window's first paint.
int StartOnce(const QString &server, const QString &sourceFolder, qint64 startedNs)
{
    QTranslator qtTexts;
    SetUpProgram(qtTexts);
    const QTemporaryDir folder;
    TNoDialogs dialogs;
    const std::unique_ptr<TParvexDlg> window = MakeWindow(dialogs, CopySettings(folder, sourceFolder), server);
    TFirstPaint firstPaint(*window);
    window->show();
    const TFirstPaint::TTime painted = firstPaint.Wait();
    std::printf("%.1f %lld %.1f\n", MillisecondsFrom(startedNs, painted.Ns),
                static_cast<long long>(PeakResidentBytes()), painted.CpuMs);
    return 0;
}

// One run: the window opening on page 0, then what a user does to see the raw text of
// firebird.conf: its page, its raw text tab. Then back to page 0, and again to the raw text.
int OpenOnce(const QString &kind, int scale, const QString &server, const QString &sourceFolder, qint64 startedNs)
{
    const QTemporaryDir folder;
    const QString settings = CopySettings(folder, sourceFolder);
    if (IsSettingsKind(kind))
        WriteBytes(settings, HostileInput(kind, scale), QIODevice::Append);

    TNoDialogs dialogs;
    std::unique_ptr<TParvexDlg> window = MakeWindow(dialogs, settings, server);
    TFirstPaint firstPaint(*window);
    window->show();
    const TFirstPaint::TTime painted = firstPaint.Wait();
    const double open = MillisecondsFrom(startedNs, painted.Ns);
    auto *pages = window->findChild<QTabWidget *>(u"pcMain"_s);
    auto *configPages = window->findChild<QTabWidget *>(u"pcConfig"_s);
    if (!pages || !configPages)
        qFatal("the window has no page sets");
    const auto showRawText = [&] {
        pages->setCurrentIndex(1);
        configPages->setCurrentIndex(1);
    };
    const double openCpu = painted.CpuMs;
    Timed(showRawText);
    const double rawText = SinceStart(startedNs);
    const double rawTextCpu = CpuMilliseconds();
    const double away = Timed([&] { pages->setCurrentIndex(0); });
    const double awayCpu = CpuMilliseconds() - rawTextCpu;
    const double back = Timed(showRawText);
    const double backCpu = CpuMilliseconds() - rawTextCpu - awayCpu;
    const qint64 peak = PeakResidentBytes();
    const double close = Timed([&] { window.reset(); });
    std::printf("%.1f %.1f %.1f %.1f %lld %.1f %.1f %.1f %.1f %.1f\n", open, rawText, away, back,
                static_cast<long long>(peak), openCpu, rawTextCpu, awayCpu, backCpu, close);
    return 0;
}

// The numbers one child prints, at least `fieldCount` of them. The child is told when it was
// started, so its times include its own start-up.
QList<double> RunChild(const QString &program, const QStringList &arguments, qsizetype fieldCount)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments + QStringList{QString::number(MonotonicNanoseconds())});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qFatal("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
               child.readAllStandardError().constData());
    }
    QList<double> values;
    for (const QByteArray &field : child.readAllStandardOutput().trimmed().split(' '))
        values << field.toDouble();
    if (values.size() < fieldCount)
        qFatal("unexpected answer from %s", qPrintable(program));
    return values;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? qQNaN() : values.at(values.size() / 2);
}

// The medians of each field over the runs.
QList<double> Medians(const QList<QList<double>> &runs)
{
    QList<double> medians;
    for (qsizetype field = 0; field < runs.constFirst().size(); ++field) {
        QList<double> values;
        for (const QList<double> &run : runs)
            values << run.at(field);
        medians << Median(values);
    }
    return medians;
}

// A table's cell: the value of Tessaro, the floor's and their ratio, in `unit`s.
QString Cell(double value, double floor, double unit)
{
    return QString::asprintf("%.1f (%.1f) = %.2f", value / unit, floor / unit, value / floor);
}

// The fields of a window run and of its floor: window, raw text, away, back, peak bytes, the four
// times as processor time [, close].
constexpr qsizetype WindowFields = 9;

int Table(const QString &sourceFolder, int repeats, const QStringList &kinds)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    const QString floorProgram = QCoreApplication::applicationDirPath() + u"/tessaro-window-floor"_s;
    std::printf("Medians of %d interleaved runs; each cell: Tessaro (floor) = ratio. The floor loads the same\n"
                "firebird.conf into one QPlainTextEdit. window: from the process start to the window's first paint;\n"
                "raw: from the process start until the raw text of firebird.conf is on screen; away: to the\n"
                "other page; back: to the raw text again. \"cpu\": the same as processor time of the process.\n",
                repeats);
    std::printf("%-8s %4s | %-24s | %-24s | %-18s | %-22s | %-20s | %8s\n", "input", "size", "window ms", "raw ms",
                "away ms", "back ms", "peak MB", "close ms");
    for (const QString &kind : kinds) {
        for (const int scale : {2, 1}) {
            if (!IsHostileKind(kind) && scale == 2)
                continue;
            // The floor reads the same firebird.conf the window reads.
            const QString server =
                MakeServerFolder(folder, u"server-%1-%2"_s.arg(kind).arg(scale), kind, scale, sourceFolder);
            QList<QList<double>> runs, floorRuns;
            for (int run = 0; run < repeats; ++run) {
                runs << RunChild(QCoreApplication::applicationFilePath(),
                                 {u"open"_s, kind, QString::number(scale), server, sourceFolder}, WindowFields);
                floorRuns << RunChild(floorProgram, {QDir(server).filePath(u"firebird.conf"_s)}, WindowFields);
            }
            const QList<double> v = Medians(runs);
            const QList<double> f = Medians(floorRuns);
            const char *size = !IsHostileKind(kind) ? "" : scale == 1 ? "full" : "half";
            std::printf("%-8s %4s | %-24s | %-24s | %-18s | %-22s | %-20s | %8.1f\n", qPrintable(kind), size,
                        qPrintable(Cell(v[0], f[0], 1)), qPrintable(Cell(v[1], f[1], 1)),
                        qPrintable(Cell(v[2], f[2], 1)), qPrintable(Cell(v[3], f[3], 1)),
                        qPrintable(Cell(v[4], f[4], 1e6)), v[9]);
            std::printf("%-8s %4s | %-24s | %-24s | %-18s | %-22s |\n", "", "cpu", qPrintable(Cell(v[5], f[5], 1)),
                        qPrintable(Cell(v[6], f[6], 1)), qPrintable(Cell(v[7], f[7], 1)),
                        qPrintable(Cell(v[8], f[8], 1)));
            std::fflush(stdout);
        }
    }
    return 0;
}

// The start-up, interleaved with its floor: a bare window of the main window's size, showing
// one label in the program's font.
int StartupTable(const QString &sourceFolder, int repeats)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    const QString kind = QFileInfo::exists(StockFolder() + u"/firebird.conf"_s) ? u"stock"_s : u"demo"_s;
    const QString server = MakeServerFolder(folder, u"server"_s, kind, 1, sourceFolder);
    const QString floorProgram = QCoreApplication::applicationDirPath() + u"/tessaro-startup-floor"_s;
    const QStringList floorArguments{ProgramFont().toString(), QString::number(TParvexDlg::ClientSize.width()),
                                     QString::number(TParvexDlg::ClientSize.height())};
    constexpr qsizetype Fields = 3; // start-up, peak bytes, processor time
    QList<QList<double>> runs, floorRuns;
    for (int run = 0; run < repeats; ++run) {
        runs << RunChild(QCoreApplication::applicationFilePath(), {u"start"_s, server, sourceFolder}, Fields);
        floorRuns << RunChild(floorProgram, floorArguments, Fields);
    }
    const QList<double> v = Medians(runs);
    const QList<double> f = Medians(floorRuns);
    std::printf("Medians of %d interleaved runs; each cell: Tessaro (floor) = ratio. start-up: from the process\n"
                "start to the first paint of the main window, set up as the program sets itself up; the floor\n"
                "shows a bare window of the same size with one label in the program's font. \"cpu\": the same\n"
                "as processor time of the process.\n",
                repeats);
    std::printf("%-8s | %-24s | %-24s | %s\n", "input", "start-up ms", "cpu ms", "peak MB");
    std::printf("%-8s | %-24s | %-24s | %s\n", qPrintable(kind), qPrintable(Cell(v[0], f[0], 1)),
                qPrintable(Cell(v[2], f[2], 1)), qPrintable(Cell(v[1], f[1], 1e6)));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() == 6 && arguments[0] == u"open"_s)
        return OpenOnce(arguments[1], arguments[2].toInt(), arguments[3], arguments[4], arguments[5].toLongLong());
    if (arguments.size() == 4 && arguments[0] == u"start"_s)
        return StartOnce(arguments[1], arguments[2], arguments[3].toLongLong());
    const bool startup = !arguments.isEmpty() && arguments[0] == u"startup"_s;
    const QStringList tableArguments = arguments.mid(startup ? 1 : 0);
    bool ok = true;
    const int repeats = tableArguments.isEmpty() ? 3 : tableArguments[0].toInt(&ok);
    QStringList kinds = tableArguments.mid(1);
    if (startup && !kinds.isEmpty())
        ok = false;
    if (kinds.isEmpty() && !startup) {
        kinds = QStringList{u"demo"_s} + HostileKinds();
        if (QFileInfo::exists(StockFolder() + u"/firebird.conf"_s))
            kinds.prepend(u"stock"_s);
    }
    const QStringList known = QStringList{u"stock"_s, u"demo"_s} + HostileKinds();
    if (!ok || repeats < 1
        || !std::all_of(kinds.begin(), kinds.end(), [&](const QString &kind) { return known.contains(kind); })) {
        std::fputs("usage: tessaro-window-bench [REPEATS [KIND...]]\n"
                   "       tessaro-window-bench startup [REPEATS]\n"
                   "       tessaro-window-bench open KIND SCALE SERVER_FOLDER SOURCE_FOLDER STARTED_NS\n"
                   "       tessaro-window-bench start SERVER_FOLDER SOURCE_FOLDER STARTED_NS\n"
                   "KIND: stock demo config oneline empty sections columns\n",
                   stderr);
        return 2;
    }
    if (startup)
        return StartupTable(QStringLiteral(TESSARO_SOURCE_DIR), repeats);
    return Table(QStringLiteral(TESSARO_SOURCE_DIR), repeats, kinds);
}
