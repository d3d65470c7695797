#pragma once

#include <QString>

class QFileInfo;
class QSaveFile;

// What differs between systems when a file is replaced: FileSystem_unix.cpp, FileSystem_win.cpp.

// A save file is a new file and belongs to whoever saves; gives it the owner and group of
// `target`, the file it replaces, where the system has them and lets us.
void KeepOwner(QSaveFile &file, const QFileInfo &target);

// Throws EFCreateError when `path` is a symbolic link that ends in a loop: QSaveFile gives up
// following such a loop and would put a new file in place of the first link, where opening the
// file would have failed.
void CheckNoLinkLoop(const QString &path);
