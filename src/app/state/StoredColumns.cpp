#include "app/state/StoredColumns.h"

#include "app/state/WindowStateValues.h"

using namespace Qt::StringLiterals;

QStringList ColumnAlignmentNames()
{
    return {u"taLeftJustify"_s, u"taRightJustify"_s, u"taCenter"_s};
}

QString SettingsSubPath(const QString &path, const QString &name)
{
    return path + u'\\' + name;
}

QString ColumnItemName(int index)
{
    return u"Item"_s + QString::number(index);
}

int StoredColumnCount(const QString &text)
{
    const int count = StoredInteger(text);
    if (count > MaxStoredColumns)
        throw EConvertError(text);
    return count;
}

bool ReadStoredColumns(const TSettingsFile &file, const QString &section, std::vector<TListColumn> &columns)
{
    if (!file.ValueExists(section, u"Count"_s))
        return false;
    columns.clear();
    const int count = StoredColumnCount(file.ReadString(section, u"Count"_s, QString()));
    for (int index = 0; index < count; ++index) {
        TListColumn &column = columns.emplace_back();
        const QString item = SettingsSubPath(section, ColumnItemName(index));
        const auto read = [&](const QString &key, auto assign) {
            if (file.ValueExists(item, key))
                assign(file.ReadString(item, key, QString()));
        };
        read(u"Alignment"_s, [&](const QString &text) {
            if (const std::optional<int> alignment = StoredEnumeration(text, ColumnAlignmentNames()))
                column.Alignment = TColumnAlignment(*alignment);
        });
        read(u"AutoSize"_s, [&](const QString &text) { column.AutoSize = StoredBoolean(text); });
        read(u"Caption"_s, [&](const QString &text) { column.Caption = text; });
        read(u"ImageIndex"_s, [&](const QString &text) { column.ImageIndex = StoredInteger(text); });
        read(u"MaxWidth"_s, [&](const QString &text) { column.MaxWidth = StoredInteger(text); });
        read(u"MinWidth"_s, [&](const QString &text) { column.MinWidth = StoredInteger(text); });
        read(u"Tag"_s, [&](const QString &text) { column.Tag = StoredInteger(text); });
        read(u"Width"_s, [&](const QString &text) { column.Width = StoredInteger(text); });
    }
    return true;
}
