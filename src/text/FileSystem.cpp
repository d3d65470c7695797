#include "text/FileSystem.h"

#include <QFile>
#include <QFileInfo>

bool HasNoWriteBit(const QFileInfo &file)
{
    // Not WriteUser: that bit says what the current user may do, and root may do everything.
    constexpr QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !(file.permissions() & writeBits);
}
