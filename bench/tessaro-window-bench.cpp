// Opens the main window on huge and hostile inputs and times what a user does first: the window
// opening, the parameter page, its raw text, back to the list, closing (which rewrites the
// settings file). Each input runs in a process of its own, at half and at full size; "demo" is
// the demo server folder, the floor. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   tessaro-window-bench                          the table
//   tessaro-window-bench open KIND SCALE SOURCE   one run, printing the times and peak memory

#include "BenchInputs.h"
#include "PeakMemory.h"
#include "app/ktParvex.h"
#include "app/stddialogs/StdDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
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

int OpenOnce(const QString &kind, int scale, const QString &sourceFolder)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    const QDir root(folder.path());
    root.mkdir(u"program"_s);
    root.mkdir(u"server"_s);
    const QString settings = root.filePath(u"program/Tessaro.ini"_s);
    Copy(sourceFolder + u"/resources/Tessaro.ini"_s, settings);
    Copy(sourceFolder + u"/examples/server/databases.conf"_s, root.filePath(u"server/databases.conf"_s));
    const QString config = root.filePath(u"server/firebird.conf"_s);
    if (kind == u"demo"_s || IsSettingsKind(kind))
        Copy(sourceFolder + u"/examples/server/firebird.conf"_s, config);
    else
        WriteBytes(config, HostileInput(kind, scale));
    if (IsSettingsKind(kind))
        WriteBytes(settings, HostileInput(kind, scale), QIODevice::Append);

    TNoDialogs dialogs;
    const QString server = root.filePath(u"server"_s);
    std::unique_ptr<TParvexDlg> window;
    const double open = Timed([&] {
        window = std::make_unique<TParvexDlg>(dialogs, settings, [server](QString &found) {
            found = server;
            return true;
        });
        window->show();
    });
    auto *pages = window->findChild<QTabWidget *>(u"pcMain"_s);
    auto *configPages = window->findChild<QTabWidget *>(u"pcConfig"_s);
    if (!pages || !configPages)
        qFatal("the window has no page sets");
    const double parameterPage = Timed([&] { pages->setCurrentIndex(1); });
    const double rawText = Timed([&] { configPages->setCurrentIndex(1); });
    const double backToList = Timed([&] { configPages->setCurrentIndex(0); });
    const qint64 peak = PeakResidentBytes();
    const double close = Timed([&] { window.reset(); });
    std::printf("%.1f %.1f %.1f %.1f %.1f %lld\n", open, parameterPage, rawText, backToList, close,
                static_cast<long long>(peak));
    return 0;
}

QList<double> RunChild(const QString &kind, int scale, const QString &sourceFolder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {u"open"_s, kind, QString::number(scale), sourceFolder});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qFatal("the window on %s failed", qPrintable(kind));
    QList<double> values;
    for (const QByteArray &field : child.readAllStandardOutput().trimmed().split(' '))
        values << field.toDouble();
    if (values.size() != 6)
        qFatal("unexpected answer from the child");
    return values;
}

int Table(const QString &sourceFolder)
{
    std::printf("%-9s %5s %9s %9s %9s %9s %9s %9s\n", "input", "size", "open ms", "page ms", "raw ms",
                "list ms", "close ms", "peak MB");
    for (const QString &kind : QStringList{u"demo"_s} + HostileKinds()) {
        for (const int scale : {2, 1}) {
            if (kind == u"demo"_s && scale == 2)
                continue;
            const QList<double> v = RunChild(kind, scale, sourceFolder);
            std::printf("%-9s %5s %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f\n", qPrintable(kind),
                        scale == 1 ? "full" : "half", v[0], v[1], v[2], v[3], v[4], v[5] / 1e6);
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() == 4 && arguments[0] == u"open"_s)
        return OpenOnce(arguments[1], arguments[2].toInt(), arguments[3]);
    if (!arguments.isEmpty()) {
        std::fputs("usage: tessaro-window-bench\n"
                   "       tessaro-window-bench open KIND SCALE SOURCE_FOLDER\n", stderr);
        return 2;
    }
    return Table(QStringLiteral(TESSARO_SOURCE_DIR));
}
