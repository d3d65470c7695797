#include "text/TextFile.h"

#include "text/AnsiCodePage.h"
#include "text/Errors.h"
#include "text/FileSystem.h"
#include "text/LargeBuffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <type_traits>

// Files of a million lines are read, split and written here, so the loops over their bytes and
// characters take a 64-bit word a step: one character at a time, every character would cost a
// test and a branch of its own.

namespace {

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

// The text of a file ends at its first U+0000, which is a zero byte in every byte encoding.
QByteArrayView BytesBeforeNull(QByteArrayView bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.first(end);
}

// The bytes in the upper half of a text's storage.
QByteArrayView UpperHalf(const QString &storage)
{
    const char *characters = reinterpret_cast<const char *>(storage.constData());
    return QByteArrayView(characters + storage.size(), storage.size());
}

// The storage of a text of as many characters as there are `bytes`, which fill its upper half.
QString StorageFor(QByteArrayView bytes)
{
    QString storage(bytes.size(), Qt::Uninitialized);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char *>(storage.data()) + bytes.size());
    return storage;
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

// Four ASCII bytes, the low half of a little-endian word, as four units of a little-endian word.
constexpr quint64 SpreadAscii(quint64 bytes)
{
    bytes = (bytes | bytes << 16) & 0x0000FFFF0000FFFF;
    return (bytes | bytes << 8) & 0x00FF00FF00FF00FF;
}

// Widens ASCII bytes to UTF-16. The units may lie in the same storage as the bytes, below them,
// as they do where a file is decoded in place: a step reads its bytes before it writes, and it
// writes no further than the bytes it has read.
void WidenAscii(const char *bytes, qsizetype count, char16_t *units)
{
    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        const quint64 eight = qFromLittleEndian<quint64>(bytes + i);
        qToLittleEndian(SpreadAscii(eight & 0xFFFFFFFF), units + i);
        qToLittleEndian(SpreadAscii(eight >> 32), units + i + 4);
    }
    for (; i < count; ++i)
        units[i] = quint8(bytes[i]);
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

// Without a mark only the bytes themselves said UTF-8; should they have changed since, they read
// in the legacy code page, as any such file does.
QString DecodeUnmarkedUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, KeepMarks);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? DecodeAnsi(bytes) : text;
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

// Splits the UTF-16 units from `begin` to `end` into lines of `text`, which holds them from its
// start.
template <typename Unit>
QList<TTextLine> SplitUnits(const Unit *begin, const Unit *end, const char16_t *text)
{
    static_assert(std::is_unsigned_v<Unit>);
    QList<TTextLine> lines;
    const auto addLine = [&](const Unit *from, const Unit *to, bool crLfFollows) {
        TTextLine line;
        line.Data = text + (from - begin);
        line.Size = qint32(to - from);
        line.First = from < to ? char16_t(*from) : u'\0';
        line.CrLfFollows = crLfFollows;
        lines.append(line);
    };
    const Unit *start = begin;
    for (const Unit *at = SkipToLowUnit(start, end); at < end; at = SkipToLowUnit(at, end)) {
        const Unit unit = *at;
        if (unit == u'\0') {
            end = at;
            break;
        }
        if (unit != u'\r' && unit != u'\n') {
            ++at;
            continue;
        }
        const bool crLf = unit == u'\r' && at + 1 < end && at[1] == u'\n';
        addLine(start, at, crLf);
        at += crLf ? 2 : 1;
        start = at;
    }
    if (start < end)
        addLine(start, end, false);
    return lines;
}

TTextLines SplitText(QString text)
{
    const char16_t *units = QStringView(text).utf16();
    QList<TTextLine> lines = SplitUnits(units, units + text.size(), units);
    return {std::move(text), std::move(lines)};
}

// Gathers the lines of a text a thousand at a time: the list's own append, line by line, costs
// more than finding them. The list is reserved for the lines a configuration file of that length
// has, on large pages where the system offers them; only what is filled takes memory.
class TLineCollector {
public:
    explicit TLineCollector(qsizetype textLength)
    {
        FLines.reserve(textLength / 16 + 1);
        AdviseLargePages(FLines.data(), FLines.capacity() * qsizetype(sizeof(TTextLine)));
    }
    void Add(const TTextLine &line)
    {
        FBuffer[FCount++] = line;
        if (FCount == qsizetype(FBuffer.size()))
            Flush();
    }
    QList<TTextLine> Take()
    {
        Flush();
        return std::move(FLines);
    }

private:
    void Flush()
    {
        const qsizetype filled = FLines.size();
        FLines.resize(filled + FCount);
        std::copy_n(FBuffer.begin(), FCount, FLines.begin() + filled);
        FCount = 0;
    }

    QList<TTextLine> FLines;
    std::array<TTextLine, 1024> FBuffer;
    qsizetype FCount = 0;
};

// Splits `count` ASCII bytes into lines of the text they become and widens them to `units`, in
// one pass: each word of bytes is widened, then its line ends are looked for in the word as read.
// The units may lie below the bytes in the same storage, as WidenAscii allows: a step overwrites
// no byte beyond the word it has read.
QList<TTextLine> SplitAndWidenAscii(const char *bytes, qsizetype count, char16_t *units)
{
    TLineCollector lines(count);
    qsizetype start = 0;
    // `byte` at `at`, followed by `next`; gives false at U+0000, which ends the text.
    const auto lineEnd = [&](qsizetype at, uchar byte, uchar next) {
        if (byte == 0)
            return false;
        // The LF of a CR LF was taken with its CR; other units below CR end no line.
        if ((byte != '\r' && byte != '\n') || at < start)
            return true;
        const bool crLf = byte == '\r' && at + 1 < count && next == '\n';
        TTextLine line;
        line.Data = units + start;
        line.Size = qint32(at - start);
        line.First = at > start ? units[start] : u'\0';
        line.CrLfFollows = crLf;
        lines.Add(line);
        start = at + (crLf ? 2 : 1);
        return true;
    };
    const auto finish = [&](qsizetype end) {
        if (start < end) {
            TTextLine line;
            line.Data = units + start;
            line.Size = qint32(end - start);
            line.First = units[start];
            lines.Add(line);
        }
        return lines.Take();
    };

    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        const quint64 word = qFromLittleEndian<quint64>(bytes + i);
        qToLittleEndian(SpreadAscii(word & 0xFFFFFFFF), units + i);
        qToLittleEndian(SpreadAscii(word >> 32), units + i + 4);
        // Lane by lane from the lowest that may end a line; lanes passed over read as 0xFF.
        quint64 rest = word;
        while (const quint64 low = LowUnitLanes<uchar>(rest)) {
            const int lane = qCountTrailingZeroBits(low) / 8;
            const uchar next = lane < 7 ? uchar(word >> (8 * (lane + 1))) : i + 8 < count ? uchar(bytes[i + 8]) : 0;
            if (!lineEnd(i + lane, uchar(word >> (8 * lane)), next)) {
                WidenAscii(bytes + i + 8, count - i - 8, units + i + 8);
                return finish(i + lane);
            }
            if (lane == 7)
                break;
            rest |= ~quint64(0) >> (56 - 8 * lane);
        }
    }
    for (; i < count; ++i) {
        const uchar byte = uchar(bytes[i]);
        units[i] = byte;
        if (byte < 0x0E && !lineEnd(i, byte, i + 1 < count ? uchar(bytes[i + 1]) : 0)) {
            WidenAscii(bytes + i + 1, count - i - 1, units + i + 1);
            return finish(i);
        }
    }
    return finish(count);
}

// Every legacy code page and UTF-8 agree with ASCII, the usual content of a configuration file:
// such a file's bytes are widened where they lie, and its lines found on the way.
TTextLines DecodeAsciiInPlace(QString storage, qsizetype markLength)
{
    const qsizetype count = storage.size() - markLength;
    char16_t *units = reinterpret_cast<char16_t *>(storage.data());
    const char *bytes = reinterpret_cast<const char *>(units) + storage.size() + markLength;
    QList<TTextLine> lines = SplitAndWidenAscii(bytes, count, units);
    storage.truncate(count);
    return {std::move(storage), std::move(lines)};
}

// Each pair of bytes is one unit; the bytes lie above the units they become, so the two never
// overlap. An odd last byte is dropped; a single byte decodes to nothing at all, which the
// system's converter reports as an encoding error.
QString DecodeUtf16InPlace(QString storage, qsizetype markLength, TTextEncoding encoding)
{
    const qsizetype byteCount = storage.size() - markLength;
    if (byteCount == 1)
        throw EEncodingError();
    const qsizetype count = byteCount / 2;
    char16_t *units = reinterpret_cast<char16_t *>(storage.data());
    const char *bytes = reinterpret_cast<const char *>(units) + storage.size() + markLength;
    if (encoding == TTextEncoding::Utf16BE)
        qFromBigEndian<char16_t>(bytes, count, units);
    else
        qFromLittleEndian<char16_t>(bytes, count, units);
    storage.truncate(count);
    storage.squeeze();
    return storage;
}

using TLineIterator = QList<TTextLine>::const_iterator;

// Lines that follow each other in their text with CR LF between them form a run, which is encoded
// as one piece: a file is saved much as it was loaded, so it then goes out in long runs instead of
// a million short lines. A run that is not all ASCII is encoded again line by line, so a run is
// kept short enough for that to stay cheap. Gives the end of the run that begins at `first`.
TLineIterator RunEnd(TLineIterator first, TLineIterator end)
{
    constexpr qsizetype maxLines = 1024;
    const TLineIterator limit = end - first > maxLines ? first + maxLines : end;
    TLineIterator last = first;
    while (last + 1 != limit && last->CrLfFollows && (last + 1)->Data == last->Data + last->Size + 2)
        ++last;
    return last + 1;
}

// The run's characters, with the CR LF between its lines.
QStringView RunText(TLineIterator first, TLineIterator end)
{
    return QStringView(first->Data, (end - 1)->Data + (end - 1)->Size);
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
    for (; i < text.size(); ++i) {
        all |= units[i];
        out[i] = char(units[i]);
    }
    return (all & 0xFF80FF80FF80FF80) == 0;
}

using TLineEncoder = QByteArray (*)(QStringView line);

// ASCII is the same in every byte encoding, so the buffer is sized for ASCII, which goes straight
// into it. A run that is not ASCII goes line by line, and a line that is not ASCII takes `encode`
// and grows the buffer as far as it needs.
QByteArray EncodeByteLines(const QList<TTextLine> &lines, QByteArrayView mark, TLineEncoder encode)
{
    qsizetype size = mark.size();
    for (const TTextLine &line : lines)
        size += line.Size + 2;
    QByteArray bytes(size, Qt::Uninitialized);
    AdviseLargePages(bytes.data(), size);
    qsizetype at = std::copy(mark.begin(), mark.end(), bytes.data()) - bytes.constData();

    const auto appendAscii = [&](QStringView text) {
        const bool ascii = NarrowAscii(text, bytes.data() + at);
        if (ascii)
            at += text.size();
        return ascii;
    };
    const auto appendLineBreak = [&] {
        bytes.data()[at++] = '\r';
        bytes.data()[at++] = '\n';
    };
    const auto appendLine = [&](QStringView line) {
        if (!appendAscii(line)) {
            const QByteArray encoded = encode(line);
            if (encoded.size() > line.size())
                bytes.resize(bytes.size() + encoded.size() - line.size());
            std::copy(encoded.begin(), encoded.end(), bytes.data() + at);
            at += encoded.size();
        }
        appendLineBreak();
    };

    for (TLineIterator first = lines.cbegin(); first != lines.cend();) {
        const TLineIterator end = RunEnd(first, lines.cend());
        if (appendAscii(RunText(first, end))) {
            appendLineBreak();
        } else {
            for (TLineIterator line = first; line != end; ++line)
                appendLine(line->View());
        }
        first = end;
    }
    bytes.truncate(at);
    return bytes;
}

QByteArray EncodeUtf16Lines(const QList<TTextLine> &lines, QByteArrayView mark, TTextEncoding encoding)
{
    const bool bigEndian = encoding == TTextEncoding::Utf16BE;
    const QByteArrayView lineBreak = bigEndian ? QByteArrayView("\0\r\0\n", 4) : QByteArrayView("\r\0\n\0", 4);
    qsizetype size = mark.size();
    for (const TTextLine &line : lines)
        size += 2 * line.Size + lineBreak.size();
    QByteArray bytes(size, Qt::Uninitialized);
    AdviseLargePages(bytes.data(), size);
    char *out = std::copy(mark.begin(), mark.end(), bytes.data());
    for (TLineIterator first = lines.cbegin(); first != lines.cend();) {
        const TLineIterator end = RunEnd(first, lines.cend());
        const QStringView run = RunText(first, end);
        if (bigEndian)
            qToBigEndian<char16_t>(run.utf16(), run.size(), out);
        else
            qToLittleEndian<char16_t>(run.utf16(), run.size(), out);
        out = std::copy(lineBreak.begin(), lineBreak.end(), out + 2 * run.size());
        first = end;
    }
    return bytes;
}

// A read-only file must stay as it is even where its folder would let a new file replace it.
// The probe opens for appending without waiting, which changes nothing and yields the system's
// own reason, or refuses what is no regular file.
void CheckExistingWritable(const QString &path, const QFileInfo &target)
{
    CheckFileWritable(path);
    if (HasNoWriteBit(target))
        throw EFCreateError(path, SystemErrorText(EACCES));
}

// The text goes to a new file beside the old one, which stays untouched until the new one is
// complete and on disk. Every step is checked: QSaveFile::commit() ignores a failed flush or sync
// and would then put an empty or cut-off file in place of the old one. A failure leaves nothing
// behind: the new file goes with `file`.
void WriteThroughNewFile(const QString &path, const QByteArray &bytes, const QFileInfo *replaced)
{
    QSaveFile file(path);
    // Unbuffered, so that each write reaches the system at once and reports its own failure.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EFCreateError(path, TrimErrorText(file.errorString()));
    if (replaced)
        KeepOwner(file, *replaced);
    if (file.write(bytes) != bytes.size() || !file.flush() || SyncToDisk(file.handle()) != 0)
        throw EWriteError();
    if (!file.commit())
        throw EFCreateError(path, TrimErrorText(file.errorString()));
}

} // namespace

QByteArrayView TFileBytes::Bytes() const
{
    return UpperHalf(Storage);
}

TFileBytes ReadWholeFile(const QString &path)
{
    TFileStamp stamp;
    QFile file;
    if (!file.open(OpenFileForReading(path, stamp), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw EFOpenError(path, TrimErrorText(file.errorString()));
    const qint64 size = file.size();
    TFileBytes bytes{QString(size, Qt::Uninitialized), stamp};
    AdviseLargePages(bytes.Storage.data(), 2 * size);
    char *upperHalf = reinterpret_cast<char *>(bytes.Storage.data()) + size;
    const qint64 read = file.read(upperHalf, size);
    // A file that changed meanwhile, or one that tells no size as some system files do, is taken
    // as it reads to its end.
    const QByteArray more = read >= 0 ? file.readAll() : QByteArray();
    if (read < 0 || file.error() != QFileDevice::NoError)
        throw EFOpenError(path, TrimErrorText(file.errorString()));
    if (read != size || !more.isEmpty())
        bytes.Storage = StorageFor(QByteArray(upperHalf, read) + more);
    return bytes;
}

// QStringConverter::encodingForData() is no help: it also knows the UTF-32 marks, and a file
// beginning FF FE 00 00 must be taken for UTF-16.
TTextEncoding DetectEncoding(QByteArrayView bytes, qsizetype &markLength)
{
    for (TTextEncoding encoding : {TTextEncoding::Utf8, TTextEncoding::Utf16LE, TTextEncoding::Utf16BE}) {
        markLength = LeadingMarkLength(bytes, encoding);
        if (markLength > 0)
            return encoding;
    }
    markLength = 0;
    return UnmarkedIsUtf8(BytesBeforeNull(bytes)) ? TTextEncoding::Utf8NoMark : TTextEncoding::Ansi;
}

qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding)
{
    const QByteArrayView mark = ByteOrderMark(encoding);
    return !mark.isEmpty() && bytes.startsWith(mark) ? mark.size() : 0;
}

TTextLines DecodeLines(TFileBytes &&file, qsizetype markLength, TTextEncoding encoding)
{
    QString storage = std::move(file.Storage);
    const QByteArrayView bytes = UpperHalf(storage).sliced(markLength);
    switch (encoding) {
    case TTextEncoding::Utf8:
        if (IsAscii(bytes))
            return DecodeAsciiInPlace(std::move(storage), markLength);
        return SplitText(DecodeUtf8(bytes));
    case TTextEncoding::Utf8NoMark:
        if (IsAscii(bytes))
            return DecodeAsciiInPlace(std::move(storage), markLength);
        return SplitText(DecodeUnmarkedUtf8(BytesBeforeNull(bytes)));
    case TTextEncoding::Utf16LE:
    case TTextEncoding::Utf16BE:
        return SplitText(DecodeUtf16InPlace(std::move(storage), markLength, encoding));
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    if (IsAscii(bytes))
        return DecodeAsciiInPlace(std::move(storage), markLength);
    return SplitText(DecodeAnsi(bytes));
}

QByteArray EncodeLines(const QList<TTextLine> &lines, TTextEncoding encoding)
{
    if (encoding == TTextEncoding::None)
        encoding = NewFileIsUtf8() ? TTextEncoding::Utf8NoMark : TTextEncoding::Ansi;
    const QByteArrayView mark = SavedMark(encoding);
    switch (encoding) {
    case TTextEncoding::Utf8:
    case TTextEncoding::Utf8NoMark:
        return EncodeByteLines(lines, mark, [](QStringView line) { return line.toUtf8(); });
    case TTextEncoding::Utf16LE:
    case TTextEncoding::Utf16BE:
        return EncodeUtf16Lines(lines, mark, encoding);
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    return EncodeByteLines(lines, mark, EncodeAnsi);
}

bool HasNoWriteBit(const QFileInfo &file)
{
    // Not WriteUser: that bit says what the current user may do, and root may do everything.
    constexpr QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !(file.permissions() & writeBits);
}

TFileStamp WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo link(path);
    // QSaveFile replaces a symbolic link's target and leaves the link; checks go to that target.
    const QFileInfo target(link.exists() ? link.canonicalFilePath() : path);
    const bool exists = link.exists();
    if (exists)
        CheckExistingWritable(path, target);
    else if (link.isSymLink())
        CheckNoLinkLoop(path);

    // A folder that only lets us write into the existing file leaves no choice but to write it in
    // place. Only that case.
    if (exists && !QFileInfo(target.absolutePath()).isWritable())
        WriteFileInPlace(path, bytes);
    else
        WriteThroughNewFile(path, bytes, exists ? &target : nullptr);
    return FileStampOf(path);
}
