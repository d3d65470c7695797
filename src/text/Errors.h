#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Every failure the program reports to the user derives from this class. The message is the
// German text shown in the error box, exactly as built here.
class ETessaroError : public std::exception {
public:
    explicit ETessaroError(const QString &message);
    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// An existing file could not be opened for reading.
class EFOpenError : public ETessaroError {
public:
    EFOpenError(const QString &path, const QString &reason);
};

// A file could not be created or opened for writing; nothing was written.
class EFCreateError : public ETessaroError {
public:
    EFCreateError(const QString &path, const QString &reason);
};

// A file's bytes do not decode in the encoding its byte order mark announces.
class EEncodingError : public ETessaroError {
public:
    EEncodingError();
};

// Writing failed after the file was opened (for example a full disk).
class EWriteError : public ETessaroError {
public:
    EWriteError();
};

// Another program wrote, replaced or removed the file while it was being saved, after the user had
// last seen it; the save left it as that program made it.
class EFileChangedError : public ETessaroError {
public:
    explicit EFileChangedError(const QString &path);
};

// A line index outside 0 .. Count - 1.
class EStringListError : public ETessaroError {
public:
    explicit EStringListError(int index);
};

// The platform's description of an error code, without trailing blanks, line breaks and full
// stops, ready to stand at the end of one of the messages above.
QString SystemErrorText(int errorCode);

// A description the platform already gave as text (for example a file's errorString()), trimmed
// like SystemErrorText.
QString TrimErrorText(QString text);

// The reason given for a path that exists but is no regular file (a FIFO, socket, device or
// folder), which the program neither reads nor replaces.
QString NotRegularFileText();

// The path as it appears in messages: absolute, with the platform's separators.
QString MessagePath(const QString &path);
