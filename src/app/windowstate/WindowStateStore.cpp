#include "app/windowstate/WindowStateStore.h"

#include "app/platform/Platform.h"
#include "app/state/SettingsFilePath.h"
#include "app/state/WindowStateValues.h"
#include "app/windowstate/LayoutWidth.h"
#include "app/windowstate/ListColumns.h"
#include "text/FileSystem.h"
#include "text/ktStrings.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool IsReadOnlyFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && (HasNoWriteBit(info) || !info.isWritable());
}

void SetShowState(QWidget &window, Qt::WindowStates state)
{
    if (window.windowState() != state)
        window.setWindowState(state);
}

} // namespace

TWindowStateStore::TWindowStateStore(QWidget &window, TStdDialogs &dialogs, const TWindowStateSettings &settings)
    : FWindow(window),
      FDialogs(dialogs),
      FSettings(settings),
      FFullPath(SettingsFilePath(settings.Folder, QFileInfo(settings.FileName).fileName())),
      FCopy(FFullPath)
{
    FReadOnly = IsReadOnlyFile(FFullPath);
    FSection = settings.AppStoragePath;
    FSection.replace(u"%FORM_NAME%"_s, window.objectName());
    if (FSection.endsWith(u'\\'))
        FSection.chop(1);
    ResolveStoredProps(settings.StoredProps);
    window.installEventFilter(this);
}

TWindowStateStore::~TWindowStateStore()
{
    if (!FSaved)
        SaveFormPlacement();
    Flush();
}

bool TWindowStateStore::eventFilter(QObject *watched, QEvent *event)
{
    // Spontaneous show and hide events come from the window system when the window is minimized
    // or restored; the program's own showing and closing send the others.
    if (watched == &FWindow && !event->spontaneous()) {
        if (event->type() == QEvent::Show && !FRestored)
            RestoreFormPlacement();
        else if (event->type() == QEvent::Hide)
            SaveFormPlacement();
    }
    return QObject::eventFilter(watched, event);
}

void TWindowStateStore::ResolveStoredProps(const QStringList &entries)
{
    for (const QString &entry : entries) {
        const qsizetype dot = entry.indexOf(u'.');
        if (dot < 0)
            continue;
        const QString componentName = Trim(QStringView(entry).first(dot)).toString();
        const QString propertyName = Trim(QStringView(entry).sliced(dot + 1)).toString();
        if (componentName.isEmpty() || propertyName.isEmpty())
            continue;
        auto *component = FWindow.findChild<QWidget *>(componentName);
        if (!component)
            continue;
        TPropertyKind kind;
        if (propertyName.compare(u"Width"_s, Qt::CaseInsensitive) == 0)
            kind = TPropertyKind::Width;
        else if (propertyName.compare(u"Columns"_s, Qt::CaseInsensitive) == 0 && qobject_cast<QTreeWidget *>(component))
            kind = TPropertyKind::Columns;
        else
            continue; // a property this store cannot keep
        FStoredProps.push_back({component, kind, componentName + u'_' + propertyName});
    }
}

void TWindowStateStore::RestoreFormPlacement()
{
    FSaved = false;
    try {
        if (ReadInteger(u"FormVersion"_s, 0) >= FSettings.Version) {
            RestorePlacement();
            FRestored = true;
            RestoreStoredProps();
        }
    } catch (const EConvertError &error) {
        FDialogs.ShowErrorBox(ErrorBoxText(error.Message()));
        return;
    }
    FRestored = true;
    SetMaximizedPositionToFrame();
}

void TWindowStateStore::RestorePlacement()
{
    const TFormPlacementOptions options = FSettings.Options;
    TWindowPlacement placement = ReadWindowPlacement(FWindow);
    const int currentShowCmd = placement.ShowCmd;
    if (options & (TFormPlacementOption::fpSize | TFormPlacementOption::fpLocation)) {
        placement.Flags = ReadInteger(u"Flags"_s, placement.Flags);

        const QString positions = ReadPositionValue(u"MinMaxPos"_s);
        if (!positions.isEmpty()) {
            const QStringList words = PositionWords(positions);
            if (options & TFormPlacementOption::fpLocation)
                placement.MinPosition = {PositionWord(words, 0, 0), PositionWord(words, 1, 0)};
            if (options & TFormPlacementOption::fpSize)
                placement.MaxPosition = {PositionWord(words, 2, 0), PositionWord(words, 3, 0)};
        }

        const QString normal = ReadPositionValue(u"NormPos"_s);
        TPlacementRect &rect = placement.NormalPosition;
        if (!normal.isEmpty()) {
            const TPlacementRect current = rect;
            const int currentWidth = current.Right - current.Left;
            const int currentHeight = current.Bottom - current.Top;
            const QStringList words = PositionWords(normal);
            if (options & TFormPlacementOption::fpLocation) {
                rect.Left = PositionWord(words, 0, current.Left);
                rect.Top = PositionWord(words, 1, current.Top);
            }
            if (options & TFormPlacementOption::fpSize) {
                rect.Right = rect.Left + PositionWord(words, 2, currentWidth) - PositionWord(words, 0, current.Left);
                rect.Bottom = rect.Top + PositionWord(words, 3, currentHeight) - PositionWord(words, 1, current.Top);
            } else {
                rect.Right = rect.Left + currentWidth;
                rect.Bottom = rect.Top + currentHeight;
            }
        }

        const int dpi = LogicalDpi(FWindow);
        const bool sameResolution = ReadInteger(u"PixelsPerInch"_s, dpi) == dpi;
        // A rectangle turned inside out is as malformed as a bad word. One smaller than the window
        // can be would grow past it: the rectangle the window really gets must be on the monitors.
        const QSize frameExtra = OuterFrame(FWindow).size() - FWindow.size();
        const QSize least = FWindow.minimumSize().expandedTo(FWindow.minimumSizeHint()) + frameExtra;
        const int right = std::max(rect.Right, rect.Left + least.width());
        const int bottom = std::max(rect.Bottom, rect.Top + least.height());
        const bool onMonitors = rect.Left < rect.Right && rect.Top < rect.Bottom
            && PointOnMonitor({rect.Left, rect.Top}) && PointOnMonitor({right - 1, bottom - 1});
        if ((!positions.isEmpty() || !normal.isEmpty()) && sameResolution && onMonitors) {
            FWindow.setProperty(PlacementAppliedProperty, true);
            if (!WindowOnScreen(FWindow))
                placement.ShowCmd = SwHide;
            ApplyWindowPlacement(FWindow, placement);
        }
    }
    if (options & TFormPlacementOption::fpState)
        RestoreShowState(currentShowCmd);
}

void TWindowStateStore::RestoreShowState(int currentShowCmd)
{
    const Qt::WindowStates normal = FWindow.windowState() & ~AlteredWindowStates;
    switch (ReadInteger(u"ShowCmd"_s, currentShowCmd)) {
    case SwShowMinimized:
    case SwMinimize:
    case SwShowMinNoActive:
        // The window is shown normally first and then minimized with the whole program, so that
        // it waits on the task bar.
        SetShowState(FWindow, normal);
        QTimer::singleShot(0, &FWindow, &QWidget::showMinimized);
        break;
    case SwShowMaximized:
        SetShowState(FWindow, normal | Qt::WindowMaximized);
        break;
    default:
        SetShowState(FWindow, normal);
        break;
    }
}

void TWindowStateStore::RestoreStoredProps()
{
    for (const TStoredProp &prop : FStoredProps) {
        try {
            switch (prop.Kind) {
            case TPropertyKind::Width:
                if (HasValue(prop.ItemKey))
                    SetLayoutWidth(*prop.Component, StoredInteger(ReadValue(FSection, prop.ItemKey)));
                break;
            case TPropertyKind::Columns:
                RestoreColumns(static_cast<QTreeWidget &>(*prop.Component), SettingsSubPath(FSection, prop.ItemKey));
                break;
            }
        } catch (const EConvertError &) {
            // A malformed value ends this entry without a message; the next entry is read as usual.
        }
    }
}

void TWindowStateStore::RestoreColumns(QTreeWidget &list, const QString &section)
{
    std::vector<TListColumn> columns;
    // What was read before a malformed value still reaches the list. A list without columns has
    // nothing to select: its current and selected rows go with the last column, so they are put
    // back once the columns are.
    const auto apply = [&] {
        QTreeWidgetItem *const current = list.currentItem();
        const QList<QTreeWidgetItem *> selected = list.selectedItems();
        ClearListColumns(list);
        for (int index = 0; index < int(columns.size()); ++index) {
            AppendListColumn(list);
            SetListColumn(list, index, columns[index]);
        }
        if (list.columnCount() == 0)
            return;
        if (current)
            list.setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
        for (QTreeWidgetItem *item : selected)
            item->setSelected(true);
    };
    try {
        if (!ReadStoredColumns(FCopy, section, columns))
            return;
    } catch (const EConvertError &) {
        apply();
        throw;
    }
    apply();
}

void TWindowStateStore::SetMaximizedPositionToFrame()
{
    TWindowPlacement placement = ReadWindowPlacement(FWindow);
    const QSize frame = FrameSize(FWindow);
    placement.MaxPosition = {-frame.width(), -frame.height()};
    if (!WindowOnScreen(FWindow))
        placement.ShowCmd = SwHide;
    ApplyWindowPlacement(FWindow, placement);
}

void TWindowStateStore::SaveFormPlacement()
{
    WriteValue(FSection, u"FormVersion"_s, QString::number(FSettings.Version));
    if (FRestored) {
        try {
            SavePlacement();
            SaveStoredProps();
        } catch (const EConvertError &error) {
            FDialogs.ShowErrorBox(ErrorBoxText(error.Message()));
            return;
        }
    }
    FSaved = true;
}

void TWindowStateStore::SavePlacement()
{
    const TFormPlacementOptions options = FSettings.Options;
    const TWindowPlacement placement = ReadWindowPlacement(FWindow);
    if (options & TFormPlacementOption::fpState) {
        const int showCmd = ApplicationMinimized() ? SwShowMinimized : placement.ShowCmd;
        WriteValue(FSection, u"ShowCmd"_s, QString::number(showCmd));
    }
    if (!(options & (TFormPlacementOption::fpSize | TFormPlacementOption::fpLocation)))
        return;
    const QString suffix = DesktopSizeSuffix(DesktopSize());
    const QString positions = PositionText(placement.MinPosition.x(), placement.MinPosition.y(),
                                           placement.MaxPosition.x(), placement.MaxPosition.y());
    const TPlacementRect &rect = placement.NormalPosition;
    const QString normal = PositionText(rect.Left, rect.Top, rect.Right, rect.Bottom);
    WriteValue(FSection, u"Flags"_s, QString::number(placement.Flags));
    WriteValue(FSection, u"PixelsPerInch"_s, QString::number(LogicalDpi(FWindow)));
    WriteValue(FSection, u"MinMaxPos"_s + suffix, positions);
    WriteValue(FSection, u"MinMaxPos"_s, positions);
    WriteValue(FSection, u"NormPos"_s + suffix, normal);
    WriteValue(FSection, u"NormPos"_s, normal);
}

void TWindowStateStore::SaveStoredProps()
{
    for (const TStoredProp &prop : FStoredProps) {
        switch (prop.Kind) {
        case TPropertyKind::Width:
            WriteValue(FSection, prop.ItemKey, QString::number(LayoutWidth(*prop.Component)));
            break;
        case TPropertyKind::Columns:
            SaveColumns(static_cast<const QTreeWidget &>(*prop.Component), SettingsSubPath(FSection, prop.ItemKey));
            break;
        }
    }
}

void TWindowStateStore::SaveColumns(const QTreeWidget &list, const QString &section)
{
    const int previousCount = StoredInteger(FCopy.ReadString(section, u"Count"_s, u"0"_s));
    const int count = list.columnCount();
    for (int index = 0; index < count; ++index) {
        const TListColumn column = ListColumn(list, index);
        const QString item = SettingsSubPath(section, ColumnItemName(index));
        WriteValue(item, u"Alignment"_s, ColumnAlignmentNames().at(int(column.Alignment)));
        WriteValue(item, u"AutoSize"_s, BooleanText(column.AutoSize));
        WriteValue(item, u"Caption"_s, column.Caption);
        WriteValue(item, u"ImageIndex"_s, QString::number(column.ImageIndex));
        WriteValue(item, u"MaxWidth"_s, QString::number(column.MaxWidth));
        WriteValue(item, u"MinWidth"_s, QString::number(column.MinWidth));
        WriteValue(item, u"Tag"_s, QString::number(column.Tag));
        WriteValue(item, u"Width"_s, QString::number(column.Width));
    }
    if (!FReadOnly) {
        // A count beyond any real list names no items worth looking for.
        for (int index = count; index < std::min(previousCount, MaxStoredColumns); ++index) {
            if (FCopy.ValueExists(section, ColumnItemName(index)))
                FCopy.DeleteKey(section, ColumnItemName(index));
            else
                FCopy.EraseSection(SettingsSubPath(section, ColumnItemName(index)));
        }
    }
    WriteValue(section, u"Count"_s, QString::number(count));
}

void TWindowStateStore::Flush()
{
    if (FReadOnly)
        return;
    try {
        QDir().mkpath(QFileInfo(FFullPath).absolutePath());
        FCopy.Rename(FFullPath, false);
        FCopy.UpdateFile();
    } catch (...) {
        // The window state is a convenience: a file that cannot be written must not disturb the
        // program, and its old content stays.
    }
}

bool TWindowStateStore::HasValue(const QString &key) const
{
    return FCopy.ValueExists(FSection, key);
}

QString TWindowStateStore::ReadValue(const QString &section, const QString &key) const
{
    return FCopy.ReadString(section, key, QString());
}

int TWindowStateStore::ReadInteger(const QString &key, int fallback) const
{
    return HasValue(key) ? StoredInteger(ReadValue(FSection, key)) : fallback;
}

QString TWindowStateStore::ReadPositionValue(const QString &key) const
{
    const QString sizedKey = key + DesktopSizeSuffix(DesktopSize());
    return ReadValue(FSection, HasValue(sizedKey) ? sizedKey : key);
}

void TWindowStateStore::WriteValue(const QString &section, const QString &key, const QString &value)
{
    if (!FReadOnly)
        FCopy.WriteString(section, key, value);
}
