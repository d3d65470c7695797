#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The legacy 8-bit ("ANSI") code page: the system code page on Windows, Windows-1252 elsewhere.

// Decodes every byte sequence; never fails.
QString DecodeAnsi(QByteArrayView bytes);

// Encodes text; a character the code page cannot represent becomes "?" (or the platform's
// best-fit substitute).
QByteArray EncodeAnsi(QStringView text);

// True when the legacy code page is itself UTF-8 (Windows code page 65001); files then carry
// the UTF-8 mark on save.
bool AnsiIsUtf8();
