#include "app/ktParvex.h"

#include "app/platform/ExactWindowTitle.h"
#include "app/platform/Platform.h"
#include "app/search/FindDialog.h"
#include "app/search/TextSearch.h"
#include "app/windowstate/CentreWindow.h"
#include "text/Errors.h"
#include "text/ktStrings.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString Language = QStringLiteral("GERMAN");

// The editor's lines exactly as they stand: only the editor's own paragraph breaks end a line.
// toPlainText() would also break lines at U+2028 and turn U+00A0 into a blank.
QStringList EditorLines(const QPlainTextEdit *editor)
{
    const QString text = editor->document()->toRawText();
    return text.isEmpty() ? QStringList() : text.split(QChar::ParagraphSeparator);
}

} // namespace

TParvexDlg::TParvexDlg(TStdDialogs &dialogs, const QString &settingsPath, TServerLookup findServer, QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FDialogs(dialogs),
      FFindServer(std::move(findServer)),
      FSettingsPath(settingsPath),
      FSettingsFolder(QFileInfo(settingsPath).absolutePath()),
      FFolderPicker(dialogs)
{
    setObjectName(QStringLiteral("ParvexDlg"));
    CreateControls();
    ConnectEvents();
    resize(ClientSize);
    // The store reads the settings file before anything else does; a file it cannot read keeps
    // the window from being created.
    FStore = std::make_unique<TWindowStateStore>(*this, FDialogs, MainWindowStateSettings(FSettingsFolder));
    FormCreate();
}

TParvexDlg::~TParvexDlg()
{
    // The store records the window's state while the window and its lists still exist.
    FStore.reset();
}

bool TParvexDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick
        && (watched == ParvexList->viewport() || watched == FBAliasList->viewport())) {
        Guarded([this] { ParvexListDblClick(); });
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == FBAliasList || watched == ParvexList)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The keypad's Enter is the same key to the lists. In the parameter list it opens the
        // edit dialog, as a double click does.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == FBAliasList)
                Guarded([this] { FBAliasListKeyDown(Qt::Key_Return); });
            else
                Guarded([this] { ParvexListDblClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TParvexDlg::Guarded(const std::function<void()> &command)
{
    try {
        command();
    } catch (const ETessaroError &error) {
        FDialogs.ShowErrorBox(ErrorBoxText(error.Message()));
    } catch (const std::exception &error) {
        FDialogs.ShowErrorBox(ErrorBoxText(QString::fromLocal8Bit(error.what())));
    }
}

void TParvexDlg::FormCreate()
{
    // Each step stands on its own: a failing one is reported and the window still opens in a
    // consistent state.
    Guarded([this] { FComments = std::make_unique<TSettingsFile>(FSettingsPath); });
    if (!FComments)
        FComments = std::make_unique<TSettingsFile>(QString());
    Guarded([this] { SetLang(Language); });
    Guarded([this] {
        QString folder;
        if (!FFindServer(folder)) {
            FDialogs.ShowMessageBox(Text(QStringLiteral("FirebirdNotFound"), QString()), TMsgKind::Information,
                                    TMsgButton::OK);
            return;
        }
        if (folder.isEmpty())
            return; // recorded without a folder: the user still needs Load
        SetFirebirdFolder(folder);
        LoadBtn->hide();
    });
    Guarded([this] {
        const QSignalBlocker aliasBlocker(FAliasPage.TabSet), configBlocker(FConfigPage.TabSet), mainBlocker(pcMain);
        FAliasPage.TabSet->setCurrentIndex(ListTab);
        FConfigPage.TabSet->setCurrentIndex(ListTab);
        SetCurPage(AliasPage);
        pcMain->setCurrentIndex(AliasPage);
    });
}

void TParvexDlg::showEvent(QShowEvent *event)
{
    if (!FShownOnce) {
        FShownOnce = true;
        if (!property(PlacementAppliedProperty).toBool())
            CentreWindow(*this);
    }
    QWidget::showEvent(event);
}

void TParvexDlg::closeEvent(QCloseEvent *event)
{
    // Closing ends the program; nothing is saved and nothing is asked.
    event->accept();
}

QString TParvexDlg::Text(const QString &key, const QString &fallback) const
{
    return FComments->ReadString(FLang, key, fallback);
}

void TParvexDlg::SetLang(const QString &section)
{
    FLang = section;
    const auto text = [this](const char *key, const char *fallback) {
        return Text(QLatin1String(key), QLatin1String(fallback));
    };
    SetExactWindowTitle(*this, text("MainWinTitle", ""));
    CloseBtn->setText(text("CloseBtn", "Close"));
    LoadBtn->setText(text("LoadBtn", "Load"));
    SaveBtn->setText(text("SaveBtn", "Save"));
    EditBtn->setText(text("EditBtn", "Edit"));
    ResetBtn->setText(text("ResetBtn", "Reset"));
    SearchBtn->setText(text("SearchBtn", "Search"));
    pcMain->setTabText(ConfigPage, text("tsFirebirdConf", "Server Configuration"));
    pcMain->setTabText(AliasPage, text("tsAliasConf", "Alias Configuration"));
    FConfigPage.TabSet->setTabText(ListTab, text("tsConfigList", "Config Parameters"));
    FAliasPage.TabSet->setTabText(ListTab, text("tsAliasList", "Halvora Aliase"));
    QTreeWidgetItem *configHeader = ParvexList->headerItem();
    configHeader->setText(0, text("ConfigKeyLabel", "Property"));
    configHeader->setText(1, text("ConfigValueLabel", "Value"));
    configHeader->setText(2, text("ConfigDefaultLabel", "Default"));
    QTreeWidgetItem *aliasHeader = FBAliasList->headerItem();
    aliasHeader->setText(0, text("AliasKeyLabel", "Alias"));
    aliasHeader->setText(1, text("AliasDescrLabel", "Description"));
    aliasHeader->setText(2, text("AliasFileLabel", "Path"));
    UpdateStatus();
}

void TParvexDlg::SetCurPage(int page)
{
    FCurPage = page;
    ResetBtn->setVisible(page == ConfigPage);
    if (page != AliasPage && page != ConfigPage)
        return;
    TDocumentPage &shown = page == AliasPage ? FAliasPage : FConfigPage;
    TakeOverEditor(shown);
    {
        const QSignalBlocker blocker(shown.TabSet);
        shown.TabSet->setCurrentIndex(ListTab);
    }
    SearchBtn->setParent(shown.SearchPanel);
    EditBtn->setParent(shown.ListPanel);
    if (page == AliasPage) {
        EditBtn->setText(Text(QStringLiteral("AliasEditBtn"), QStringLiteral("Update")));
        FFolderPicker.Title =
            Text(QStringLiteral("DbFolderDialogDescr"), QStringLiteral("Choice Folder of Firebird Databases"));
    } else {
        EditBtn->setText(Text(QStringLiteral("EditBtn"), QStringLiteral("Edit")));
        FFolderPicker.Title =
            Text(QStringLiteral("FolderDialogDescr"), QStringLiteral("Choice Folder Of Firebird Installation"));
    }
    EditBtn->setEnabled(shown.Document.Count() > 0);
    // Typed text the document could not take stays in the editor, for the user to put right.
    if (!shown.Binding->HasTypedText())
        shown.Binding->Refill();
    // A new parent hides a widget until it is shown again.
    EditBtn->move(5, 3);
    EditBtn->show();
    SearchBtn->move(5, 5);
    SearchBtn->show();
}

void TParvexDlg::SetFirebirdFolder(const QString &folder)
{
    if (folder.isEmpty())
        return;
    // Windows also takes "/" in a folder (a registry value may have it): the names built from the
    // folder use the system's own separator throughout.
    const QString native = QDir::toNativeSeparators(folder);
    FFirebirdFolder = native.endsWith(FolderSeparator()) ? native : native + FolderSeparator();
    // Both pages move to the new folder even when a file of it cannot be read: a page of the old
    // folder beside one of the new would have Save write across folders.
    QStringList failures;
    const auto load = [&failures](const std::function<void()> &setFileName) {
        try {
            setFileName();
        } catch (const ETessaroError &error) {
            failures.append(error.Message());
        }
    };
    load([this] { SetConfigFileName(FFirebirdFolder + QStringLiteral("firebird.conf")); });
    load([this] { SetAliasFileName(FFirebirdFolder + QStringLiteral("databases.conf")); });
    UpdateStatus();
    if (!failures.isEmpty())
        throw ETessaroError(failures.join(u'\n'));
}

void TParvexDlg::SetConfigFileName(const QString &fileName)
{
    const auto enableEdit = qScopeGuard([this] { EditBtn->setEnabled(FConfigPage.Document.Count() > 0); });
    SetFileName(FConfigPage, fileName);
}

void TParvexDlg::SetAliasFileName(const QString &fileName)
{
    SetFileName(FAliasPage, fileName);
}

void TParvexDlg::SetFileName(TDocumentPage &page, const QString &fileName)
{
    page.FileName = fileName;
    const QString caption =
        QStringLiteral(" %1 : %2").arg(Text(QStringLiteral("FileName"), QStringLiteral("File")), fileName);
    page.TabSet->setTabText(FileTab, caption);
    // A long path is shortened on the tab; the tooltip shows it whole.
    page.TabSet->setTabToolTip(FileTab, caption);
    LoadConfigurationFile(page);
}

// A file that fails to load leaves its page as one without a file, named, empty and shown empty,
// never as the new name over the old text; Save then leaves the file alone.
void TParvexDlg::LoadConfigurationFile(TDocumentPage &page)
{
    page.Document.Clear();
    page.FileVersion = TFileVersion();
    page.FileState = TFileState::Unreadable;
    page.EditedSinceLoad = false;
    page.Unsaved = false;
    page.SavedSinceLoad = false;
    try {
        if (QFileInfo::exists(page.FileName)) {
            page.Document.LoadFromFile(page.FileName);
            page.FileVersion = page.Document.FileVersion();
            page.FileState = TFileState::Read;
        } else {
            page.FileState = TFileState::Missing;
        }
    } catch (const ETessaroError &error) {
        page.Document.Clear();
        ShowLoadedDocument(page);
        // The decoding error alone does not say which of the two files it is about.
        if (dynamic_cast<const EEncodingError *>(&error))
            throw ETessaroError(FormatWithOneString(Text(QStringLiteral("MsgUndecodableFile"),
                                                         QStringLiteral("Datei „%s“ kann nicht gelesen werden.")),
                                                    MessagePath(page.FileName))
                                + u' ' + error.Message());
        throw;
    }
    ShowLoadedDocument(page);
}

// The editor shows the file as read, before normalising. That text can only be seen while the
// page is on screen: any other way to the editor passes CurPage, which refills it. Typed text of
// the file before is gone either way.
void TParvexDlg::ShowLoadedDocument(TDocumentPage &page)
{
    if (page.TabSet->isVisible())
        page.Binding->FillNow();
    else
        page.Binding->Refill();
    NormalizeLines(page.Document);
    (this->*page.FillList)(page.Document);
}

// What the user typed in the raw text becomes the document, and the list shows it.
void TParvexDlg::TakeOverEditor(TDocumentPage &page)
{
    if (!page.Binding->HasTypedText())
        return;
    const std::optional<QStringList> lines = TRawTextBinding::TakenOverLines(page.Document, EditorLines(page.Editor));
    if (!lines) {
        // Taking the text as the editor shows it would split lines the user may not even have
        // seen; the document stays as it is and the typed text stays in the editor.
        FDialogs.ShowErrorBox(ErrorBoxText(FormatWithOneString(
            Text(QStringLiteral("MsgRawTextNotTakenOver"),
                 QStringLiteral("Die Änderungen am Text von „%s“ werden nicht übernommen: eine geänderte Zeile "
                                "enthält ein Zeichen, das die Textansicht als Zeilenumbruch zeigt (U+2029, U+FDD0 "
                                "oder U+FDD1). Machen Sie die Änderung an dieser Zeile rückgängig")),
            MessagePath(page.FileName))));
        return;
    }
    page.Document.Clear();
    page.Document.AddStrings(*lines);
    NormalizeLines(page.Document);
    page.Binding->TakenOver();
    (this->*page.FillList)(page.Document);
    // Save writes it, to this folder's file only.
    MarkChanged(page, TChangeKind::TypedText);
}

void TParvexDlg::MarkChanged(TDocumentPage &page, TChangeKind kind)
{
    page.Changed = true;
    page.EditedSinceLoad = true;
    page.Unsaved = true;
    if (kind == TChangeKind::Command)
        page.ChangedByCommand = true;
    UpdateStatus();
}

void TParvexDlg::pcMainChange(int index)
{
    SetCurPage(index);
}

void TParvexDlg::pcConfigChange(int index)
{
    if (index == ListTab)
        TakeOverEditor(FConfigPage);
}

void TParvexDlg::pcAliasChange(int index)
{
    if (index == ListTab)
        TakeOverEditor(FAliasPage);
}

void TParvexDlg::CloseBtnClick()
{
    close();
}

void TParvexDlg::LoadBtnClick()
{
    if (!FFolderPicker.Execute())
        return;
    // Text typed into the old folder's files has no place in the new folder's: it is neither taken
    // over by the page switch nor kept to be taken over later.
    for (TDocumentPage *page : {&FConfigPage, &FAliasPage})
        page->Binding->DropTypedText();
    SetCurPage(ConfigPage);
    SetFirebirdFolder(FFolderPicker.Directory);
}

void TParvexDlg::SaveBtnClick()
{
    // Text typed before any server folder was loaded has no file to go to. The flags of commands
    // outlive a Load; in the new folder they rewrite a file that was read, but create no file and
    // replace no unreadable one.
    const auto updateStatus = qScopeGuard([this] { UpdateStatus(); });
    QStringList unreadable;
    for (TDocumentPage *page : {&FConfigPage, &FAliasPage}) {
        if (page->FileName.isEmpty())
            continue;
        if (page->FileState == TFileState::Unreadable) {
            if (page->EditedSinceLoad)
                unreadable.append(FormatWithOneString(
                    Text(QStringLiteral("MsgUnreadableNotSaved"),
                         QStringLiteral("„%s“ wurde nicht gespeichert: die Datei konnte beim Laden nicht gelesen "
                                        "werden, und die Änderungen würden ihren Inhalt ersetzen")),
                    MessagePath(page->FileName)));
        } else if (page->EditedSinceLoad || (page->ChangedByCommand && page->FileState == TFileState::Read)) {
            SaveDocument(*page);
        }
    }
    if (!unreadable.isEmpty())
        throw ETessaroError(unreadable.join(u'\n'));
}

// Another program, or a second window on the same folder, may have written the file since it was
// loaded; saving over it would undo that change without a word. Each file is asked about on its
// own; No leaves it as it is, and the edits and the changed flag stay for a later Save. Once
// saved, the file as written is the one known.
void TParvexDlg::SaveDocument(TDocumentPage &page)
{
    // The file as it is now is the one the user agreed to replace, asked or not. Should another
    // program write it while the question is open or the save runs, the save stops there with an
    // error instead of undoing that change unasked.
    const TFileVersion accepted = FileVersionOf(page.FileName);
    if (accepted != page.FileVersion && !ConfirmOverwrite(page.FileName))
        return;
    page.Document.SaveToFile(page.FileName, accepted);
    page.FileVersion = page.Document.FileVersion();
    page.FileState = TFileState::Read;
    page.Unsaved = false;
    page.SavedSinceLoad = true;
    if (&page == &FConfigPage)
        FRestart = FFindRestart();
}

bool TParvexDlg::ConfirmOverwrite(const QString &fileName)
{
    const QString format =
        Text(QStringLiteral("MsgFileChanged"),
             QStringLiteral("„%s“ wurde nach dem Laden von einem anderen Programm geändert. Überschreiben?"));
    return FDialogs.ShowMessageBox(FormatWithOneString(format, MessagePath(fileName)), TMsgKind::Confirmation,
                                   TMsgButton::Yes | TMsgButton::No)
        == mrYes;
}

void TParvexDlg::EditBtnClick()
{
    if (FCurPage == AliasPage)
        UpdateAliasesCommand();
    else if (FCurPage == ConfigPage)
        EditConfigItemCommand();
}

void TParvexDlg::ParvexListDblClick()
{
    if (EditBtn->isEnabled())
        EditBtnClick();
}

void TParvexDlg::FBAliasListKeyDown(int key)
{
    if (key == Qt::Key_Return && EditBtn->isEnabled())
        EditBtnClick();
}

void TParvexDlg::SearchBtnClick()
{
    if (!FindDialog)
        CreateFindDialog();
    // The offset is meant in device pixels, whatever the screen's scale.
    const QPointF offset = QPointF(100, 50) / devicePixelRatioF();
    FindDialog->SetPosition(pcMain->mapToGlobal(offset.toPoint()));
    FindDialog->Execute();
}

void TParvexDlg::FindDialogFind()
{
    TDocumentPage &shown = pcMain->currentIndex() == AliasPage ? FAliasPage : FConfigPage;
    QPlainTextEdit *view = shown.Editor;
    shown.Binding->ApplyPendingRefill();
    const QString pattern = FindDialog->FindText();
    const int match = FindNext(*view, pattern, FindDialog->Options());
    if (match < 0) {
        FDialogs.ShowMessageBox(FormatWithOneString(Text(QStringLiteral("TextNotFound"), QString()), pattern),
                                TMsgKind::Information, TMsgButton::OK);
        return;
    }
    // A view on a hidden tab cannot take the focus, so its tab comes to the front first.
    shown.TabSet->setCurrentIndex(FileTab);
    SelectMatch(*view, match, int(pattern.size()));
}
