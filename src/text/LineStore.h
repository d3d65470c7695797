#pragma once

#include "text/LineView.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// The lines of a text as a file of a million lines can afford them: no string a line, but one
// array of all their bytes, one line after the other without breaks, and beside it five bytes a
// line, each kind in an array of its own: where the line ends in that array and whether it is
// ASCII, and a byte for what its first character is and whether it is stored separately. An
// ASCII line takes a byte a character, any other its UTF-16, from an even place on. A pass that
// passes over most lines by their first character, as the passes over a configuration file's
// comments do, reads little more than one byte a line.
//
// A line that is replaced keeps its place in the array, and its new text is stored separately, as
// is the line behind a removed one whose start in the array would otherwise be lost. Copies share
// the bytes until one of them changes. Indexes are not checked: the caller does.
class TLineStore {
public:
    qsizetype Count() const { return qsizetype(FEnds.size()); }
    // Valid until the lines next change. An ASCII line is a Latin-1 view of its bytes, unless it
    // was stored separately; any other is UTF-16.
    QAnyStringView Line(qsizetype index) const
    {
        if (uchar(FFirsts[index]) & StoredSeparately)
            return SeparateLine(index);
        return PackedLine(index);
    }
    // The line's first character, U+0000 for an empty line.
    QChar FirstChar(qsizetype index) const
    {
        const char16_t first = First(index);
        return first != OtherFirst ? QChar(first) : Line(index).front();
    }
    void Replace(qsizetype index, const QString &text);
    // A Latin-1 `text` must be ASCII, as the lines a file is read into are (LineView.h).
    void Append(QAnyStringView text);
    void Remove(qsizetype index);
    void Clear();
    // Makes room for a text of `bytes` ASCII characters to be appended line by line, as loading
    // does; other characters take more, and the room grows for them. What the lines do not take
    // stays untouched, and takes no memory but addresses.
    void Reserve(qsizetype bytes);

    // Calls `visit(index, line)` for every line in order, as long as it gives true; lines whose
    // first character `mayVisit(first)` refuses are passed over unread. `first` is U+0000 for an
    // empty line, and U+0080 stands for every character that is not known without reading the
    // line: U+0000, U+007F and every character beyond ASCII.
    template <typename TMayVisit, typename TVisit>
    void ForEach(TMayVisit mayVisit, TVisit visit) const
    {
        // The separate lines are met in the order they are stored in.
        auto separate = FSeparateLines.cbegin();
        const qsizetype count = Count();
        for (qsizetype index = 0; index < count; ++index) {
            if (!mayVisit(First(index)))
                continue;
            if (uchar(FFirsts[index]) & StoredSeparately) {
                while (separate->first < index)
                    ++separate;
                if (!visit(index, QAnyStringView(separate->second)))
                    return;
            } else if (!visit(index, PackedLine(index))) {
                return;
            }
        }
    }
    template <typename TVisit>
    void ForEach(TVisit visit) const
    {
        ForEach([](char16_t) { return true; }, visit);
    }

private:
    // A line's byte holds its first character in the low seven bits, if ASCII from U+0001 to
    // U+007E, else OtherCode (0 for an empty line), and StoredSeparately in the high bit.
    static constexpr uchar OtherCode = 0x7F;
    static constexpr uchar StoredSeparately = 0x80;
    static constexpr char16_t OtherFirst = 0x80;
    // The high bit of a line's end marks a line of UTF-16.
    static constexpr quint32 Utf16Line = 0x80000000;

    char16_t First(qsizetype index) const
    {
        const uchar code = uchar(FFirsts[index]) & ~StoredSeparately;
        return code == OtherCode ? OtherFirst : code;
    }
    QAnyStringView PackedLine(qsizetype index) const
    {
        const char *bytes = FText.constData();
        if (FEnds[index] & Utf16Line) {
            const qsizetype start = EvenStart(index);
            return QStringView(reinterpret_cast<const char16_t *>(bytes + start), (End(index) - start) / 2);
        }
        return QLatin1StringView(bytes + Start(index), End(index) - Start(index));
    }
    qsizetype End(qsizetype index) const { return FEnds[index] & ~Utf16Line; }
    qsizetype Start(qsizetype index) const { return index == 0 ? 0 : End(index - 1); }
    // Where a line of UTF-16 begins: the byte array's data is aligned as its header is, so its
    // even places are aligned for UTF-16.
    qsizetype EvenStart(qsizetype index) const { return (Start(index) + 1) & ~qsizetype(1); }
    // The first character's code of a line held in any of the store's string types.
    template <typename TText>
    static char FirstCode(const TText &line)
    {
        if (line.isEmpty())
            return 0;
        const char16_t first = QChar(line.front()).unicode();
        return char(first == 0 || first >= OtherCode ? OtherCode : first);
    }

    void AppendAscii(QLatin1StringView text);
    void AppendUtf16(QStringView text);
    // Room for the array up to `end`, growing by half again when it runs out.
    char *RoomUpTo(qsizetype end);

    using TSeparateLine = std::pair<qsizetype, QString>;
    void StoreSeparately(qsizetype index, const QString &text);
    QStringView SeparateLine(qsizetype index) const;
    std::vector<TSeparateLine>::const_iterator FindSeparate(qsizetype index) const;

    // Its bytes from the end of the last line on are room for more, not yet written.
    QByteArray FText;
    std::vector<quint32> FEnds;
    std::vector<char> FFirsts;
    // The lines stored separately, with their indexes, in the order of the lines.
    std::vector<TSeparateLine> FSeparateLines;
};
