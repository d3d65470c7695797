#include "app/stddialogs/QtStdDialogs.h"

#include "app/platform/DialogWindow.h"
#include "app/platform/FramePlacement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>

namespace {

// Message boxes open centred on the screen, not over the window that asked; they are dialogs that
// stay in the normal state.
class TCentredMessageBox : public QMessageBox {
public:
    TCentredMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text, QWidget *owner)
        : QMessageBox(icon, title, text, QMessageBox::NoButton, owner)
    {
        KeepDialogNormal(*this);
    }

protected:
    // The box takes its final size while it is shown.
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        CentreOnScreen(*this);
    }
};

// The close box gives its own result instead of acting like Escape.
class TOwnMessageBox : public TCentredMessageBox {
public:
    using TCentredMessageBox::TCentredMessageBox;
    bool ClosedByFrame = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ClosedByFrame = true;
        event->accept();
        done(mrCancel);
    }
};

// The button row follows the desktop's button layout, and the layouts of GNOME-like desktops (and
// macOS) show buttons of one role in reverse order. The Windows layout shows them as added.
class TButtonsAsAddedStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

struct TButtonSpec {
    TMsgButton Button;
    const char16_t *Caption;
    int Result;
};

// The fixed left-to-right order of the buttons, whatever order the caller names them in.
constexpr TButtonSpec ButtonOrder[] = {
    {TMsgButton::Yes, u"&Ja", mrYes},
    {TMsgButton::No, u"&Nein", mrNo},
    {TMsgButton::OK, u"OK", mrOk},
    {TMsgButton::All, u"&Alle", mrAll},
};

class TCentredFileDialog : public QFileDialog {
public:
    TCentredFileDialog(QWidget *owner, const QString &caption, const QString &folder)
        : QFileDialog(owner, caption, folder)
    {
        KeepDialogNormal(*this);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QFileDialog::showEvent(event);
        CentreOnScreen(*this);
    }
};

// Qt's folder dialog confirms the folder it shows when nothing is selected, so it would hand back
// the folder it opened at without the user having chosen anything. Here a folder counts as chosen
// once the user selects one, types one or goes into one; until then confirming does nothing.
class TFolderBrowser : public TCentredFileDialog {
public:
    TFolderBrowser(QWidget *owner, const QString &caption, const QString &folder)
        : TCentredFileDialog(owner, caption, folder)
    {
        setFileMode(QFileDialog::Directory);
        setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
        connect(this, &QFileDialog::currentChanged, this, [this](const QString &path) {
            FChosen = FChosen || !path.isEmpty();
            EnableConfirm(Chosen());
        });
        connect(this, &QFileDialog::directoryEntered, this, [this] {
            FChosen = true;
            EnableConfirm(true);
        });
        FNameEdit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        // The dialog has judged the typed text before this runs: what it refuses stays refused.
        if (FNameEdit)
            connect(FNameEdit, &QLineEdit::textChanged, this,
                    [this] { EnableConfirm(ConfirmButton() && ConfirmButton()->isEnabled() && Chosen()); });
    }

    void accept() override
    {
        if (Chosen())
            QFileDialog::accept();
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        TCentredFileDialog::showEvent(event);
        EnableConfirm(Chosen());
    }

private:
    bool Chosen() const { return FChosen || (FNameEdit && !FNameEdit->text().trimmed().isEmpty()); }

    QPushButton *ConfirmButton() const
    {
        auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        return buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    }

    void EnableConfirm(bool enabled)
    {
        if (QPushButton *confirm = ConfirmButton())
            confirm->setEnabled(enabled);
    }

    bool FChosen = false;
    QLineEdit *FNameEdit = nullptr;
};

} // namespace

QString ProgramName()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.left(1) + name.mid(1).toLower();
}

int TQtStdDialogs::ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons)
{
    const bool information = kind == TMsgKind::Information;
    TOwnMessageBox box(information ? QMessageBox::Information : QMessageBox::Question,
                       information ? QStringLiteral("Informationen") : QStringLiteral("Bestätigen"), QString(),
                       QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);

    if (auto *buttonRow = box.findChild<QDialogButtonBox *>()) {
        auto *style = new TButtonsAsAddedStyle;
        style->setParent(&box);
        buttonRow->setStyle(style);
    }

    QHash<QAbstractButton *, int> results;
    QHash<TMsgButton, QPushButton *> added;
    for (const TButtonSpec &spec : ButtonOrder) {
        if (!buttons.testFlag(spec.Button))
            continue;
        // One role for all buttons, laid out by the Windows layout, keeps them in the order added.
        QPushButton *button = box.addButton(QString::fromUtf16(spec.Caption), QMessageBox::AcceptRole);
        results.insert(button, spec.Result);
        added.insert(spec.Button, button);
    }
    if (QPushButton *defaultButton = added.value(TMsgButton::OK, added.value(TMsgButton::Yes)))
        box.setDefaultButton(defaultButton);
    if (QPushButton *escapeButton = added.value(TMsgButton::No, added.value(TMsgButton::OK)))
        box.setEscapeButton(escapeButton);

    box.exec();
    if (box.ClosedByFrame)
        return mrCancel;
    return results.value(box.clickedButton(), mrCancel);
}

void TQtStdDialogs::ShowErrorBox(const QString &text)
{
    TCentredMessageBox box(QMessageBox::Critical, ProgramName(), QString(), QApplication::activeWindow());
    box.setStandardButtons(QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}

std::optional<QString> TQtStdDialogs::BrowseForFolder(const QString &title)
{
    // Qt's folder dialog has no instruction line, so the title goes into the caption.
    TFolderBrowser dialog(QApplication::activeWindow(), title, QDir::rootPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // cleanPath drops a trailing separator except from a root folder.
    return QDir::toNativeSeparators(QDir::cleanPath(dialog.selectedFiles().constFirst()));
}
