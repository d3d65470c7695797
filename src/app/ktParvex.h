#pragma once

#include "FindDialog.h"
#include "StdDialogs.h"
#include "WindowStateStore.h"
#include "config/ktFBFunc.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"

#include <QWidget>
#include <functional>
#include <memory>

class QItemSelection;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The main window: both configuration documents with their lists and raw text views, and the
// commands on them.
class TParvexDlg : public QWidget {
    Q_OBJECT

public:
    // Looks up the server folder; false when none is recorded (see FindDefaultInstance).
    using TServerLookup = std::function<bool(QString &folder)>;

    TParvexDlg(TStdDialogs &dialogs, const QString &settingsPath, TServerLookup findServer,
               QWidget *parent = nullptr);
    ~TParvexDlg() override;

    int CurPage() const { return FCurPage; }
    void SetCurPage(int page);
    const QString &FirebirdFolder() const { return FFirebirdFolder; }
    void SetFirebirdFolder(const QString &folder);
    const QString &ConfigFileName() const { return FConfigFileName; }
    void SetConfigFileName(const QString &fileName);
    const QString &AliasFileName() const { return FAliasFileName; }
    void SetAliasFileName(const QString &fileName);
    const QString &Lang() const { return FLang; }
    void SetLang(const QString &section);

    bool ConfigChanged() const { return FConfigChanged; }
    bool AliasChanged() const { return FAliasChanged; }
    const TLineDocument &ConfigItems() const { return FConfigItems; }
    const TLineDocument &AliasList() const { return FAliasList; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    QWidget *CreateAliasPage();
    QWidget *CreateConfigPage();
    void ConnectEvents();
    void FormCreate();

    // Runs one command or start-up step; a failure ends it and is shown in the error box.
    void Guarded(const std::function<void()> &command);

    QString Text(const QString &key, const QString &fallback) const;
    void LoadConfigurationFile(const QString &fileName, TLineDocument &document, QPlainTextEdit *editor);
    void FillEditor(QPlainTextEdit *editor, const TLineDocument &document);
    void TakeOverEditor(QPlainTextEdit *editor, TLineDocument &document);
    void TakeOverConfigEditor();
    void TakeOverAliasEditor();

    void pcMainChange(int index);
    void pcConfigChange(int index);
    void pcAliasChange(int index);
    void CloseBtnClick();
    void LoadBtnClick();
    void SaveBtnClick();
    void EditBtnClick();
    void ResetBtnClick();
    void ParvexListDblClick();
    void FBAliasListKeyDown(int key);
    void SearchBtnClick();
    void FindDialogFind();

    // Parameter list
    void FillConfigList(const TLineDocument &document);
    void ParvexListSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void ParvexListSelectItem(QTreeWidgetItem *item, bool selected);
    void ShowItemComment(QPlainTextEdit *box, const QString &name);
    void EditConfigItemCommand();

    // Alias list
    void FillAliasList(const TLineDocument &document);
    void UpdateAliasesCommand();
    void AssignAliasFolder(const QString &folder, const QString &key, int index);
    void AssignAllAliasFolders(const QString &folder);

    TStdDialogs &FDialogs;
    TServerLookup FFindServer;
    QString FSettingsPath;
    QString FSettingsFolder;
    std::unique_ptr<TWindowStateStore> FStore;
    TFolderPicker FFolderPicker;

    TParvexItem FCurItem;
    bool FConfigChanged = false;
    bool FAliasChanged = false;
    std::unique_ptr<TSettingsFile> FComments;
    TLineDocument FAliasList;
    TLineDocument FConfigItems;
    QString FFirebirdFolder;
    QString FLang;
    QString FAliasFileName;
    QString FConfigFileName;
    int FCurPage = 0;
    bool FShownOnce = false;

    QWidget *pnlToolbar = nullptr;
    QToolButton *CloseBtn = nullptr;
    QToolButton *LoadBtn = nullptr;
    QToolButton *SaveBtn = nullptr;
    QTabWidget *pcMain = nullptr;
    QWidget *tsAliasConf = nullptr;
    QWidget *tsFirebirdConf = nullptr;
    QTabWidget *pcAlias = nullptr;
    QWidget *tsAliasList = nullptr;
    QWidget *pnlAliasList = nullptr;
    QTreeWidget *FBAliasList = nullptr;
    QWidget *tsAliasFile = nullptr;
    QWidget *pnlAliasSearch = nullptr;
    QPlainTextEdit *edtAliasFile = nullptr;
    QTabWidget *pcConfig = nullptr;
    QWidget *tsConfigList = nullptr;
    QWidget *pnlParamsList = nullptr;
    QSplitter *ConfigSplitter = nullptr;
    QTreeWidget *ParvexList = nullptr;
    QPlainTextEdit *ItemComment = nullptr;
    QWidget *tsConfigFile = nullptr;
    QWidget *pnlConfigSearch = nullptr;
    QPlainTextEdit *edtConfigFile = nullptr;
    QToolButton *EditBtn = nullptr;
    QToolButton *ResetBtn = nullptr;
    QToolButton *SearchBtn = nullptr;
    // Kept for the whole run, so the search settings survive closing it.
    TFindDialog *FindDialog = new TFindDialog(this);
};
