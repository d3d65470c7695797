#include "text/TextFile.h"

#include "text/AnsiCodePage.h"
#include "text/ByteOrderMark.h"
#include "text/Errors.h"
#include "text/FileSystem.h"
#include "text/TextChunks.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>

// Files of a million lines are written here, so the loop that narrows ASCII takes a 64-bit word a
// step: one character at a time, every character would cost a test and a branch of its own.

namespace {

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

// Encodes lines, each followed by CR LF, behind the encoding's mark, into chunks of a file's bytes
// that go to a sink as they fill. ASCII is the same in every byte encoding and goes straight into
// the chunk; a line that is not ASCII is encoded on its own.
class TLineEncoder {
public:
    TLineEncoder(TTextEncoding encoding, const TByteSink &sink)
        : FEncoding(encoding),
          FUtf16(encoding == TTextEncoding::Utf16LE || encoding == TTextEncoding::Utf16BE),
          FSink(sink),
          FChunk(SmallestChunk, Qt::Uninitialized)
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
        if (Room() >= size + 2 && NarrowAscii(line, FChunk.data() + FUsed))
            FUsed += size;
        else
            Append(FEncoding == TTextEncoding::Ansi ? EncodeAnsi(line) : line.toUtf8());
        Append("\r\n");
    }

    void Finish() { Flush(); }

private:
    qsizetype Room() const { return FChunk.size() - FUsed; }

    // The file's size is not known beforehand: the chunk grows with what was written.
    void Flush()
    {
        if (FUsed > 0)
            FSink(QByteArrayView(FChunk.constData(), FUsed));
        FWritten += FUsed;
        FUsed = 0;
        if (FChunk.size() < ChunkSizeFor(FWritten))
            FChunk.resize(ChunkSizeFor(FWritten));
    }

    void Append(QByteArrayView bytes)
    {
        if (Room() < bytes.size())
            Flush();
        if (Room() < bytes.size()) {
            FSink(bytes);
            return;
        }
        std::copy(bytes.begin(), bytes.end(), FChunk.data() + FUsed);
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
                    qToBigEndian<char16_t>(part.utf16(), part.size(), FChunk.data() + FUsed);
                else
                    qToLittleEndian<char16_t>(part.utf16(), part.size(), FChunk.data() + FUsed);
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
    QByteArray FChunk;
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

TFileVersion WriteTextLines(const QString &path, TTextEncoding encoding, const TLineSource &source,
                            const std::optional<TFileVersion> &expected)
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
