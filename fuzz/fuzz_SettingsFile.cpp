// Any bytes read as a settings file, written back and read again give the same sections, keys
// and values: written once more, the copy gives the very same bytes. (One exception below.)

#include "FuzzFiles.h"
#include "text/Errors.h"
#include "text/SettingsFile.h"

#include <QStringList>

#include <cstdlib>
#include <optional>

namespace {

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::optional<TSettingsFile> first;
    try {
        first.emplace(WriteFuzzFile(QStringLiteral("read.ini"), data, size));
    } catch (const EEncodingError &) {
        return 0;
    }
    const QString written = FuzzFolder().filePath(QStringLiteral("written.ini"));
    first->Rename(written, false);
    first->UpdateFile();

    // What made a file without a mark Windows-1252 may have stood only in what a rewrite drops
    // (comments, lines before the first section); bytes that are then valid UTF-8 read as UTF-8,
    // as any such file does. Nothing without a mark can tell the two apart.
    if (first->Encoding() == TTextEncoding::Ansi && Bytes(written).isValidUtf8()) {
        if (TSettingsFile(written).Encoding() != TTextEncoding::Utf8NoMark)
            std::abort();
        return 0;
    }

    TSettingsFile second(written);
    QStringList firstSections;
    QStringList secondSections;
    first->ReadSections(firstSections);
    second.ReadSections(secondSections);
    if (second.Encoding() != first->Encoding() || secondSections != firstSections)
        std::abort();

    const QString rewritten = FuzzFolder().filePath(QStringLiteral("rewritten.ini"));
    second.Rename(rewritten, false);
    second.UpdateFile();
    if (Bytes(rewritten) != Bytes(written))
        std::abort();
    return 0;
}
