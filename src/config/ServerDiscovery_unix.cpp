#include "config/ServerDiscovery.h"
#include "config/ServerDiscoveryUnix.h"

#include <QDir>
#include <QFileInfo>
#include <QVersionNumber>
#include <algorithm>
#include <vector>

TServerProbe SystemServerProbe()
{
    TServerProbe probe;
    if (qEnvironmentVariableIsSet("FIREBIRD"))
        probe.FirebirdVariable = qEnvironmentVariable("FIREBIRD");
    probe.CandidateFolders.append(QStringLiteral("/opt/firebird"));
    probe.CandidateFolders.append(VersionFoldersBelow(QStringLiteral("/etc/firebird")));
    return probe;
}

QStringList VersionFoldersBelow(const QString &etcFirebird)
{
    struct TVersionFolder {
        QVersionNumber Version;
        QString Path;
    };

    const QDir parent(etcFirebird);
    std::vector<TVersionFolder> folders;
    for (const QString &name : parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        qsizetype suffixIndex = 0;
        const QVersionNumber version = QVersionNumber::fromString(name, &suffixIndex);
        // Only names that are a version as a whole: "3.0" is a server's folder, "3.0.bak" is not.
        if (version.isNull() || suffixIndex != name.size())
            continue;
        folders.push_back({version, parent.filePath(name)});
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const TVersionFolder &a, const TVersionFolder &b) { return a.Version > b.Version; });

    QStringList paths;
    for (const TVersionFolder &folder : folders)
        paths.append(folder.Path);
    return paths;
}

bool FindDefaultInstanceIn(const TServerProbe &probe, QString &folder)
{
    if (probe.FirebirdVariable) {
        folder = *probe.FirebirdVariable;
        return true;
    }
    for (const QString &candidate : probe.CandidateFolders) {
        if (QFileInfo(QDir(candidate).filePath(QStringLiteral("firebird.conf"))).isFile()) {
            folder = candidate;
            return true;
        }
    }
    return false;
}

bool FindDefaultInstance(QString &folder)
{
    return FindDefaultInstanceIn(SystemServerProbe(), folder);
}
