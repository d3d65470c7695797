#include "text/ByteOrderMark.h"

#include "text/AnsiCodePage.h"

QByteArrayView ByteOrderMark(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case TTextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TTextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
    case TTextEncoding::Utf8NoMark:
        break;
    }
    return {};
}

QByteArrayView SavedMark(TTextEncoding encoding)
{
    return encoding == TTextEncoding::Ansi && AnsiIsUtf8() ? ByteOrderMark(TTextEncoding::Utf8)
                                                           : ByteOrderMark(encoding);
}

qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding)
{
    const QByteArrayView mark = ByteOrderMark(encoding);
    return !mark.isEmpty() && bytes.startsWith(mark) ? mark.size() : 0;
}

// QStringConverter::encodingForData() is no help: it also knows the UTF-32 marks, and a file
// beginning FF FE 00 00 must be taken for UTF-16.
TTextEncoding MarkedEncoding(QByteArrayView bytes)
{
    for (TTextEncoding encoding : {TTextEncoding::Utf8, TTextEncoding::Utf16LE, TTextEncoding::Utf16BE}) {
        if (LeadingMarkLength(bytes, encoding) > 0)
            return encoding;
    }
    return TTextEncoding::None;
}
