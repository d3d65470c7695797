#include "text/ktStrings.h"

#include <QStringTokenizer>

QString ExtractField(QStringView text, QChar delimiter, int index)
{
    if (index < 0)
        return {};
    for (QStringView field : QStringTokenizer(text, delimiter)) {
        if (index-- == 0)
            return field.toString();
    }
    return {};
}

// QStringView::trimmed() follows QChar::isSpace(): it keeps control characters such as U+0001
// and removes U+00A0, while the files' rule is "every code up to and including the blank".
QStringView Trim(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.sliced(begin, end - begin);
}

QString FormatWithOneString(const QString &format, const QString &argument)
{
    QString result;
    bool argumentUsed = false;
    qsizetype copied = 0;
    for (qsizetype at = format.indexOf(u'%'); at >= 0; at = format.indexOf(u'%', copied)) {
        result += QStringView(format).sliced(copied, at - copied);
        const QChar conversion = at + 1 < format.size() ? format[at + 1] : QChar();
        if (conversion == u'%') {
            result += u'%';
        } else if (conversion.toLower() == u's' && !argumentUsed) {
            result += argument;
            argumentUsed = true;
        } else {
            return format;
        }
        copied = at + 2;
    }
    result += QStringView(format).sliced(copied);
    return result;
}
