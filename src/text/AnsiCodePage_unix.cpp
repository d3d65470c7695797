#include "text/AnsiCodePage.h"

#include <QStringDecoder>

#include <array>
#include <memory>

// Without a system code page the files are read and written as Windows-1252, the code page the
// configuration files were written in on the Windows side. Latin-1 would not do: it lacks the
// euro sign and the typographic quotes at 0x80..0x9F. The code page is a plain byte-to-character
// table, so both directions run through tables built once from Qt's converter instead of calling
// it per file.

namespace {

using TDecodeTable = std::array<char16_t, 256>;

const TDecodeTable &DecodeTable()
{
    static const TDecodeTable table = [] {
        QByteArray bytes(256, Qt::Uninitialized);
        for (int byte = 0; byte < 256; ++byte)
            bytes[byte] = char(byte);
        const QString text = QStringDecoder("windows-1252").decode(bytes);
        Q_ASSERT(text.size() == 256);
        TDecodeTable result{};
        for (int byte = 0; byte < 256; ++byte)
            result[byte] = text[byte].unicode();
        return result;
    }();
    return table;
}

// One byte per UTF-16 unit; a character outside the code page maps to "?".
using TEncodeTable = std::array<char, 0x10000>;

const TEncodeTable &EncodeTable()
{
    static const std::unique_ptr<TEncodeTable> table = [] {
        auto result = std::make_unique<TEncodeTable>();
        result->fill('?');
        const TDecodeTable &decode = DecodeTable();
        for (int byte = 0; byte < 256; ++byte)
            (*result)[decode[byte]] = char(byte);
        return result;
    }();
    return *table;
}

} // namespace

QString DecodeAnsi(QByteArrayView bytes)
{
    const TDecodeTable &table = DecodeTable();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (char byte : bytes)
        *out++ = table[static_cast<unsigned char>(byte)];
    return text;
}

QByteArray EncodeAnsi(QStringView text)
{
    const TEncodeTable &table = EncodeTable();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        // A character beyond the 16-bit range is one character, so it becomes one "?".
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        *out++ = table[unit.unicode()];
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

bool AnsiIsUtf8()
{
    return false;
}

bool UnmarkedIsUtf8(QByteArrayView bytes)
{
    return bytes.isValidUtf8();
}

bool NewFileIsUtf8()
{
    return true;
}
