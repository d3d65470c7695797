// Saving when the file system refuses: the old file keeps every byte and the error carries the
// German message the error box shows. The line document and the settings file share one way of
// writing, so each fault is tried on both.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

enum class TWriter { LineDocument, SettingsFile };

enum class TFault {
    FullFileSystem,
    FileSizeLimit,
    FolderRemoved,
    ReadOnlyFile,
    FolderInPlace,
    SymbolicLinkLoop,
    NoWritePermission,
    OthersFileInOpenFolder,
    NewFileInLockedFolder,
};

// Read by both writers alike: one section of one key.
const QByteArray OldBytes = "[Form]\r\nLeft=10\r\n\r\n"_ba;
// Larger than the small file system below can hold.
const QString LargeValue(100'000, u'x');

constexpr QFile::Permissions ReadOnlyForAll = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

// A file as one of the two writers holds it: read (a missing one is new), the value of Left
// changed, ready to be written back. Both lay the fixture out again byte for byte.
class TEditedFile {
public:
    TEditedFile(TWriter writer, const QString &path, const QString &value)
        : FPath(path)
    {
        if (writer == TWriter::LineDocument) {
            FDocument.emplace();
            if (QFileInfo::exists(path))
                FDocument->LoadFromFile(path);
            FDocument->SetValues(u"Left"_s, value);
        } else {
            FSettings.emplace(path);
            FSettings->WriteString(u"Form"_s, u"Left"_s, value);
        }
    }

    // The message of the error raised, a null string when the file was written.
    QString Save() const
    {
        try {
            if (FDocument)
                FDocument->SaveToFile(FPath);
            else
                FSettings->UpdateFile();
        } catch (const ETessaroError &error) {
            return error.Message();
        }
        return {};
    }

private:
    QString FPath;
    std::optional<TLineDocument> FDocument;
    std::optional<TSettingsFile> FSettings;
};

#ifdef Q_OS_UNIX
// Reads, edits and saves in a child process after `prepare`, so that what it changes of the
// process (a lowered identity, a file size limit) stays there.
QString EditAndSaveInChild(const std::function<bool()> &prepare, TWriter writer, const QString &path,
                           const QString &value)
{
    return InChildProcess(
        [&] { return prepare() ? TEditedFile(writer, path, value).Save() : u"child not prepared"_s; });
}

// An administrator becomes "nobody", so that the rights of the fixture decide; anyone else is
// refused by them already.
bool BecomeNobodyIfAdministrator()
{
    return geteuid() != 0 || BecomeNobody();
}

// A file size limit makes writing fail the way a full disk does.
bool LimitFileSize()
{
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

constexpr QFile::Permissions OthersMayEnter =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;

// Mounts a file system of `size` bytes on `folder`; empty, or why it could not be done.
QString MountSmallFileSystem(const QString &folder, int size)
{
    if (geteuid() != 0)
        return u"Mounting a small file system needs administrator rights."_s;
    const QByteArray options = "size=" + QByteArray::number(size);
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
        return u"No small file system could be mounted here: "_s + SystemErrorText(errno);
    return {};
}
#endif

// A settings file both writers read alike, `size` bytes long: one section whose key Left holds
// `left`, padded with further keys.
QByteArray SettingsBytes(qsizetype size, const QByteArray &left = "10")
{
    QByteArray bytes = "[Form]\r\nLeft=" + left + "\r\n";
    const QByteArray end = "\r\n";
    for (int key = 1000; size - bytes.size() - end.size() > 80; ++key)
        bytes += "K" + QByteArray::number(key) + "=" + QByteArray(60, 'v') + "\r\n";
    const qsizetype room = size - bytes.size() - end.size();
    if (room >= 6)
        bytes += "Pad=" + QByteArray(room - 6, 'v') + "\r\n";
    return bytes + end;
}

} // namespace

Q_DECLARE_METATYPE(TWriter)
Q_DECLARE_METATYPE(TFault)

class TestSaveFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void faultKeepsOldFile_data();
    void faultKeepsOldFile();
    void laterSaveWritesOnceFaultIsGone_data();
    void laterSaveWritesOnceFaultIsGone();
    void fullFileSystemKeepsSmallAndLargeFiles_data();
    void fullFileSystemKeepsSmallAndLargeFiles();
    void inPlaceSaveReservesSpaceFirst_data();
    void inPlaceSaveReservesSpaceFirst();

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FMountPoint;
};

void TestSaveFaults::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
}

void TestSaveFaults::cleanup()
{
#ifdef Q_OS_UNIX
    if (!FMountPoint.isEmpty())
        umount2(QFile::encodeName(FMountPoint).constData(), MNT_DETACH);
#endif
    FMountPoint.clear();
    // A locked folder is unlocked again, so that the temporary folder can go.
    const QString folder = FDir->filePath(u"server"_s);
    if (QFileInfo(folder).isDir())
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    FDir.reset();
}

void TestSaveFaults::faultKeepsOldFile_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::addColumn<TFault>("fault");

    const struct {
        const char *name;
        TWriter writer;
    } writers[] = {{"line document", TWriter::LineDocument}, {"settings file", TWriter::SettingsFile}};
    const struct {
        const char *name;
        TFault fault;
    } faults[] = {
        {"full file system", TFault::FullFileSystem},
        {"file size limit", TFault::FileSizeLimit},
        {"folder removed", TFault::FolderRemoved},
        {"read-only file", TFault::ReadOnlyFile},
        {"folder in place of the file", TFault::FolderInPlace},
        {"symbolic link loop", TFault::SymbolicLinkLoop},
        {"no write permission", TFault::NoWritePermission},
        {"another's file in a folder anyone may write", TFault::OthersFileInOpenFolder},
        {"new file in a folder no one may write", TFault::NewFileInLockedFolder},
    };
    for (const auto &writer : writers) {
        for (const auto &fault : faults)
            QTest::addRow("%s, %s", writer.name, fault.name) << writer.writer << fault.fault;
    }
}

void TestSaveFaults::faultKeepsOldFile()
{
    QFETCH(TWriter, writer);
    QFETCH(TFault, fault);

#ifdef Q_OS_UNIX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/firebird.conf"_s;
    QString value = u"20"_s;
    std::function<void()> beforeSave = [] {};
    // Set where the edit and the save run in a child process prepared by it.
    std::function<bool()> prepareChild;
    QString expected;
    // Whether the old file still stands where the fault left it alone.
    bool fileKept = true;

    switch (fault) {
    case TFault::FullFileSystem:
        if (geteuid() != 0)
            QSKIP("Mounting a small file system needs administrator rights.");
        if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(u"No small file system could be mounted here: "_s + SystemErrorText(errno)));
        FMountPoint = folder;
        WriteFixture(path, OldBytes);
        value = LargeValue;
        expected = u"Stream-Schreibfehler"_s;
        break;
    case TFault::FileSizeLimit:
        WriteFixture(path, OldBytes);
        value = LargeValue;
        prepareChild = LimitFileSize;
        expected = u"Stream-Schreibfehler"_s;
        break;
    case TFault::FolderRemoved:
        WriteFixture(path, OldBytes);
        beforeSave = [folder] { QVERIFY(QDir(folder).removeRecursively()); };
        expected = CreateErrorText(path, ENOENT);
        fileKept = false;
        break;
    case TFault::ReadOnlyFile:
        // Refused also where an administrator could write through the missing permission bits.
        WriteFixture(path, OldBytes);
        QVERIFY(QFile::setPermissions(path, ReadOnlyForAll));
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::FolderInPlace:
        WriteFixture(path, OldBytes);
        beforeSave = [path] {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkdir(path));
        };
        expected = CreateErrorText(path, EISDIR);
        fileKept = false;
        break;
    case TFault::SymbolicLinkLoop: {
        WriteFixture(path, OldBytes);
        const QString other = folder + u"/other.conf"_s;
        beforeSave = [path, other] {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(other, path));
            QVERIFY(QFile::link(path, other));
        };
        expected = CreateErrorText(path, ELOOP);
        fileKept = false;
        break;
    }
    case TFault::NoWritePermission:
        if (geteuid() != 0)
            QSKIP("Setting up a file that belongs to another user needs administrator rights.");
        WriteFixture(path, OldBytes);
        // Nobody may enter both folders and read the file, but write neither.
        for (const QString &entered : {FDir->path(), folder})
            QVERIFY(QFile::setPermissions(entered, OthersMayEnter));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        prepareChild = BecomeNobody;
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::OthersFileInOpenFolder:
        if (geteuid() != 0)
            QSKIP("Only an administrator can set up a file that belongs to another user.");
        // The folder would let a new file replace the old one; the file's own rights forbid it.
        WriteFixture(path, OldBytes);
        QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
        QVERIFY(QFile::setPermissions(folder, OthersMayEnter | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(path, ReadOnlyForAll | QFile::WriteOwner));
        prepareChild = BecomeNobody;
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::NewFileInLockedFolder:
        QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
        QVERIFY(QFile::setPermissions(folder, ReadOnlyForAll | QFile::ExeOwner | QFile::ExeOther));
        prepareChild = BecomeNobodyIfAdministrator;
        expected = CreateErrorText(path, EACCES);
        fileKept = false;
        break;
    }
    const QFile::Permissions modeBefore = QFileInfo(path).permissions();
    QString message;
    if (prepareChild) {
        message = EditAndSaveInChild(prepareChild, writer, path, value);
    } else {
        const TEditedFile edited(writer, path, value);
        beforeSave();
        message = edited.Save();
    }

    QCOMPARE(message, expected);
    if (fileKept) {
        QCOMPARE(FileBytes(path), OldBytes);
        QCOMPARE(QFileInfo(path).permissions(), modeBefore);
        // No half-written copy is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{u"firebird.conf"_s});
    } else if (fault == TFault::FolderInPlace) {
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    } else if (fault == TFault::SymbolicLinkLoop) {
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{u"firebird.conf"_s, u"other.conf"_s}));
    } else if (fault == TFault::NewFileInLockedFolder) {
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    } else {
        QVERIFY(!QFileInfo::exists(folder));
    }
#else
    Q_UNUSED(writer);
    Q_UNUSED(fault);
    QSKIP("The faults are set up with Unix file system calls.");
#endif
}

void TestSaveFaults::laterSaveWritesOnceFaultIsGone_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::newRow("line document") << TWriter::LineDocument;
    QTest::newRow("settings file") << TWriter::SettingsFile;
}

// The copy in memory survives a failed save, so the next save writes all of it.
void TestSaveFaults::laterSaveWritesOnceFaultIsGone()
{
    QFETCH(TWriter, writer);

    const QString path = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(path, OldBytes);
    const QFile::Permissions mode = QFileInfo(path).permissions();
    const TEditedFile edited(writer, path, u"20"_s);
    QVERIFY(QFile::setPermissions(path, ReadOnlyForAll));
    QCOMPARE(edited.Save(), CreateErrorText(path, EACCES));
    QCOMPARE(FileBytes(path), OldBytes);

    QVERIFY(QFile::setPermissions(path, mode));
    QCOMPARE(edited.Save(), QString());
    QCOMPARE(FileBytes(path), "[Form]\r\nLeft=20\r\n\r\n"_ba);
}

void TestSaveFaults::fullFileSystemKeepsSmallAndLargeFiles_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::addColumn<int>("size");

    // A file below the write buffer's 16 KiB was the one emptied: its bytes were still in the
    // buffer when the save went to rename the new file over it.
    for (const int size : {744, 16'000, 16'383, 40'000}) {
        QTest::addRow("line document, %d bytes", size) << TWriter::LineDocument << size;
        QTest::addRow("settings file, %d bytes", size) << TWriter::SettingsFile << size;
    }
}

// The disk is full before the save begins, and the edit changes the size by nothing.
void TestSaveFaults::fullFileSystemKeepsSmallAndLargeFiles()
{
    QFETCH(TWriter, writer);
    QFETCH(int, size);

#ifdef Q_OS_UNIX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    // Room for the old file and its new copy once the filler is gone.
    if (const QString why = MountSmallFileSystem(folder, 128 * 1024); !why.isEmpty())
        QSKIP(qPrintable(why));
    FMountPoint = folder;
    const QString path = folder + u"/firebird.conf"_s;
    const QByteArray old = SettingsBytes(size);
    QCOMPARE(old.size(), size);
    WriteFixture(path, old);
    const TEditedFile edited(writer, path, u"20"_s);
    FillFileSystem(folder + u"/filler"_s);

    QCOMPARE(edited.Save(), u"Stream-Schreibfehler"_s);
    QCOMPARE(FileBytes(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
             (QStringList{u"filler"_s, u"firebird.conf"_s}));

    // Once there is room, the same edit is written whole.
    QVERIFY(QFile::remove(folder + u"/filler"_s));
    QCOMPARE(edited.Save(), QString());
    QCOMPARE(FileBytes(path), QByteArray(old).replace("Left=10", "Left=20"));
#else
    Q_UNUSED(writer);
    Q_UNUSED(size);
    QSKIP("A small file system is mounted with Unix calls.");
#endif
}

void TestSaveFaults::inPlaceSaveReservesSpaceFirst_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::addColumn<QByteArray>("oldLeft");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("newLeft");
    QTest::addColumn<bool>("fullDisk");

    const QString line(100, u'n');
    const QString longValue(20'000, u'x');
    const struct {
        const char *name;
        TWriter writer;
    } writers[] = {{"line document", TWriter::LineDocument}, {"settings file", TWriter::SettingsFile}};
    for (const auto &writer : writers) {
        // The file grows into a block the full disk does not have.
        QTest::addRow("%s, 4,090 bytes, a line longer, disk full", writer.name)
            << writer.writer << "10"_ba << 4'090 << line << true;
        QTest::addRow("%s, 40,000 bytes, a long value, disk full", writer.name)
            << writer.writer << "10"_ba << 40'000 << longValue << true;
        // Rewriting in the blocks the file already has needs no more.
        QTest::addRow("%s, same size, disk full", writer.name) << writer.writer << "10"_ba << 4'090 << u"20"_s << true;
        QTest::addRow("%s, shorter, disk full", writer.name)
            << writer.writer << QByteArray(5'000, 'x') << 9'000 << u"20"_s << true;
        QTest::addRow("%s, longer, room enough", writer.name)
            << writer.writer << "10"_ba << 4'090 << longValue << false;
    }
}

// The folder lets no new file be made beside the file, so it is written in place: the old text
// must stay whole until the new one is sure to fit, and a failure must never pass for success.
void TestSaveFaults::inPlaceSaveReservesSpaceFirst()
{
    QFETCH(TWriter, writer);
    QFETCH(QByteArray, oldLeft);
    QFETCH(int, size);
    QFETCH(QString, newLeft);
    QFETCH(bool, fullDisk);

#ifdef Q_OS_UNIX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    if (const QString why = MountSmallFileSystem(folder, 64 * 1024); !why.isEmpty())
        QSKIP(qPrintable(why));
    FMountPoint = folder;
    const QString path = folder + u"/firebird.conf"_s;
    const QByteArray old = SettingsBytes(size, oldLeft);
    WriteFixture(path, old);
    // The group-writable set-up: nobody may write the file, but not the folder, owned by root.
    QCOMPARE(chown(QFile::encodeName(path).constData(), NobodyId, NobodyId), 0);
    QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
    QVERIFY(QFile::setPermissions(folder, OthersMayEnter));
    if (fullDisk)
        FillFileSystem(folder + u"/filler"_s);

    const QString message = EditAndSaveInChild(BecomeNobody, writer, path, newLeft);

    const QByteArray edited = QByteArray(old).replace("Left=" + oldLeft, "Left=" + newLeft.toLatin1());
    const bool fits = !fullDisk || edited.size() <= old.size() || (edited.size() - 1) / 4096 == (old.size() - 1) / 4096;
    if (fits) {
        QCOMPARE(message, QString());
        QCOMPARE(FileBytes(path), edited);
    } else {
        QCOMPARE(message, u"Stream-Schreibfehler"_s);
        QCOMPARE(FileBytes(path), old);
    }
    QCOMPARE(QFileInfo(path).ownerId(), NobodyId);
#else
    Q_UNUSED(writer);
    Q_UNUSED(oldLeft);
    Q_UNUSED(size);
    Q_UNUSED(newLeft);
    Q_UNUSED(fullDisk);
    QSKIP("The in-place road is set up with Unix owners and mounts.");
#endif
}

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_SaveFaults.moc"
