// Times the way a configuration file takes through the program (load, normalise, look up the
// catalogue, set one value, save) against merely copying its bytes, on files far larger than a
// real firebird.conf, to show that the cost grows linearly with the file. The "set" command runs
// that way once on a given file.

#include "BenchInputs.h"
#include "config/ktFBFunc.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QtNumeric>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int Repeats = 7;
const std::vector<int> DefaultLineCounts{1'000, 100'000, 1'000'000};

void PrintUsage()
{
    std::fputs("usage: tessaro-bench [LINES...]\n"
               "       tessaro-bench set IN OUT KEY VALUE\n",
               stderr);
}

// Flushes the file's data to the disk, as a safe save does before the new file replaces the old;
// false where this bench knows no such call.
bool SyncData(QFile &file)
{
#ifdef Q_OS_UNIX
    return file.flush() && fdatasync(file.handle()) == 0;
#else
    Q_UNUSED(file);
    return false;
#endif
}

// The floor: the file's bytes read and written again with plain file I/O; with `sync`, flushed to
// the disk before the copy is closed. Gives false when that flush is not available.
bool CopyBytes(const QString &from, const QString &to, bool sync)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(from));
    const QByteArray bytes = in.readAll();
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(to));
    return !sync || SyncData(out);
}

void RunPipeline(const QString &from, const QString &to)
{
    TLineDocument document;
    document.LoadFromFile(from);
    NormalizeLines(document);
    const QStringList names = ParamCatalogNames();
    if (document.ValuesOf(names).size() != names.size())
        qFatal("catalogue lookup lost values");
    SetConfigValue(document, QStringLiteral("DefaultDbCachePages"), QStringLiteral("4096"));
    document.SaveToFile(to);
}

double Milliseconds(const std::function<void()> &run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int Benchmark(const std::vector<int> &lineCounts)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");

    // The pipeline saves safely, which flushes the file to the disk; "synced" is the floor with
    // that flush, the fairer measure of what a safe save must cost at the least.
    std::printf("Medians of %d interleaved runs. ratio: pipeline / plain read+write; synced: pipeline /\n"
                "read+write+fdatasync.\n",
                Repeats);
    std::printf("%10s %5s %12s %10s %10s %12s %7s %7s %12s\n", "lines", "ends", "bytes", "floor ms", "synced ms",
                "pipeline ms", "ratio", "synced", "ns per line");
    // CR LF as the program writes; LF as Debian's stock file has, which the reader must not find
    // slower.
    const std::vector<std::pair<const char *, QByteArrayView>> lineEnds{{"CRLF", "\r\n"}, {"LF", "\n"}};
    for (const int lineCount : lineCounts) {
        for (const auto &[endName, lineEnd] : lineEnds) {
            const QString source = folder.filePath(QStringLiteral("firebird-%1.conf").arg(lineCount));
            const QString target = folder.filePath(QStringLiteral("out.conf"));
            const QByteArray bytes = GeneratedConfig(lineCount, lineEnd);
            WriteBytes(source, bytes);

            // Interleaved, so that a machine busy with other work slows all three alike.
            std::vector<double> floors, synceds, pipelines;
            bool syncs = true;
            for (int i = 0; i < Repeats; ++i) {
                floors.push_back(Milliseconds([&] { CopyBytes(source, target, false); }));
                synceds.push_back(Milliseconds([&] { syncs = CopyBytes(source, target, true); }));
                pipelines.push_back(Milliseconds([&] { RunPipeline(source, target); }));
            }
            const double floor = Median(floors);
            const double synced = Median(synceds);
            const double pipeline = Median(pipelines);
            const double syncedRatio = syncs ? pipeline / synced : qQNaN();
            std::printf("%10d %5s %12lld %10.2f %10.2f %12.2f %7.2f %7.2f %12.0f\n", lineCount, endName,
                        static_cast<long long>(bytes.size()), floor, syncs ? synced : qQNaN(), pipeline,
                        pipeline / floor, syncedRatio, pipeline * 1e6 / lineCount);
            std::fflush(stdout);
        }
    }
    return 0;
}

// A missing input gives an empty document; on failure nothing is written.
int SetOnce(const QString &in, const QString &out, const QString &key, const QString &value)
{
    try {
        TLineDocument document;
        if (QFileInfo::exists(in))
            document.LoadFromFile(in);
        NormalizeLines(document);
        SetConfigValue(document, key, value);
        document.SaveToFile(out);
        return 0;
    } catch (const ETessaroError &error) {
        std::fprintf(stderr, "%s\n", error.Message().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception &error) {
        // Out of memory, above all: reported like any failure, never an abort.
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);

    if (!arguments.isEmpty() && arguments.first() == QStringLiteral("set")) {
        if (arguments.size() != 5) {
            PrintUsage();
            return 2;
        }
        return SetOnce(arguments.at(1), arguments.at(2), arguments.at(3), arguments.at(4));
    }

    std::vector<int> lineCounts;
    for (const QString &argument : arguments) {
        bool ok = false;
        const int lineCount = argument.toInt(&ok);
        if (!ok || lineCount <= 0) {
            PrintUsage();
            return 2;
        }
        lineCounts.push_back(lineCount);
    }
    return Benchmark(lineCounts.empty() ? DefaultLineCounts : lineCounts);
}
