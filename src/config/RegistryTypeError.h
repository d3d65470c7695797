#pragma once

#include <string>
#include <string_view>

// The message for a registry value that holds something other than text. Plain C++, so that the
// Windows-only registry code and its test under Wine show the same words as the program.
inline std::u16string RegistryTypeErrorText(std::u16string_view valueName)
{
    return u"Ungültiger Datentyp für '" + std::u16string(valueName) + u"'";
}
