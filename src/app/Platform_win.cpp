#include "Platform.h"

#include <QCoreApplication>
#include <QDir>

QString ProgramFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QChar FolderSeparator()
{
    return u'\\';
}

QString DatabaseFileName(const QString &path)
{
    // A forward slash is no separator here: such a value is taken whole.
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u':'));
    return path.mid(cut + 1);
}
