#include "app/dialogs/ktParvexItemEdit.h"

#include "app/platform/DialogWindow.h"
#include "app/platform/ExactWindowTitle.h"
#include "text/SettingsFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, int left, int top, int width)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(left, top, width, 21);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton *MakeButton(QWidget *parent, const char *name, int top)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(490, top, 75, 25);
    return button;
}

} // namespace

TParvexItemEditDlg::TParvexItemEditDlg(QWidget *owner)
    : QDialog(owner, DialogWindowFlags | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("ParvexItemEditDlg"));
    KeepDialogNormal(*this);
    setFixedSize(580, 100);

    // Created in tab order: OK, Cancel, then the value.
    OkBtn = MakeButton(this, "OkBtn", 6);
    OkBtn->setDefault(true);
    CancelBtn = MakeButton(this, "CancelBtn", 36);
    edtConfigValue = new QLineEdit(this);
    edtConfigValue->setObjectName(QStringLiteral("edtConfigValue"));
    edtConfigValue->setGeometry(118, 65, 356, 21);

    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    OkBtn->setFocus();

    lblConfigKeyLabel = MakeLabel(this, "lblConfigKeyLabel", 14, 10, 100);
    lblConfigKey = MakeLabel(this, "lblConfigKey", 120, 10, 350);
    lblConfigDefaultLabel = MakeLabel(this, "lblConfigDefaultLabel", 10, 35, 100);
    lblDefaultValue = MakeLabel(this, "lblDefaultValue", 120, 35, 350);
    lblConfigValueLabel = MakeLabel(this, "lblConfigValueLabel", 10, 65, 100);
}

void TParvexItemEditDlg::LoadTexts(const TSettingsFile &reader, const QString &language)
{
    const auto text = [&](const char *key, const char *fallback) {
        return reader.ReadString(language, QLatin1String(key), QLatin1String(fallback));
    };
    SetExactWindowTitle(*this, text("EditWinTitle", ""));
    OkBtn->setText(text("OkBtn", "Ok"));
    CancelBtn->setText(text("CancelBtn", "Cancel"));
    lblConfigKeyLabel->setText(text("ConfigKeyLabel", "Property"));
    lblConfigDefaultLabel->setText(text("ConfigDefaultLabel", "Default"));
    lblConfigValueLabel->setText(text("ConfigValueLabel", "Value"));
}

void TParvexItemEditDlg::ShowItem(const TParvexItem &item)
{
    edtConfigValue->setText(item.ConfigValue);
    lblDefaultValue->setText(item.DefaultValue);
    lblConfigKey->setText(item.ConfigKey);
}

QString TParvexItemEditDlg::Value() const
{
    return edtConfigValue->text();
}

TWindowStateSettings EditDialogStateSettings(const QString &folder)
{
    TWindowStateSettings settings;
    settings.Folder = folder;
    settings.FileName = QStringLiteral("Tessaro.ini");
    settings.Options = TFormPlacementOption::fpLocation;
    return settings;
}

bool EditConfigItem(TParvexItem &item, const TSettingsFile &reader, const QString &language, QWidget *owner,
                    TStdDialogs &dialogs, const QString &settingsFolder)
{
    TParvexItemEditDlg dialog(owner);
    // Declared after the dialog, so it is released first and records the dialog's position.
    TWindowStateStore store(dialog, dialogs, EditDialogStateSettings(settingsFolder));
    dialog.LoadTexts(reader, language);
    dialog.ShowItem(item);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    item.ConfigValue = dialog.Value();
    return true;
}
