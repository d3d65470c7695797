// Save in the main window when the file system refuses: the error box shows the message, the
// file keeps its bytes, the changed flag stays, and Save writes the file once the fault is gone.
// And Save when another program has changed the file since it was loaded: the user is asked.

#include "FileFixtures.h"
#include "WindowFixture.h"
#include "text/Errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <cerrno>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

enum class TFault { FullFileSystem, FullBeforeSmallSave, FolderRemoved, ReadOnlyFile, FolderInPlace, SymbolicLinkLoop };

// What another program does to "firebird.conf" between loading and Save.
enum class TOtherWriter { Nothing, AppendsLine, RemovesFile };

const QByteArray ConfigFile = "RemoteServicePort = 3051\n"_ba;
const QByteArray AliasFile = "hv = /data/hv.db\n"_ba;

// Larger than the small file system below can hold.
const QString LargeValue(100'000, u'x');

// Replaces the whole raw text of "firebird.conf" and takes it over, as the user does.
void TypeConfigText(TWindowFixture &fixture, const QString &text)
{
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    editor->selectAll();
    editor->insertPlainText(text);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
}

void ClickSave(TWindowFixture &fixture)
{
    fixture.Control<QToolButton>("SaveBtn")->click();
}

#ifdef Q_OS_UNIX
// Mounts a file system of 64 KiB on `folder`; empty, or why it could not be done.
QString MountSmallFileSystem(const QString &folder)
{
    if (geteuid() != 0)
        return u"Mounting a small file system needs administrator rights."_s;
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
        return u"No small file system could be mounted here: "_s + SystemErrorText(errno);
    return {};
}
#endif

} // namespace

Q_DECLARE_METATYPE(TFault)
Q_DECLARE_METATYPE(TOtherWriter)

class TestWindowSaveFaults : public QObject {
    Q_OBJECT

private slots:
    void saveAfterFault_data();
    void saveAfterFault();
    void settingsFileKeptOnFullDisk();
    void saveAsksWhenAnotherProgramChangedTheFile_data();
    void saveAsksWhenAnotherProgramChangedTheFile();
    void changeWhileAskingIsKept();
};

void TestWindowSaveFaults::saveAfterFault_data()
{
    QTest::addColumn<TFault>("fault");
    QTest::newRow("full file system") << TFault::FullFileSystem;
    QTest::newRow("full file system, small file") << TFault::FullBeforeSmallSave;
    QTest::newRow("folder removed") << TFault::FolderRemoved;
    QTest::newRow("read-only file") << TFault::ReadOnlyFile;
    QTest::newRow("folder in place of the file") << TFault::FolderInPlace;
    QTest::newRow("symbolic link loop") << TFault::SymbolicLinkLoop;
}

void TestWindowSaveFaults::saveAfterFault()
{
    QFETCH(TFault, fault);

#ifdef Q_OS_UNIX
    TWindowFixture fixture;
    const QString folder = QDir(fixture.ServerFolder()).filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    // Unmounted before the fixture removes its folders, which a mount point would stop.
    bool mounted = false;
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    });
    const bool fullDisk = fault == TFault::FullFileSystem || fault == TFault::FullBeforeSmallSave;
    if (fullDisk) {
        if (const QString why = MountSmallFileSystem(folder); !why.isEmpty())
            QSKIP(qPrintable(why));
        mounted = true;
    }
    const QString config = fixture.WriteServerFile(u"server/firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"server/databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(folder);
    const QString value = fault == TFault::FullFileSystem ? LargeValue : u"Tessaro"_s;
    TypeConfigText(fixture, u"RemoteServicePort = 3052\nIpcName = "_s + value);
    QVERIFY(window.ConfigChanged());
    // A file that vanished or was replaced since loading is asked about before each Save.
    fixture.Dialogs.MessageAnswers = {mrYes, mrYes};

    QString expected;
    std::function<void()> removeFault;
    switch (fault) {
    case TFault::FullFileSystem:
    case TFault::FullBeforeSmallSave:
        if (fault == TFault::FullBeforeSmallSave)
            FillFileSystem(folder + u"/filler"_s);
        expected = u"Stream-Schreibfehler"_s;
        removeFault = [folder] {
            const QByteArray mountPoint = QFile::encodeName(folder);
            QCOMPARE(mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
        };
        break;
    case TFault::FolderRemoved:
        QVERIFY(QDir(folder).removeRecursively());
        expected = CreateErrorText(config, ENOENT);
        removeFault = [folder] { QVERIFY(QDir().mkdir(folder)); };
        break;
    case TFault::ReadOnlyFile:
        QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        expected = CreateErrorText(config, EACCES);
        removeFault = [config] { QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner)); };
        break;
    case TFault::FolderInPlace:
        QVERIFY(QFile::remove(config));
        QVERIFY(QDir().mkdir(config));
        expected = CreateErrorText(config, EISDIR);
        removeFault = [config] { QVERIFY(QDir().rmdir(config)); };
        break;
    case TFault::SymbolicLinkLoop: {
        const QString other = folder + u"/other.conf"_s;
        QVERIFY(QFile::remove(config));
        QVERIFY(QFile::link(other, config));
        QVERIFY(QFile::link(config, other));
        expected = CreateErrorText(config, ELOOP);
        removeFault = [config, other] { QVERIFY(QFile::remove(config) && QFile::remove(other)); };
        break;
    }
    }
    const bool fileKept = fullDisk || fault == TFault::ReadOnlyFile;

    ClickSave(fixture);

    // The error box ends every message that ends in a letter with a full stop.
    QCOMPARE(fixture.Dialogs.Errors, QStringList{expected + u'.'});
    QVERIFY(window.ConfigChanged());
    QCOMPARE(fixture.Dialogs.Messages.size(), fileKept ? 0 : 1);
    if (fileKept)
        QCOMPARE(fixture.ReadServerFile(u"server/firebird.conf"_s), ConfigFile);
    else if (fault == TFault::SymbolicLinkLoop)
        QVERIFY(QFileInfo(config).isSymLink());
    if (fullDisk) {
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (fault == TFault::FullBeforeSmallSave
                      ? QStringList{u"databases.conf"_s, u"filler"_s, u"firebird.conf"_s}
                      : QStringList{u"databases.conf"_s, u"firebird.conf"_s}));
    }

    removeFault();
    ClickSave(fixture);

    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QCOMPARE(fixture.Dialogs.Messages.size(), fileKept ? 0 : 2);
    QCOMPARE(fixture.ReadServerFile(u"server/firebird.conf"_s),
             "RemoteServicePort=3052\r\nIpcName=" + value.toLatin1() + "\r\n");
    if (fileKept)
        QCOMPARE(fixture.ReadServerFile(u"server/databases.conf"_s), AliasFile);
#else
    Q_UNUSED(fault);
    QSKIP("The faults are set up with Unix file system calls.");
#endif
}

// The window-state store writes the settings file at the program's end and keeps quiet about a
// failure: on a full disk the old file must stay, or the next start has lost its texts.
void TestWindowSaveFaults::settingsFileKeptOnFullDisk()
{
#ifdef Q_OS_UNIX
    TWindowFixture fixture;
    const QString folder = fixture.ProgramFolder();
    if (const QString why = MountSmallFileSystem(folder); !why.isEmpty())
        QSKIP(qPrintable(why));
    const auto unmount = qScopeGuard([&] { umount2(QFile::encodeName(folder).constData(), MNT_DETACH); });
    const QByteArray settings = "\xEF\xBB\xBF[GERMAN]\r\nSaveBtn=Speichern\r\n\r\n"_ba;
    fixture.WriteSettings(settings);
    fixture.Open(std::nullopt);
    FillFileSystem(folder + u"/filler"_s);

    fixture.EndProgram();

    QCOMPARE(fixture.ReadSettings(), settings);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
             (QStringList{u"filler"_s, u"Tessaro.ini"_s}));
#else
    QSKIP("A small file system is mounted with Unix calls.");
#endif
}

void TestWindowSaveFaults::saveAsksWhenAnotherProgramChangedTheFile_data()
{
    QTest::addColumn<TOtherWriter>("otherWriter");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("written");

    QTest::newRow("unchanged: no question") << TOtherWriter::Nothing << 0 << false << true;
    QTest::newRow("line appended, Yes") << TOtherWriter::AppendsLine << mrYes << true << true;
    QTest::newRow("line appended, No") << TOtherWriter::AppendsLine << mrNo << true << false;
    QTest::newRow("line appended, box closed") << TOtherWriter::AppendsLine << mrCancel << true << false;
    QTest::newRow("file removed, Yes") << TOtherWriter::RemovesFile << mrYes << true << true;
    QTest::newRow("file removed, No") << TOtherWriter::RemovesFile << mrNo << true << false;
}

// A second program (or a second window on the same folder) wrote the file after it was loaded:
// Save must not undo that without asking.
void TestWindowSaveFaults::saveAsksWhenAnotherProgramChangedTheFile()
{
    QFETCH(TOtherWriter, otherWriter);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, written);

    TWindowFixture fixture;
    const QString config = fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());
    TypeConfigText(fixture, u"RemoteServicePort = 3052"_s);
    QVERIFY(window.ConfigChanged());

    QByteArray onDisk = ConfigFile;
    if (otherWriter == TOtherWriter::AppendsLine) {
        onDisk += "IpcName = other\n";
        QFile other(config);
        QVERIFY(other.open(QIODevice::Append));
        QCOMPARE(other.write("IpcName = other\n"), 16);
    } else if (otherWriter == TOtherWriter::RemovesFile) {
        onDisk.clear();
        QVERIFY(QFile::remove(config));
    }
    fixture.Dialogs.MessageAnswers = {answer};

    ClickSave(fixture);

    const QByteArray saved = "RemoteServicePort=3052\r\n";
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), written ? saved : onDisk);
    QCOMPARE(QFileInfo::exists(config), written || otherWriter != TOtherWriter::RemovesFile);
    QVERIFY(fixture.Dialogs.Errors.isEmpty());
    QVERIFY(window.ConfigChanged());
    // The alias file was not edited: neither asked about nor written.
    QCOMPARE(fixture.ReadServerFile(u"databases.conf"_s), AliasFile);
    if (asked) {
        QCOMPARE(fixture.Dialogs.Messages.size(), 1);
        const auto &question = fixture.Dialogs.Messages[0];
        QCOMPARE(question.Text,
                 u"„"_s + QDir::toNativeSeparators(config)
                     + u"“ wurde nach dem Laden von einem anderen Programm geändert. Überschreiben?"_s);
        QCOMPARE(question.Kind, TMsgKind::Confirmation);
        QCOMPARE(question.Buttons, TMsgButton::Yes | TMsgButton::No);
    } else {
        QVERIFY(fixture.Dialogs.Messages.isEmpty());
    }

    // After a save of our own, the file as written is the one known: a second Save asks nothing.
    // After No the file still differs, and the next Save asks again.
    fixture.Dialogs.Messages.clear();
    fixture.Dialogs.MessageAnswers = {mrYes};
    ClickSave(fixture);
    QCOMPARE(fixture.Dialogs.Messages.size(), written ? 0 : 1);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), saved);
}

// Another program writes the file again while the user is asked about its first change: Yes
// agreed to replace the file as it was shown, not the newer one, which stays and is reported.
void TestWindowSaveFaults::changeWhileAskingIsKept()
{
    TWindowFixture fixture;
    const QString config = fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(fixture.ServerFolder());
    TypeConfigText(fixture, u"RemoteServicePort = 3052"_s);
    const auto append = [&config](const QByteArray &line) {
        QFile other(config);
        QVERIFY(other.open(QIODevice::Append));
        QCOMPARE(other.write(line), line.size());
    };
    append("IpcName = first\n");
    // A later modification time, whatever the file system's clock resolution.
    fixture.Dialogs.WhileMessageShown = {[&] {
        append("IpcName = second\n");
        QFile other(config);
        QVERIFY(other.open(QIODevice::ReadWrite));
        QVERIFY(other.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    }};
    fixture.Dialogs.MessageAnswers = {mrYes};

    ClickSave(fixture);

    QCOMPARE(fixture.Dialogs.Messages.size(), 1);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), ConfigFile + "IpcName = first\nIpcName = second\n");
    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QVERIFY2(fixture.Dialogs.Errors[0].contains(QDir::toNativeSeparators(config)),
             qPrintable(fixture.Dialogs.Errors[0]));
    QVERIFY(window.ConfigChanged());

    // Asked again about the file as it is now, Yes replaces it.
    fixture.Dialogs.MessageAnswers = {mrYes};
    ClickSave(fixture);
    QCOMPARE(fixture.Dialogs.Messages.size(), 2);
    QCOMPARE(fixture.ReadServerFile(u"firebird.conf"_s), "RemoteServicePort=3052\r\n"_ba);
}

QTEST_MAIN(TestWindowSaveFaults)
#include "tst_WindowSaveFaults.moc"
