#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QStringView>

// The loops over the bytes and characters of files of a million lines take a 64-bit word a step:
// one character at a time, every character would cost a test and a branch of its own.

bool IsAscii(QByteArrayView bytes);

// Writes `text` as one byte a character into `out`, which has room for its size, and tells
// whether it was ASCII; otherwise `out` holds garbage.
bool NarrowAscii(QStringView text, char *out);
bool NarrowAscii(QLatin1StringView text, char *out);
