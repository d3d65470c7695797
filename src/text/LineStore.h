#pragma once

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// The lines of a text as a file of a million lines can afford them: no string a line, but one
// string of all their characters, one line after the other without breaks, and beside it five
// bytes a line, each kind in an array of its own: where the line ends in that string, and a byte
// for what its first character is and whether it is stored separately. A pass that passes over most
// lines by their first character, as the passes over a configuration file's comments do, reads
// little more than one byte a line.
//
// A line that is replaced keeps its place in the string, and its new text is stored separately, as is
// the line behind a removed one whose start in the string would otherwise be lost. Copies share
// the characters until one of them changes. Indexes are not checked: the caller does.
class TLineStore {
public:
    qsizetype Count() const { return qsizetype(FEnds.size()); }
    // Valid until the lines next change.
    QStringView Line(qsizetype index) const
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
    void Append(QStringView text);
    void Remove(qsizetype index);
    void Clear();
    // Makes room for a text of `characters` characters to be appended line by line, as loading
    // does. What the lines do not take stays untouched, and takes no memory but addresses.
    void Reserve(qsizetype characters);

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
                if (!visit(index, QStringView(separate->second)))
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

    char16_t First(qsizetype index) const
    {
        const uchar code = uchar(FFirsts[index]) & ~StoredSeparately;
        return code == OtherCode ? OtherFirst : code;
    }
    QStringView PackedLine(qsizetype index) const
    {
        return QStringView(FText).sliced(Start(index), End(index) - Start(index));
    }
    qsizetype End(qsizetype index) const { return FEnds[index]; }
    qsizetype Start(qsizetype index) const { return index == 0 ? 0 : FEnds[index - 1]; }
    static char FirstCode(QStringView line);

    using TSeparateLine = std::pair<qsizetype, QString>;
    void StoreSeparately(qsizetype index, const QString &text);
    QStringView SeparateLine(qsizetype index) const;
    std::vector<TSeparateLine>::const_iterator FindSeparate(qsizetype index) const;

    // Its characters from the end of the last line on are room for more, not yet written.
    QString FText;
    std::vector<quint32> FEnds;
    std::vector<char> FFirsts;
    // The lines stored separately, with their indexes, in the order of the lines.
    std::vector<TSeparateLine> FSeparateLines;
};
