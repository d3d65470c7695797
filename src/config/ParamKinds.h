#pragma once

#include "config/ktFBFunc.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

// The kind of a catalogue parameter (its ParamCatalog row); no kind for a name outside the catalogue.
std::optional<TParamKind> ParamKindOf(QStringView name);

// Looks up a text of the language file by key; the fallback is the German text for a file that
// lacks the key. The window passes its own lookup.
using TTextLookup = std::function<QString(const QString &key, const QString &fallback)>;

// Why the server will not use `value` (the whole text after the first "=" of the parameter's
// active line) of parameter `name` as written, and what it does instead: one line, built from the
// texts `text` gives. Empty when the server uses the value as it stands, when the value is empty
// (no active line), and when the server does not read the parameter (TServerUse::Ignored) - except
// for a line the server's reader refuses whatever its name (text after a closing double quote, an
// unclosed quote): with such a line the server does not start.
QString UnusableValueReason(QStringView name, QStringView value, const TTextLookup &text);
