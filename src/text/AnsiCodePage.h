#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The legacy 8-bit ("ANSI") code page: the system code page on Windows, Windows-1252 elsewhere,
// and how a file without a byte order mark is read and a new file written. On Windows such a file
// is in the system code page. Elsewhere the system's encoding is the locale's, UTF-8, which the
// database server expects of its files too: there a file without a mark is UTF-8 when its bytes
// are valid UTF-8, and in the legacy code page only otherwise, so that no older file fails to load.

// Decodes every byte sequence; never fails.
QString DecodeAnsi(QByteArrayView bytes);

// Encodes text; a character the code page cannot represent becomes "?" (or the platform's
// best-fit substitute).
QByteArray EncodeAnsi(QStringView text);

// True when the legacy code page is itself UTF-8 (Windows code page 65001); files then carry
// the UTF-8 mark on save.
bool AnsiIsUtf8();

// True when a file without a mark whose text is `bytes` (up to its first U+0000) is read, and then
// written, as UTF-8 without a mark rather than in the legacy code page.
bool UnmarkedIsUtf8(QByteArrayView bytes);

// True when a new file, one that was never read, is written as UTF-8 without a mark rather than
// in the legacy code page.
bool NewFileIsUtf8();
