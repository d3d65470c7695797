#include "app/ktParvex.h"

#include "app/dialogs/ktParvexItemEdit.h"
#include "app/platform/Platform.h"
#include "config/ParamKinds.h"
#include "text/Errors.h"
#include "text/ktStrings.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Where a parameter row keeps why the server will not use its value as written.
constexpr int UnusableReasonRole = Qt::UserRole + 1;

QTreeWidgetItem *SelectedRow(const QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.constFirst();
}

// Gives every column of the row the same tooltip.
void SetRowToolTip(QTreeWidgetItem &row, const QString &tip)
{
    for (int column = 0; column < row.columnCount(); ++column)
        row.setToolTip(column, tip);
}

} // namespace

// ---- Parameter list ------------------------------------------------------------------------

void TParvexDlg::FillConfigList(const TLineDocument &document)
{
    const QStringList values = document.ValuesOf(ParamCatalogNames());
    ParvexList->setUpdatesEnabled(false);
    {
        const QSignalBlocker blocker(ParvexList->selectionModel());
        ParvexList->clear();
    }
    // A parameter no current server reads stays selectable and editable, but looks disabled.
    const QColor ignoredText = ParvexList->palette().color(QPalette::Disabled, QPalette::Text);
    for (std::size_t row = 0; row < ParamCatalog.size(); ++row) {
        auto *item = new QTreeWidgetItem(
            ParvexList,
            {QString::fromLatin1(ParamCatalog[row].Name), values[row], QString::fromLatin1(ParamCatalog[row].Default)});
        if (ParamCatalog[row].Use == TServerUse::Ignored) {
            for (int column = 0; column < item->columnCount(); ++column)
                item->setForeground(column, ignoredText);
        }
        MarkConfigRow(*item);
    }
    ParvexList->setUpdatesEnabled(true);
    ParvexList->setCurrentItem(ParvexList->topLevelItem(0));
}

void TParvexDlg::ParvexListSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    // Like a list view's own notification: first the row that lost the selection, then the new one.
    for (const QModelIndex &index : deselected.indexes())
        if (index.column() == 0)
            ParvexListSelectItem(ParvexList->topLevelItem(index.row()), false);
    for (const QModelIndex &index : selected.indexes())
        if (index.column() == 0)
            ParvexListSelectItem(ParvexList->topLevelItem(index.row()), true);
}

void TParvexDlg::ParvexListSelectItem(QTreeWidgetItem *item, bool /*selected*/)
{
    if (!item)
        return;
    ShowRowHelp(*item);
    FCurItem = {item->text(0), item->text(1), item->text(2)};
    ResetBtn->setEnabled(!FCurItem.ConfigValue.isEmpty());
}

void TParvexDlg::ShowItemComment(QPlainTextEdit *box, const QString &name)
{
    static const QString LineBreak = QStringLiteral("\\n");
    QString rest = Text(name, QString());
    QStringList lines;
    for (qsizetype at = rest.indexOf(LineBreak); at >= 0; at = rest.indexOf(LineBreak)) {
        lines << rest.left(at);
        rest.remove(0, at + LineBreak.size());
    }
    if (!rest.isEmpty() || lines.isEmpty())
        lines << rest;
    box->setPlainText(lines.join(u'\n'));
}

void TParvexDlg::EditConfigItemCommand()
{
    QTreeWidgetItem *row = SelectedRow(ParvexList);
    if (FCurItem.ConfigKey.isEmpty() || !row)
        return;
    if (!EditConfigItem(FCurItem, *FComments, FLang, this, FDialogs, FSettingsFolder))
        return;
    SetConfigValue(FConfigPage.Document, FCurItem.ConfigKey, FCurItem.ConfigValue);
    FConfigPage.Binding->Refill();
    row->setText(1, FCurItem.ConfigValue);
    MarkConfigRow(*row);
    ShowRowHelp(*row);
    MarkChanged(FConfigPage, TChangeKind::Command);
}

void TParvexDlg::ResetBtnClick()
{
    QTreeWidgetItem *row = SelectedRow(ParvexList);
    if (FCurItem.ConfigValue.isEmpty() || !row)
        return;
    FCurItem.ConfigValue = FCurItem.DefaultValue;
    FConfigPage.Document.SetValues(FCurItem.ConfigKey, FCurItem.DefaultValue);
    row->setText(1, FCurItem.DefaultValue);
    MarkConfigRow(*row);
    ShowRowHelp(*row);
    FConfigPage.Binding->Refill();
    MarkChanged(FConfigPage, TChangeKind::Command);
}

void TParvexDlg::ShowRowHelp(const QTreeWidgetItem &row)
{
    ItemComment->clear();
    ShowItemComment(ItemComment, row.text(0));
    // Why the server will not use the value comes before the parameter's help.
    if (const QString reason = row.data(1, UnusableReasonRole).toString(); !reason.isEmpty())
        ItemComment->setPlainText(reason + u'\n' + ItemComment->toPlainText());
}

void TParvexDlg::MarkConfigRow(QTreeWidgetItem &row)
{
    const QString reason = UnusableValueReason(
        row.text(0), row.text(1), [this](const QString &key, const QString &fallback) { return Text(key, fallback); });
    row.setData(1, UnusableReasonRole, reason);
    row.setIcon(1, reason.isEmpty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    SetRowToolTip(row, reason);
}

// ---- Alias list ----------------------------------------------------------------------------

void TParvexDlg::FillAliasList(const TLineDocument &document)
{
    const QStringList paths = AliasPaths(document, AliasCatalogKeys());
    FBAliasList->setUpdatesEnabled(false);
    FBAliasList->clear();
    for (std::size_t row = 0; row < AliasCatalog.size(); ++row) {
        auto *item = new QTreeWidgetItem(
            FBAliasList,
            {QString::fromLatin1(AliasCatalog[row].Key), QString::fromUtf8(AliasCatalog[row].Description), paths[row]});
        MarkAliasRow(*item);
    }
    FBAliasList->setUpdatesEnabled(true);
    FBAliasList->setCurrentItem(FBAliasList->topLevelItem(0));
}

void TParvexDlg::UpdateAliasesCommand()
{
    if (!FFolderPicker.Execute())
        return;
    QString folder = QDir::toNativeSeparators(FFolderPicker.Directory);
    if (!folder.endsWith(FolderSeparator()))
        folder += FolderSeparator();
    // The question names what it is about: the folder picked and the alias marked.
    QTreeWidgetItem *selected = SelectedRow(FBAliasList);
    QString question = Text(QStringLiteral("MsgAliasChoice"), QStringLiteral("Set selected or all Aliases"))
        + QStringLiteral("\n\n")
        + FormatWithOneString(Text(QStringLiteral("AliasChoiceFolder"), QStringLiteral("Ordner: %s")), folder);
    if (selected)
        question += u'\n'
            + FormatWithOneString(Text(QStringLiteral("AliasChoiceAlias"), QStringLiteral("Markierter Alias: %s")),
                                  selected->text(0));
    const int answer =
        FDialogs.ShowMessageBox(question, TMsgKind::Confirmation, TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
    if (answer == mrYes) {
        if (selected)
            AssignAliasFolder(folder, selected->text(0), FBAliasList->indexOfTopLevelItem(selected));
    } else if (answer == mrAll) {
        AssignAllAliasFolders(folder);
    }
    FAliasPage.Binding->Refill();
    MarkChanged(FAliasPage, TChangeKind::Command);
}

void TParvexDlg::AssignAliasFolder(const QString &folder, const QString &key, int index)
{
    const QString path = ::AssignAliasFolder(FAliasPage.Document, folder, FolderSeparator(), key, index);
    QTreeWidgetItem *row = FBAliasList->topLevelItem(index);
    row->setText(2, path);
    MarkAliasRow(*row);
}

// Only the names are looked at: a database is never opened here. A path that is no absolute path
// of this machine (relative to the server's own folder, or on another host, "host:path") is left
// as it is, as is an alias without a path.
void TParvexDlg::MarkAliasRow(QTreeWidgetItem &row)
{
    const QString path = row.text(2);
    const QFileInfo file(path);
    QString tip;
    QIcon icon;
    if (!path.isEmpty() && QDir::isAbsolutePath(path) && !file.exists()) {
        if (file.dir().exists()) {
            icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
            tip = FormatWithOneString(
                Text(QStringLiteral("AliasFileMissing"), QStringLiteral("Die Datenbankdatei „%s“ gibt es noch nicht.")),
                MessagePath(path));
        } else {
            icon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
            tip = FormatWithOneString(
                Text(QStringLiteral("AliasFolderMissing"),
                     QStringLiteral("Der Ordner „%s“ der Datenbankdatei fehlt, und damit auch die Datei.")),
                MessagePath(QDir::toNativeSeparators(file.absolutePath())));
        }
    }
    row.setIcon(2, icon);
    SetRowToolTip(row, tip);
}

void TParvexDlg::AssignAllAliasFolders(const QString &folder)
{
    for (int index = 0; index < FBAliasList->topLevelItemCount(); ++index)
        AssignAliasFolder(folder, FBAliasList->topLevelItem(index)->text(0), index);
}
