#pragma once

#include <QString>
#include <QStringList>

class QTreeWidget;

// The columns of a report-style list as the settings file keeps them.

enum class TColumnAlignment { taLeftJustify, taRightJustify, taCenter };

// The names of the alignments, in the order of the enumeration.
QStringList ColumnAlignmentNames();

// A column with the values a newly created column starts with.
struct TListColumn {
    TColumnAlignment Alignment = TColumnAlignment::taLeftJustify;
    bool AutoSize = false;  // the column takes the width left over by the others
    QString Caption;
    int ImageIndex = -1;
    int MaxWidth = 0;
    int MinWidth = 0;
    int Tag = 0;
    int Width = 50;
};

TListColumn ListColumn(const QTreeWidget &list, int index);
void SetListColumn(QTreeWidget &list, int index, const TListColumn &column);

// Adds a column with the starting values after the last one.
void AppendListColumn(QTreeWidget &list);

// Removes every column; the rows stay.
void ClearListColumns(QTreeWidget &list);
