#include "app/state/SettingsFilePath.h"

#include <QDir>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

QString SettingsFileName()
{
    return u"Tessaro.ini"_s;
}

QString SettingsFilePath(const QString &folder, const QString &fileName)
{
    const QDir directory(folder);
    QStringList matches = directory.entryList(QDir::Files | QDir::Hidden | QDir::System);
    matches.removeIf([&](const QString &name) { return name.compare(fileName, Qt::CaseInsensitive) != 0; });
    if (!matches.isEmpty())
        return directory.filePath(*std::min_element(matches.cbegin(), matches.cend()));
    const bool shippedName = fileName.compare(SettingsFileName(), Qt::CaseInsensitive) == 0;
    return directory.filePath(shippedName ? SettingsFileName() : fileName);
}
