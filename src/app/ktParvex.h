#pragma once

#include "app/RawTextBinding.h"
#include "app/stddialogs/StdDialogs.h"
#include "app/windowstate/WindowStateStore.h"
#include "config/ServerProcess.h"
#include "config/ktFBFunc.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"

#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>

class QItemSelection;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TFindDialog;

// The main window: both configuration documents with their lists and raw text views, and the
// commands on them.
class TParvexDlg : public QWidget {
    Q_OBJECT

public:
    // Looks up the server folder; false when none is recorded (see FindDefaultInstance).
    using TServerLookup = std::function<bool(QString &folder)>;
    // Tells whether a server runs and how it is restarted (see FindServerRestart).
    using TRestartLookup = std::function<TServerRestart()>;

    // The pages of the main tab set, which CurPage counts too, and of each inner tab set.
    static constexpr int AliasPage = 0;
    static constexpr int ConfigPage = 1;
    static constexpr int ListTab = 0;
    static constexpr int FileTab = 1;

    // The layout as designed, at 96 dots per inch.
    static constexpr QSize ClientSize{784, 553};
    static constexpr int HelpBoxWidth = 250;
    static constexpr int ParamColumnWidth = 180;
    static constexpr int AliasKeyColumnWidth = 200;
    static constexpr int AliasDescriptionColumnWidth = 198;

    TParvexDlg(TStdDialogs &dialogs, const QString &settingsPath, TServerLookup findServer, QWidget *parent = nullptr);
    ~TParvexDlg() override;

    int CurPage() const { return FCurPage; }
    void SetCurPage(int page);
    const QString &FirebirdFolder() const { return FFirebirdFolder; }
    void SetFirebirdFolder(const QString &folder);
    const QString &ConfigFileName() const { return FConfigPage.FileName; }
    void SetConfigFileName(const QString &fileName);
    const QString &AliasFileName() const { return FAliasPage.FileName; }
    void SetAliasFileName(const QString &fileName);
    void SetLang(const QString &section);

    bool ConfigChanged() const { return FConfigPage.Changed; }
    bool AliasChanged() const { return FAliasPage.Changed; }
    const TLineDocument &ConfigItems() const { return FConfigPage.Document; }
    const TLineDocument &AliasList() const { return FAliasPage.Document; }
    // How the status line learns about the running server; FindServerRestart unless replaced.
    void SetRestartLookup(TRestartLookup lookup) { FFindRestart = std::move(lookup); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // One of the two documents with the widgets that show it: the alias page and the parameter
    // page work alike.
    // What became of the page's file at the last Load.
    enum class TFileState {
        None, // no folder loaded yet
        Missing, // there was no file
        Read, // the document holds the file's lines
        Unreadable, // it could not be read or decoded: the document is empty and is never saved
    };
    struct TDocumentPage {
        TLineDocument Document{};
        QString FileName{}; // the full path
        bool Changed = false; // changed since start, by a command or by typed text
        // Changed by Edit, Reset or a folder assignment since start. Like the design's changed
        // flag, it outlives a Load: Save then writes the new folder's file again, normalised.
        bool ChangedByCommand = false;
        // Changed since the file was loaded, typed text taken over included. Typed text counts in
        // the folder it was typed for only, and no file is made or replaced for a flag alone.
        bool EditedSinceLoad = false;
        TFileState FileState = TFileState::None;
        TFileVersion FileVersion{}; // the file as this window last loaded or saved it
        // Changed since the file was last loaded or saved: what the status line calls unsaved.
        bool Unsaved = false;
        // Saved by this window since the last Load: the status line says when the server reads it.
        bool SavedSinceLoad = false;
        QTabWidget *TabSet = nullptr; // the list page at ListTab, the raw text page at FileTab
        QWidget *ListPanel = nullptr; // above the list: EditBtn's place
        QWidget *SearchPanel = nullptr; // above the raw text: SearchBtn's place
        QPlainTextEdit *Editor = nullptr; // the raw text
        TRawTextBinding *Binding = nullptr; // keeps Editor showing Document; owned by Editor
        void (TParvexDlg::*FillList)(const TLineDocument &document) = nullptr;
    };
    struct TPageNames;

    void CreateControls();
    QWidget *CreateAliasPage();
    QWidget *CreateConfigPage();
    QWidget *CreateDocumentPage(TDocumentPage &page, const TPageNames &names, QWidget *list,
                                const QString &listCaption);
    void ConnectEvents();
    void FormCreate();

    // Runs one command or start-up step; a failure ends it and is shown in the error box.
    void Guarded(const std::function<void()> &command);
    // Connects `signal` to `handler` through Guarded.
    template <class Sender, class Signal, class... Args>
    void ConnectGuarded(Sender *sender, Signal signal, void (TParvexDlg::*handler)(Args...));

    QString Text(const QString &key, const QString &fallback) const;
    void SetFileName(TDocumentPage &page, const QString &fileName);
    void LoadConfigurationFile(TDocumentPage &page);
    void ShowLoadedDocument(TDocumentPage &page);
    void TakeOverEditor(TDocumentPage &page);
    enum class TChangeKind { Command, TypedText };
    void MarkChanged(TDocumentPage &page, TChangeKind kind);

    // The status line: what is unsaved, and when the server takes what was saved.
    void UpdateStatus();
    QString StatusText() const;
    QString SavedNote(const TDocumentPage &page) const;

    void pcMainChange(int index);
    void pcConfigChange(int index);
    void pcAliasChange(int index);
    void CloseBtnClick();
    void LoadBtnClick();
    void SaveBtnClick();
    void SaveDocument(TDocumentPage &page);
    bool ConfirmOverwrite(const QString &fileName);
    void EditBtnClick();
    void ResetBtnClick();
    void ParvexListDblClick();
    void FBAliasListKeyDown(int key);
    void CreateFindDialog();
    void SearchBtnClick();
    void FindDialogFind();

    // Parameter list
    void FillConfigList(const TLineDocument &document);
    void ParvexListSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void ParvexListSelectItem(QTreeWidgetItem *item, bool selected);
    void ShowItemComment(QPlainTextEdit *box, const QString &name);
    // Marks the row whose value the server will not use as written, with the reason.
    void MarkConfigRow(QTreeWidgetItem &row);
    // The help box for the row: the reason of its mark, if any, above the parameter's help text.
    void ShowRowHelp(const QTreeWidgetItem &row);
    void EditConfigItemCommand();

    // Alias list
    void FillAliasList(const TLineDocument &document);
    void UpdateAliasesCommand();
    void AssignAliasFolder(const QString &folder, const QString &key, int index);
    void AssignAllAliasFolders(const QString &folder);
    // Marks the row whose database file, or even its folder, does not exist.
    void MarkAliasRow(QTreeWidgetItem &row);

    TStdDialogs &FDialogs;
    TServerLookup FFindServer;
    TRestartLookup FFindRestart = FindServerRestart;
    // What the last Save of firebird.conf found of the running server.
    TServerRestart FRestart;
    QString FSettingsPath;
    QString FSettingsFolder;
    std::unique_ptr<TWindowStateStore> FStore;
    TFolderPicker FFolderPicker;

    TParvexItem FCurItem;
    // The language file: the settings file Tessaro.ini beside the program, whose section FLang
    // holds the interface texts and the parameters' help texts (Text reads it). FComments is the
    // design's name for it.
    std::unique_ptr<TSettingsFile> FComments;
    // The design's names for the parts of a page are these records' fields: FAliasList and
    // FConfigItems are the pages' Document, FConfigChanged their Changed, pcConfig their TabSet,
    // pnlParamsList the parameter page's ListPanel (CONVENTIONS.md has the whole table).
    TDocumentPage FAliasPage{.FillList = &TParvexDlg::FillAliasList}; // databases.conf
    TDocumentPage FConfigPage{.FillList = &TParvexDlg::FillConfigList}; // firebird.conf
    QString FFirebirdFolder;
    QString FLang;
    int FCurPage = AliasPage;
    bool FShownOnce = false;

    QWidget *pnlToolbar = nullptr;
    QToolButton *CloseBtn = nullptr;
    QToolButton *LoadBtn = nullptr;
    QToolButton *SaveBtn = nullptr;
    QTabWidget *pcMain = nullptr;
    QTreeWidget *FBAliasList = nullptr;
    QSplitter *ConfigSplitter = nullptr;
    QTreeWidget *ParvexList = nullptr;
    QPlainTextEdit *ItemComment = nullptr;
    QToolButton *EditBtn = nullptr;
    QToolButton *ResetBtn = nullptr;
    QToolButton *SearchBtn = nullptr;
    QLabel *lblStatus = nullptr;
    // Made at the first Search, not with the window: many runs never search, and its widgets would
    // only add to the window's start and memory. Kept from then on, so the search settings survive
    // closing it.
    TFindDialog *FindDialog = nullptr;
};

// What the window-state store keeps of the main window, on the settings file in `folder`: its
// state, size and location, the help box width and the column sets of both lists.
TWindowStateSettings MainWindowStateSettings(const QString &folder);
