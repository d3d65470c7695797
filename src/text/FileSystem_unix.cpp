#include "text/FileSystem.h"

#include "text/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

void KeepOwner(QSaveFile &file, const QFileInfo &target)
{
    // Failing means we may not give the file away; it then stays ours, as any new file would.
    [[maybe_unused]] const int result = fchown(file.handle(), target.ownerId(), target.groupId());
}

void CheckNoLinkLoop(const QString &path)
{
    struct stat info;
    if (stat(QFile::encodeName(path).constData(), &info) != 0 && errno == ELOOP)
        throw EFCreateError(path, SystemErrorText(ELOOP));
}
