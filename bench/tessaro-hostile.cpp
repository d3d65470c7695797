// Takes huge and hostile inputs through the core as the program does, each in a process of its
// own, and reports time and peak memory above the floor of a process that loads nothing.
// Every input runs at half and at full size: time that doubles with the size is linear.
//
//   tessaro-hostile                  the table
//   tessaro-hostile load KIND FILE   one load, printing "<ms> <floor bytes> <peak bytes>"

#include "BenchInputs.h"
#include "PeakMemory.h"
#include "app/state/StoredColumns.h"
#include "config/ktFBFunc.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// What the program does with a server configuration file: load, normalise, look up every
// catalogue name (as the start-up does), set one value and save (as an edit and Save do). A
// settings file is read, and the main window's state and column sets are read from it.
// Gives the peak memory, taken while what was loaded still lives.
qint64 Load(const QString &kind, const QString &path)
{
    if (IsSettingsKind(kind)) {
        const TSettingsFile settings(path);
        QStringList sections;
        settings.ReadSections(sections);
        for (const QString &key : {u"FormVersion"_s, u"Flags"_s, u"ShowCmd"_s, u"MinMaxPos"_s, u"NormPos"_s})
            settings.ReadString(u"ParvexDlg"_s, key, QString());
        std::vector<TListColumn> columns;
        for (const QString &set : {u"ParvexDlg\\ParvexList_Columns"_s, u"ParvexDlg\\FBAliasList_Columns"_s})
            ReadStoredColumns(settings, set, columns);
        return PeakResidentBytes();
    }
    TLineDocument document;
    document.LoadFromFile(path);
    NormalizeLines(document);
    if (document.ValuesOf(ParamCatalogNames()).size() != qsizetype(ParamCatalog.size()))
        qFatal("catalogue lookup lost values");
    SetConfigValue(document, u"DefaultDbCachePages"_s, u"4096"_s);
    document.SaveToFile(path + u".saved"_s);
    return PeakResidentBytes();
}

int LoadOnce(const QString &kind, const QString &path)
{
    const qint64 floor = PeakResidentBytes();
    QElapsedTimer timer;
    timer.start();
    const qint64 peak = Load(kind, path);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%.2f %lld %lld\n", ms, static_cast<long long>(floor),
                static_cast<long long>(qMax(peak, PeakResidentBytes())));
    return 0;
}

struct TMeasure {
    double Ms = 0;
    qint64 AboveFloor = 0;
};

TMeasure MeasureInChild(const QString &kind, const QString &path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"load"_s, kind, path});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        qFatal("loading %s failed: %s", qPrintable(kind), child.readAllStandardError().constData());
    const QByteArray answer = child.readAllStandardOutput();
    const QList<QByteArray> fields = answer.trimmed().split(' ');
    if (fields.size() != 3)
        qFatal("unexpected answer from the child");
    return {fields[0].toDouble(), fields[2].toLongLong() - fields[1].toLongLong()};
}

int Table()
{
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    std::printf("%-9s %12s %10s %10s %14s %10s %12s\n", "input", "bytes", "half ms", "full ms", "full/half time",
                "peak MB", "peak / size");
    for (const QString &kind : HostileKinds()) {
        TMeasure measures[2];
        qint64 size = 0;
        for (const int scale : {2, 1}) {
            const QString path = folder.filePath(kind + u".input"_s);
            const QByteArray bytes = HostileInput(kind, scale);
            WriteBytes(path, bytes);
            size = bytes.size();
            // The median of three runs in fresh processes.
            TMeasure runs[3];
            for (TMeasure &run : runs)
                run = MeasureInChild(kind, path);
            std::sort(std::begin(runs), std::end(runs),
                      [](const TMeasure &a, const TMeasure &b) { return a.Ms < b.Ms; });
            measures[scale == 1] = runs[1];
        }
        const TMeasure &full = measures[1];
        std::printf("%-9s %12lld %10.1f %10.1f %14.2f %10.1f %12.2f\n", qPrintable(kind), static_cast<long long>(size),
                    measures[0].Ms, full.Ms, full.Ms / measures[0].Ms, double(full.AboveFloor) / 1e6,
                    double(full.AboveFloor) / double(size));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() == 3 && arguments[0] == u"load"_s)
        return LoadOnce(arguments[1], arguments[2]);
    if (!arguments.isEmpty()) {
        std::fputs("usage: tessaro-hostile\n       tessaro-hostile load KIND FILE\n", stderr);
        return 2;
    }
    return Table();
}
