#pragma once

#include <QChar>
#include <QString>

// What differs between Windows and other systems for the interface.

// The folder of the running program, where "Tessaro.ini" lives.
QString ProgramFolder();

// The separator that ends server and database folders: "\" on Windows, "/" elsewhere.
QChar FolderSeparator();

// The file name part of a database path: the text after its last folder separator (on Windows
// also after a drive colon); the whole path when it has none.
QString DatabaseFileName(const QString &path);
