#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// A folder for the whole run, where each input becomes a file. Saving syncs the file to disk,
// which in memory costs nothing: there a run gets through many times more inputs.
inline const QTemporaryDir &FuzzFolder()
{
    const QDir memory(QStringLiteral("/dev/shm"));
    const QDir parent = memory.exists() ? memory : QDir::temp();
    static const QTemporaryDir folder(parent.filePath(QStringLiteral("tessaro-fuzz-XXXXXX")));
    if (!folder.isValid())
        std::abort();
    return folder;
}

// The path of `name` in the run's folder, holding `size` bytes from `data`.
inline QString WriteFuzzFile(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = FuzzFolder().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    return path;
}
