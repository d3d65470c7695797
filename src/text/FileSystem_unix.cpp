#include "text/FileSystem.h"

#include "text/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
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

TFileStamp StampOf(const struct stat &info)
{
    return {true, quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), Nanoseconds(info.st_mtim)};
}

// An open descriptor, closed when it goes out of scope.
class TDescriptor {
public:
    explicit TDescriptor(int descriptor)
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

} // namespace

TFileStamp FileStampOf(const QString &path)
{
    struct stat info;
    if (stat(NativePath(path).constData(), &info) != 0)
        return {};
    return StampOf(info);
}

int OpenFileForReading(const QString &path, TFileStamp &stamp)
{
    TDescriptor file(OpenWithoutWaiting(path, O_RDONLY));
    if (file.Get() < 0)
        throw EFOpenError(path, OpenFailureReason(path, errno));
    struct stat info;
    if (const int error = CheckRegularFile(file.Get(), info))
        throw EFOpenError(path, ReasonFor(error));
    stamp = StampOf(info);
    return file.Release();
}

void CheckFileWritable(const QString &path)
{
    // Opening a FIFO without a reader or a socket for writing fails for a reason that names
    // neither; a folder fails for its own.
    TDescriptor file(OpenWithoutWaiting(path, O_WRONLY | O_APPEND));
    if (file.Get() < 0)
        throw EFCreateError(path, OpenFailureReason(path, errno));
    struct stat info;
    if (const int error = CheckRegularFile(file.Get(), info))
        throw EFCreateError(path, ReasonFor(error));
}

void WriteFileInPlace(const QString &path, QByteArrayView bytes)
{
    // Not cut to length zero on opening: the old content stays whole until the new one fits.
    TDescriptor file(OpenWithoutWaiting(path, O_WRONLY));
    if (file.Get() < 0)
        throw EFCreateError(path, OpenFailureReason(path, errno));
    struct stat info;
    if (const int error = CheckRegularFile(file.Get(), info))
        throw EFCreateError(path, ReasonFor(error));
    const off_t oldSize = info.st_size;
    const off_t size = off_t(bytes.size());
    if (size > oldSize && !Reserve(file.Get(), oldSize, size)) {
        // What the reservation got before the disk was full lies beyond the old end.
        [[maybe_unused]] const int cut = ftruncate(file.Get(), oldSize);
        throw EWriteError();
    }
    if (!WriteAll(file.Get(), bytes, 0) || ftruncate(file.Get(), size) != 0 || SyncToDisk(file.Get()) != 0
        || !file.Close())
        throw EWriteError();
}

int SyncToDisk(int handle)
{
    int result;
    do {
        result = fsync(handle);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

void KeepOwner(QSaveFile &file, const QFileInfo &target)
{
    // Failing means we may not give the file away; it then stays ours, as any new file would.
    [[maybe_unused]] const int result = fchown(file.handle(), target.ownerId(), target.groupId());
}

void CheckNoLinkLoop(const QString &path)
{
    struct stat info;
    if (stat(NativePath(path).constData(), &info) != 0 && errno == ELOOP)
        throw EFCreateError(path, SystemErrorText(ELOOP));
}
