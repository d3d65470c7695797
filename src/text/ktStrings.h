#pragma once

#include <QString>
#include <QStringView>

// Field `index` (from 0) of `text` split at `delimiter`; the empty string when the text has
// fewer fields or the index is negative.
QString ExtractField(QStringView text, QChar delimiter, int index);

// Removes every character with a code of U+0020 or less from both ends.
QStringView Trim(QStringView text);

// `format` with `argument` in place of its one "%s"; "%%" stands for "%". A format whose
// placeholders do not fit one string argument (another conversion, a second "%s", a lone "%")
// is a fault of the language file and is given back as it stands.
QString FormatWithOneString(const QString &format, const QString &argument);
