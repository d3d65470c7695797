#include "app/ktParvex.h"

#include "app/ElidingTabWidget.h"
#include "app/search/FindDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int PanelHeight = 31;

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

// The stored properties name the controls made here.
TWindowStateSettings MainWindowStateSettings(const QString &folder)
{
    TWindowStateSettings settings;
    settings.Folder = folder;
    settings.FileName = QStringLiteral("Tessaro.Ini");
    settings.Options = TFormPlacementOption::fpState | TFormPlacementOption::fpSize | TFormPlacementOption::fpLocation;
    settings.StoredProps = {QStringLiteral("ItemComment.Width"), QStringLiteral("FBAliasList.Columns"),
                            QStringLiteral("ParvexList.Columns")};
    return settings;
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
    pcMain->insertTab(AliasPage, CreateAliasPage(), QStringLiteral("Databases.conf"));
    pcMain->insertTab(ConfigPage, CreateConfigPage(), QStringLiteral("Firebird.conf"));
    pcMain->setCurrentIndex(ConfigPage);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    lblStatus = Named(new QLabel(this), "lblStatus");
    // A long line is cut at the window's edge rather than widening the window.
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblStatus->setTextFormat(Qt::PlainText);
    layout->addWidget(pnlToolbar);
    layout->addWidget(pcMain, 1);
    layout->addWidget(lblStatus);

    EditBtn = MakeToolButton(FConfigPage.ListPanel, "EditBtn", 75, 25);
    EditBtn->move(5, 3);
    EditBtn->setEnabled(false);
    ResetBtn = MakeToolButton(FConfigPage.ListPanel, "ResetBtn", 75, 25);
    ResetBtn->move(90, 3);
    ResetBtn->setEnabled(false);
    SearchBtn = MakeToolButton(FConfigPage.SearchPanel, "SearchBtn", 75, 21);
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
    page.Binding = new TRawTextBinding(*page.Editor, page.Document);
    QWidget *filePage = MakePage(page.TabSet, names.FilePage, page.SearchPanel, page.Editor);
    page.TabSet->insertTab(ListTab, listPage, listCaption);
    page.TabSet->insertTab(FileTab, filePage, QString());
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
    ConnectGuarded(FConfigPage.TabSet, &QTabWidget::currentChanged, &TParvexDlg::pcConfigChange);
    ConnectGuarded(FAliasPage.TabSet, &QTabWidget::currentChanged, &TParvexDlg::pcAliasChange);
    ConnectGuarded(CloseBtn, &QToolButton::clicked, &TParvexDlg::CloseBtnClick);
    ConnectGuarded(LoadBtn, &QToolButton::clicked, &TParvexDlg::LoadBtnClick);
    ConnectGuarded(SaveBtn, &QToolButton::clicked, &TParvexDlg::SaveBtnClick);
    ConnectGuarded(EditBtn, &QToolButton::clicked, &TParvexDlg::EditBtnClick);
    ConnectGuarded(ResetBtn, &QToolButton::clicked, &TParvexDlg::ResetBtnClick);
    ConnectGuarded(SearchBtn, &QToolButton::clicked, &TParvexDlg::SearchBtnClick);
    ConnectGuarded(ParvexList->selectionModel(), &QItemSelectionModel::selectionChanged,
                   &TParvexDlg::ParvexListSelectionChanged);
    ParvexList->viewport()->installEventFilter(this);
    ParvexList->installEventFilter(this);
    FBAliasList->viewport()->installEventFilter(this);
    FBAliasList->installEventFilter(this);
    // The buttons take no focus: their captions' access keys and Ctrl+S reach them by keyboard.
    auto *save = new QShortcut(QKeySequence::Save, this);
    ConnectGuarded(save, &QShortcut::activated, &TParvexDlg::SaveBtnClick);
    // Typed raw text is unsaved before it is taken over.
    for (TDocumentPage *page : {&FConfigPage, &FAliasPage})
        connect(page->Editor->document(), &QTextDocument::modificationChanged, this, &TParvexDlg::UpdateStatus);
}

void TParvexDlg::CreateFindDialog()
{
    FindDialog = new TFindDialog(this);
    ConnectGuarded(FindDialog, &TFindDialog::Find, &TParvexDlg::FindDialogFind);
}
