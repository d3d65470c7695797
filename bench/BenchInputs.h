#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>

// Generated files for the benchmarks.

// A firebird.conf of `lineCount` lines (about 20 bytes each), each ended by `lineEnd`: CR LF as
// the program writes, or LF as Debian's stock file has.
QByteArray GeneratedConfig(int lineCount, QByteArrayView lineEnd = "\r\n");

// The hostile inputs, each at `scale` (1 = full size, 2 = half, ...):
//   "config"   a 20 MB firebird.conf;
//   "oneline"  a firebird.conf of a single 5 MB line, an assignment with blanks around "=";
//   "empty"    a firebird.conf of a million empty lines;
//   "sections" a settings file of 100,000 sections;
//   "columns"  the same with the window's two column sets at their largest count.
QStringList HostileKinds();
QByteArray HostileInput(const QString &kind, int scale);

// Whether the kind is a settings file rather than a server configuration file.
bool IsSettingsKind(const QString &kind);

// Writes the bytes to the file, creating or replacing it; stops the bench when it cannot.
void WriteBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly);
