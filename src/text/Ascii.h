#pragma once

#include <QByteArrayView>
#include <QStringView>

// The loops over the bytes and characters of files of a million lines take a 64-bit word a step:
// one character at a time, every character would cost a test and a branch of its own.

bool IsAscii(QByteArrayView bytes);

// Narrows `text` into `out`, which has room for its size, and tells whether it was ASCII;
// otherwise `out` holds garbage.
bool NarrowAscii(QStringView text, char *out);
