#pragma once

#include "text/FileSystem.h"
#include "text/LineView.h"
#include "text/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

// Whole-file text reading (TextFileReading.cpp) and writing (TextFileWriting.cpp) shared by the
// line document and the settings file. Both directions go a chunk at a time: a file of a million
// lines never has its bytes in memory beside the text made of them.

// Receives the lines of a text one by one, in order, as LineView.h has them: a line read from a
// file is ASCII bytes or UTF-16. A line's view is valid during the call only.
using TLineSink = std::function<void(QAnyStringView line)>;
// Hands every line of a text to the sink it is given, in order.
using TLineSource = std::function<void(const TLineSink &sink)>;

// Reads the text of an existing regular file, without waiting for a FIFO and without reading a
// device that never ends, and hands its lines to `sink`. Throws EFOpenError, and EEncodingError
// as below.
//
// `encoding` None asks for the file's encoding, which it then receives: the one announced by a
// byte order mark at the start (EF BB BF, FF FE, FE FF, tested in that order), else Utf8NoMark or
// Ansi as the system reads such a file (AnsiCodePage.h). Any other `encoding` is the one to read
// in; only a mark of that encoding is skipped. A detected encoding is given even when decoding
// then fails, but not when the file cannot be read.
//
// Decoding: UTF-8 strictly (throws EEncodingError); UTF-8 without a mark up to the first U+0000,
// in the legacy code page should that text not be valid UTF-8; UTF-16 ignoring an odd last byte
// (a single byte throws EEncodingError); Ansi through the legacy code page, which never fails.
// CR, LF and CR LF each end a line (LF CR ends two); U+0000 ends the text; text after the last
// break forms a last line only when it is not empty. Gives the version of the file as it was opened.
TFileVersion ReadTextLines(const QString &path, TTextEncoding &encoding, const TLineSink &sink);

// Replaces the file's content with the lines `source` gives, so that it is never left half-written:
// the encoding's byte order mark, then every line followed by CR LF, encoded in `encoding` (None,
// a file never read, as NewFileIsUtf8 says). The text goes to a new file beside the old one, which
// replaces it only once complete and on disk; a symbolic link stays and its target is replaced.
// The file keeps its owner, group, mode, extended attributes and access control lists, and its
// other names (hard links) go on naming it: where a new file could not carry all of that, or the
// system lets nothing be renamed onto the path (a bind-mounted file), and where the folder lets no
// new file be made, the existing file is written in place instead, its new size reserved first
// (TNewFile in FileSystem.h tells which case goes which way).
//
// With `expected`, the file must still be the one of that version (no file, for the version of none) when
// it is about to be replaced or overwritten, that is after `source` has run; otherwise nothing is
// replaced and EFileChangedError is thrown, so that another program's change is never lost
// unasked. Gives the written file's version, taken from the file as written rather than from the
// path afterwards. Throws EFCreateError (nothing changed) or EWriteError (old file left as it was;
// in place only should the disk fail after the space was reserved).
TFileVersion WriteTextLines(const QString &path, TTextEncoding encoding, const TLineSource &source,
                            const std::optional<TFileVersion> &expected = std::nullopt);
