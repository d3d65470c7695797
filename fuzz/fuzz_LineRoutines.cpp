// The line routines on any document with any key and value: NormalizeLines keeps the line count
// and settles in one pass; SetConfigValue changes the count by at most one, rewrites at most one
// line besides the one it sets, and afterwards the key reads the value set.
//
// Input: key, U+0000, value, U+0000, then the document's lines separated by LF (as UTF-8).

#include "config/ktFBFunc.h"
#include "text/LineDocument.h"

#include <QByteArrayView>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

TLineDocument DocumentOf(const QStringList &lines)
{
    TLineDocument document;
    document.AddStrings(lines);
    return document;
}

// The number of positions at which `after` differs from `before` once the line at `removed`
// (or none, for -1) is taken out of `before` and, for an `appended` line, the last line of
// `after` is left aside.
qsizetype Differences(const QStringList &before, const QStringList &after, qsizetype removed, bool appended)
{
    QStringList kept = before;
    if (removed >= 0)
        kept.removeAt(removed);
    const qsizetype compared = appended ? after.size() - 1 : after.size();
    if (compared != kept.size())
        return before.size() + after.size() + 1;
    qsizetype count = 0;
    for (qsizetype i = 0; i < compared; ++i)
        count += kept[i] != after[i];
    return count;
}

// SetConfigValue rewrites at most one line when it activates a commented-out default, and then
// replaces, appends or removes one line.
bool TouchesAtMostTwoLines(const QStringList &before, const QStringList &after)
{
    if (after.size() == before.size())
        return Differences(before, after, -1, false) <= 2;
    if (after.size() == before.size() + 1)
        return Differences(before, after, -1, true) <= 1;
    if (after.size() + 1 != before.size())
        return false;
    for (qsizetype removed = 0; removed < before.size(); ++removed) {
        if (Differences(before, after, removed, false) <= 1)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype keyEnd = input.indexOf('\0');
    const qsizetype valueEnd = keyEnd < 0 ? -1 : input.indexOf('\0', keyEnd + 1);
    if (valueEnd < 0)
        return 0;
    const QString key = QString::fromUtf8(input.first(keyEnd));
    const QString value = QString::fromUtf8(input.sliced(keyEnd + 1, valueEnd - keyEnd - 1));
    const QStringList lines = QString::fromUtf8(input.sliced(valueEnd + 1)).split(u'\n');

    TLineDocument normalised = DocumentOf(lines);
    NormalizeLines(normalised);
    Require(normalised.Count() == lines.size());
    const QStringList once = normalised.Lines();
    NormalizeLines(normalised);
    Require(normalised.Lines() == once);

    // Only a name can be set: something before any "=".
    if (key.isEmpty() || key.contains(u'='))
        return 0;
    TLineDocument document = DocumentOf(lines);
    SetConfigValue(document, key, value);
    const QStringList after = document.Lines();
    Require(TouchesAtMostTwoLines(lines, after));
    if (!value.isEmpty())
        Require(document.Values(key) == value);
    else
        Require(after.size() <= lines.size());
    return 0;
}
