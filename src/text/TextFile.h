#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// Whole-file text reading and writing shared by the line document and the settings file.

enum class TTextEncoding { None, Ansi, Utf8, Utf16LE, Utf16BE };

// Reads all bytes of an existing file. Throws EFOpenError.
QByteArray ReadWholeFile(const QString &path);

// The encoding announced by the byte order mark at the start of `bytes` (EF BB BF, FF FE, FE FF,
// tested in that order), or Ansi without one. `markLength` receives the mark's length.
TTextEncoding DetectEncoding(QByteArrayView bytes, qsizetype &markLength);

// Length of `encoding`'s byte order mark when `bytes` begins with it, else 0.
qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding);

// Decodes bytes that follow the mark. UTF-8 strictly (throws EEncodingError); UTF-16 ignoring an
// odd last byte; Ansi (and None) through the legacy code page, which never fails.
QString DecodeText(QByteArrayView bytes, TTextEncoding encoding);

// Splits text into lines: CR, LF and CR LF each end a line (LF CR ends two); U+0000 ends the
// text; text after the last break forms a last line only when it is not empty.
QStringList SplitLines(QStringView text);

// The file's bytes for `lines`: the encoding's byte order mark, then every line followed by
// CR LF, encoded in `encoding` (None means the legacy code page).
QByteArray EncodeLines(const QStringList &lines, TTextEncoding encoding);

// Replaces the file's content with `bytes` so that it is never left half-written: the text goes
// to a new file beside it, which replaces the old one only once complete. Keeps the old file's
// permissions and owner and writes through a symbolic link to its target.
// Throws EFCreateError (nothing changed) or EWriteError (old file left as it was).
void WriteWholeFile(const QString &path, const QByteArray &bytes);
