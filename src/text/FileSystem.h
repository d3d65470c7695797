#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

class QFileInfo;

// What reading and writing whole files asks of the file system beyond what Qt offers, in one
// implementation per system (FileSystem_unix.cpp, FileSystem_win.cpp). Failures are thrown as the
// line document's errors, with the system's reason.

// One version of a file on disk, known without reading the file: which file it is (device and file
// number), its size and the time of its last write. A file that another program rewrites, appends
// to or replaces gets a new version; a change of owner or mode alone does not, as it leaves the text
// as it was. The version is no hash of the bytes, which would cost a second pass over a file of
// millions of lines at every load and a read of the whole file at every save; it misses only a
// rewrite in place to the very same size within one tick of the file system's clock, or one that
// sets the old time back.
struct TFileVersion {
    bool Exists = false;
    quint64 Device = 0;
    quint64 FileId = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    friend bool operator==(const TFileVersion &, const TFileVersion &) = default;
};

// The version of the file at `path`, through symbolic links; the version of no file when there is none.
TFileVersion FileVersionOf(const QString &path);

// Opens an existing file for reading and gives its handle (a C run-time file descriptor, for
// QFile::open(int, ...) with AutoCloseHandle) and `version`, the opened file's version. Never waits,
// not even for a FIFO without a writer, and refuses anything the opened handle shows is no regular
// file (a FIFO, socket, device or folder). Throws EFOpenError.
int OpenFileForReading(const QString &path, TFileVersion &version);

// Whether the file lacks every write permission bit: such a file counts as read-only. It is how Qt
// shows the Windows read-only attribute; a Unix file has no such attribute, and an administrator
// there writes through missing permission bits, so the bits themselves have to say it.
bool HasNoWriteBit(const QFileInfo &file);

// Checks that the existing file at `path` is a regular file that may be written, by opening it for
// appending without waiting, which changes nothing. Throws EFCreateError with the system's reason.
void CheckFileWritable(const QString &path);

// A new file that takes the place of the file at a path only once it is complete and on disk, so
// that a save never leaves a file half-written; or, where such a replacement would lose something
// of the old file, a copy of the new content that is finally written over the old one in place.
//
// An existing file is replaced only when the new one can carry everything of it that is not its
// content: owner, group, the whole mode (set-ID and sticky bits included), and the extended
// attributes (POSIX access control lists among them) byte for byte, which the new file's own
// handle must show before anything is written; and only when the file has no further name (hard
// link) that a replacement would split off. Otherwise, where the folder lets no new file be made
// beside the old one, and where the system refuses to rename onto the path (a file that is a mount
// point of its own, a folder that only allows appending), the old file is written in place, which
// keeps all of it: the same file, with its owner, group, mode, extended attributes, access control
// lists and further names. Its new size is reserved before the first old byte is overwritten, so
// a full disk is found while the old content is still whole. Extended attributes that only an
// administrator may see count where the program runs as one. On Windows the new file gets the
// permissions its folder hands down, and only a file of several names or in a folder that lets no
// new file be made is written in place.
//
// A failure leaves nothing behind in the folder. Only a process that dies while the new file
// has a name of its own, "<name>.tessaro-" and six letters or digits, leaves it there: for the
// moment before it takes the file's name, or, on a file system that makes no unnamed files, from
// the start.
class TNewFile {
public:
    // Starts the new file for `path`, through symbolic links to their final target. Throws
    // EFCreateError when no file can be made in the folder.
    explicit TNewFile(const QString &path);
    // A file not committed goes, and takes its bytes with it.
    ~TNewFile();
    TNewFile(const TNewFile &) = delete;
    TNewFile &operator=(const TNewFile &) = delete;

    // Appends `bytes`; throws EWriteError.
    void Write(QByteArrayView bytes);

    // Makes the content durable and puts it in place of the old file, then makes the folder's new
    // entry durable too. With `expected`, replaces nothing and throws EFileChangedError unless the
    // file at the path is still the one of that version at that very moment (no file, for the version of
    // none). Gives the version of the written file from its own handle, so that a change another
    // program makes right after is not taken for ours. Throws EWriteError when the content cannot
    // be made durable (the old file stays) or, rarely, when the folder's new entry cannot (the new
    // file is then in place), or when writing in place fails; EFCreateError when it cannot be put
    // in place or the old file cannot be opened to be written in place.
    TFileVersion Commit(const std::optional<TFileVersion> &expected);

private:
    struct TState;
    std::unique_ptr<TState> F;
};

// Throws EFCreateError when `path` is a symbolic link that ends in a loop: a new file would be put
// in place of the first link, where opening the file would have failed.
void CheckNoLinkLoop(const QString &path);
