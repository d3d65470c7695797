#include "ScriptedDialogs.h"

int TScriptedDialogs::ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons)
{
    Messages.append({text, kind, buttons});
    if (!WhileMessageShown.isEmpty())
        WhileMessageShown.takeFirst()();
    return MessageAnswers.isEmpty() ? mrOk : MessageAnswers.takeFirst();
}

void TScriptedDialogs::ShowErrorBox(const QString &text)
{
    Errors.append(text);
}

std::optional<QString> TScriptedDialogs::BrowseForFolder(const QString &title)
{
    FolderTitles.append(title);
    return FolderAnswers.isEmpty() ? std::nullopt : FolderAnswers.takeFirst();
}
