#include "app/windowstate/ListColumns.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVariant>

namespace {

// The header knows no image, width limits or tag of its own: these ride along as data of the
// header item, so that they come back as they were stored.
constexpr int ImageIndexRole = Qt::UserRole;
constexpr int MaxWidthRole = Qt::UserRole + 1;
constexpr int MinWidthRole = Qt::UserRole + 2;
constexpr int TagRole = Qt::UserRole + 3;

int HeaderData(const QTreeWidget &list, int index, int role, int fallback)
{
    const QVariant value = list.headerItem()->data(index, role);
    return value.isValid() ? value.toInt() : fallback;
}

TColumnAlignment AlignmentOf(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return TColumnAlignment::taCenter;
    if (alignment & (Qt::AlignRight | Qt::AlignTrailing))
        return TColumnAlignment::taRightJustify;
    return TColumnAlignment::taLeftJustify;
}

Qt::Alignment QtAlignment(TColumnAlignment alignment)
{
    switch (alignment) {
    case TColumnAlignment::taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TColumnAlignment::taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TColumnAlignment::taLeftJustify:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The last column takes the remaining width through the header's last-section stretch, which
// keeps the user's freedom to resize the others; any other auto-sized column stretches.
bool IsAutoSize(const QTreeWidget &list, int index)
{
    const QHeaderView *header = list.header();
    if (index == list.columnCount() - 1 && header->stretchLastSection())
        return true;
    return header->sectionResizeMode(index) == QHeaderView::Stretch;
}

void SetAutoSize(QTreeWidget &list, int index, bool autoSize)
{
    QHeaderView *header = list.header();
    if (index == list.columnCount() - 1) {
        header->setStretchLastSection(autoSize);
        header->setSectionResizeMode(index, QHeaderView::Interactive);
    } else {
        header->setSectionResizeMode(index, autoSize ? QHeaderView::Stretch : QHeaderView::Interactive);
    }
}

} // namespace

TListColumn ListColumn(const QTreeWidget &list, int index)
{
    const QTreeWidgetItem *header = list.headerItem();
    TListColumn column;
    column.Alignment = AlignmentOf(Qt::Alignment(header->textAlignment(index)));
    column.AutoSize = IsAutoSize(list, index);
    column.Caption = header->text(index);
    column.ImageIndex = HeaderData(list, index, ImageIndexRole, column.ImageIndex);
    column.MaxWidth = HeaderData(list, index, MaxWidthRole, column.MaxWidth);
    column.MinWidth = HeaderData(list, index, MinWidthRole, column.MinWidth);
    column.Tag = HeaderData(list, index, TagRole, column.Tag);
    column.Width = list.columnWidth(index);
    return column;
}

void SetListColumn(QTreeWidget &list, int index, const TListColumn &column)
{
    QTreeWidgetItem *header = list.headerItem();
    header->setTextAlignment(index, QtAlignment(column.Alignment));
    SetAutoSize(list, index, column.AutoSize);
    header->setText(index, column.Caption);
    header->setData(index, ImageIndexRole, column.ImageIndex);
    header->setData(index, MaxWidthRole, column.MaxWidth);
    header->setData(index, MinWidthRole, column.MinWidth);
    header->setData(index, TagRole, column.Tag);
    list.setColumnWidth(index, column.Width);
}

void AppendListColumn(QTreeWidget &list)
{
    const int last = list.columnCount() - 1;
    const bool lastAutoSize = last >= 0 && IsAutoSize(list, last);
    list.setColumnCount(last + 2);
    // The column that was last keeps taking the remaining width, now by stretching.
    if (lastAutoSize)
        list.header()->setSectionResizeMode(last, QHeaderView::Stretch);
    SetListColumn(list, last + 1, TListColumn());
}

void ClearListColumns(QTreeWidget &list)
{
    list.setColumnCount(0);
}
