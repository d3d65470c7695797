#include "config/ServerProcess.h"

#include <windows.h>

#include <vector>

namespace {

// The name of the first active service whose name begins with "FirebirdServer", as the server's
// installer names its services ("FirebirdServerDefaultInstance"); empty for none.
QString ActiveServerService()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager)
        return {};
    QString found;
    DWORD needed = 0;
    DWORD count = 0;
    DWORD resume = 0;
    EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, nullptr, 0, &needed, &count,
                          &resume, nullptr);
    std::vector<BYTE> buffer(needed);
    resume = 0;
    if (needed > 0
        && EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, buffer.data(),
                                 DWORD(buffer.size()), &needed, &count, &resume, nullptr)) {
        const auto *services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW *>(buffer.data());
        for (DWORD i = 0; i < count && found.isEmpty(); ++i) {
            const QString name = QString::fromWCharArray(services[i].lpServiceName);
            if (name.startsWith(QStringLiteral("FirebirdServer"), Qt::CaseInsensitive))
                found = name;
        }
    }
    CloseServiceHandle(manager);
    return found;
}

} // namespace

TServerRestart FindServerRestart()
{
    const QString service = ActiveServerService();
    if (service.isEmpty())
        return {};
    return {true, QStringLiteral("net stop %1 && net start %1").arg(service)};
}
