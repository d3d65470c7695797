#include "config/WinRegistry.h"

#include <windows.h>

#include <utility>

namespace {

// Closes the key on every way out of the lookup.
class TRegistryKey {
public:
    explicit TRegistryKey(HKEY key)
        : FKey(key)
    {}
    TRegistryKey(const TRegistryKey &) = delete;
    TRegistryKey &operator=(const TRegistryKey &) = delete;
    ~TRegistryKey() { RegCloseKey(FKey); }
    HKEY Handle() const { return FKey; }

private:
    HKEY FKey;
};

constexpr const wchar_t *InstancesKey = L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
// Windows keeps text in UTF-16, as wchar_t.
const wchar_t *const ValueName = reinterpret_cast<const wchar_t *>(DefaultInstanceValueName);

} // namespace

TRegistryResult ReadDefaultInstance(std::wstring &value)
{
    HKEY handle = nullptr;
    // The server's installer records its instances in the 32-bit view, also on 64-bit Windows.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstancesKey, 0, KEY_READ | KEY_WOW64_32KEY, &handle) != ERROR_SUCCESS)
        return TRegistryResult::KeyMissing;
    const TRegistryKey key(handle);

    std::wstring text(MAX_PATH + 1, L'\0');
    for (;;) {
        DWORD type = REG_NONE;
        DWORD size = DWORD(text.size() * sizeof(wchar_t));
        const LSTATUS status =
            RegQueryValueExW(key.Handle(), ValueName, nullptr, &type, reinterpret_cast<BYTE *>(text.data()), &size);
        if (status == ERROR_MORE_DATA) {
            // Too long for the buffer; it may even grow again before the next read.
            text.assign(size / sizeof(wchar_t) + 1, L'\0');
            continue;
        }
        // An absent (or unreadable) value reads as the empty folder: the record itself exists.
        if (status != ERROR_SUCCESS) {
            value.clear();
            return TRegistryResult::Found;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return TRegistryResult::WrongType;
        // A string value need not carry its terminator, or may carry several.
        text.resize(size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        value = std::move(text);
        return TRegistryResult::Found;
    }
}
