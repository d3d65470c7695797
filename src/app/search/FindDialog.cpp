#include "app/search/FindDialog.h"

#include "app/platform/DialogWindow.h"
#include "app/platform/FramePlacement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int MaxFindTextLength = 255;

} // namespace

TFindDialog::TFindDialog(QWidget *owner)
    : QDialog(owner, DialogWindowFlags | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FindDialog"));
    KeepDialogNormal(*this);
    setWindowTitle(QStringLiteral("Suchen"));

    // Created in tab order.
    auto *findLabel = new QLabel(QStringLiteral("Suchen nach:"), this);
    edtFindText = new QLineEdit(this);
    edtFindText->setObjectName(QStringLiteral("edtFindText"));
    edtFindText->setMaxLength(MaxFindTextLength);
    findLabel->setBuddy(edtFindText);
    chkWholeWord = new QCheckBox(QStringLiteral("Nur ganzes Wort"), this);
    chkWholeWord->setObjectName(QStringLiteral("chkWholeWord"));
    chkMatchCase = new QCheckBox(QStringLiteral("Groß-/Kleinschreibung beachten"), this);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    // The direction is offered as users know it from other find dialogs; every search runs forward.
    auto *direction = new QGroupBox(QStringLiteral("Richtung"), this);
    auto *up = new QRadioButton(QStringLiteral("Aufwärts"), direction);
    up->setObjectName(QStringLiteral("rbUp"));
    auto *down = new QRadioButton(QStringLiteral("Abwärts"), direction);
    down->setObjectName(QStringLiteral("rbDown"));
    down->setChecked(true);
    FindNextBtn = new QPushButton(QStringLiteral("Weitersuchen"), this);
    FindNextBtn->setObjectName(QStringLiteral("FindNextBtn"));
    FindNextBtn->setDefault(true);
    FindNextBtn->setEnabled(false);
    auto *closeBtn = new QPushButton(QStringLiteral("Schließen"), this);
    closeBtn->setObjectName(QStringLiteral("FindCloseBtn"));

    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(up);
    directionLayout->addWidget(down);

    auto *layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(findLabel, 0, 0);
    layout->addWidget(edtFindText, 0, 1, 1, 2);
    layout->addWidget(FindNextBtn, 0, 3);
    layout->addWidget(chkWholeWord, 1, 0, 1, 2);
    layout->addWidget(chkMatchCase, 2, 0, 1, 2);
    layout->addWidget(direction, 1, 2, 2, 1);
    layout->addWidget(closeBtn, 1, 3, Qt::AlignTop);

    connect(edtFindText, &QLineEdit::textChanged, this,
            [this](const QString &text) { FindNextBtn->setEnabled(!text.isEmpty()); });
    connect(FindNextBtn, &QPushButton::clicked, this, &TFindDialog::Find);
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const
{
    return edtFindText->text();
}

TSearchOptions TFindDialog::Options() const
{
    return {chkMatchCase->isChecked(), chkWholeWord->isChecked()};
}

void TFindDialog::SetPosition(const QPoint &topLeft)
{
    if (isVisible() && topLeft != FPosition)
        move(topLeft);
    FPosition = topLeft;
}

void TFindDialog::Execute()
{
    if (!isVisible()) {
        // The point is meant for the outer frame, at the first opening as at every later one.
        PlaceFrame(*this, [position = FPosition](QSize) { return position; });
        // Typing right away replaces the text kept from the last opening.
        edtFindText->selectAll();
        edtFindText->setFocus();
        show();
    }
    raise();
    activateWindow();
}
