#include "text/ExtendedAttributes_unix.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/xattr.h>
#include <utility>
#include <vector>

namespace {

// The extended attributes of a file, name and value, sorted by name.
using TAttributes = std::vector<std::pair<QByteArray, QByteArray>>;

// Reads a list or a value of a size known only by asking: asks for the size, then for the bytes,
// and asks again should they have grown in between. Nothing when the system refuses.
template <typename TRead>
std::optional<QByteArray> ReadSized(const TRead &read)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size <= 0)
            return size == 0 ? std::optional(QByteArray()) : std::nullopt;
        QByteArray bytes(size, Qt::Uninitialized);
        const ssize_t got = read(bytes.data(), size_t(bytes.size()));
        if (got >= 0) {
            bytes.truncate(got);
            return bytes;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

// All extended attributes, through the list and value calls for a path or a descriptor; none on a
// file system without them. Nothing when any of them cannot be read: that is no proof of none.
template <typename TList, typename TGet>
std::optional<TAttributes> ReadAttributes(const TList &list, const TGet &get)
{
    const std::optional<QByteArray> names = ReadSized(list);
    if (!names)
        return errno == ENOTSUP ? std::optional(TAttributes()) : std::nullopt;
    TAttributes attributes;
    for (const QByteArray &name : names->split('\0')) {
        if (name.isEmpty())
            continue;
        const std::optional<QByteArray> value =
            ReadSized([&](char *buffer, size_t size) { return get(name.constData(), buffer, size); });
        if (!value)
            return std::nullopt;
        attributes.emplace_back(name, *value);
    }
    std::sort(attributes.begin(), attributes.end());
    return attributes;
}

std::optional<TAttributes> AttributesAt(const QByteArray &path)
{
    const char *native = path.constData();
    return ReadAttributes(
        [native](char *buffer, size_t size) { return listxattr(native, buffer, size); },
        [native](const char *name, char *buffer, size_t size) { return getxattr(native, name, buffer, size); });
}

std::optional<TAttributes> AttributesOf(int descriptor)
{
    return ReadAttributes([descriptor](char *buffer, size_t size) { return flistxattr(descriptor, buffer, size); },
                          [descriptor](const char *name, char *buffer, size_t size) {
                              return fgetxattr(descriptor, name, buffer, size);
                          });
}

} // namespace

bool SameExtendedAttributes(const QByteArray &path, int descriptor)
{
    const std::optional<TAttributes> atPath = AttributesAt(path);
    return atPath && atPath == AttributesOf(descriptor);
}
