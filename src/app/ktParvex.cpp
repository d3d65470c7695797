#include "app/ktParvex.h"

#include "app/ElidingTabWidget.h"
#include "app/platform/ExactWindowTitle.h"
#include "app/platform/Platform.h"
#include "app/search/TextSearch.h"
#include "app/windowstate/CentreWindow.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "text/Errors.h"
#include "text/ktStrings.h"

#include <QCloseEvent>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int PanelHeight = 31;
const QString Language = QStringLiteral("GERMAN");

template <class T>
T *Named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QToolButton *MakeToolButton(QWidget *parent, const char *name, int width, int height)
{
    auto *button = Named(new QToolButton(parent), name);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedSize(width, height);
    return button;
}

QWidget *MakePanel(QWidget *parent, const char *name)
{
    auto *panel = Named(new QWidget(parent), name);
    panel->setFixedHeight(PanelHeight);
    return panel;
}

QTreeWidget *MakeReportList(QWidget *parent, const char *name)
{
    auto *list = Named(new QTreeWidget(parent), name);
    list->setColumnCount(3);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSectionsClickable(false);
    list->header()->setSectionsMovable(false);
    // The selection stays as visible as with the focus.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    list->setPalette(palette);
    return list;
}

QPlainTextEdit *MakeRawTextEditor(QWidget *parent, const char *name)
{
    auto *editor = Named(new QPlainTextEdit(parent), name);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return editor;
}

// A panel on top and the page's main control below it.
QWidget *MakePage(QWidget *parent, const char *name, QWidget *panel, QWidget *content)
{
    auto *page = Named(new QWidget(parent), name);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel->setParent(page);
    content->setParent(page);
    layout->addWidget(panel);
    layout->addWidget(content, 1);
    return page;
}

// A main page filled by its inner tab set.
QWidget *MakeMainPage(const char *name, QTabWidget *&tabSet, const char *tabSetName)
{
    auto *page = Named(new QWidget, name);
    tabSet = Named(new TElidingTabWidget(page), tabSetName);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabSet);
    return page;
}

// The editor's lines exactly as they stand: only the editor's own paragraph breaks end a line.
// toPlainText() would also break lines at U+2028 and turn U+00A0 into a blank.
QStringList EditorLines(const QPlainTextEdit *editor)
{
    const QString text = editor->document()->toRawText();
    return text.isEmpty() ? QStringList() : text.split(QChar::ParagraphSeparator);
}

QTreeWidgetItem *SelectedRow(const QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.constFirst();
}

} // namespace

// The objectNames of a main page's widgets.
struct TParvexDlg::TPageNames {
    const char *Page;
    const char *TabSet;
    const char *ListPage;
    const char *ListPanel;
    const char *FilePage;
    const char *SearchPanel;
    const char *Editor;
};

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

void TParvexDlg::CreateControls()
{
    pnlToolbar = Named(new QWidget(this), "pnlToolbar");
    pnlToolbar->setFixedHeight(29);
    auto *toolbarLayout = new QHBoxLayout(pnlToolbar);
    toolbarLayout->setContentsMargins(1, 2, 1, 2);
    toolbarLayout->setSpacing(2);
    CloseBtn = MakeToolButton(pnlToolbar, "CloseBtn", 75, 25);
    LoadBtn = MakeToolButton(pnlToolbar, "LoadBtn", 150, 25);
    SaveBtn = MakeToolButton(pnlToolbar, "SaveBtn", 150, 25);
    toolbarLayout->addWidget(CloseBtn);
    toolbarLayout->addWidget(LoadBtn);
    toolbarLayout->addWidget(SaveBtn);
    toolbarLayout->addStretch(1);

    pcMain = Named(new QTabWidget(this), "pcMain");
    pcMain->addTab(CreateAliasPage(), QStringLiteral("Databases.conf"));
    pcMain->addTab(CreateConfigPage(), QStringLiteral("Firebird.conf"));
    pcMain->setCurrentIndex(ConfigPage);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    layout->addWidget(pnlToolbar);
    layout->addWidget(pcMain, 1);

    EditBtn = MakeToolButton(pnlParamsList, "EditBtn", 75, 25);
    EditBtn->move(5, 3);
    EditBtn->setEnabled(false);
    ResetBtn = MakeToolButton(pnlParamsList, "ResetBtn", 75, 25);
    ResetBtn->move(90, 3);
    ResetBtn->setEnabled(false);
    SearchBtn = MakeToolButton(pnlConfigSearch, "SearchBtn", 75, 21);
    SearchBtn->move(5, 5);
}

QWidget *TParvexDlg::CreateAliasPage()
{
    FBAliasList = MakeReportList(nullptr, "FBAliasList");
    FBAliasList->setColumnWidth(0, AliasKeyColumnWidth);
    FBAliasList->setColumnWidth(1, AliasDescriptionColumnWidth);
    FBAliasList->header()->setStretchLastSection(true);
    return CreateDocumentPage(
        FAliasPage,
        {"tsAliasConf", "pcAlias", "tsAliasList", "pnlAliasList", "tsAliasFile", "pnlAliasSearch", "edtAliasFile"},
        FBAliasList, QStringLiteral("Halvora Datenbanken"));
}

QWidget *TParvexDlg::CreateConfigPage()
{
    ConfigSplitter = Named(new QSplitter(Qt::Horizontal), "ConfigSplitter");
    ParvexList = MakeReportList(ConfigSplitter, "ParvexList");
    for (int column = 0; column < 3; ++column)
        ParvexList->setColumnWidth(column, ParamColumnWidth);
    ParvexList->header()->setStretchLastSection(false);
    ItemComment = Named(new QPlainTextEdit(ConfigSplitter), "ItemComment");
    ItemComment->setReadOnly(true);
    ItemComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette tooltipColours = ItemComment->palette();
    tooltipColours.setColor(QPalette::Base, tooltipColours.color(QPalette::ToolTipBase));
    tooltipColours.setColor(QPalette::Text, tooltipColours.color(QPalette::ToolTipText));
    ItemComment->setPalette(tooltipColours);
    ConfigSplitter->addWidget(ParvexList);
    ConfigSplitter->addWidget(ItemComment);
    ConfigSplitter->setStretchFactor(0, 1);
    ConfigSplitter->setStretchFactor(1, 0);
    ConfigSplitter->setSizes({ClientSize.width() - HelpBoxWidth, HelpBoxWidth});
    return CreateDocumentPage(FConfigPage,
                              {"tsFirebirdConf", "pcConfig", "tsConfigList", "pnlParamsList", "tsConfigFile",
                               "pnlConfigSearch", "edtConfigFile"},
                              ConfigSplitter, QStringLiteral("Parameterliste"));
}

// A main page filled by its tab set: the list page, a panel above `list`, and the raw text page,
// a search panel above the editor.
QWidget *TParvexDlg::CreateDocumentPage(TDocumentPage &page, const TPageNames &names, QWidget *list,
                                        const QString &listCaption)
{
    QWidget *mainPage = MakeMainPage(names.Page, page.TabSet, names.TabSet);
    page.ListPanel = MakePanel(nullptr, names.ListPanel);
    QWidget *listPage = MakePage(page.TabSet, names.ListPage, page.ListPanel, list);
    page.SearchPanel = MakePanel(nullptr, names.SearchPanel);
    page.Editor = MakeRawTextEditor(nullptr, names.Editor);
    page.View = new TRawTextView(*page.Editor, page.Document);
    QWidget *filePage = MakePage(page.TabSet, names.FilePage, page.SearchPanel, page.Editor);
    page.TabSet->addTab(listPage, listCaption);
    page.TabSet->addTab(filePage, QString());
    return mainPage;
}

template <class Sender, class Signal, class... Args>
void TParvexDlg::ConnectGuarded(Sender *sender, Signal signal, void (TParvexDlg::*handler)(Args...))
{
    connect(sender, signal, this, [this, handler](Args... args) { Guarded([&] { (this->*handler)(args...); }); });
}

void TParvexDlg::ConnectEvents()
{
    ConnectGuarded(pcMain, &QTabWidget::currentChanged, &TParvexDlg::pcMainChange);
    ConnectGuarded(pcConfig, &QTabWidget::currentChanged, &TParvexDlg::pcConfigChange);
    ConnectGuarded(pcAlias, &QTabWidget::currentChanged, &TParvexDlg::pcAliasChange);
    ConnectGuarded(CloseBtn, &QToolButton::clicked, &TParvexDlg::CloseBtnClick);
    ConnectGuarded(LoadBtn, &QToolButton::clicked, &TParvexDlg::LoadBtnClick);
    ConnectGuarded(SaveBtn, &QToolButton::clicked, &TParvexDlg::SaveBtnClick);
    ConnectGuarded(EditBtn, &QToolButton::clicked, &TParvexDlg::EditBtnClick);
    ConnectGuarded(ResetBtn, &QToolButton::clicked, &TParvexDlg::ResetBtnClick);
    ConnectGuarded(SearchBtn, &QToolButton::clicked, &TParvexDlg::SearchBtnClick);
    ConnectGuarded(FindDialog, &TFindDialog::Find, &TParvexDlg::FindDialogFind);
    ConnectGuarded(ParvexList->selectionModel(), &QItemSelectionModel::selectionChanged,
                   &TParvexDlg::ParvexListSelectionChanged);
    ParvexList->viewport()->installEventFilter(this);
    FBAliasList->viewport()->installEventFilter(this);
    FBAliasList->installEventFilter(this);
}

bool TParvexDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick
        && (watched == ParvexList->viewport() || watched == FBAliasList->viewport())) {
        Guarded([this] { ParvexListDblClick(); });
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == FBAliasList) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The keypad's Enter is the same key to the list.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded([this] { FBAliasListKeyDown(Qt::Key_Return); });
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
        const QSignalBlocker aliasBlocker(pcAlias), configBlocker(pcConfig), mainBlocker(pcMain);
        pcAlias->setCurrentIndex(ListTab);
        pcConfig->setCurrentIndex(ListTab);
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
    pcConfig->setTabText(ListTab, text("tsConfigList", "Config Parameters"));
    pcAlias->setTabText(ListTab, text("tsAliasList", "Halvora Aliase"));
    QTreeWidgetItem *configHeader = ParvexList->headerItem();
    configHeader->setText(0, text("ConfigKeyLabel", "Property"));
    configHeader->setText(1, text("ConfigValueLabel", "Value"));
    configHeader->setText(2, text("ConfigDefaultLabel", "Default"));
    QTreeWidgetItem *aliasHeader = FBAliasList->headerItem();
    aliasHeader->setText(0, text("AliasKeyLabel", "Alias"));
    aliasHeader->setText(1, text("AliasDescrLabel", "Description"));
    aliasHeader->setText(2, text("AliasFileLabel", "Path"));
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
    if (!shown.View->HasTypedText())
        shown.View->Refill();
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
    if (!failures.isEmpty())
        throw ETessaroError(failures.join(u'\n'));
}

void TParvexDlg::SetConfigFileName(const QString &fileName)
{
    const auto enableEdit = qScopeGuard([this] { EditBtn->setEnabled(FConfigItems.Count() > 0); });
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
    page.FileStamp = TFileStamp();
    page.FileState = TFileState::Unreadable;
    page.EditedSinceLoad = false;
    try {
        if (QFileInfo::exists(page.FileName)) {
            page.Document.LoadFromFile(page.FileName);
            page.FileStamp = page.Document.FileStamp();
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
        page.View->FillNow();
    else
        page.View->Refill();
    NormalizeLines(page.Document);
    (this->*page.FillList)(page.Document);
}

// What the user typed in the raw text becomes the document, and the list shows it.
void TParvexDlg::TakeOverEditor(TDocumentPage &page)
{
    if (!page.View->HasTypedText())
        return;
    const std::optional<QStringList> lines = TRawTextView::TakenOverLines(page.Document, EditorLines(page.Editor));
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
    page.View->TakenOver();
    (this->*page.FillList)(page.Document);
    // Save writes it, to this folder's file only.
    MarkChanged(page, TChangeKind::TypedText);
}

void TParvexDlg::MarkChanged(TDocumentPage &page, TChangeKind kind)
{
    page.Changed = true;
    page.EditedSinceLoad = true;
    if (kind == TChangeKind::Command)
        page.ChangedByCommand = true;
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
        page->View->DropTypedText();
    SetCurPage(ConfigPage);
    SetFirebirdFolder(FFolderPicker.Directory);
}

void TParvexDlg::SaveBtnClick()
{
    // Text typed before any server folder was loaded has no file to go to. The flags of commands
    // outlive a Load; in the new folder they rewrite a file that was read, but create no file and
    // replace no unreadable one.
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
    const TFileStamp accepted = FileStampOf(page.FileName);
    if (accepted != page.FileStamp && !ConfirmOverwrite(page.FileName))
        return;
    page.Document.SaveToFile(page.FileName, accepted);
    page.FileStamp = page.Document.FileStamp();
    page.FileState = TFileState::Read;
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
    // The offset is meant in device pixels, whatever the screen's scale.
    const QPointF offset = QPointF(100, 50) / devicePixelRatioF();
    FindDialog->SetPosition(pcMain->mapToGlobal(offset.toPoint()));
    FindDialog->Execute();
}

void TParvexDlg::FindDialogFind()
{
    TDocumentPage &shown = pcMain->currentIndex() == AliasPage ? FAliasPage : FConfigPage;
    QPlainTextEdit *view = shown.Editor;
    shown.View->Settle();
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
    ItemComment->clear();
    ShowItemComment(ItemComment, item->text(0));
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
    SetConfigValue(FConfigItems, FCurItem.ConfigKey, FCurItem.ConfigValue);
    FConfigPage.View->Refill();
    row->setText(1, FCurItem.ConfigValue);
    MarkChanged(FConfigPage, TChangeKind::Command);
}

void TParvexDlg::ResetBtnClick()
{
    QTreeWidgetItem *row = SelectedRow(ParvexList);
    if (FCurItem.ConfigValue.isEmpty() || !row)
        return;
    FCurItem.ConfigValue = FCurItem.DefaultValue;
    FConfigItems.SetValues(FCurItem.ConfigKey, FCurItem.DefaultValue);
    row->setText(1, FCurItem.DefaultValue);
    FConfigPage.View->Refill();
    MarkChanged(FConfigPage, TChangeKind::Command);
}

// ---- Alias list ----------------------------------------------------------------------------

void TParvexDlg::FillAliasList(const TLineDocument &document)
{
    const QStringList paths = AliasPaths(document, AliasCatalogKeys());
    FBAliasList->setUpdatesEnabled(false);
    FBAliasList->clear();
    for (std::size_t row = 0; row < AliasCatalog.size(); ++row) {
        new QTreeWidgetItem(
            FBAliasList,
            {QString::fromLatin1(AliasCatalog[row].Key), QString::fromUtf8(AliasCatalog[row].Description), paths[row]});
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
    const int answer =
        FDialogs.ShowMessageBox(Text(QStringLiteral("MsgAliasChoice"), QStringLiteral("Set selected or all Aliases")),
                                TMsgKind::Confirmation, TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
    if (answer == mrYes) {
        if (QTreeWidgetItem *row = SelectedRow(FBAliasList))
            AssignAliasFolder(folder, row->text(0), FBAliasList->indexOfTopLevelItem(row));
    } else if (answer == mrAll) {
        AssignAllAliasFolders(folder);
    }
    FAliasPage.View->Refill();
    MarkChanged(FAliasPage, TChangeKind::Command);
}

void TParvexDlg::AssignAliasFolder(const QString &folder, const QString &key, int index)
{
    const QString path = ::AssignAliasFolder(FAliasList, folder, FolderSeparator(), key, index);
    FBAliasList->topLevelItem(index)->setText(2, path);
}

void TParvexDlg::AssignAllAliasFolders(const QString &folder)
{
    for (int index = 0; index < FBAliasList->topLevelItemCount(); ++index)
        AssignAliasFolder(folder, FBAliasList->topLevelItem(index)->text(0), index);
}
