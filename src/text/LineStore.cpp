#include "text/LineStore.h"

#include "text/LargeBuffer.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// The ends in the string count in 32 bits, and a 32-bit program's string counts in fewer still:
// there the limit of 32 bits unsigned would read as -1 and refuse every line.
constexpr qsizetype MaxTextLength =
    qsizetype(std::min<quint64>(std::numeric_limits<quint32>::max(), std::numeric_limits<qsizetype>::max()));

} // namespace

char TLineStore::FirstCode(QStringView line)
{
    if (line.isEmpty())
        return 0;
    const char16_t first = line.front().unicode();
    return char(first == 0 || first >= OtherCode ? OtherCode : first);
}

std::vector<TLineStore::TSeparateLine>::const_iterator TLineStore::FindSeparate(qsizetype index) const
{
    return std::lower_bound(FSeparateLines.cbegin(), FSeparateLines.cend(), index,
                            [](const TSeparateLine &line, qsizetype wanted) { return line.first < wanted; });
}

// Lines are mostly replaced from the first to the last, as a pass over them goes: such a line
// joins the end of the list.
void TLineStore::StoreSeparately(qsizetype index, const QString &text)
{
    if (FSeparateLines.empty() || FSeparateLines.back().first < index) {
        FSeparateLines.emplace_back(index, text);
    } else {
        const auto found = FSeparateLines.begin() + (FindSeparate(index) - FSeparateLines.cbegin());
        if (found != FSeparateLines.end() && found->first == index)
            found->second = text;
        else
            FSeparateLines.emplace(found, index, text);
    }
    FFirsts[index] = char(StoredSeparately | FirstCode(text));
}

QStringView TLineStore::SeparateLine(qsizetype index) const
{
    return FindSeparate(index)->second;
}

void TLineStore::Replace(qsizetype index, const QString &text)
{
    StoreSeparately(index, text);
}

// Lines are written straight into the room at the end of the string, which grows by half again
// when it runs out: appending a line costs no call into the string's own checks and copies.
// Removed lines may have left their characters there; they are written over.
void TLineStore::Append(QStringView text)
{
    const qsizetype start = Count() == 0 ? 0 : End(Count() - 1);
    const qsizetype end = start + text.size();
    if (end > MaxTextLength)
        throw std::bad_alloc();
    if (end > FText.size())
        FText.resize(qMin(qMax(end, FText.size() + FText.size() / 2), MaxTextLength));
    std::copy(text.begin(), text.end(), FText.data() + start);
    FEnds.push_back(quint32(end));
    FFirsts.push_back(FirstCode(text));
}

void TLineStore::Remove(qsizetype index)
{
    // The next line begins where this one began once this one is gone, and would take its
    // characters in: it stores its own separately instead.
    const qsizetype next = index + 1;
    if (next < Count() && !(uchar(FFirsts[next]) & StoredSeparately) && End(index) > Start(index))
        StoreSeparately(next, Line(next).toString());

    FEnds.erase(FEnds.begin() + index);
    FFirsts.erase(FFirsts.begin() + index);
    auto separate = FSeparateLines.begin() + (FindSeparate(index) - FSeparateLines.cbegin());
    if (separate != FSeparateLines.end() && separate->first == index)
        separate = FSeparateLines.erase(separate);
    // The separate lines behind it move up one.
    for (; separate != FSeparateLines.end(); ++separate)
        --separate->first;
}

void TLineStore::Clear()
{
    FText = QString();
    FEnds = std::vector<quint32>();
    FFirsts = std::vector<char>();
    FSeparateLines = std::vector<TSeparateLine>();
}

// Growing, the arrays would be copied, for a moment twice in memory: reserved whole, they are
// filled where they lie. What is reserved and never filled takes no memory but addresses. The
// string, which has as many characters as the file has bytes or nearly, is filled on large pages
// where the system offers them; a large page is taken whole, and the line ends may fill only a
// small part of their room, so they go on pages of the usual size.
void TLineStore::Reserve(qsizetype characters)
{
    const qsizetype start = Count() == 0 ? 0 : End(Count() - 1);
    if (start + characters > FText.size())
        FText.resize(qMin(start + characters, MaxTextLength));
    AdviseLargePages(FText.data() + start, 2 * characters);
    // No text has more lines than characters and one more.
    const size_t lines = FEnds.size() + size_t(characters) + 1;
    FEnds.reserve(lines);
    FFirsts.reserve(lines);
}
