#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

class QFileInfo;
class QSaveFile;

// What reading and writing whole files asks of the file system beyond what Qt offers, in one
// implementation per system (FileSystem_unix.cpp, FileSystem_win.cpp). Failures are thrown as the
// line document's errors, with the system's reason.

// One state of a file on disk, known without reading the file: which file it is (device and file
// number), its size and the time of its last write. A file that another program rewrites, appends
// to or replaces gets a new stamp; a change of owner or mode alone does not, as it leaves the text
// as it was. The stamp is no hash of the bytes, which would cost a second pass over a file of
// millions of lines at every load and a read of the whole file at every save; it misses only a
// rewrite in place to the very same size within one tick of the file system's clock, or one that
// sets the old time back.
struct TFileStamp {
    bool Exists = false;
    quint64 Device = 0;
    quint64 FileId = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    friend bool operator==(const TFileStamp &, const TFileStamp &) = default;
};

// The stamp of the file at `path`, through symbolic links; the stamp of no file when there is none.
TFileStamp FileStampOf(const QString &path);

// Opens an existing file for reading and gives its handle (a C run-time file descriptor, for
// QFile::open(int, ...) with AutoCloseHandle) and `stamp`, the opened file's stamp. Never waits,
// not even for a FIFO without a writer, and refuses anything the opened handle shows is no regular
// file (a FIFO, socket, device or folder). Throws EFOpenError.
int OpenFileForReading(const QString &path, TFileStamp &stamp);

// Checks that the existing file at `path` is a regular file that may be written, by opening it for
// appending without waiting, which changes nothing. Throws EFCreateError with the system's reason.
void CheckFileWritable(const QString &path);

// Writes `bytes` over the existing regular file at `path` in place, for a folder that lets no new
// file be made beside it. The new size is reserved before the first old byte is overwritten, so a
// full disk is found while the old content is still whole. Throws EFCreateError when the file cannot
// be opened, EWriteError when writing fails.
void WriteFileInPlace(const QString &path, QByteArrayView bytes);

// Makes the written content of the open file `handle` durable; 0, or the system's error code.
int SyncToDisk(int handle);

// A save file is a new file and belongs to whoever saves; gives it the owner and group of
// `target`, the file it replaces, where the system has them and lets us.
void KeepOwner(QSaveFile &file, const QFileInfo &target);

// Throws EFCreateError when `path` is a symbolic link that ends in a loop: QSaveFile gives up
// following such a loop and would put a new file in place of the first link, where opening the
// file would have failed.
void CheckNoLinkLoop(const QString &path);
