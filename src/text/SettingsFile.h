#pragma once

#include "text/TextFile.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// An in-memory copy of one INI-format file: sections in square brackets holding key=value lines.
// Sections and keys are found with letter case ignored; the first section of a name wins. The
// file is read at creation (and by Rename with reload) and written only by UpdateFile.
class TSettingsFile {
public:
    // Reads the file; a missing file or empty path gives no sections. Throws the read errors.
    explicit TSettingsFile(const QString &path);

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    void WriteString(const QString &section, const QString &key, const QString &value);
    void ReadSections(QStringList &list) const;
    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    void Clear()
    {
        FSections.clear();
        FSectionIndex.clear();
    }
    void Rename(const QString &path, bool reload);
    void UpdateFile() const;

    const QString &FileName() const { return FFileName; }
    TTextEncoding Encoding() const { return FEncoding; }

private:
    struct TSection {
        QString Name;
        QStringList Lines;
    };

    void ReadFile();
    void IndexSections();
    const TSection *FindSection(const QString &name) const;
    TSection *FindSection(const QString &name);

    QString FFileName;
    TTextEncoding FEncoding = TTextEncoding::None;
    std::vector<TSection> FSections;
    // The positions of the sections by the hash of their upper-cased names: a file of many
    // sections is searched without visiting them all, as every window start does dozens of times.
    QMultiHash<size_t, qsizetype> FSectionIndex;
};
