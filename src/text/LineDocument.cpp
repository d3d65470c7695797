#include "text/LineDocument.h"

#include "text/Errors.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

constexpr QChar NameValueSeparator = u'=';

char16_t AsciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

// Position of the line's first "=" when it stands within the first `limit` characters; -1 when
// the line has no name or a name longer than `limit`. Scanning no further keeps long comment
// lines cheap.
qsizetype NameEnd(QStringView line, qsizetype limit)
{
    return line.first(qMin(line.size(), limit + 1)).indexOf(NameValueSeparator);
}

bool HasName(QStringView line, QStringView name)
{
    return NameEnd(line, name.size()) == name.size() && SameName(line.first(name.size()), name);
}

// The ASCII characters a line named by one of the requested names can begin with. Most lines of a
// configuration file are comments, and a line whose first character no name can begin with is
// passed over without looking for its "=". A character beyond ASCII always passes, as it may
// fold to a requested ASCII letter (the Kelvin sign to "k"); an empty name or one that begins
// beyond ASCII lets every line pass.
class TNameStarts {
public:
    void Add(QStringView name)
    {
        if (name.isEmpty() || name.front().unicode() >= 0x80) {
            FEveryLine = true;
            return;
        }
        const char16_t first = name.front().unicode();
        FStarts[AsciiLower(first)] = true;
        FStarts[AsciiUpper(first)] = true;
    }

    // `first` as TLineStore::ForEach gives it.
    bool MayName(char16_t first) const { return first != 0 && (FEveryLine || first >= 0x80 || FStarts[first]); }

private:
    std::array<bool, 0x80> FStarts{};
    bool FEveryLine = false;
};

} // namespace

// Qt's case folding maps every character to one of the same UTF-16 length, so names of
// different lengths always differ; that also lets a line's name be matched at a known position.
bool SameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x == y)
            continue;
        if (x >= 0x80 || y >= 0x80)
            return a.compare(b, Qt::CaseInsensitive) == 0;
        if (AsciiLower(x) != AsciiLower(y))
            return false;
    }
    return true;
}

QString TLineDocument::Get(int index) const
{
    return Line(index).toString();
}

void TLineDocument::Put(int index, const QString &text)
{
    CheckIndex(index);
    FLines.Replace(index, text);
    ++FRevision;
}

int TLineDocument::Add(const QString &text)
{
    FLines.Append(text);
    ++FRevision;
    return Count() - 1;
}

void TLineDocument::Delete(int index)
{
    CheckIndex(index);
    FLines.Remove(index);
    ++FRevision;
}

void TLineDocument::Clear()
{
    FLines.Clear();
    ++FRevision;
}

void TLineDocument::AddStrings(const QStringList &lines)
{
    for (const QString &line : lines)
        FLines.Append(line);
    ++FRevision;
}

int TLineDocument::IndexOfName(QStringView name) const
{
    TNameStarts starts;
    starts.Add(name);
    int found = -1;
    const auto mayName = [&starts](char16_t first) { return starts.MayName(first); };
    QString scratch;
    FLines.ForEach(mayName, [&](qsizetype index, QAnyStringView line) {
        if (!HasName(Utf16(line, scratch), name))
            return true;
        found = int(index);
        return false;
    });
    return found;
}

QString TLineDocument::Values(QStringView name) const
{
    const int index = IndexOfName(name);
    QString scratch;
    return index < 0 ? QString() : Utf16(Line(index), scratch).sliced(name.size() + 1).toString();
}

void TLineDocument::SetValues(const QString &name, const QString &value)
{
    const int index = IndexOfName(name);
    if (value.isEmpty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    const QString line = name + NameValueSeparator + value;
    if (index < 0)
        Add(line);
    else
        Put(index, line);
}

// The lists ask for all their names at once; one pass keeps that linear in the file's length.
QStringList TLineDocument::ValuesOf(const QStringList &names) const
{
    QStringList values(names.size());
    TNameStarts starts;
    qsizetype longest = 0;
    for (const QString &name : names) {
        starts.Add(name);
        longest = qMax(longest, name.size());
    }
    // Open names by their length, which is where a matching line has its first "=".
    std::vector<std::vector<qsizetype>> open(longest + 1);
    for (qsizetype i = 0; i < names.size(); ++i)
        open[names.at(i).size()].push_back(i);
    qsizetype remaining = names.size();

    const auto mayName = [&starts](char16_t first) { return starts.MayName(first); };
    QString scratch;
    FLines.ForEach(mayName, [&](qsizetype, QAnyStringView anyLine) {
        const QStringView line = Utf16(anyLine, scratch);
        const qsizetype end = NameEnd(line, longest);
        if (end < 0 || open[end].empty())
            return true;
        const QStringView lineName = line.first(end);
        std::vector<qsizetype> &candidates = open[end];
        for (auto it = candidates.begin(); it != candidates.end();) {
            if (SameName(lineName, names.at(*it))) {
                values[*it] = line.sliced(end + 1).toString();
                it = candidates.erase(it);
                --remaining;
            } else {
                ++it;
            }
        }
        return remaining > 0;
    });
    return values;
}

// The lines are read into a document of their own, so a failed load leaves these as they were.
void TLineDocument::LoadFromFile(const QString &path)
{
    TLineStore lines;
    // An ASCII text has as many characters as its file has bytes, and takes as many.
    lines.Reserve(QFileInfo(path).size());
    TTextEncoding encoding = TTextEncoding::None;
    TFileVersion version;
    try {
        version = ReadTextLines(path, encoding, [&lines](QAnyStringView line) { lines.Append(line); });
    } catch (const EEncodingError &) {
        // The encoding is known even where the text fails to decode in it.
        FEncoding = encoding;
        throw;
    }
    FLines = std::move(lines);
    FEncoding = encoding;
    ++FRevision;
    FFileVersion = version;
}

void TLineDocument::SaveToFile(const QString &path, const std::optional<TFileVersion> &expected) const
{
    FFileVersion = WriteTextLines(
        path, FEncoding,
        [this](const TLineSink &sink) {
            FLines.ForEach([&sink](qsizetype, QAnyStringView line) {
                sink(line);
                return true;
            });
        },
        expected);
}

QStringList TLineDocument::Lines() const
{
    QStringList lines;
    lines.reserve(Count());
    FLines.ForEach([&lines](qsizetype, QAnyStringView line) {
        lines.append(line.toString());
        return true;
    });
    return lines;
}

QString TLineDocument::JoinedLines(QChar separator, int first, int last) const
{
    Q_ASSERT(0 <= first && first <= last && last <= Count());
    qsizetype length = last - first - (last == Count() && last > first ? 1 : 0);
    for (int i = first; i < last; ++i)
        length += FLines.Line(i).size();
    QString text(length, Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    for (int i = first; i < last; ++i) {
        out = CopyUtf16(FLines.Line(i), out);
        if (i + 1 < Count())
            *out++ = separator.unicode();
    }
    return text;
}

void TLineDocument::ThrowIndexError(int index)
{
    throw EStringListError(index);
}
