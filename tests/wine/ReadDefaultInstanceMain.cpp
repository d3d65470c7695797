// Prints what ReadDefaultInstance reports, for run.sh to compare: the result, the value's length
// in UTF-16 units and the value in brackets, and for a value of the wrong type the message the
// program shows. The value starts as "untouched", so a result that must leave it alone shows
// whether it did.

#include "config/RegistryTypeError.h"
#include "config/WinRegistry.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring &text)
{
    const int length = int(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

const char *ResultName(TRegistryResult result)
{
    switch (result) {
    case TRegistryResult::KeyMissing:
        return "KeyMissing";
    case TRegistryResult::Found:
        return "Found";
    case TRegistryResult::WrongType:
        return "WrongType";
    }
    return "?";
}

} // namespace

int main()
{
    std::wstring value = L"untouched";
    const TRegistryResult result = ReadDefaultInstance(value);
    std::printf("%s %u [%s]", ResultName(result), unsigned(value.size()), Utf8(value).c_str());
    if (result == TRegistryResult::WrongType) {
        const std::u16string message = RegistryTypeErrorText(DefaultInstanceValueName);
        std::printf(" %s", Utf8(std::wstring(message.begin(), message.end())).c_str());
    }
    std::printf("\n");
    return 0;
}
