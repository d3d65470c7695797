#pragma once

#include "text/TextEncoding.h"

#include <QByteArrayView>

// The byte order marks of the encodings that have one: EF BB BF (UTF-8), FF FE (UTF-16 LE) and
// FE FF (UTF-16 BE).

// The mark of `encoding`; empty for one without.
QByteArrayView ByteOrderMark(TTextEncoding encoding);

// The mark written at the start of a file saved in `encoding`: a legacy code page that is itself
// UTF-8 (Windows code page 65001) writes the UTF-8 mark.
QByteArrayView SavedMark(TTextEncoding encoding);

// Length of `encoding`'s mark when `bytes` begins with it, else 0.
qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding);

// The encoding whose mark `bytes` begins with, tested in the order UTF-8, UTF-16 LE, UTF-16 BE;
// None for none.
TTextEncoding MarkedEncoding(QByteArrayView bytes);
