#include "config/ServerDiscovery.h"
#include "config/WinRegistry.h"

#include <string>

bool FindDefaultInstance(QString &folder)
{
    std::wstring value;
    switch (ReadDefaultInstance(value)) {
    case TRegistryResult::KeyMissing:
        return false;
    case TRegistryResult::WrongType:
        throw ERegistryError(QString::fromUtf16(DefaultInstanceValueName));
    case TRegistryResult::Found:
        break;
    }
    folder = QString::fromStdWString(value);
    return true;
}
