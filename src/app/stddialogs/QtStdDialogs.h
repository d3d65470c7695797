#pragma once

#include "app/stddialogs/StdDialogs.h"

// The standard dialogs built with Qt's own widgets.
class TQtStdDialogs : public TStdDialogs {
public:
    int ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons) override;
    void ShowErrorBox(const QString &text) override;
    std::optional<QString> BrowseForFolder(const QString &title) override;
};

// The program's name for titles: its file name without folder and extension, every letter after
// the first in lower case.
QString ProgramName();
