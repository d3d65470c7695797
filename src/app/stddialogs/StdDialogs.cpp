#include "app/stddialogs/StdDialogs.h"

QString ErrorBoxText(const QString &message)
{
    if (message.isEmpty() || message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

bool TFolderPicker::Execute()
{
    Directory.clear();
    const std::optional<QString> folder = FDialogs.BrowseForFolder(Title);
    if (!folder)
        return false;
    Directory = *folder;
    return true;
}
