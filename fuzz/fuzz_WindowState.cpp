// Any bytes read as the settings file, with the values of every section read the way a window's
// state is restored: integers (version, flags, show command, resolution, widths), booleans,
// alignments, positions and column sets. Each read gives a value or fails with the conversion
// message naming the text; nothing else.

#include "FuzzFiles.h"
#include "app/state/StoredColumns.h"
#include "app/state/WindowStateValues.h"
#include "text/Errors.h"
#include "text/SettingsFile.h"

#include <QStringList>

#include <cstdlib>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckConversionMessage(const EConvertError &error, const QString &text)
{
    Check(error.Message() == u"'%1' ist kein gültiger Integerwert"_s.arg(text));
}

void ReadAsInteger(const QString &text)
{
    try {
        StoredInteger(text);
    } catch (const EConvertError &error) {
        CheckConversionMessage(error, text);
    }
}

void ReadAsBoolean(const QString &text)
{
    try {
        StoredBoolean(text);
    } catch (const EConvertError &error) {
        CheckConversionMessage(error, text);
    }
}

void ReadAsAlignment(const QString &text)
{
    try {
        const std::optional<int> alignment = StoredEnumeration(text, ColumnAlignmentNames());
        Check(!alignment || (*alignment >= 0 && *alignment < ColumnAlignmentNames().size()));
    } catch (const EConvertError &error) {
        CheckConversionMessage(error, text);
    }
}

void ReadAsPosition(const QString &text)
{
    const QStringList words = PositionWords(text);
    for (int index = -1; index <= words.size(); ++index) {
        const int word = PositionWord(words, index, -7);
        Check(index >= 0 && index < words.size() ? true : word == -7);
    }
}

void ReadAsColumns(const TSettingsFile &file, const QString &section)
{
    std::vector<TListColumn> columns;
    try {
        if (!ReadStoredColumns(file, section, columns))
            return;
        const int count = StoredInteger(file.ReadString(section, u"Count"_s, QString()));
        Check(int(columns.size()) == std::max(count, 0));
    } catch (const EConvertError &) {
        // Columns read before the malformed value stay; never more than a list may have.
    }
    Check(columns.size() <= size_t(MaxStoredColumns));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::optional<TSettingsFile> file;
    try {
        file.emplace(WriteFuzzFile(u"Tessaro.ini"_s, data, size));
    } catch (const EEncodingError &) {
        return 0;
    }
    QStringList sections;
    file->ReadSections(sections);
    for (const QString &section : sections) {
        for (const QString &key : {u"FormVersion"_s, u"Flags"_s, u"ShowCmd"_s, u"PixelsPerInch"_s,
                                   u"ItemComment_Width"_s, u"AutoSize"_s, u"Width"_s}) {
            const QString value = file->ReadString(section, key, QString());
            ReadAsInteger(value);
            ReadAsBoolean(value);
        }
        ReadAsAlignment(file->ReadString(section, u"Alignment"_s, QString()));
        ReadAsPosition(file->ReadString(section, u"MinMaxPos"_s, QString()));
        ReadAsPosition(file->ReadString(section, u"NormPos"_s, QString()));
        ReadAsColumns(*file, section);
    }
    return 0;
}
