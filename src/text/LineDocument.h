#pragma once

#include "text/LineStore.h"
#include "text/TextFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// True when two line names are the same name: letter case ignored, nothing trimmed. ASCII names
// are compared by code; others by Unicode case folding.
bool SameName(QStringView a, QStringView b);

// An ordered list of text lines with name=value access, loaded and saved whole. The name of a
// line is its untrimmed text before the first "="; the first line with a name wins.
class TLineDocument {
public:
    int Count() const { return int(FLines.Count()); }
    QString Get(int index) const;
    // The line at `index` without a copy, as LineView.h has it; valid until the document next
    // changes.
    QAnyStringView Line(int index) const
    {
        CheckIndex(index);
        return FLines.Line(index);
    }
    // The first character of the line at `index`, U+0000 for an empty line. Known for most lines
    // without a look at the line, so a pass that passes over most lines by it touches little memory.
    QChar FirstChar(int index) const
    {
        CheckIndex(index);
        return FLines.FirstChar(index);
    }
    void Put(int index, const QString &text);
    int Add(const QString &text);
    void Delete(int index);
    // Removes all lines; the remembered encoding stays.
    void Clear();
    void AddStrings(const QStringList &lines);

    int IndexOfName(QStringView name) const;
    // The text after the first "=" of the first line named `name`, or "" when there is none.
    QString Values(QStringView name) const;
    // Sets the first line named `name` to name=value (spelled as passed), appending it when
    // absent; an empty value deletes that line instead.
    void SetValues(const QString &name, const QString &value);
    // Values(name) for each name, answered in one pass over the lines.
    QStringList ValuesOf(const QStringList &names) const;

    void LoadFromFile(const QString &path);
    // Writes the lines as WriteTextLines does. With `expected`, the file must still be of that
    // version when it is replaced, or nothing is written and EFileChangedError is thrown; the
    // document's version then stays as it was, as after any failed save.
    void SaveToFile(const QString &path, const std::optional<TFileVersion> &expected = std::nullopt) const;

    QStringList Lines() const;
    // The lines from `first` up to `last` (exclusive), each followed by `separator` but the
    // document's last line: the part they make of all lines joined by `separator`, so that a
    // view of the whole text can be handed it in pieces.
    QString JoinedLines(QChar separator, int first, int last) const;
    TTextEncoding Encoding() const { return FEncoding; }
    // Grows with every change of the lines, loading and clearing included: a view that knows the
    // revision it shows knows whether it is current.
    quint64 Revision() const { return FRevision; }
    // The file on disk as this document last loaded or saved it, to tell whether another program
    // has changed it since; the version of no file before either. Like the encoding, only loading
    // and saving change it.
    const TFileVersion &FileVersion() const { return FFileVersion; }

private:
    void CheckIndex(int index) const
    {
        if (index < 0 || index >= Count())
            ThrowIndexError(index);
    }
    [[noreturn]] static void ThrowIndexError(int index);

    TLineStore FLines;
    TTextEncoding FEncoding = TTextEncoding::None;
    quint64 FRevision = 0;
    // Saving changes no line, but the file it agrees with.
    mutable TFileVersion FFileVersion;
};
