#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

// What sort of value a server parameter takes, which decides how the server reads its text.
enum class TParamKind {
    Integer, // [-]digits with an optional k, m or g (binary multiples)
    Switch, // 0/1; the server also knows true, yes and y
    Choice, // one of a fixed set of names (ServerMode)
    Port, // a TCP port number; 0 has a meaning of its own
    PortOrService, // a port number or a name of the system's services file
    Address, // a host name or IP address, optionally with "/port"
    Name, // any text
    Path, // a folder
    PathList, // folders separated by ";"
};

// The kind of a catalogue parameter (ParamCatalog); no kind for a name outside the catalogue.
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
