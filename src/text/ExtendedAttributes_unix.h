#pragma once

#include <QByteArray>

// The extended attributes of Unix files (POSIX access control lists and security labels among
// them), which only FileSystem_unix.cpp needs: Windows keeps nothing of the kind beside a file.

// Whether the file at the native `path`, through symbolic links, and the open file `descriptor`
// have the same extended attributes, names and values byte for byte. False when either cannot be
// read in full, as that is no proof of the same; true for two files on a file system without them.
bool SameExtendedAttributes(const QByteArray &path, int descriptor);
