#pragma once

#include "app/windowstate/WindowStateStore.h"
#include "config/ktFBFunc.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TSettingsFile;
class TStdDialogs;

// The small modal dialog in which the user types a new value for one server parameter.
class TParvexItemEditDlg : public QDialog {
    Q_OBJECT

public:
    explicit TParvexItemEditDlg(QWidget *owner);

    void LoadTexts(const TSettingsFile &reader, const QString &language);
    void ShowItem(const TParvexItem &item);
    QString Value() const;

private:
    QLabel *lblConfigKeyLabel;
    QLabel *lblConfigKey;
    QLabel *lblConfigDefaultLabel;
    QLabel *lblDefaultValue;
    QLabel *lblConfigValueLabel;
    QLineEdit *edtConfigValue;
    QPushButton *OkBtn;
    QPushButton *CancelBtn;
};

// Shows the dialog for `item` over `owner`; on OK the typed value (as typed) goes into
// item.ConfigValue and the result is true. The dialog is destroyed in every case; its position
// is kept in the settings file in `settingsFolder` from one edit to the next.
bool EditConfigItem(TParvexItem &item, const TSettingsFile &reader, const QString &language, QWidget *owner,
                    TStdDialogs &dialogs, const QString &settingsFolder);

// What the window-state store keeps of the edit dialog, on the settings file in `folder`: its
// location.
TWindowStateSettings EditDialogStateSettings(const QString &folder);
