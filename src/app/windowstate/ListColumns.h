#pragma once

#include "app/state/StoredColumns.h"

class QTreeWidget;

// The columns of a report-style list, read from and written to the list itself.

TListColumn ListColumn(const QTreeWidget &list, int index);
void SetListColumn(QTreeWidget &list, int index, const TListColumn &column);

// Adds a column with the starting values after the last one.
void AppendListColumn(QTreeWidget &list);

// Removes every column; the rows stay.
void ClearListColumns(QTreeWidget &list);
