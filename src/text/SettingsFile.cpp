#include "text/SettingsFile.h"

#include "text/ktStrings.h"

#include <QFileInfo>

#include <utility>

namespace {

// Index of the first pair line whose key (its text before the first "=") equals `key` once both
// are upper-cased; plain lines have no key and are never found.
qsizetype IndexOfKey(const QStringList &lines, const QString &key)
{
    const QString upperKey = key.toUpper();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype separator = lines[i].indexOf(u'=');
        if (separator >= 0 && lines[i].first(separator).toUpper() == upperKey)
            return i;
    }
    return -1;
}

// A trimmed line that is neither header nor comment, in its stored form: a pair line loses the
// blanks around its key and value, a plain line is kept as it is.
QString StoredLine(QStringView text)
{
    const qsizetype separator = text.indexOf(u'=');
    if (separator < 0)
        return text.toString();
    QString line = Trim(text.first(separator)).toString();
    line += u'=';
    line += Trim(text.sliced(separator + 1));
    return line;
}

} // namespace

TSettingsFile::TSettingsFile(const QString &path)
    : FFileName(path)
{
    ReadFile();
}

QString TSettingsFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const TSection *found = FindSection(section);
    if (!found)
        return defaultValue;
    const qsizetype index = IndexOfKey(found->Lines, key);
    if (index < 0)
        return defaultValue;
    // Cut at the line's own "=" rather than after the requested key's length: upper-casing may
    // change a length ("ß" becomes "SS"), so the two keys need not be equally long.
    const QString &line = found->Lines[index];
    return line.sliced(line.indexOf(u'=') + 1);
}

void TSettingsFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    TSection *found = FindSection(section);
    if (!found) {
        FSectionIndex.insert(qHash(section.toUpper()), qsizetype(FSections.size()));
        FSections.push_back({section, {}});
        found = &FSections.back();
    }
    QString line = key;
    line += u'=';
    line += value;
    const qsizetype index = IndexOfKey(found->Lines, key);
    if (index < 0)
        found->Lines.append(line);
    else
        found->Lines[index] = line;
}

void TSettingsFile::ReadSections(QStringList &list) const
{
    list.clear();
    for (const TSection &section : FSections)
        list.append(section.Name);
}

void TSettingsFile::EraseSection(const QString &section)
{
    if (const TSection *found = FindSection(section)) {
        FSections.erase(FSections.begin() + (found - FSections.data()));
        // Every later section moved.
        IndexSections();
    }
}

void TSettingsFile::DeleteKey(const QString &section, const QString &key)
{
    TSection *found = FindSection(section);
    if (!found)
        return;
    const qsizetype index = IndexOfKey(found->Lines, key);
    if (index >= 0)
        found->Lines.removeAt(index);
}

bool TSettingsFile::SectionExists(const QString &section) const
{
    return FindSection(section) != nullptr;
}

bool TSettingsFile::ValueExists(const QString &section, const QString &key) const
{
    const TSection *found = FindSection(section);
    return found && IndexOfKey(found->Lines, key) >= 0;
}

void TSettingsFile::Rename(const QString &path, bool reload)
{
    FFileName = path;
    if (reload)
        ReadFile();
}

void TSettingsFile::UpdateFile() const
{
    WriteTextLines(FFileName, FEncoding, [this](const TLineSink &sink) {
        for (const TSection &section : FSections) {
            sink(QString(u'[' + section.Name + u']'));
            for (const QString &line : section.Lines)
                sink(line);
            sink(QStringView());
        }
    });
}

void TSettingsFile::ReadFile()
{
    // A folder holds no settings either. Anything else that exists is opened, and what is no
    // regular file (a FIFO, a device) is refused there, not taken for a missing file.
    const QFileInfo file(FFileName);
    if (FFileName.isEmpty() || !file.exists() || file.isDir()) {
        Clear();
        return;
    }

    // The first read decides the encoding for the object's lifetime, so a later file is decoded
    // in it even when its own mark says otherwise. It is remembered even if the decoding fails.
    std::vector<TSection> sections;
    QString scratch;
    ReadTextLines(FFileName, FEncoding, [&sections, &scratch](QAnyStringView line) {
        const QStringView text = Trim(Utf16(line, scratch));
        if (text.isEmpty() || text.startsWith(u';'))
            return;
        if (text.startsWith(u'[') && text.endsWith(u']'))
            sections.push_back({Trim(text.sliced(1, text.size() - 2)).toString(), {}});
        else if (!sections.empty()) // lines before the first header belong nowhere
            sections.back().Lines.append(StoredLine(text));
    });

    // Only now, with the whole file decoded, may the old copy go.
    FSections = std::move(sections);
    IndexSections();
}

void TSettingsFile::IndexSections()
{
    FSectionIndex.clear();
    FSectionIndex.reserve(qsizetype(FSections.size()));
    for (qsizetype index = 0; index < qsizetype(FSections.size()); ++index)
        FSectionIndex.insert(qHash(FSections[index].Name.toUpper()), index);
}

const TSettingsFile::TSection *TSettingsFile::FindSection(const QString &name) const
{
    // Sections whose names only share the hash are told apart here; of several sections of the
    // same name the first wins.
    const QString upperName = name.toUpper();
    const TSection *first = nullptr;
    const auto [begin, end] = FSectionIndex.equal_range(qHash(upperName));
    for (auto candidate = begin; candidate != end; ++candidate) {
        const TSection &section = FSections[*candidate];
        if ((!first || &section < first) && section.Name.toUpper() == upperName)
            first = &section;
    }
    return first;
}

TSettingsFile::TSection *TSettingsFile::FindSection(const QString &name)
{
    return const_cast<TSection *>(std::as_const(*this).FindSection(name));
}
