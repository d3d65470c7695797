#pragma once

#include "text/Errors.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

// The text forms of the values a window-state store keeps in the settings file, and their
// conversions. Qt Core only: nothing here touches a window.

// A stored text that should hold an integer and does not.
class EConvertError : public ETessaroError {
public:
    explicit EConvertError(const QString &text);
};

// The whole text as a decimal integer; the empty text counts as 0. Throws EConvertError.
int StoredInteger(const QString &text);

// TRUE, YES, Y and FALSE, NO, N in any letter case; any other text is read as an integer, non-zero
// meaning true. Throws EConvertError.
bool StoredBoolean(const QString &text);

// "TRUE" or "FALSE".
QString BooleanText(bool value);

// The index of the name in `names` that equals the text with letter case ignored; otherwise the
// text is read as an ordinal, which must be one of the indexes or -1. Nothing for -1: the target
// keeps its value. Throws EConvertError.
std::optional<int> StoredEnumeration(const QString &text, const QStringList &names);

// The words of a position text ("MinMaxPos", "NormPos"): separated by runs of "," and " ".
QStringList PositionWords(const QString &text);

// Word `index` (from 0) as an integer; `fallback` when it is missing or no integer.
int PositionWord(const QStringList &words, int index, int fallback);

// Four integers as "%d,%d,%d,%d".
QString PositionText(int first, int second, int third, int fourth);

// "(" width "x" height ")", the suffix that keeps position keys apart per desktop size.
QString DesktopSizeSuffix(QSize desktop);
