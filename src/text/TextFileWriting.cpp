#include "text/TextFile.h"

#include "text/AnsiCodePage.h"
#include "text/Ascii.h"
#include "text/ByteOrderMark.h"
#include "text/Errors.h"
#include "text/FileSystem.h"
#include "text/TextChunks.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>

namespace {

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

    void Add(QAnyStringView line)
    {
        line.visit([this](auto view) {
            if constexpr (std::is_same_v<decltype(view), QLatin1StringView>)
                AddText(view);
            else
                AddText(Utf16(view, FScratch));
        });
    }

    void Finish() { Flush(); }

private:
    // `TText`: a line as the document holds it, QLatin1StringView or QStringView.
    template <typename TText>
    void AddText(TText line)
    {
        if (FUtf16) {
            AddUtf16(Utf16(line, FScratch));
            return;
        }
        const qsizetype size = line.size();
        if (Room() < size + 2)
            Flush();
        if (Room() >= size + 2 && NarrowAscii(line, FChunk.data() + FUsed)) {
            FUsed += size;
        } else {
            const QStringView text = Utf16(line, FScratch);
            Append(FEncoding == TTextEncoding::Ansi ? EncodeAnsi(text) : text.toUtf8());
        }
        Append("\r\n");
    }

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
    // The line being written, where it had to be made UTF-16 first.
    QString FScratch;
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
        source([&encoder](QAnyStringView line) { encoder.Add(line); });
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
