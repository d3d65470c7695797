#include "text/FileSystem.h"

#include "text/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <optional>
#include <string>

namespace {

std::wstring NativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// A handle, closed when it goes out of scope.
class THandle {
public:
    explicit THandle(HANDLE handle)
        : FHandle(handle)
    {}
    THandle(const THandle &) = delete;
    THandle &operator=(const THandle &) = delete;
    ~THandle()
    {
        if (Valid())
            CloseHandle(FHandle);
    }

    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return FHandle; }
    HANDLE Release()
    {
        const HANDLE handle = FHandle;
        FHandle = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool Close() { return CloseHandle(Release()) != 0; }

private:
    HANDLE FHandle;
};

HANDLE OpenExisting(const QString &path, DWORD access, DWORD sharing)
{
    return CreateFileW(NativePath(path).c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// A pipe, a console or a device opens like a file; only a file on disk is one.
bool IsDiskFile(HANDLE handle)
{
    return GetFileType(handle) == FILE_TYPE_DISK;
}

TFileVersion VersionOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    const auto join = [](DWORD high, DWORD low) { return quint64(high) << 32 | low; };
    // File times count 100 ns steps.
    const quint64 written = join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return {true, info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            qint64(join(info.nFileSizeHigh, info.nFileSizeLow)), qint64(written * 100)};
}

bool MoveTo(HANDLE handle, qint64 offset)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    return SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != 0;
}

bool SetSize(HANDLE handle, qint64 size)
{
    return MoveTo(handle, size) && SetEndOfFile(handle) != 0;
}

bool WriteAll(HANDLE handle, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const DWORD chunk = DWORD(qMin<qsizetype>(bytes.size(), 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

} // namespace

TFileVersion FileVersionOf(const QString &path)
{
    // No access asked: the file's information only, whoever holds it open.
    const THandle file(CreateFileW(NativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.Valid() ? VersionOf(file.Get()) : TFileVersion();
}

int OpenFileForReading(const QString &path, TFileVersion &version)
{
    // Shared with other readers, not with a writer.
    THandle file(OpenExisting(path, GENERIC_READ, FILE_SHARE_READ));
    if (!file.Valid())
        throw EFOpenError(path, SystemErrorText(int(GetLastError())));
    if (!IsDiskFile(file.Get()))
        throw EFOpenError(path, NotRegularFileText());
    version = VersionOf(file.Get());
    const int descriptor = _open_osfhandle(intptr_t(file.Get()), _O_RDONLY | _O_BINARY);
    if (descriptor < 0)
        throw EFOpenError(path, SystemErrorText(int(GetLastError())));
    file.Release();
    return descriptor;
}

void CheckFileWritable(const QString &path)
{
    const THandle file(OpenExisting(path, FILE_APPEND_DATA, FILE_SHARE_READ));
    if (!file.Valid())
        throw EFCreateError(path, SystemErrorText(int(GetLastError())));
    if (!IsDiskFile(file.Get()))
        throw EFCreateError(path, NotRegularFileText());
}

namespace {

// Writes `bytes` over the existing regular file at `path` in place, as TNewFile does where no new
// file can replace it. With `expected`, writes nothing and throws EFileChangedError unless the
// opened file is still the one of that version. Gives the version of the file as written, taken from the
// handle it was written through. Throws EFCreateError when the file cannot be opened, EWriteError
// when writing fails.
TFileVersion WriteFileInPlace(const QString &path, QByteArrayView bytes, const std::optional<TFileVersion> &expected)
{
    THandle file(OpenExisting(path, GENERIC_WRITE, 0));
    if (!file.Valid())
        throw EFCreateError(path, SystemErrorText(int(GetLastError())));
    if (!IsDiskFile(file.Get()))
        throw EFCreateError(path, NotRegularFileText());
    // The opened file itself is compared: the one about to be overwritten.
    if (expected && VersionOf(file.Get()) != *expected)
        throw EFileChangedError(path);
    LARGE_INTEGER oldSize;
    if (!GetFileSizeEx(file.Get(), &oldSize))
        throw EWriteError();
    const qint64 size = bytes.size();
    // Setting the end of a file allocates its clusters: a full disk fails here, before the first
    // old byte is overwritten.
    if (size > oldSize.QuadPart && !SetSize(file.Get(), size)) {
        SetSize(file.Get(), oldSize.QuadPart);
        throw EWriteError();
    }
    if (!MoveTo(file.Get(), 0) || !WriteAll(file.Get(), bytes) || !SetSize(file.Get(), size)
        || !FlushFileBuffers(file.Get()))
        throw EWriteError();
    const TFileVersion written = VersionOf(file.Get());
    if (!file.Close())
        throw EWriteError();
    return written;
}

} // namespace

// Windows has no owner or mode to hand on the way Unix has: the new file gets the permissions its
// folder hands down, and the program runs as administrator (its manifest asks for that). Only a
// file of several names (hard links), which a new file would split up, and a file in a folder that
// lets no new file be made are written in place.
struct TNewFile::TState {
    explicit TState(const QString &path)
        : Path(path),
          File(path)
    {}

    QString Path;
    QSaveFile File;
    bool InPlace = false;
    QByteArray Content;
};

namespace {

// How many names the file at `path` has; 1 when that cannot be told.
DWORD LinkCount(const QString &path)
{
    const THandle file(CreateFileW(NativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file.Valid() && GetFileInformationByHandle(file.Get(), &info) ? info.nNumberOfLinks : 1;
}

} // namespace

TNewFile::TNewFile(const QString &path)
    : F(std::make_unique<TState>(path))
{
    // A file of several names would lose them; a folder that only lets us write into the existing
    // file leaves no choice.
    const QFileInfo file(path);
    if (file.exists() && (LinkCount(path) > 1 || !QFileInfo(file.absolutePath()).isWritable())) {
        F->InPlace = true;
        return;
    }
    // Unbuffered, so that each write reaches the system at once and reports its own failure.
    if (!F->File.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EFCreateError(path, TrimErrorText(F->File.errorString()));
}

// QSaveFile removes a file it did not commit.
TNewFile::~TNewFile() = default;

void TNewFile::Write(QByteArrayView bytes)
{
    if (F->InPlace)
        F->Content.append(bytes);
    else if (F->File.write(bytes.data(), bytes.size()) != bytes.size())
        throw EWriteError();
}

TFileVersion TNewFile::Commit(const std::optional<TFileVersion> &expected)
{
    if (F->InPlace)
        return WriteFileInPlace(F->Path, F->Content, expected);
    QSaveFile &file = F->File;
    // QSaveFile::commit() ignores a failed flush or sync and would then put an empty or cut-off
    // file in place of the old one.
    if (!file.flush() || _commit(file.handle()) != 0)
        throw EWriteError();
    if (expected && FileVersionOf(F->Path) != *expected)
        throw EFileChangedError(F->Path);
    // Moving keeps the file's number and time of writing.
    const TFileVersion written = VersionOf(HANDLE(_get_osfhandle(file.handle())));
    if (!file.commit())
        throw EFCreateError(F->Path, TrimErrorText(file.errorString()));
    return written.Exists ? written : FileVersionOf(F->Path);
}

// Not checked: symbolic links among the server's files are not expected on Windows.
void CheckNoLinkLoop(const QString & /*path*/)
{}
