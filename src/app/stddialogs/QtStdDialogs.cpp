#include "app/stddialogs/QtStdDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The close box gives its own result instead of acting like Escape.
class TOwnMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool ClosedByFrame = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ClosedByFrame = true;
        event->accept();
        done(mrCancel);
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

} // namespace

QString ProgramName()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.left(1) + name.mid(1).toLower();
}

int TQtStdDialogs::ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons)
{
    const bool information = kind == TMsgKind::Information;
    TOwnMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(information ? QStringLiteral("Informationen") : QStringLiteral("Bestätigen"));
    box.setIcon(information ? QMessageBox::Information : QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);

    QHash<QAbstractButton *, int> results;
    QHash<TMsgButton, QPushButton *> added;
    for (const TButtonSpec &spec : ButtonOrder) {
        if (!buttons.testFlag(spec.Button))
            continue;
        // One role for all buttons keeps them in the order they are added.
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
    QMessageBox box(QMessageBox::Critical, ProgramName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<QString> TQtStdDialogs::BrowseForFolder(const QString &title)
{
    // Qt's folder dialog has no instruction line, so the title goes into the caption.
    QFileDialog dialog(QApplication::activeWindow(), title, QDir::rootPath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // cleanPath drops a trailing separator except from a root folder.
    return QDir::toNativeSeparators(QDir::cleanPath(dialog.selectedFiles().constFirst()));
}
