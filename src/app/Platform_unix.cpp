#include "Platform.h"

#include <QCoreApplication>

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

QChar FolderSeparator()
{
    return u'/';
}

QString DatabaseFileName(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}
