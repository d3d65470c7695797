#include "LineDocument.h"

#include "Errors.h"

#include <vector>

namespace {

constexpr QChar NameValueSeparator = u'=';

char16_t AsciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
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
    CheckIndex(index);
    return FLines.at(index);
}

void TLineDocument::Put(int index, const QString &text)
{
    CheckIndex(index);
    FLines[index] = text;
}

int TLineDocument::Add(const QString &text)
{
    FLines.append(text);
    return Count() - 1;
}

void TLineDocument::Delete(int index)
{
    CheckIndex(index);
    FLines.removeAt(index);
}

int TLineDocument::IndexOfName(QStringView name) const
{
    for (int i = 0; i < Count(); ++i) {
        if (HasName(FLines.at(i), name))
            return i;
    }
    return -1;
}

QString TLineDocument::Values(QStringView name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? QString() : FLines.at(index).mid(name.size() + 1);
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
        FLines.append(line);
    else
        FLines[index] = line;
}

// The lists ask for all their names at once; one pass keeps that linear in the file's length.
QStringList TLineDocument::ValuesOf(const QStringList &names) const
{
    QStringList values(names.size());
    qsizetype longest = 0;
    for (const QString &name : names)
        longest = qMax(longest, name.size());
    // Open names by their length, which is where a matching line has its first "=".
    std::vector<std::vector<qsizetype>> open(longest + 1);
    for (qsizetype i = 0; i < names.size(); ++i)
        open[names.at(i).size()].push_back(i);
    qsizetype remaining = names.size();

    for (const QString &line : FLines) {
        if (remaining == 0)
            break;
        const qsizetype end = NameEnd(line, longest);
        if (end < 0 || open[end].empty())
            continue;
        const QStringView lineName = QStringView(line).first(end);
        std::vector<qsizetype> &candidates = open[end];
        for (auto it = candidates.begin(); it != candidates.end();) {
            if (SameName(lineName, names.at(*it))) {
                values[*it] = line.mid(end + 1);
                it = candidates.erase(it);
                --remaining;
            } else {
                ++it;
            }
        }
    }
    return values;
}

void TLineDocument::LoadFromFile(const QString &path)
{
    const QByteArray bytes = ReadWholeFile(path);
    qsizetype markLength = 0;
    FEncoding = DetectEncoding(bytes, markLength);
    FLines = SplitLines(DecodeText(QByteArrayView(bytes).sliced(markLength), FEncoding));
}

void TLineDocument::SaveToFile(const QString &path) const
{
    WriteWholeFile(path, EncodeLines(FLines, FEncoding));
}

void TLineDocument::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EStringListError(index);
}
