#pragma once

// Reading the server's registry record with the Win32 API alone, so this file can be
// cross-compiled and tested without Qt.

#include <string>

// The value that names the default instance's folder.
inline constexpr char16_t DefaultInstanceValueName[] = u"DefaultInstance";

enum class TRegistryResult {
    KeyMissing, // the instances key cannot be opened
    Found, // value read (empty when "DefaultInstance" is absent)
    WrongType // "DefaultInstance" holds something other than a string
};

// Opens HKLM\SOFTWARE\Firebird Project\Firebird Server\Instances in the 32-bit registry view and
// reads the string value "DefaultInstance".
TRegistryResult ReadDefaultInstance(std::wstring &value);
