#pragma once

#include "app/search/TextSearch.h"

#include <QDialog>
#include <QPoint>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The modeless find dialog. The owner keeps one for the whole run: closing only hides it, so
// the search text and the options are there again at the next opening.
class TFindDialog : public QDialog {
    Q_OBJECT

public:
    explicit TFindDialog(QWidget *owner);

    QString FindText() const;
    TSearchOptions Options() const;

    // Top-left corner in screen coordinates for the next opening; an open dialog moves there at
    // once, without being activated, when the point differs from the one given last time.
    void SetPosition(const QPoint &topLeft);
    // Opens the dialog at its position, or brings the open one to the front.
    void Execute();

signals:
    // Find Next was asked for; there is always a search text then.
    void Find();

private:
    QPoint FPosition;

    QLineEdit *edtFindText;
    QCheckBox *chkWholeWord;
    QCheckBox *chkMatchCase;
    QPushButton *FindNextBtn;
};
