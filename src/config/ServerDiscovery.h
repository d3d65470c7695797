#pragma once

#include "config/RegistryTypeError.h"
#include "text/Errors.h"

#include <QString>

// Looks up the folder of the server's default instance where the platform records it. Gives
// false (and leaves `folder` alone) when nothing is recorded; true with the folder, possibly
// empty, when the record exists. Windows: the registry; elsewhere: the FIREBIRD environment
// variable, then the standard installation folders.
bool FindDefaultInstance(QString &folder);

// The registry record exists but holds something other than text under `valueName`.
class ERegistryError : public ETessaroError {
public:
    explicit ERegistryError(const QString &valueName)
        : ETessaroError(QString::fromStdU16String(RegistryTypeErrorText(valueName.toStdU16String())))
    {}
};
