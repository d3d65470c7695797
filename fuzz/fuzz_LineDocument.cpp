// Any bytes loaded, saved and loaded again give the same lines in the same encoding.

#include "FuzzFiles.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TLineDocument first;
    try {
        first.LoadFromFile(WriteFuzzFile(QStringLiteral("loaded.conf"), data, size));
    } catch (const EEncodingError &) {
        return 0;
    }
    const QString saved = FuzzFolder().filePath(QStringLiteral("saved.conf"));
    first.SaveToFile(saved);

    TLineDocument second;
    second.LoadFromFile(saved);
    if (second.Encoding() != first.Encoding() || second.Lines() != first.Lines())
        std::abort();
    return 0;
}
