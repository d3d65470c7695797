#include "text/Ascii.h"

#include <QtEndian>

namespace {

// Four ASCII units, read as a little-endian word, as four bytes in the low half of one.
constexpr quint64 PackAscii(quint64 units)
{
    units = (units | units >> 8) & 0x0000FFFF0000FFFF;
    return (units | units >> 16) & 0xFFFFFFFF;
}

} // namespace

bool IsAscii(QByteArrayView bytes)
{
    quint64 all = 0;
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8)
        all |= qFromUnaligned<quint64>(bytes.data() + i);
    for (; i < bytes.size(); ++i)
        all |= quint8(bytes[i]);
    return (all & 0x8080808080808080) == 0;
}

// Sixteen units a step, tested and narrowed at once.
bool NarrowAscii(QStringView text, char *out)
{
    const char16_t *units = text.utf16();
    quint64 all = 0;
    qsizetype i = 0;
    for (; i + 16 <= text.size(); i += 16) {
        quint64 words[4];
        for (int k = 0; k < 4; ++k) {
            words[k] = qFromLittleEndian<quint64>(units + i + 4 * k);
            all |= words[k];
        }
        qToLittleEndian(PackAscii(words[0]) | PackAscii(words[1]) << 32, out + i);
        qToLittleEndian(PackAscii(words[2]) | PackAscii(words[3]) << 32, out + i + 8);
    }
    // The short lines of a configuration file end here: four units a step, as far as they go.
    for (; i + 4 <= text.size(); i += 4) {
        const quint64 word = qFromLittleEndian<quint64>(units + i);
        all |= word;
        qToLittleEndian(quint32(PackAscii(word)), out + i);
    }
    for (; i < text.size(); ++i) {
        all |= units[i];
        out[i] = char(units[i]);
    }
    return (all & 0xFF80FF80FF80FF80) == 0;
}

// Eight bytes a step, tested and copied at once.
bool NarrowAscii(QLatin1StringView text, char *out)
{
    const char *bytes = text.data();
    quint64 all = 0;
    qsizetype i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        const quint64 word = qFromUnaligned<quint64>(bytes + i);
        all |= word;
        qToUnaligned(word, out + i);
    }
    for (; i < text.size(); ++i) {
        all |= quint8(bytes[i]);
        out[i] = bytes[i];
    }
    return (all & 0x8080808080808080) == 0;
}
