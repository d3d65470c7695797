#pragma once

#include "app/stddialogs/StdDialogs.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Standard dialogs answered from a script, recording what was shown.
class TScriptedDialogs : public TStdDialogs {
public:
    struct TShownMessage {
        QString Text;
        TMsgKind Kind;
        TMsgButtons Buttons;
    };

    int ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons) override;
    void ShowErrorBox(const QString &text) override;
    std::optional<QString> BrowseForFolder(const QString &title) override;

    // Answers for the next message boxes, in order; an empty script answers mrOk.
    QList<int> MessageAnswers;
    // What happens elsewhere while each of the next message boxes is open, in order: another
    // program at work while the user reads the question.
    QList<std::function<void()>> WhileMessageShown;
    // Answers for the next folder pickers, in order; nullopt cancels, an empty script cancels.
    QList<std::optional<QString>> FolderAnswers;

    QList<TShownMessage> Messages;
    QStringList Errors;
    QStringList FolderTitles;
};
