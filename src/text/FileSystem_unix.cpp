#include "text/FileSystem.h"

#include "text/Errors.h"
#include "text/ExtendedAttributes_unix.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray NativePath(const QString &path)
{
    return QFile::encodeName(path);
}

qint64 Nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

TFileVersion VersionOf(const struct stat &info)
{
    return {true, quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), Nanoseconds(info.st_mtim)};
}

// An open descriptor, closed when it goes out of scope.
class TDescriptor {
public:
    explicit TDescriptor(int descriptor = -1)
        : FDescriptor(descriptor)
    {}
    TDescriptor(const TDescriptor &) = delete;
    TDescriptor &operator=(const TDescriptor &) = delete;
    ~TDescriptor()
    {
        if (FDescriptor >= 0)
            close(FDescriptor);
    }

    int Get() const { return FDescriptor; }
    // Gives the descriptor away; the caller closes it.
    int Release()
    {
        const int descriptor = FDescriptor;
        FDescriptor = -1;
        return descriptor;
    }
    // Closes now, where a failing close counts: on some file systems it reports a failed write.
    bool Close() { return close(Release()) == 0; }
    void Reset(int descriptor)
    {
        if (FDescriptor >= 0)
            close(FDescriptor);
        FDescriptor = descriptor;
    }

private:
    int FDescriptor;
};

// Without O_NONBLOCK, opening a FIFO waits for a program at its other end, possibly for ever. A
// regular file ignores the flag.
int OpenWithoutWaiting(const QString &path, int flags)
{
    int descriptor;
    do {
        descriptor = open(NativePath(path).constData(), flags | O_NONBLOCK | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// The descriptor's file, when it is a regular one; the error code otherwise.
int CheckRegularFile(int descriptor, struct stat &info)
{
    if (fstat(descriptor, &info) != 0)
        return errno;
    return S_ISREG(info.st_mode) ? 0 : -1;
}

QString ReasonFor(int error)
{
    return error < 0 ? NotRegularFileText() : SystemErrorText(error);
}

// Why `path` could not be opened: a socket, for one, cannot be opened at all, and the system's
// reason for that names no socket.
QString OpenFailureReason(const QString &path, int error)
{
    struct stat info;
    const bool special =
        stat(NativePath(path).constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
    return special ? NotRegularFileText() : SystemErrorText(error);
}

bool WriteAll(int descriptor, QByteArrayView bytes, off_t offset)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = pwrite(descriptor, bytes.data(), size_t(bytes.size()), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
        offset += written;
    }
    return true;
}

// Makes the file `size` bytes long with every block of it on disk, so that the writes that follow
// need no more space. A file system that cannot reserve (some network ones) gets the new tail
// written as zeros, which claims the same space.
bool Reserve(int descriptor, off_t oldSize, off_t size)
{
    int error;
    do {
        error = posix_fallocate(descriptor, 0, size);
    } while (error == EINTR);
    if (error != EOPNOTSUPP && error != EINVAL)
        return error == 0;
    static const QByteArray zeros(64 * 1024, '\0');
    for (off_t at = oldSize; at < size; at += zeros.size()) {
        if (!WriteAll(descriptor, QByteArrayView(zeros).first(qMin<off_t>(zeros.size(), size - at)), at))
            return false;
    }
    return true;
}

int SyncToDisk(int handle)
{
    int result;
    do {
        result = fsync(handle);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// The version of the file at the native `path`, through symbolic links.
TFileVersion VersionAt(const QByteArray &path)
{
    struct stat info;
    if (stat(path.constData(), &info) != 0)
        return {};
    return VersionOf(info);
}

constexpr mode_t ModeBits = 07777;

// Gives the new file `file` what a replacement must carry of the old file at `oldPath`, whose
// state is `old`. True only when the new file's own handle then shows all of it: the calls that
// change owner and mode fail, or silently drop the set-group-ID bit, for anyone but an
// administrator wherever the owner or group is not theirs to give.
bool CarryMetadata(int file, const struct stat &old, const QByteArray &oldPath)
{
    // The file's other names would go on showing the old text.
    if (old.st_nlink > 1)
        return false;
    struct stat now;
    if (fstat(file, &now) != 0)
        return false;
    // A new owner drops the set-ID bits: the mode comes after.
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        [[maybe_unused]] const int owned = fchown(file, old.st_uid, old.st_gid);
    }
    [[maybe_unused]] const int moded = fchmod(file, old.st_mode & ModeBits);
    if (fstat(file, &now) != 0 || now.st_uid != old.st_uid || now.st_gid != old.st_gid
        || (now.st_mode & ModeBits) != (old.st_mode & ModeBits))
        return false;
    // Compared rather than copied: an access control list or a security label is the system's to
    // set, and copying one is no proof it took. What the folder hands down to every new file (a
    // default list, a label) counts as well, as the old file may not have it.
    return SameExtendedAttributes(oldPath, file);
}

// A folder that only allows appending lets a name be added but none be removed or replaced: the
// new file would stay there under its temporary name, and the old one would not be replaced.
bool FolderForbidsReplacing(int folder)
{
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// A name beside `name` that no file is likely to have: `name`, ".tessaro-" and six letters or
// digits, which tells whoever finds it after a crash where it comes from.
QByteArray TemporaryNameFor(const QByteArray &name)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray temporary = name + ".tessaro-";
    for (int i = 0; i < 6; ++i)
        temporary += letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))];
    return temporary;
}

// Gives the unnamed file `file` the name `name` in `folder`.
bool LinkUnnamed(int file, int folder, const QByteArray &name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file);
    if (linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    // Without /proc only a process that may read any file can link one by its handle.
    return errno == ENOENT && linkat(file, "", folder, name.constData(), AT_EMPTY_PATH) == 0;
}

// The first `size` bytes of the open file.
bool ReadBack(int file, off_t size, QByteArray &bytes)
{
    bytes.resize(qsizetype(size));
    for (off_t at = 0; at < size;) {
        const ssize_t got = pread(file, bytes.data() + at, size_t(size - at), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
    }
    return true;
}

// Where a symbolic link finally points: the file it stands for is written there, made there
// should it be missing. The path itself when it is no link.
QString FinalTarget(const QString &path)
{
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth)
        file.setFile(file.symLinkTarget());
    return file.absoluteFilePath();
}

} // namespace

TFileVersion FileVersionOf(const QString &path)
{
    return VersionAt(NativePath(path));
}

int OpenFileForReading(const QString &path, TFileVersion &version)
{
    TDescriptor file(OpenWithoutWaiting(path, O_RDONLY));
    if (file.Get() < 0)
        throw EFOpenError(path, OpenFailureReason(path, errno));
    struct stat info;
    if (const int error = CheckRegularFile(file.Get(), info))
        throw EFOpenError(path, ReasonFor(error));
    version = VersionOf(info);
    return file.Release();
}

namespace {

// Opens the existing file at `path` for writing with `flags`, without waiting, and gives its
// handle and `info`, its state. Opening a FIFO without a reader or a socket fails for a reason
// that names neither, and a folder for its own: what is no regular file throws EFCreateError with
// its own reason, as does any other failure with the system's.
int OpenRegularForWriting(const QString &path, int flags, struct stat &info)
{
    TDescriptor file(OpenWithoutWaiting(path, flags));
    if (file.Get() < 0)
        throw EFCreateError(path, OpenFailureReason(path, errno));
    if (const int error = CheckRegularFile(file.Get(), info))
        throw EFCreateError(path, ReasonFor(error));
    return file.Release();
}

} // namespace

void CheckFileWritable(const QString &path)
{
    struct stat info;
    TDescriptor file(OpenRegularForWriting(path, O_WRONLY | O_APPEND, info));
}

namespace {

// Writes `bytes` over the existing regular file at `path` in place, as TNewFile does where no new
// file can replace it. With `expected`, writes nothing and throws EFileChangedError unless the
// opened file is still the one of that version. Gives the version of the file as written, taken from the
// handle it was written through. Throws EFCreateError when the file cannot be opened, EWriteError
// when writing fails.
TFileVersion WriteFileInPlace(const QString &path, QByteArrayView bytes, const std::optional<TFileVersion> &expected)
{
    // Not cut to length zero on opening: the old content stays whole until the new one fits.
    struct stat info;
    TDescriptor file(OpenRegularForWriting(path, O_WRONLY, info));
    // The opened file itself is compared: the one about to be overwritten.
    if (expected && VersionOf(info) != *expected)
        throw EFileChangedError(path);
    const off_t oldSize = info.st_size;
    const off_t size = off_t(bytes.size());
    if (size > oldSize && !Reserve(file.Get(), oldSize, size)) {
        // What the reservation got before the disk was full lies beyond the old end.
        [[maybe_unused]] const int cut = ftruncate(file.Get(), oldSize);
        throw EWriteError();
    }
    // The version is taken as soon as the last byte is written, leaving as little time as can be
    // for another program's write to pass for ours.
    struct stat written;
    if (!WriteAll(file.Get(), bytes, 0) || ftruncate(file.Get(), size) != 0 || fstat(file.Get(), &written) != 0)
        throw EWriteError();
    // The system drops the set-ID bits when anyone but an administrator writes; the owner may set
    // them again.
    if ((written.st_mode & ModeBits) != (info.st_mode & ModeBits)) {
        [[maybe_unused]] const int moded = fchmod(file.Get(), info.st_mode & ModeBits);
    }
    if (SyncToDisk(file.Get()) != 0 || !file.Close())
        throw EWriteError();
    return VersionOf(written);
}

} // namespace

// QSaveFile is not used here: it carries only the permission bits to its new file, tells not why
// its rename failed, and could leave its new file behind under a temporary name in a folder that
// forbids removing one.
struct TNewFile::TState {
    QString Path;
    // The file the new one becomes, through symbolic links, its folder and its name there.
    QByteArray Target;
    TDescriptor Folder;
    QByteArray Name;
    // Without a name until it takes the old file's place, where the file system allows that.
    TDescriptor File;
    // The name the new file has in the folder before it takes its place, if any.
    QByteArray TemporaryName;
    off_t Size = 0;
    // Whether there was an old file to replace.
    bool Replacing = false;
    // An old file was there that no new file can replace with nothing lost: the content is
    // gathered here and written over the old one.
    bool InPlace = false;
    QByteArray Content;

    // Opens the new file; -1 with errno set when none can be made.
    int OpenFile()
    {
        int file;
        do {
            file = openat(Folder.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        } while (file < 0 && errno == EINTR);
        // A file system that makes no unnamed file gets a named one.
        if (file >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return file;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = TemporaryNameFor(Name);
            file = openat(Folder.Get(), name.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
            if (file >= 0)
                TemporaryName = name;
            if (file >= 0 || errno != EEXIST)
                break;
        }
        return file;
    }

    // Removes the new file, its temporary name too.
    void Discard()
    {
        File.Reset(-1);
        if (!TemporaryName.isEmpty())
            unlinkat(Folder.Get(), TemporaryName.constData(), 0);
        TemporaryName.clear();
    }

    // Gives the unnamed new file a temporary name; false with errno set when it cannot have one.
    bool LinkTemporary()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = TemporaryNameFor(Name);
            if (LinkUnnamed(File.Get(), Folder.Get(), name)) {
                TemporaryName = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    // Puts the new file in place of the old one. False when the system refuses to replace the
    // path at all, which leaves all as it was; throws EFCreateError for any other failure, and
    // EFileChangedError when a file has appeared where none was to be replaced.
    bool Replace(bool expectsNoFile)
    {
        // A file that is new takes its name at once, unless another file has taken it meanwhile.
        if (!Replacing && TemporaryName.isEmpty()) {
            if (LinkUnnamed(File.Get(), Folder.Get(), Name))
                return true;
            if (errno != EEXIST)
                throw EFCreateError(Path, SystemErrorText(errno));
            if (expectsNoFile)
                throw EFileChangedError(Path);
        }
        if (FolderForbidsReplacing(Folder.Get()))
            return false;
        if (TemporaryName.isEmpty() && !LinkTemporary())
            throw EFCreateError(Path, SystemErrorText(errno));
        if (renameat(Folder.Get(), TemporaryName.constData(), Folder.Get(), Name.constData()) == 0) {
            TemporaryName.clear();
            return true;
        }
        const int error = errno;
        unlinkat(Folder.Get(), TemporaryName.constData(), 0);
        TemporaryName.clear();
        // A file that is a mount point of its own (a bind mount) cannot be renamed onto, and no
        // rename crosses from one mount to another.
        if (error == EBUSY || error == EXDEV)
            return false;
        throw EFCreateError(Path, SystemErrorText(error));
    }
};

TNewFile::TNewFile(const QString &path)
    : F(std::make_unique<TState>())
{
    F->Path = path;
    const QFileInfo target(FinalTarget(path));
    F->Target = NativePath(target.absoluteFilePath());
    F->Name = NativePath(target.fileName());
    F->Folder.Reset(open(NativePath(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (F->Folder.Get() < 0)
        throw EFCreateError(path, SystemErrorText(errno));
    // Decided before a byte is written, so that the content is written once, either way.
    struct stat old;
    F->Replacing = fstatat(F->Folder.Get(), F->Name.constData(), &old, 0) == 0;
    // A folder that only lets us write into the existing file leaves no choice.
    if (F->Replacing && faccessat(F->Folder.Get(), ".", W_OK, AT_EACCESS) != 0) {
        F->InPlace = true;
        return;
    }
    F->File.Reset(F->OpenFile());
    if (F->File.Get() < 0)
        throw EFCreateError(path, SystemErrorText(errno));
    if (F->Replacing && !CarryMetadata(F->File.Get(), old, F->Target)) {
        F->InPlace = true;
        F->Discard();
    }
}

TNewFile::~TNewFile()
{
    F->Discard();
}

void TNewFile::Write(QByteArrayView bytes)
{
    if (F->InPlace) {
        F->Content.append(bytes);
        return;
    }
    if (!WriteAll(F->File.Get(), bytes, F->Size))
        throw EWriteError();
    F->Size += bytes.size();
}

TFileVersion TNewFile::Commit(const std::optional<TFileVersion> &expected)
{
    if (F->InPlace)
        return WriteFileInPlace(F->Path, F->Content, expected);
    struct stat info;
    if (SyncToDisk(F->File.Get()) != 0 || fstat(F->File.Get(), &info) != 0)
        throw EWriteError();
    // As late as can be: another program's change that comes after this is a change made after
    // the save, which the version given back tells apart from ours.
    if (expected && VersionAt(F->Target) != *expected)
        throw EFileChangedError(F->Path);
    if (!F->Replace(expected && !expected->Exists)) {
        // The file cannot be replaced, only written: its content goes in place of the old.
        QByteArray content;
        if (!ReadBack(F->File.Get(), F->Size, content))
            throw EWriteError();
        F->Discard();
        return WriteFileInPlace(F->Path, content, expected);
    }
    // The new name is durable once the folder is; a file system that cannot sync a folder keeps
    // its names durable otherwise.
    if (const int error = SyncToDisk(F->Folder.Get()); error != 0 && error != EINVAL)
        throw EWriteError();
    F->Discard();
    return VersionOf(info);
}

void CheckNoLinkLoop(const QString &path)
{
    struct stat info;
    if (stat(NativePath(path).constData(), &info) != 0 && errno == ELOOP)
        throw EFCreateError(path, SystemErrorText(ELOOP));
}
