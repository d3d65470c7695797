#pragma once

#include <QString>
#include <QStringView>

// Field `index` (from 0) of `text` split at `delimiter`; the empty string when the text has
// fewer fields or the index is negative.
QString ExtractField(QStringView text, QChar delimiter, int index);

// Removes every character with a code of U+0020 or less from both ends.
QStringView Trim(QStringView text);
