#include "text/LineStore.h"

#include "text/Ascii.h"
#include "text/LargeBuffer.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// The ends in the array count in 31 bits, the high one marking UTF-16, and a 32-bit program's
// array counts in no more.
constexpr qsizetype MaxTextLength =
    qsizetype(std::min<quint64>(std::numeric_limits<quint32>::max() >> 1, std::numeric_limits<qsizetype>::max()));

} // namespace

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

// Lines are written straight into the room at the end of the array: appending a line costs no
// call into the array's own checks and copies. Removed lines may have left their bytes there;
// they are written over.
char *TLineStore::RoomUpTo(qsizetype end)
{
    if (end > MaxTextLength)
        throw std::bad_alloc();
    if (end > FText.size())
        FText.resize(qMin(qMax(end, FText.size() + FText.size() / 2), MaxTextLength));
    return FText.data();
}

void TLineStore::Append(QAnyStringView text)
{
    text.visit([this](auto view) {
        using TView = decltype(view);
        if constexpr (std::is_same_v<TView, QLatin1StringView>)
            AppendAscii(view);
        else if constexpr (std::is_same_v<TView, QStringView>)
            AppendUtf16(view);
        else
            AppendUtf16(view.toString());
    });
}

void TLineStore::AppendAscii(QLatin1StringView text)
{
    Q_ASSERT(IsAscii(QByteArrayView(text.data(), text.size())));
    const qsizetype start = Count() == 0 ? 0 : End(Count() - 1);
    const qsizetype end = start + text.size();
    std::copy(text.begin(), text.end(), RoomUpTo(end) + start);
    FEnds.push_back(quint32(end));
    FFirsts.push_back(FirstCode(text));
}

// Most lines are ASCII: they are narrowed where they are to go, and only the others are written
// again as UTF-16, from the next even place on.
void TLineStore::AppendUtf16(QStringView text)
{
    const qsizetype start = Count() == 0 ? 0 : End(Count() - 1);
    if (NarrowAscii(text, RoomUpTo(start + text.size()) + start)) {
        FEnds.push_back(quint32(start + text.size()));
    } else {
        const qsizetype evenStart = (start + 1) & ~qsizetype(1);
        const qsizetype end = evenStart + 2 * text.size();
        std::copy(text.begin(), text.end(), reinterpret_cast<QChar *>(RoomUpTo(end) + evenStart));
        FEnds.push_back(quint32(end) | Utf16Line);
    }
    FFirsts.push_back(FirstCode(text));
}

void TLineStore::Remove(qsizetype index)
{
    // The next line begins where this one began once this one is gone, and would take its
    // bytes in: it stores its own separately instead.
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
    FText = QByteArray();
    FEnds = std::vector<quint32>();
    FFirsts = std::vector<char>();
    FSeparateLines = std::vector<TSeparateLine>();
}

// Growing, the arrays would be copied, for a moment twice in memory: reserved whole, they are
// filled where they lie. What is reserved and never filled takes no memory but addresses. The
// bytes, as many as the file has or nearly, and the line ends are filled on large pages where the
// system offers them: each small page is a fault of its own, and the faults of the line ends
// alone took a fifth of a large file's load. A large page is taken whole once written to, so
// each array may hold one that it fills only in part; the first characters, a quarter of the
// line ends, would waste as much for less, and stay on pages of the usual size.
void TLineStore::Reserve(qsizetype bytes)
{
    const qsizetype start = Count() == 0 ? 0 : End(Count() - 1);
    if (start + bytes > FText.size())
        FText.resize(qMin(start + bytes, MaxTextLength));
    AdviseLargePages(FText.data() + start, bytes);
    // No text has more lines than characters and one more.
    const size_t lines = FEnds.size() + size_t(bytes) + 1;
    FEnds.reserve(lines);
    FFirsts.reserve(lines);
    AdviseLargePages(FEnds.data() + FEnds.size(), qsizetype(lines * sizeof(quint32)));
}
