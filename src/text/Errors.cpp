#include "text/Errors.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

ETessaroError::ETessaroError(const QString &message)
    : FMessage(message),
      FUtf8(message.toUtf8())
{}

// The multi-argument arg() replaces both markers in one pass, so a path holding "%2" stays intact.
EFOpenError::EFOpenError(const QString &path, const QString &reason)
    : ETessaroError(u"Datei %1 kann nicht geöffnet werden. %2"_s.arg(MessagePath(path), reason))
{}

EFCreateError::EFCreateError(const QString &path, const QString &reason)
    : ETessaroError(u"Datei \"%1\" kann nicht erstellt werden. %2"_s.arg(MessagePath(path), reason))
{}

EEncodingError::EEncodingError()
    : ETessaroError(u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden"_s)
{}

EWriteError::EWriteError()
    : ETessaroError(u"Stream-Schreibfehler"_s)
{}

EFileChangedError::EFileChangedError(const QString &path)
    : ETessaroError(
        u"Datei \"%1\" wurde während des Speicherns von einem anderen Programm geändert und nicht überschrieben"_s.arg(
            MessagePath(path)))
{}

EStringListError::EStringListError(int index)
    : ETessaroError(u"Listenindex außerhalb des gültigen Bereichs (%1)"_s.arg(index))
{}

QString SystemErrorText(int errorCode)
{
    return TrimErrorText(qt_error_string(errorCode));
}

// The messages end in the reason, so the platform's own closing full stop or line break would
// stand twice or break the box's last line.
QString TrimErrorText(QString text)
{
    while (!text.isEmpty() && (text.back().isSpace() || text.back() == u'.'))
        text.chop(1);
    return text;
}

QString NotRegularFileText()
{
    return u"keine reguläre Datei"_s;
}

QString MessagePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}
