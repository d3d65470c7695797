#pragma once

#include <QByteArray>
#include <QString>

// Small helpers the file tests share.

// The file's bytes, or "<unreadable>" so a comparison shows what went wrong.
QByteArray FileBytes(const QString &path);

// Writes `bytes` as the whole file; fails the current test when it cannot.
void WriteFixture(const QString &path, const QByteArray &bytes);

// The create error's message for `path` and the system's text for `errorCode`.
QString CreateErrorText(const QString &path, int errorCode);
