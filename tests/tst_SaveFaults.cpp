// Saving when the file system refuses: the old file keeps every byte and the error carries the
// German message the error box shows. The line document and the settings file share one way of
// writing, so each fault is tried on both. And saving where a new file cannot simply take the old
// one's place: what the file carries besides its text, its other names, a file mounted of its
// own, another program writing at the same time.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"
#include "text/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <dlfcn.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
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
        return MessageOf<ETessaroError>([this] {
            if (FDocument)
                FDocument->SaveToFile(FPath);
            else
                FSettings->UpdateFile();
        });
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
[[maybe_unused]] QByteArray SettingsBytes(qsizetype size, const QByteArray &left = "10")
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

#ifdef Q_OS_UNIX
QByteArray Native(const QString &path)
{
    return QFile::encodeName(path);
}
#endif

// The group whose members may write the server's folder, nobody among them when a test says so.
constexpr unsigned SharedGroup = 4322;

#ifdef Q_OS_LINUX
// The calls by which a save gives its new file the file's name, and makes a folder durable,
// watched and failed at will. The test program's own definitions of them, right after this
// namespace, come before the C library's for Qt's calls too, and pass every call on.
struct TNamingSpy {
    bool Active = false;
    // The error code the next naming of a file "firebird.conf" fails with; 0 for none.
    int FailNaming = 0;
    // Runs once, right after a file was named "firebird.conf".
    std::function<void()> AfterNaming;
    // In order: "named" for each file named "firebird.conf", "synced folder <number>" for each
    // folder made durable.
    QStringList Events;
};
TNamingSpy Spy;

template <typename TFunction>
TFunction *NextDefinition(const char *name)
{
    return reinterpret_cast<TFunction *>(dlsym(RTLD_NEXT, name));
}

int Naming(const char *to, const std::function<int()> &call)
{
    if (!Spy.Active || !QByteArrayView(to).endsWith("firebird.conf"))
        return call();
    if (const int error = std::exchange(Spy.FailNaming, 0)) {
        errno = error;
        return -1;
    }
    const int result = call();
    if (result == 0) {
        Spy.Events.append(u"named"_s);
        if (const std::function<void()> after = std::exchange(Spy.AfterNaming, nullptr))
            after();
    }
    return result;
}

// Everything of a file but its text that a save must keep, as text: owner, group, mode and every
// extended attribute, access control lists among them, with its value in hex.
QString MetadataOf(const QString &path)
{
    struct stat info;
    if (stat(Native(path).constData(), &info) != 0)
        return u"<no file>"_s;
    QString text = u"%1:%2 %3"_s.arg(info.st_uid).arg(info.st_gid).arg(info.st_mode & 07777, 4, 8, QChar(u'0'));
    QByteArray names(64 * 1024, '\0');
    const ssize_t size = listxattr(Native(path).constData(), names.data(), size_t(names.size()));
    if (size < 0)
        return text + u" <attributes unreadable>"_s;
    QList<QByteArray> sorted = names.first(size).split('\0');
    std::sort(sorted.begin(), sorted.end());
    for (const QByteArray &name : sorted) {
        if (name.isEmpty())
            continue;
        QByteArray value(64 * 1024, '\0');
        const ssize_t length = getxattr(Native(path).constData(), name.constData(), value.data(), size_t(value.size()));
        text += u" "_s + QString::fromLatin1(name) + u"="_s
            + (length < 0 ? u"<unreadable>"_s : QString::fromLatin1(value.first(length).toHex()));
    }
    return text;
}

// Runs setfacl on a fixture; empty, or why it could not.
QString SetAccessControlList(const QString &entries, const QString &path)
{
    const QString program = QStandardPaths::findExecutable(u"setfacl"_s);
    if (program.isEmpty())
        return u"setfacl (package acl) is not installed"_s;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {u"-m"_s, entries, path});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return u"setfacl failed here: "_s + QString::fromLocal8Bit(process.readAll()).trimmed();
    return {};
}

// Sets or clears a folder's append-only flag (chattr +a); false where the file system has none.
bool SetAppendOnly(const QString &folder, bool appendOnly)
{
    const int descriptor = open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    bool done = descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    flags = appendOnly ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    done = done && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    if (descriptor >= 0)
        close(descriptor);
    return done;
}
#endif

// What a save is to find when it is about to replace the file: another program changed it after
// the user last saw it.
enum class TOtherChange { None, Appends, Replaces, Removes, Creates };

// Why a file is written in place rather than replaced, or that it is not.
enum class TRoad { NewFile, HardLink, LockedFolder };

// A rename onto the file the system refuses, for real or as a test makes it.
enum class TRefusal { BindMount, AppendOnlyFolder, Busy, CrossDevice };

const QByteArray OtherBytes = "other=1\r\n"_ba;

// Another program's change to `path`, as an editor, an echo >> or a sed -i makes it.
[[maybe_unused]] void ChangeAsAnotherProgram(TOtherChange change, const QString &path)
{
    switch (change) {
    case TOtherChange::None:
        break;
    case TOtherChange::Appends: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        QCOMPARE(file.write(OtherBytes), OtherBytes.size());
        break;
    }
    case TOtherChange::Replaces:
#ifdef Q_OS_UNIX
        WriteFixture(path + u".sed"_s, OtherBytes);
        QCOMPARE(::rename(Native(path + u".sed"_s).constData(), Native(path).constData()), 0);
#endif
        break;
    case TOtherChange::Removes:
        QVERIFY(QFile::remove(path));
        break;
    case TOtherChange::Creates:
        WriteFixture(path, OtherBytes);
        break;
    }
}

} // namespace

#ifdef Q_OS_LINUX
extern "C" int rename(const char *from, const char *to) noexcept
{
    static const auto next = NextDefinition<int(const char *, const char *)>("rename");
    return Naming(to, [&] { return next(from, to); });
}

extern "C" int renameat(int fromFolder, const char *from, int toFolder, const char *to) noexcept
{
    static const auto next = NextDefinition<int(int, const char *, int, const char *)>("renameat");
    return Naming(to, [&] { return next(fromFolder, from, toFolder, to); });
}

extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned flags) noexcept
{
    static const auto next = NextDefinition<int(int, const char *, int, const char *, unsigned)>("renameat2");
    return Naming(to, [&] { return next(fromFolder, from, toFolder, to, flags); });
}

extern "C" int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags) noexcept
{
    static const auto next = NextDefinition<int(int, const char *, int, const char *, int)>("linkat");
    return Naming(to, [&] { return next(fromFolder, from, toFolder, to, flags); });
}

extern "C" int fsync(int descriptor)
{
    static const auto next = NextDefinition<int(int)>("fsync");
    const int result = next(descriptor);
    struct stat info;
    if (Spy.Active && result == 0 && fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode))
        Spy.Events.append(u"synced folder %1"_s.arg(info.st_ino));
    return result;
}
#endif

Q_DECLARE_METATYPE(TWriter)
Q_DECLARE_METATYPE(TFault)
Q_DECLARE_METATYPE(TOtherChange)
Q_DECLARE_METATYPE(TRoad)
Q_DECLARE_METATYPE(TRefusal)

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
    void saveKeepsMetadata_data();
    void saveKeepsMetadata();
    void hardLinkedFileIsWrittenInPlace_data();
    void hardLinkedFileIsWrittenInPlace();
    void refusedRenameWritesInPlace_data();
    void refusedRenameWritesInPlace();
    void failedRenameLeavesNothingBehind_data();
    void failedRenameLeavesNothingBehind();
    void folderIsSyncedAfterNaming_data();
    void folderIsSyncedAfterNaming();
    void changeDuringSaveIsKept_data();
    void changeDuringSaveIsKept();
    void versionIsTheWrittenFilesOwn_data();
    void versionIsTheWrittenFilesOwn();

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FMountPoint;
    QString FAppendOnlyFolder;
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
#ifdef Q_OS_LINUX
    if (!FAppendOnlyFolder.isEmpty())
        SetAppendOnly(FAppendOnlyFolder, false);
    Spy = TNamingSpy();
#endif
    FMountPoint.clear();
    FAppendOnlyFolder.clear();
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

void TestSaveFaults::saveKeepsMetadata_data()
{
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("acl");
    QTest::addColumn<QString>("folderAcl");
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<bool>("asNobody");

    // An administrator saves.
    QTest::newRow("set-group-ID bit") << 4321u << SharedGroup << 02644 << QString() << QString() << QByteArray()
                                      << false;
    QTest::newRow("set-user-ID and sticky bits")
        << 4321u << SharedGroup << 05640 << QString() << QString() << QByteArray() << false;
    QTest::newRow("access control list") << 0u << 0u << 0644 << u"u:65534:r"_s << QString() << QByteArray() << false;
    QTest::newRow("user attribute") << 0u << 0u << 0644 << QString() << QString() << "user.tessaro"_ba << false;
    QTest::newRow("trusted attribute") << 0u << 0u << 0644 << QString() << QString() << "trusted.tessaro"_ba << false;
    QTest::newRow("security attribute") << 0u << 0u << 0644 << QString() << QString() << "security.tessaro"_ba << false;
    // Every new file in the folder gets the list; the old file has none.
    QTest::newRow("folder hands down an access control list")
        << 0u << 0u << 0644 << QString() << u"d:u:65534:rw"_s << QByteArray() << false;
    QTest::newRow("another's plain file")
        << 4321u << SharedGroup << 0640 << QString() << QString() << QByteArray() << false;

    // Nobody saves, a member of the group that may write the folder.
    QTest::newRow("group member saves root's file")
        << 0u << SharedGroup << 0664 << QString() << QString() << QByteArray() << true;
    QTest::newRow("group member saves root's set-group-ID file")
        << 0u << SharedGroup << 02664 << QString() << QString() << QByteArray() << true;
    QTest::newRow("access control list lets nobody write root's file")
        << 0u << 0u << 0644 << u"u:65534:rw"_s << QString() << QByteArray() << true;
    QTest::newRow("owner's file in a group of theirs")
        << NobodyId << SharedGroup << 0644 << QString() << QString() << QByteArray() << true;
    QTest::newRow("owner's file with a user attribute")
        << NobodyId << SharedGroup << 0644 << QString() << QString() << "user.tessaro"_ba << true;
}

// Owner, group, mode and extended attributes stay exactly as they were, whoever saves and whether
// the file is replaced or written in place; the text is the new one.
void TestSaveFaults::saveKeepsMetadata()
{
    QFETCH(uint, owner);
    QFETCH(uint, group);
    QFETCH(int, mode);
    QFETCH(QString, acl);
    QFETCH(QString, folderAcl);
    QFETCH(QByteArray, attribute);
    QFETCH(bool, asNobody);

#ifdef Q_OS_LINUX
    if (geteuid() != 0)
        QSKIP("Files of other owners and groups need administrator rights to set up.");
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
    QCOMPARE(chown(Native(folder).constData(), 0, SharedGroup), 0);
    QCOMPARE(chmod(Native(folder).constData(), 0775), 0);
    const QString path = folder + u"/firebird.conf"_s;
    WriteFixture(path, "old\r\n"_ba);
    QCOMPARE(chown(Native(path).constData(), owner, group), 0);
    QCOMPARE(chmod(Native(path).constData(), mode_t(mode)), 0);
    if (!folderAcl.isEmpty()) {
        if (const QString why = SetAccessControlList(folderAcl, folder); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    if (!acl.isEmpty()) {
        if (const QString why = SetAccessControlList(acl, path); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    // Bytes no text would hold, so that only an exact copy compares equal.
    const QByteArray value = "kept\x00\x01\xFF"_ba;
    if (!attribute.isEmpty()
        && setxattr(Native(path).constData(), attribute.constData(), value.constData(), size_t(value.size()), 0) != 0)
        QSKIP(qPrintable(u"The temporary folder's file system keeps no attribute %1: %2"_s.arg(
            QString::fromLatin1(attribute), SystemErrorText(errno))));
    const QString before = MetadataOf(path);

    const auto save = [&path] {
        return MessageOf<ETessaroError>([&path] {
            TLineDocument document;
            document.Add(u"new"_s);
            document.SaveToFile(path);
        });
    };
    const QString message = asNobody
        ? InChildProcess([&save] { return BecomeNobodyInGroups({SharedGroup}) ? save() : u"no change of identity"_s; })
        : save();

    QCOMPARE(message, QString());
    QCOMPARE(FileBytes(path), "new\r\n"_ba);
    QCOMPARE(MetadataOf(path), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{u"firebird.conf"_s});
#else
    Q_UNUSED(owner);
    Q_UNUSED(group);
    Q_UNUSED(mode);
    Q_UNUSED(acl);
    Q_UNUSED(folderAcl);
    Q_UNUSED(attribute);
    Q_UNUSED(asNobody);
    QSKIP("Owners, modes and extended attributes as tested here exist on Linux only.");
#endif
}

void TestSaveFaults::hardLinkedFileIsWrittenInPlace_data()
{
    QTest::addColumn<QString>("savedName");
    QTest::newRow("through its first name") << u"firebird.conf"_s;
    QTest::newRow("through its second name") << u"second.conf"_s;
    QTest::newRow("through a symbolic link to the second name") << u"link.conf"_s;
}

// A file of two names is the same file under both: after a save both show the new text.
void TestSaveFaults::hardLinkedFileIsWrittenInPlace()
{
    QFETCH(QString, savedName);

#ifdef Q_OS_UNIX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    const QString second = FDir->filePath(u"second.conf"_s);
    WriteFixture(path, "old\r\n"_ba);
    QCOMPARE(link(Native(path).constData(), Native(second).constData()), 0);
    QVERIFY(QFile::link(second, FDir->filePath(u"link.conf"_s)));
    struct stat before;
    QCOMPARE(stat(Native(path).constData(), &before), 0);

    TLineDocument document;
    document.Add(u"new"_s);
    document.SaveToFile(FDir->filePath(savedName));

    QCOMPARE(FileBytes(path), "new\r\n"_ba);
    QCOMPARE(FileBytes(second), "new\r\n"_ba);
    struct stat after;
    QCOMPARE(stat(Native(second).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_nlink, nlink_t(2));
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             (QStringList{u"firebird.conf"_s, u"link.conf"_s, u"second.conf"_s}));
#else
    Q_UNUSED(savedName);
    QSKIP("Hard links as made here exist on Unix only.");
#endif
}

void TestSaveFaults::refusedRenameWritesInPlace_data()
{
    QTest::addColumn<TRefusal>("refusal");
    QTest::newRow("file mounted of its own") << TRefusal::BindMount;
    QTest::newRow("folder only allows appending") << TRefusal::AppendOnlyFolder;
    QTest::newRow("rename refused as busy") << TRefusal::Busy;
    QTest::newRow("rename refused across devices") << TRefusal::CrossDevice;
}

// Where the system lets no file be renamed onto the path, the file is written in place and stays
// the same file; no new file is left beside it.
void TestSaveFaults::refusedRenameWritesInPlace()
{
    QFETCH(TRefusal, refusal);

#ifdef Q_OS_LINUX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/firebird.conf"_s;
    const QByteArray old = "old\r\n"_ba;
    WriteFixture(path, old);
    // A bind mount puts this file on the path, as a container does with a configuration file.
    const QString source = FDir->filePath(u"elsewhere.conf"_s);
    switch (refusal) {
    case TRefusal::BindMount:
        if (geteuid() != 0)
            QSKIP("Mounting a file needs administrator rights.");
        WriteFixture(source, old);
        if (mount(Native(source).constData(), Native(path).constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP(qPrintable(u"No file could be mounted here: "_s + SystemErrorText(errno)));
        FMountPoint = path;
        break;
    case TRefusal::AppendOnlyFolder:
        if (!SetAppendOnly(folder, true))
            QSKIP(qPrintable(u"No folder can be made append-only here: "_s + SystemErrorText(errno)));
        FAppendOnlyFolder = folder;
        break;
    case TRefusal::Busy:
        Spy.Active = true;
        Spy.FailNaming = EBUSY;
        break;
    case TRefusal::CrossDevice:
        Spy.Active = true;
        Spy.FailNaming = EXDEV;
        break;
    }
    struct stat before;
    QCOMPARE(stat(Native(path).constData(), &before), 0);

    const TEditedFile edited(TWriter::LineDocument, path, u"20"_s);
    QCOMPARE(edited.Save(), QString());

    const QByteArray saved = old + "Left=20\r\n"_ba;
    QCOMPARE(FileBytes(path), saved);
    if (refusal == TRefusal::BindMount)
        QCOMPARE(FileBytes(source), saved);
    struct stat after;
    QCOMPARE(stat(Native(path).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{u"firebird.conf"_s});
#else
    Q_UNUSED(refusal);
    QSKIP("Mounts, file flags and the system calls watched here are Linux's.");
#endif
}

void TestSaveFaults::failedRenameLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("error");
    QTest::newRow("replacing, input/output error") << true << EIO;
    QTest::newRow("replacing, no room for the name") << true << ENOSPC;
    QTest::newRow("replacing, not permitted") << true << EPERM;
    QTest::newRow("new file, input/output error") << false << EIO;
}

// The new file is complete when it is to take the file's name; should that fail, it goes again
// and the folder holds what it held before.
void TestSaveFaults::failedRenameLeavesNothingBehind()
{
    QFETCH(bool, exists);
    QFETCH(int, error);

#ifdef Q_OS_LINUX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    const QByteArray old = "old\r\n"_ba;
    if (exists)
        WriteFixture(path, old);
    Spy.Active = true;
    Spy.FailNaming = error;

    TLineDocument document;
    document.Add(u"new"_s);
    QString message;
    try {
        document.SaveToFile(path);
    } catch (const ETessaroError &failure) {
        message = failure.Message();
    }

    QCOMPARE(message, CreateErrorText(path, error));
    QCOMPARE(Spy.FailNaming, 0);
    if (exists)
        QCOMPARE(FileBytes(path), old);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             exists ? QStringList{u"firebird.conf"_s} : QStringList());
#else
    Q_UNUSED(exists);
    Q_UNUSED(error);
    QSKIP("The system calls watched here are Linux's.");
#endif
}

void TestSaveFaults::folderIsSyncedAfterNaming_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("replacing a file") << true;
    QTest::newRow("making a new file") << false;
}

// A new name is on disk only once its folder is: without that, a crash right after the save can
// bring back the old file, or none.
void TestSaveFaults::folderIsSyncedAfterNaming()
{
    QFETCH(bool, exists);

#ifdef Q_OS_LINUX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    if (exists)
        WriteFixture(path, "old\r\n"_ba);
    struct stat folder;
    QCOMPARE(stat(Native(FDir->path()).constData(), &folder), 0);
    Spy.Active = true;

    TLineDocument document;
    document.Add(u"new"_s);
    document.SaveToFile(path);

    QCOMPARE(FileBytes(path), "new\r\n"_ba);
    const qsizetype named = Spy.Events.lastIndexOf(u"named"_s);
    QVERIFY2(named >= 0, qPrintable(Spy.Events.join(u", "_s)));
    QVERIFY2(Spy.Events.indexOf(u"synced folder %1"_s.arg(folder.st_ino), named) > named,
             qPrintable(Spy.Events.join(u", "_s)));
#else
    Q_UNUSED(exists);
    QSKIP("The system calls watched here are Linux's.");
#endif
}

void TestSaveFaults::changeDuringSaveIsKept_data()
{
    QTest::addColumn<TRoad>("road");
    QTest::addColumn<TOtherChange>("change");

    QTest::newRow("new file, nothing changes") << TRoad::NewFile << TOtherChange::None;
    QTest::newRow("new file, another appends") << TRoad::NewFile << TOtherChange::Appends;
    QTest::newRow("new file, another replaces") << TRoad::NewFile << TOtherChange::Replaces;
    QTest::newRow("new file, another removes") << TRoad::NewFile << TOtherChange::Removes;
    QTest::newRow("no file before, another makes one") << TRoad::NewFile << TOtherChange::Creates;
    QTest::newRow("hard link in place, nothing changes") << TRoad::HardLink << TOtherChange::None;
    QTest::newRow("hard link in place, another appends") << TRoad::HardLink << TOtherChange::Appends;
    QTest::newRow("hard link in place, another replaces") << TRoad::HardLink << TOtherChange::Replaces;
    QTest::newRow("locked folder in place, nothing changes") << TRoad::LockedFolder << TOtherChange::None;
    QTest::newRow("locked folder in place, another appends") << TRoad::LockedFolder << TOtherChange::Appends;
}

// Another program writes the file while the save runs: the lines are handed out as the new text
// is written, and the change comes with them. The save must find it when it is about to replace
// the file, leave the other program's text and say so.
void TestSaveFaults::changeDuringSaveIsKept()
{
    QFETCH(TRoad, road);
    QFETCH(TOtherChange, change);

#ifdef Q_OS_UNIX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/firebird.conf"_s;
    const QString second = folder + u"/second.conf"_s;
    const QByteArray old = "old=0\r\n"_ba;
    if (change != TOtherChange::Creates)
        WriteFixture(path, old);
    if (road == TRoad::HardLink)
        QCOMPARE(link(Native(path).constData(), Native(second).constData()), 0);
    if (road == TRoad::LockedFolder) {
        if (geteuid() != 0)
            QSKIP("A folder locked for the saving user but not for its owner needs administrator rights.");
        QCOMPARE(chown(Native(path).constData(), NobodyId, NobodyId), 0);
        QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
        QVERIFY(QFile::setPermissions(folder, ReadOnlyForAll | QFile::ExeOwner | QFile::ExeOther));
    }
    const TFileVersion seen = FileVersionOf(path);

    const auto save = [&] {
        return MessageOf<ETessaroError>([&] {
            WriteTextLines(
                path, TTextEncoding::Ansi,
                [&](const TLineSink &sink) {
                    ChangeAsAnotherProgram(change, path);
                    sink(u"new=1"_s);
                },
                seen);
        });
    };
    const QString message = road == TRoad::LockedFolder
        ? InChildProcess([&save] { return BecomeNobody() ? save() : u"no change of identity"_s; })
        : save();

    const QByteArray saved = "new=1\r\n"_ba;
    QCOMPARE(message, change == TOtherChange::None ? QString() : ChangedErrorText(path));
    switch (change) {
    case TOtherChange::None:
        QCOMPARE(FileBytes(path), saved);
        break;
    case TOtherChange::Appends:
        QCOMPARE(FileBytes(path), old + OtherBytes);
        break;
    case TOtherChange::Replaces:
    case TOtherChange::Creates:
        QCOMPARE(FileBytes(path), OtherBytes);
        break;
    case TOtherChange::Removes:
        QVERIFY(!QFileInfo::exists(path));
        break;
    }
    QStringList files;
    if (change != TOtherChange::Removes)
        files.append(u"firebird.conf"_s);
    if (road == TRoad::HardLink) {
        files.append(u"second.conf"_s);
        // The other name shows the same file as long as no program replaced one of them.
        QCOMPARE(FileBytes(second),
                 change == TOtherChange::None          ? saved
                     : change == TOtherChange::Appends ? old + OtherBytes
                                                       : old);
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), files);
#else
    Q_UNUSED(road);
    Q_UNUSED(change);
    QSKIP("Hard links, owners and folder rights as set up here exist on Unix only.");
#endif
}

void TestSaveFaults::versionIsTheWrittenFilesOwn_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("replacing a file") << true;
    QTest::newRow("making a new file") << false;
}

// The version a save gives back is the written file's, even when another program replaces the file
// the moment it has its name, as sed -i does: that change must show as one, not pass for the save.
void TestSaveFaults::versionIsTheWrittenFilesOwn()
{
    QFETCH(bool, exists);

#ifdef Q_OS_LINUX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    if (exists)
        WriteFixture(path, "old\r\n"_ba);
    TFileVersion written;
    Spy.Active = true;
    Spy.AfterNaming = [&] {
        written = FileVersionOf(path);
        ChangeAsAnotherProgram(TOtherChange::Replaces, path);
    };

    TLineDocument document;
    document.Add(u"new"_s);
    document.SaveToFile(path);

    QVERIFY(written.Exists);
    QCOMPARE(document.FileVersion(), written);
    QVERIFY(document.FileVersion() != FileVersionOf(path));
    QCOMPARE(FileBytes(path), OtherBytes);
#else
    Q_UNUSED(exists);
    QSKIP("The system calls watched here are Linux's.");
#endif
}

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_SaveFaults.moc"
