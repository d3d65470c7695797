#pragma once

#include <QtGlobal>

#include <algorithm>

// Text files are read and written a chunk at a time, a sixteenth of the file but no less than the
// smallest and no more than the largest chunk: few system calls for a large file, and little memory
// beside the text for any.
constexpr qsizetype SmallestChunk = 64 * 1024;
constexpr qsizetype LargestChunk = 1024 * 1024;

inline qsizetype ChunkSizeFor(qint64 fileSize)
{
    // std::clamp, not qBound: with a 32-bit qsizetype, qBound<qint64> matches two of its overloads.
    return qsizetype(std::clamp<qint64>(fileSize / 16, SmallestChunk, LargestChunk));
}
