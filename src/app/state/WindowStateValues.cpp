#include "app/state/WindowStateValues.h"

#include <algorithm>

using namespace Qt::StringLiterals;

EConvertError::EConvertError(const QString &text)
    : ETessaroError(u"'%1' ist kein gültiger Integerwert"_s.arg(text))
{}

int StoredInteger(const QString &text)
{
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw EConvertError(text);
    return value;
}

bool StoredBoolean(const QString &text)
{
    for (const QString &name : {u"TRUE"_s, u"YES"_s, u"Y"_s}) {
        if (text.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const QString &name : {u"FALSE"_s, u"NO"_s, u"N"_s}) {
        if (text.compare(name, Qt::CaseInsensitive) == 0)
            return false;
    }
    return StoredInteger(text) != 0;
}

QString BooleanText(bool value)
{
    return value ? u"TRUE"_s : u"FALSE"_s;
}

std::optional<int> StoredEnumeration(const QString &text, const QStringList &names)
{
    const auto named = std::find_if(names.cbegin(), names.cend(),
                                    [&](const QString &name) { return name.compare(text, Qt::CaseInsensitive) == 0; });
    if (named != names.cend())
        return int(named - names.cbegin());
    const int ordinal = StoredInteger(text);
    if (ordinal == -1)
        return std::nullopt;
    // An ordinal beyond the names would be a value the target cannot hold.
    if (ordinal < 0 || ordinal >= names.size())
        throw EConvertError(text);
    return ordinal;
}

QStringList PositionWords(const QString &text)
{
    return QString(text).replace(u',', u' ').split(u' ', Qt::SkipEmptyParts);
}

int PositionWord(const QStringList &words, int index, int fallback)
{
    if (index < 0 || index >= words.size())
        return fallback;
    bool ok = false;
    const int value = words[index].toInt(&ok, 10);
    return ok ? value : fallback;
}

QString PositionText(int first, int second, int third, int fourth)
{
    return u"%1,%2,%3,%4"_s.arg(first).arg(second).arg(third).arg(fourth);
}

QString DesktopSizeSuffix(QSize desktop)
{
    return u"(%1x%2)"_s.arg(desktop.width()).arg(desktop.height());
}
