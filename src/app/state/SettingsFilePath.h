#pragma once

#include <QString>

// "Tessaro.ini": the settings file as shipped beside the program, and the name a new one gets.
QString SettingsFileName();

// The settings file `fileName` in `folder` as Windows would find it, where file names ignore
// letter case, so that "Tessaro.Ini" and "Tessaro.ini" reach one file everywhere: the existing
// file whose name equals `fileName` with letter case ignored (the first in code order when a
// case-sensitive file system holds several), else the path of a new file. A new file is spelled
// SettingsFileName() when `fileName` is that name in another letter case, else as given.
QString SettingsFilePath(const QString &folder, const QString &fileName = SettingsFileName());
