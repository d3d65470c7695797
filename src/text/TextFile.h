#pragma once

#include "text/FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

class QFileInfo;

// Whole-file text reading and writing shared by the line document and the settings file.

// Utf8NoMark is UTF-8 read from a file without a byte order mark, and written again without one.
enum class TTextEncoding { None, Ansi, Utf8, Utf8NoMark, Utf16LE, Utf16BE };

// One line of a text: a view of its characters, with what a pass over many lines asks of each
// line kept beside it, so that the lines it passes over cost no look at their characters. Lines
// of 2^31 characters and more are no configuration lines.
struct TTextLine {
    const char16_t *Data = nullptr;
    qint32 Size = 0;
    // U+0000 for an empty line.
    char16_t First = 0;
    // Set by DecodeLines only: the text goes on with CR LF right after the line.
    bool CrLfFollows = false;

    TTextLine() = default;
    explicit TTextLine(QStringView text)
        : Data(text.utf16()),
          Size(qint32(text.size())),
          First(text.isEmpty() ? u'\0' : text.front().unicode())
    {
        Q_ASSERT(text.size() == Size);
    }
    QStringView View() const { return QStringView(Data, Size); }
};
Q_DECLARE_TYPEINFO(TTextLine, Q_PRIMITIVE_TYPE);

// A whole file's bytes in memory. They fill the upper half of the storage of as many UTF-16
// characters, so that a text of one character per byte can be decoded in place, below them.
struct TFileBytes {
    QString Storage;
    // The file as it was opened, before a byte was read.
    TFileStamp Stamp;
    QByteArrayView Bytes() const;
};

// A decoded text and its lines, which are views into it.
struct TTextLines {
    QString Text;
    QList<TTextLine> Lines;
};

// Reads all bytes of an existing regular file, without waiting for a FIFO and without reading a
// device that never ends. Throws EFOpenError.
TFileBytes ReadWholeFile(const QString &path);

// The encoding announced by the byte order mark at the start of `bytes` (EF BB BF, FF FE, FE FF,
// tested in that order); without one, Utf8NoMark or Ansi as the system reads such a file
// (AnsiCodePage.h). `markLength` receives the mark's length.
TTextEncoding DetectEncoding(QByteArrayView bytes, qsizetype &markLength);

// Length of `encoding`'s byte order mark when `bytes` begins with it, else 0.
qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding);

// Decodes the bytes that follow the mark and splits the text into lines. UTF-8 strictly (throws
// EEncodingError); UTF-8 without a mark up to the first U+0000, in the legacy code page should
// that text not be valid UTF-8; UTF-16 ignoring an odd last byte (a single byte throws
// EEncodingError); Ansi (and None) through the legacy code page, which never fails. CR, LF and
// CR LF each end a line (LF CR ends two); U+0000 ends the text; text after the last break forms
// a last line only when it is not empty.
TTextLines DecodeLines(TFileBytes &&file, qsizetype markLength, TTextEncoding encoding);

// The file's bytes for `lines`: the encoding's byte order mark, then every line followed by
// CR LF, encoded in `encoding` (None, a file never read, as NewFileIsUtf8 says).
QByteArray EncodeLines(const QList<TTextLine> &lines, TTextEncoding encoding);

// Whether the file lacks every write permission bit: such a file counts as read-only. It is how Qt
// shows the Windows read-only attribute; a Unix file has no such attribute, and an administrator
// there writes through missing permission bits, so the bits themselves have to say it.
bool HasNoWriteBit(const QFileInfo &file);

// Replaces the file's content with `bytes` so that it is never left half-written: the text goes
// to a new file beside it, which replaces the old one only once complete and on disk. Keeps the
// old file's permissions and owner and writes through a symbolic link to its target. Where the
// folder lets no new file be made, the existing file is written in place, its new size reserved
// first. Gives the written file's stamp.
// Throws EFCreateError (nothing changed) or EWriteError (old file left as it was; in place only
// should the disk fail after the space was reserved).
TFileStamp WriteWholeFile(const QString &path, const QByteArray &bytes);
