#pragma once

#include <QtGlobal>

// Asks the system to back a large buffer that is about to be filled with large memory pages
// where it offers them: a 20 MB file otherwise costs thousands of page faults on its way through
// reading, decoding and encoding. Only advice; the buffer is the same either way.
void AdviseLargePages(void *data, qsizetype size);
