#pragma once

#include "text/LineDocument.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <functional>
#include <initializer_list>

// Small helpers the file tests share.

// What a row expects where Windows differs by design: there a file without a byte order mark is
// read, and a new file written, in the ANSI code page; elsewhere UTF-8 comes first.
template <class T>
T OffWindowsOrOnWindows(const T &offWindows, const T &onWindows)
{
#ifdef Q_OS_WIN
    constexpr bool windows = true;
#else
    constexpr bool windows = false;
#endif
    return windows ? onWindows : offWindows;
}

// The message of the TError that `action` raises; a null string when it raises nothing. Any
// other exception escapes and fails the test.
template <typename TError>
QString MessageOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const TError &error) {
        return error.Message();
    }
    return {};
}

// A temporary folder of one test function, with its fixture file "fixture.conf".
class TFixtureFolder : public QTemporaryDir {
public:
    // Writes `bytes` as the fixture file and gives its path.
    QString Fixture(const QByteArray &bytes) const;
    // A document loaded from a fixture file of `bytes`.
    TLineDocument Loaded(const QByteArray &bytes) const;
};

// The program's text lookup without a language file: every text is its German fallback.
inline QString FallbackText(const QString &, const QString &fallback)
{
    return fallback;
}

// The file's bytes, or "<unreadable>" so a comparison shows what went wrong.
QByteArray FileBytes(const QString &path);

// Writes `bytes` as the whole file; fails the current test when it cannot.
void WriteFixture(const QString &path, const QByteArray &bytes);

// The create error's message for `path` and the system's text for `errorCode`.
QString CreateErrorText(const QString &path, int errorCode);

// The message of a save stopped because another program changed the file at `path` meanwhile.
QString ChangedErrorText(const QString &path);

// Fills the file system that holds `path` with a new file of that name until no block is left.
void FillFileSystem(const QString &path);

// Unix only (FileFixtures_unix.cpp) from here on.

// The user and group "nobody", whom an administrator becomes to be refused like anyone else.
constexpr unsigned NobodyId = 65534;

// Makes the calling process the user and group "nobody"; false when the system refuses.
bool BecomeNobody();

// Makes the calling process "nobody" with `groups` as its further groups and no others; false
// when the system refuses.
bool BecomeNobodyInGroups(std::initializer_list<unsigned> groups);

// Runs `work` in a child process, so that what it changes of its process (a file size limit, a
// lowered identity) stays there. Gives the text `work` returned, or a text that says why the
// child could not run.
QString InChildProcess(const std::function<QString()> &work);

// Things that exist at a path but are no regular file.
enum class TSpecialFile { Fifo, Socket, ZeroDevice, LinkToZeroDevice };

// Makes one at `path` (a device needs administrator rights); false when it cannot be made here.
bool MakeSpecialFile(TSpecialFile kind, const QString &path);

// InChildProcess with ten seconds and 4 GB of address space, so that a test of something that
// might wait or read for ever fails instead: the child then gives nothing. Under AddressSanitizer,
// whose shadow memory alone needs more address space, only the time is limited.
QString ResultInChild(const std::function<QString()> &work);

// Built with AddressSanitizer: a process then cannot live in a limited address space, and an
// allocation that fails ends it instead of throwing std::bad_alloc.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif
