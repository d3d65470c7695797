#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the lookup off Windows consults, so tests can reach every branch.
struct TServerProbe {
    // The value of FIREBIRD when the variable is set (even to the empty string).
    std::optional<QString> FirebirdVariable;
    // /opt/firebird, then the version folders below /etc/firebird, highest version first.
    QStringList CandidateFolders;
};

// The probe of this machine.
TServerProbe SystemServerProbe();

// The version folders below `etcFirebird` (such as 3.0, 4.0), highest version first.
QStringList VersionFoldersBelow(const QString &etcFirebird);

// The lookup itself: the variable when set; else the first candidate holding a "firebird.conf".
bool FindDefaultInstanceIn(const TServerProbe &probe, QString &folder);
