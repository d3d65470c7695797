#include "text/TextFile.h"

#include "text/AnsiCodePage.h"
#include "text/Errors.h"
#include "text/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <type_traits>

// Files of a million lines are read, split and written here, so the loops over their bytes and
// characters take a 64-bit word a step: one character at a time, every character would cost a
// test and a branch of its own.

namespace {

// Reading and writing go a piece at a time, a sixteenth of the file but no less than the smallest
// and no more than the largest piece: few system calls for a large file, and little memory beside
// the text for any.
constexpr qsizetype SmallestPiece = 64 * 1024;
constexpr qsizetype LargestPiece = 1024 * 1024;

qsizetype PieceSizeFor(qint64 fileSize)
{
    // std::clamp, not qBound: with a 32-bit qsizetype, qBound<qint64> matches two of its overloads.
    return qsizetype(std::clamp<qint64>(fileSize / 16, SmallestPiece, LargestPiece));
}

QByteArrayView ByteOrderMark(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case TTextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TTextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
    case TTextEncoding::Utf8NoMark:
        break;
    }
    return {};
}

QByteArrayView SavedMark(TTextEncoding encoding)
{
    return encoding == TTextEncoding::Ansi && AnsiIsUtf8() ? ByteOrderMark(TTextEncoding::Utf8)
                                                           : ByteOrderMark(encoding);
}

// Length of `encoding`'s byte order mark when `bytes` begins with it, else 0.
qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding)
{
    const QByteArrayView mark = ByteOrderMark(encoding);
    return !mark.isEmpty() && bytes.startsWith(mark) ? mark.size() : 0;
}

// The encoding whose mark `bytes` begins with, None for none. QStringConverter::encodingForData()
// is no help: it also knows the UTF-32 marks, and a file beginning FF FE 00 00 must be taken for
// UTF-16.
TTextEncoding MarkedEncoding(QByteArrayView bytes)
{
    for (TTextEncoding encoding : {TTextEncoding::Utf8, TTextEncoding::Utf16LE, TTextEncoding::Utf16BE}) {
        if (LeadingMarkLength(bytes, encoding) > 0)
            return encoding;
    }
    return TTextEncoding::None;
}

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

bool IsAscii(QByteArrayView bytes)
{
    quint64 all = 0;
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8)
        all |= qFromUnaligned<quint64>(bytes.data() + i);
    for (; i < bytes.size(); ++i)
        all |= quint8(bytes[i]);
    return (all & 0x8080808080808080) == 0;
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

// Hands the lines of a text to `sink`: CR, LF and CR LF each end a line, U+0000 ends the text,
// and what follows the last break is a line when it is not empty. The line ends are looked for in
// `units`, from `begin` to `end`, and the lines handed on are views of `text`, which holds the
// same text from its start: an ASCII text is searched in its bytes, eight at a time. Gives the
// position of the U+0000 that ended the text, or -1.
template <typename Unit>
qsizetype SplitUnits(const Unit *begin, const Unit *end, const char16_t *text, const TLineSink &sink)
{
    static_assert(std::is_unsigned_v<Unit>);
    const auto addLine = [&](const Unit *from, const Unit *to) { sink(QStringView(text + (from - begin), to - from)); };
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
    return SplitUnits(units, units + text.size(), units, sink);
}

// A file read a piece at a time. Read failures throw EFOpenError.
class TFileReader {
public:
    TFileReader(QFile &file, const QString &path)
        : FFile(file),
          FPath(path),
          FPieceSize(PieceSizeFor(file.size()))
    {}

    // Appends the next piece of the file to `bytes`; false, and nothing appended, at its end. A
    // file that grows meanwhile, or one that tells no size as some system files do, is read as it
    // reads to its end.
    bool ReadMore(QByteArray &bytes)
    {
        const qsizetype size = bytes.size();
        bytes.resize(size + FPieceSize);
        const qint64 read = FFile.read(bytes.data() + size, FPieceSize);
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
    const qsizetype FPieceSize;
};

// Where the lines of `bytes` that are known to be complete end: after the last CR or LF, but not
// after a CR that ends `bytes` when more may follow, as an LF to come would belong to it. Breaks
// are looked for from `from` on; before it there is none but a last CR. 0 when no line is complete.
qsizetype CompleteLinesEnd(QByteArrayView bytes, qsizetype from, bool atEnd)
{
    if (atEnd)
        return bytes.size();
    const QByteArrayView searched = bytes.sliced(qMax<qsizetype>(from - 1, 0));
    const qsizetype offset = bytes.size() - searched.size();
    const qsizetype lastLf = searched.lastIndexOf('\n');
    qsizetype lastCr = searched.lastIndexOf('\r');
    if (lastCr == searched.size() - 1)
        lastCr = searched.first(lastCr).lastIndexOf('\r');
    const qsizetype last = qMax(lastLf, lastCr);
    return last < 0 ? 0 : offset + last + 1;
}

// Reads a text in a byte encoding, from `pending`, the bytes read after the mark, on; `encoding`
// is None for a file without a mark, whose encoding is decided here. ASCII reads alike in all of
// them: while the text is ASCII it goes a piece at a time, each widened and split where it lies
// in the cache. The first piece that is not ASCII decides on the rest of the file, decoded whole.
TTextEncoding ReadByteText(TFileReader &reader, QByteArray &pending, TTextEncoding encoding, const TLineSink &sink)
{
    // An ASCII text reads alike either way; what the system reads such a file as decides.
    const auto asciiEncoding = [encoding] { return encoding == TTextEncoding::None ? UnmarkedEncoding({}) : encoding; };
    QString units;
    // The bytes of `pending` before this are ASCII and hold no break but a last CR.
    qsizetype scanned = 0;
    bool atEnd = pending.isEmpty() && !reader.ReadMore(pending);
    while (IsAscii(QByteArrayView(pending).sliced(scanned))) {
        const qsizetype complete = CompleteLinesEnd(pending, scanned, atEnd);
        if (complete > 0) {
            units.resize(0);
            units.append(QLatin1StringView(pending.constData(), complete));
            const auto *bytes = reinterpret_cast<const uchar *>(pending.constData());
            const qsizetype null = SplitUnits(bytes, bytes + complete, QStringView(units).utf16(), sink);
            if (null >= 0) {
                // Marked UTF-8 is decoded strictly to the end of the file, beyond its text.
                if (encoding == TTextEncoding::Utf8) {
                    reader.ReadRest(pending);
                    DecodeUtf8(QByteArrayView(pending).sliced(null + 1));
                }
                return asciiEncoding();
            }
            pending.remove(0, complete);
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

// Four ASCII units, read as a little-endian word, as four bytes in the low half of one.
constexpr quint64 PackAscii(quint64 units)
{
    units = (units | units >> 8) & 0x0000FFFF0000FFFF;
    return (units | units >> 16) & 0xFFFFFFFF;
}

// Narrows `text` into `out` and tells whether it was ASCII; otherwise `out` holds garbage.
// Sixteen units a step, tested and narrowed at once.
bool NarrowAscii(QStringView text, char *out)
{
    const char16_t *units = text.utf16();
    quint64 all = 0;
    qsizetype i = 0;
    for (; i + 16 <= text.size(); i += 16) {
        quint64 words[4];
        for (int k = 0; k < 4; ++k) {
            words[k] = qFromLittleEndian<quint64>(units + i + 4 * k);
            all |= words[k];
        }
        qToLittleEndian(PackAscii(words[0]) | PackAscii(words[1]) << 32, out + i);
        qToLittleEndian(PackAscii(words[2]) | PackAscii(words[3]) << 32, out + i + 8);
    }
    // The short lines of a configuration file end here: four units a step, as far as they go.
    for (; i + 4 <= text.size(); i += 4) {
        const quint64 word = qFromLittleEndian<quint64>(units + i);
        all |= word;
        qToLittleEndian(quint32(PackAscii(word)), out + i);
    }
    for (; i < text.size(); ++i) {
        all |= units[i];
        out[i] = char(units[i]);
    }
    return (all & 0xFF80FF80FF80FF80) == 0;
}

using TByteSink = std::function<void(QByteArrayView bytes)>;

// Encodes lines, each followed by CR LF, behind the encoding's mark, into pieces of a file's bytes
// that go to a sink as they fill. ASCII is the same in every byte encoding and goes straight into
// the piece; a line that is not ASCII is encoded on its own.
class TLineEncoder {
public:
    TLineEncoder(TTextEncoding encoding, const TByteSink &sink)
        : FEncoding(encoding),
          FUtf16(encoding == TTextEncoding::Utf16LE || encoding == TTextEncoding::Utf16BE),
          FSink(sink),
          FPiece(SmallestPiece, Qt::Uninitialized)
    {
        Append(SavedMark(encoding));
    }

    void Add(QStringView line)
    {
        if (FUtf16) {
            AddUtf16(line);
            return;
        }
        const qsizetype size = line.size();
        if (Room() < size + 2)
            Flush();
        if (Room() >= size + 2 && NarrowAscii(line, FPiece.data() + FUsed))
            FUsed += size;
        else
            Append(FEncoding == TTextEncoding::Ansi ? EncodeAnsi(line) : line.toUtf8());
        Append("\r\n");
    }

    void Finish() { Flush(); }

private:
    qsizetype Room() const { return FPiece.size() - FUsed; }

    // The file's size is not known beforehand: the piece grows with what was written.
    void Flush()
    {
        if (FUsed > 0)
            FSink(QByteArrayView(FPiece.constData(), FUsed));
        FWritten += FUsed;
        FUsed = 0;
        if (FPiece.size() < PieceSizeFor(FWritten))
            FPiece.resize(PieceSizeFor(FWritten));
    }

    void Append(QByteArrayView bytes)
    {
        if (Room() < bytes.size())
            Flush();
        if (Room() < bytes.size()) {
            FSink(bytes);
            return;
        }
        std::copy(bytes.begin(), bytes.end(), FPiece.data() + FUsed);
        FUsed += bytes.size();
    }

    void AddUtf16(QStringView line)
    {
        const bool bigEndian = FEncoding == TTextEncoding::Utf16BE;
        const auto append = [&](QStringView units) {
            while (!units.isEmpty()) {
                if (Room() < 2)
                    Flush();
                const QStringView part = units.first(qMin(units.size(), Room() / 2));
                if (bigEndian)
                    qToBigEndian<char16_t>(part.utf16(), part.size(), FPiece.data() + FUsed);
                else
                    qToLittleEndian<char16_t>(part.utf16(), part.size(), FPiece.data() + FUsed);
                FUsed += 2 * part.size();
                units = units.sliced(part.size());
            }
        };
        append(line);
        append(u"\r\n");
    }

    const TTextEncoding FEncoding;
    const bool FUtf16;
    const TByteSink &FSink;
    QByteArray FPiece;
    qsizetype FUsed = 0;
    qint64 FWritten = 0;
};

// A read-only file must stay as it is even where its folder would let a new file replace it.
// The probe opens for appending without waiting, which changes nothing and yields the system's
// own reason, or refuses what is no regular file.
void CheckExistingWritable(const QString &path, const QFileInfo &target)
{
    CheckFileWritable(path);
    if (HasNoWriteBit(target))
        throw EFCreateError(path, SystemErrorText(EACCES));
}

} // namespace

TFileStamp ReadTextLines(const QString &path, TTextEncoding &encoding, const TLineSink &sink)
{
    TFileStamp stamp;
    QFile file;
    const QIODevice::OpenMode mode = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (!file.open(OpenFileForReading(path, stamp), mode, QFileDevice::AutoCloseHandle))
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
    return stamp;
}

bool HasNoWriteBit(const QFileInfo &file)
{
    // Not WriteUser: that bit says what the current user may do, and root may do everything.
    constexpr QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !(file.permissions() & writeBits);
}

TFileStamp WriteTextLines(const QString &path, TTextEncoding encoding, const TLineSource &source,
                          const std::optional<TFileStamp> &expected)
{
    if (encoding == TTextEncoding::None)
        encoding = NewFileIsUtf8() ? TTextEncoding::Utf8NoMark : TTextEncoding::Ansi;
    const auto write = [&](const TByteSink &sink) {
        TLineEncoder encoder(encoding, sink);
        source([&encoder](QStringView line) { encoder.Add(line); });
        encoder.Finish();
    };

    const QFileInfo link(path);
    // The new file replaces a symbolic link's target and leaves the link; checks go to that target.
    const QFileInfo target(link.exists() ? link.canonicalFilePath() : path);
    const bool exists = link.exists();
    if (exists)
        CheckExistingWritable(path, target);
    else if (link.isSymLink())
        CheckNoLinkLoop(path);

    // Every step is checked, and a failure leaves nothing behind: the new file goes with `file`.
    TNewFile file(path);
    write([&file](QByteArrayView bytes) { file.Write(bytes); });
    return file.Commit(expected);
}
