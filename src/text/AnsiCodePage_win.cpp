#include "text/AnsiCodePage.h"

#include <qt_windows.h>

// Files beyond 2 GB are no configuration files; the conversion functions count in int.

QString DecodeAnsi(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()), length);
    return text;
}

// Without flags the system substitutes a similar character or its default "?", as the rest of
// Windows does for this code page.
QByteArray EncodeAnsi(QStringView text)
{
    if (text.isEmpty())
        return {};
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = int(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, 0, wide, size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

bool AnsiIsUtf8()
{
    return GetACP() == CP_UTF8;
}

bool UnmarkedIsUtf8(QByteArrayView /*bytes*/)
{
    return false;
}

bool NewFileIsUtf8()
{
    return false;
}
