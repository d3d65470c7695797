#pragma once

#include "text/SettingsFile.h"

#include <QString>
#include <QStringList>
#include <vector>

// The columns of a report-style list as the settings file keeps them: a section with "Count" and
// one subsection "Item<n>" per column. Qt Core only.

enum class TColumnAlignment { taLeftJustify, taRightJustify, taCenter };

// The names of the alignments, in the order of the enumeration.
QStringList ColumnAlignmentNames();

// A column with the values a newly created column starts with.
struct TListColumn {
    TColumnAlignment Alignment = TColumnAlignment::taLeftJustify;
    bool AutoSize = false; // the column takes the width left over by the others
    QString Caption;
    int ImageIndex = -1;
    int MaxWidth = 0;
    int MinWidth = 0;
    int Tag = 0;
    int Width = 50;
};

// No list of the program has more than a few columns. A stored count above this is taken as
// malformed: honouring a count of millions would stall the window at start and at close.
inline constexpr int MaxStoredColumns = 1024;

// `path` "\" `name`: the settings file's way of nesting sections.
QString SettingsSubPath(const QString &path, const QString &name);

// "Item<index>", the subsection of one column.
QString ColumnItemName(int index);

// "Count" read as a number of columns. Throws EConvertError when it is no integer or above
// MaxStoredColumns.
int StoredColumnCount(const QString &text);

// Reads the column set kept in `section`. False, with `columns` untouched, when the section has
// no "Count". Otherwise `columns` is replaced by the stored columns; each key takes effect as it
// is read, so when a malformed value throws EConvertError, `columns` holds the columns read so
// far, the last one with the values read before the malformed one.
bool ReadStoredColumns(const TSettingsFile &file, const QString &section, std::vector<TListColumn> &columns);
