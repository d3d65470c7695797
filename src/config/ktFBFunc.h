#pragma once

#include "text/LineDocument.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

// The parameter shown and edited: its name, its value in the document (empty without an active
// line) and its catalogue default.
struct TParvexItem {
    QString ConfigKey;
    QString ConfigValue;
    QString DefaultValue;
};

// Whether today's servers read a parameter. The program edits databases.conf, which only
// Firebird 3.0 and later read; these versions ignore some of the older names altogether.
enum class TServerUse { Read, Ignored };

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

struct TParamCatalogRow {
    const char *Name;
    const char *Default;
    // What sort of value it takes; for a parameter the server ignores, what its name and default
    // suggest.
    TParamKind Kind;
    TServerUse Use = TServerUse::Read;
};

struct TAliasCatalogRow {
    const char *Key;
    const char *Description;
    const char *FileName;
};

// The server parameters the program knows, in list order, with the server's defaults and kinds.
extern const std::array<TParamCatalogRow, 37> ParamCatalog;

// The suite's database aliases, in list order; row 0 is the security database.
extern const std::array<TAliasCatalogRow, 8> AliasCatalog;

// The catalogue's parameter names, in order.
QStringList ParamCatalogNames();
// The catalogue's alias keys, in order.
QStringList AliasCatalogKeys();

// The alias of the suite's security database, which the other aliases refer to.
QString SecurityAlias();

// Rewrites every active "name = value" line as name=value (the whole text after the first "="
// is the value). Comment lines, lines without "=" and lines with an empty name or value stay.
void NormalizeLines(TLineDocument &document);

// Turns the first commented-out assignment of exactly `key` ("#key = value", possibly behind
// blanks and further "#") into the active line key=value. Nothing else changes.
void ActivateCommentedKey(TLineDocument &document, const QString &key);

// Sets `key` to `value` so that a parameter present only as a commented-out default takes that
// line's place; an empty value removes the active line.
void SetConfigValue(TLineDocument &document, const QString &key, const QString &value);

// Appends the alias line key=path (the path written as AliasValue gives it) and, for an alias
// other than the security database while the security database has a line, the block that names
// it.
void AddAlias(TLineDocument &document, const QString &key, const QString &path);

// Appends "{", "SecurityDatabase=<security alias>", "}".
void AddSecurityBlock(TLineDocument &document);

// A database path as the value of an alias line. The server takes "#" anywhere on a line for the
// start of a comment and trims the value's blanks, but strips double quotes around it: a path that
// holds "#" or begins or ends with a blank is written in double quotes, any other path as it is.
QString AliasValue(const QString &path);

// An alias line's value as the server reads it: the path ends at the first "#" (a comment) or "{"
// (the block's opening brace on the alias line) outside double quotes; the blanks before that
// belong to the comment, not to the path.
struct TAliasValueParts {
    QStringView Path; // trimmed, still in its quotes if it has them
    QStringView Rest; // the blanks and the comment or brace after the path, to keep as they are
};
TAliasValueParts SplitAliasValue(QStringView value);

// The database path that an alias line's value stands for: the value without a comment or brace
// after it and without the double quotes that enclose it, if they do.
QString AliasPath(QStringView value);

// The paths of `keys` in `document`, read as AliasPath gives them; empty for a key without a line.
QStringList AliasPaths(const TLineDocument &document, const QStringList &keys);

// The file name part of a database path: the text after its last `separator` and, for the
// Windows separator "\", also after a drive colon; the whole path when it has neither.
QString DatabaseFileName(const QString &path, QChar separator);

// Points the alias `key`, catalogue row `index`, at `folder` (which ends in `separator`) and
// returns its new path. An alias with a path keeps its file name; one without takes the
// catalogue's file name, and a new line (AddAlias) when it has no line at all. A line that is
// there is rewritten in place with its name spelled as it stands (the server matches alias names
// by exact letter case) and its comment or brace kept behind the new path.
QString AssignAliasFolder(TLineDocument &document, const QString &folder, QChar separator, const QString &key,
                          int index);
