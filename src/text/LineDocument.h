#pragma once

#include "TextFile.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// True when two line names are the same name: letter case ignored, nothing trimmed. ASCII names
// are compared by code; others by Unicode case folding.
bool SameName(QStringView a, QStringView b);

// An ordered list of text lines with name=value access, loaded and saved whole. The name of a
// line is its untrimmed text before the first "="; the first line with a name wins.
class TLineDocument {
public:
    int Count() const { return int(FLines.size()); }
    QString Get(int index) const;
    void Put(int index, const QString &text);
    int Add(const QString &text);
    void Delete(int index);
    void Clear() { FLines.clear(); }
    void AddStrings(const QStringList &lines) { FLines.append(lines); }

    int IndexOfName(QStringView name) const;
    // The text after the first "=" of the first line named `name`, or "" when there is none.
    QString Values(QStringView name) const;
    // Sets the first line named `name` to name=value (spelled as passed), appending it when
    // absent; an empty value deletes that line instead.
    void SetValues(const QString &name, const QString &value);
    // Values(name) for each name, answered in one pass over the lines.
    QStringList ValuesOf(const QStringList &names) const;

    void LoadFromFile(const QString &path);
    void SaveToFile(const QString &path) const;

    const QStringList &Lines() const { return FLines; }
    TTextEncoding Encoding() const { return FEncoding; }

private:
    void CheckIndex(int index) const;

    QStringList FLines;
    TTextEncoding FEncoding = TTextEncoding::None;
};
