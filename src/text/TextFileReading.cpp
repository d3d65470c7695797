#include "text/TextFile.h"

#include "text/AnsiCodePage.h"
#include "text/Ascii.h"
#include "text/ByteOrderMark.h"
#include "text/Errors.h"
#include "text/FileSystem.h"
#include "text/TextChunks.h"

#include <QFile>
#include <QStringDecoder>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <limits>
#include <type_traits>

// Files of a million lines are read and split here, so the loops over their bytes and characters
// take a 64-bit word a step: one character at a time, every character would cost a test and a
// branch of its own.

namespace {

// How a file without a mark whose text (up to its first U+0000) is `bytes` is read.
TTextEncoding UnmarkedEncoding(QByteArrayView bytes)
{
    return UnmarkedIsUtf8(bytes) ? TTextEncoding::Utf8NoMark : TTextEncoding::Ansi;
}

// The text of a file ends at its first U+0000, which is a zero byte in every byte encoding.
QByteArrayView BytesBeforeNull(QByteArrayView bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.first(end);
}

// The mark is handled by the caller, so a second mark right behind it is text and must stay.
constexpr auto KeepMarks = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString DecodeUtf8(QByteArrayView bytes)
{
    // Stateless: an incomplete sequence at the end is an error, not held back for more input.
    QStringDecoder decoder(QStringConverter::Utf8, KeepMarks);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw EEncodingError();
    return text;
}

// Without a mark only the bytes themselves said UTF-8; read in another encoding's stead (the
// settings file keeps the encoding of its first file), bytes that are not UTF-8 read in the legacy
// code page, as any such file does.
QString DecodeUnmarkedUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, KeepMarks);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? DecodeAnsi(bytes) : text;
}

// Each pair of bytes is one unit. An odd last byte is dropped; a single byte decodes to nothing at
// all, which the system's converter reports as an encoding error.
QString DecodeUtf16(QByteArrayView bytes, TTextEncoding encoding)
{
    if (bytes.size() == 1)
        throw EEncodingError();
    QString text(bytes.size() / 2, Qt::Uninitialized);
    char16_t *units = reinterpret_cast<char16_t *>(text.data());
    if (encoding == TTextEncoding::Utf16BE)
        qFromBigEndian<char16_t>(bytes.data(), text.size(), units);
    else
        qFromLittleEndian<char16_t>(bytes.data(), text.size(), units);
    return text;
}

// The lanes of a 64-bit word for units of type `Unit`, one bit set in each.
template <typename Unit>
constexpr quint64 Lanes = std::numeric_limits<quint64>::max() / std::numeric_limits<Unit>::max();

// Sets the high bit of every lane of `word` that holds a unit below U+000E (CR is U+000D). A lane
// above a set one may be set as well; only the lowest set lane is sure.
template <typename Unit>
constexpr quint64 LowUnitLanes(quint64 word)
{
    constexpr quint64 highBits = Lanes<Unit> << (8 * sizeof(Unit) - 1);
    constexpr quint64 thresholds = 0x0E * Lanes<Unit>;
    return (word - thresholds) & ~word & highBits;
}

// The first unit from `at` on that may end a line or the text (any below U+000E), or `end`.
template <typename Unit>
const Unit *SkipToLowUnit(const Unit *at, const Unit *end)
{
    constexpr qsizetype perWord = 8 / sizeof(Unit);
    for (; end - at >= perWord; at += perWord) {
        if (const quint64 lanes = LowUnitLanes<Unit>(qFromLittleEndian<quint64>(at)))
            return at + qCountTrailingZeroBits(lanes) / (8 * sizeof(Unit));
    }
    while (at < end && u'\r' < *at)
        ++at;
    return at;
}

// Hands the lines of the text from `begin` to `end` to `sink`: CR, LF and CR LF each end a line,
// U+0000 ends the text, and what follows the last break is a line when it is not empty. Bytes
// are ASCII, handed on as they are, and searched eight at a time. Gives the position of the U+0000
// that ended the text, or -1.
template <typename Unit>
qsizetype SplitUnits(const Unit *begin, const Unit *end, const TLineSink &sink)
{
    static_assert(std::is_same_v<Unit, uchar> || std::is_same_v<Unit, char16_t>);
    const auto addLine = [&sink](const Unit *from, const Unit *to) {
        if constexpr (std::is_same_v<Unit, uchar>)
            sink(QLatin1StringView(reinterpret_cast<const char *>(from), to - from));
        else
            sink(QStringView(from, to - from));
    };
    const Unit *start = begin;
    for (const Unit *at = SkipToLowUnit(start, end); at < end; at = SkipToLowUnit(at, end)) {
        const Unit unit = *at;
        if (unit == 0) {
            if (start < at)
                addLine(start, at);
            return at - begin;
        }
        if (unit != u'\r' && unit != u'\n') {
            ++at;
            continue;
        }
        addLine(start, at);
        at += unit == u'\r' && at + 1 < end && at[1] == u'\n' ? 2 : 1;
        start = at;
    }
    if (start < end)
        addLine(start, end);
    return -1;
}

qsizetype SplitLines(QStringView text, const TLineSink &sink)
{
    const char16_t *units = text.utf16();
    return SplitUnits(units, units + text.size(), sink);
}

// A file read a chunk at a time. Read failures throw EFOpenError.
class TFileReader {
public:
    TFileReader(QFile &file, const QString &path)
        : FFile(file),
          FPath(path),
          FChunkSize(ChunkSizeFor(file.size()))
    {}

    // Appends the next chunk of the file to `bytes`; false, and nothing appended, at its end. A
    // file that grows meanwhile, or one that tells no size as some system files do, is read as it
    // reads to its end.
    bool ReadMore(QByteArray &bytes)
    {
        const qsizetype size = bytes.size();
        bytes.resize(size + FChunkSize);
        const qint64 read = FFile.read(bytes.data() + size, FChunkSize);
        if (read < 0)
            throw EFOpenError(FPath, TrimErrorText(FFile.errorString()));
        bytes.truncate(size + read);
        return read > 0;
    }

    void ReadRest(QByteArray &bytes)
    {
        while (ReadMore(bytes)) {
        }
    }

private:
    QFile &FFile;
    const QString &FPath;
    const qsizetype FChunkSize;
};

// Where the lines of `bytes` that are known to be complete end: after the last CR or LF, but not
// after a CR that ends `bytes` when more may follow, as an LF to come would belong to it. Breaks
// are looked for from `from` on; before it there is none but a last CR. 0 when no line is complete.
qsizetype CompleteLinesEnd(QByteArrayView bytes, qsizetype from, bool atEnd)
{
    if (atEnd)
        return bytes.size();
    // One scan back from the end that stops at the first CR or LF: lines are short, so it is
    // short too. Looking for the last CR and the last LF in turn would cross the whole chunk
    // for the one a file does not use.
    const char *data = bytes.data();
    qsizetype end = bytes.size();
    if (end > 0 && data[end - 1] == '\r')
        --end;
    const qsizetype stop = qMax<qsizetype>(from - 1, 0);
    for (qsizetype at = end; at > stop; --at) {
        if (data[at - 1] == '\n' || data[at - 1] == '\r')
            return at;
    }
    return 0;
}

// Reads a text in a byte encoding, from `pending`, the bytes read after the mark, on; `encoding`
// is None for a file without a mark, whose encoding is decided here. ASCII reads alike in all of
// them: while the text is ASCII it goes a chunk at a time, its lines handed on as the bytes they
// are. The first chunk that is not ASCII decides on the rest of the file, decoded whole.
TTextEncoding ReadByteText(TFileReader &reader, QByteArray &pending, TTextEncoding encoding, const TLineSink &sink)
{
    // An ASCII text reads alike either way; what the system reads such a file as decides.
    const auto asciiEncoding = [encoding] { return encoding == TTextEncoding::None ? UnmarkedEncoding({}) : encoding; };
    // The bytes of `pending` before this are ASCII and hold no break but a last CR.
    qsizetype scanned = 0;
    bool atEnd = pending.isEmpty() && !reader.ReadMore(pending);
    while (IsAscii(QByteArrayView(pending).sliced(scanned))) {
        const qsizetype complete = CompleteLinesEnd(pending, scanned, atEnd);
        if (complete > 0) {
            const auto *bytes = reinterpret_cast<const uchar *>(pending.constData());
            const qsizetype null = SplitUnits(bytes, bytes + complete, sink);
            if (null >= 0) {
                // Marked UTF-8 is decoded strictly to the end of the file, beyond its text.
                if (encoding == TTextEncoding::Utf8) {
                    reader.ReadRest(pending);
                    DecodeUtf8(QByteArrayView(pending).sliced(null + 1));
                }
                return asciiEncoding();
            }
            // The incomplete line moves to the front, where the next chunk joins it. Removing the
            // complete lines would only move the array's start, and the next chunk would need a
            // new array whose every page faults in afresh.
            std::copy(pending.cbegin() + complete, pending.cend(), pending.begin());
            pending.truncate(pending.size() - complete);
        }
        scanned = pending.size();
        if (atEnd)
            return asciiEncoding();
        atEnd = !reader.ReadMore(pending);
    }

    // `pending` begins where a line begins.
    reader.ReadRest(pending);
    if (encoding == TTextEncoding::None)
        encoding = UnmarkedEncoding(BytesBeforeNull(pending));
    switch (encoding) {
    case TTextEncoding::Utf8:
        SplitLines(DecodeUtf8(pending), sink);
        break;
    case TTextEncoding::Utf8NoMark:
        SplitLines(DecodeUnmarkedUtf8(BytesBeforeNull(pending)), sink);
        break;
    default:
        SplitLines(DecodeAnsi(pending), sink);
        break;
    }
    return encoding;
}

} // namespace

TFileVersion ReadTextLines(const QString &path, TTextEncoding &encoding, const TLineSink &sink)
{
    TFileVersion version;
    QFile file;
    const QIODevice::OpenMode mode = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (!file.open(OpenFileForReading(path, version), mode, QFileDevice::AutoCloseHandle))
        throw EFOpenError(path, TrimErrorText(file.errorString()));
    TFileReader reader(file, path);
    QByteArray pending;
    // Enough for the longest mark, unless the file is shorter.
    while (pending.size() < 3 && reader.ReadMore(pending)) {
    }

    TTextEncoding found = encoding == TTextEncoding::None ? MarkedEncoding(pending) : encoding;
    pending.remove(0, LeadingMarkLength(pending, found));
    try {
        if (found == TTextEncoding::Utf16LE || found == TTextEncoding::Utf16BE) {
            reader.ReadRest(pending);
            SplitLines(DecodeUtf16(pending, found), sink);
        } else {
            found = ReadByteText(reader, pending, found, sink);
        }
    } catch (const EEncodingError &) {
        encoding = found;
        throw;
    }
    encoding = found;
    return version;
}
