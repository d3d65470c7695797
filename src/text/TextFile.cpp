#include "TextFile.h"

#include "AnsiCodePage.h"
#include "Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArrayView ByteOrderMark(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case TTextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TTextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    return {};
}

// The mark is handled by the caller, so a second mark right behind it is text and must stay.
constexpr auto KeepMarks = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString DecodeUtf8(QByteArrayView bytes)
{
    // Stateless: an incomplete sequence at the end is an error, not held back for more input.
    QStringDecoder decoder(QStringConverter::Utf8, KeepMarks);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw EEncodingError();
    return text;
}

QString DecodeUtf16(QByteArrayView bytes, QStringConverter::Encoding byteOrder)
{
    // A single byte decodes to nothing at all, which the system's converter reports as an
    // encoding error; any longer odd tail is simply cut off.
    if (bytes.size() == 1)
        throw EEncodingError();
    QStringDecoder decoder(byteOrder, KeepMarks);
    return decoder.decode(bytes.first(bytes.size() & ~qsizetype(1)));
}

QByteArray EncodeText(QStringView text, TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf8:
        return text.toUtf8();
    case TTextEncoding::Utf16LE:
        return QStringEncoder(QStringConverter::Utf16LE, KeepMarks).encode(text);
    case TTextEncoding::Utf16BE:
        return QStringEncoder(QStringConverter::Utf16BE, KeepMarks).encode(text);
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    return EncodeAnsi(text);
}

QByteArrayView SavedMark(TTextEncoding encoding)
{
    const bool legacy = encoding == TTextEncoding::None || encoding == TTextEncoding::Ansi;
    return legacy && AnsiIsUtf8() ? ByteOrderMark(TTextEncoding::Utf8) : ByteOrderMark(encoding);
}

// A read-only file must stay as it is even where its folder would let a new file replace it. An
// administrator on Unix writes through missing permission bits and a Unix file has no read-only
// attribute of its own, so a file without any write bit counts as read-only. The probe opens for
// appending, which changes nothing and yields the system's own reason.
void CheckExistingWritable(const QString &path, const QFileInfo &target)
{
    QFile probe(target.filePath());
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly))
        throw EFCreateError(path, TrimErrorText(probe.errorString()));
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!(target.permissions() & anyWrite))
        throw EFCreateError(path, SystemErrorText(EACCES));
}

// A save file is a new file and belongs to whoever saves; the server's files must keep theirs.
void KeepOwner([[maybe_unused]] QSaveFile &file, [[maybe_unused]] const QFileInfo &target)
{
#ifdef Q_OS_UNIX
    // Failing means we may not give the file away; it then stays ours, as any new file would.
    [[maybe_unused]] const int result = fchown(file.handle(), target.ownerId(), target.groupId());
#endif
}

} // namespace

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(path, TrimErrorText(file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(path, TrimErrorText(file.errorString()));
    return bytes;
}

// QStringConverter::encodingForData() is no help: it also knows the UTF-32 marks, and a file
// beginning FF FE 00 00 must be taken for UTF-16.
TTextEncoding DetectEncoding(QByteArrayView bytes, qsizetype &markLength)
{
    for (TTextEncoding encoding : {TTextEncoding::Utf8, TTextEncoding::Utf16LE, TTextEncoding::Utf16BE}) {
        markLength = LeadingMarkLength(bytes, encoding);
        if (markLength > 0)
            return encoding;
    }
    markLength = 0;
    return TTextEncoding::Ansi;
}

qsizetype LeadingMarkLength(QByteArrayView bytes, TTextEncoding encoding)
{
    const QByteArrayView mark = ByteOrderMark(encoding);
    return !mark.isEmpty() && bytes.startsWith(mark) ? mark.size() : 0;
}

QString DecodeText(QByteArrayView bytes, TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf8:
        return DecodeUtf8(bytes);
    case TTextEncoding::Utf16LE:
        return DecodeUtf16(bytes, QStringConverter::Utf16LE);
    case TTextEncoding::Utf16BE:
        return DecodeUtf16(bytes, QStringConverter::Utf16BE);
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    return DecodeAnsi(bytes);
}

QStringList SplitLines(QStringView text)
{
    const qsizetype end = text.indexOf(QChar(u'\0'));
    if (end >= 0)
        text.truncate(end);

    QStringList lines;
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype stop = start;
        while (stop < text.size() && !isBreak(text[stop]))
            ++stop;
        lines.append(text.sliced(start, stop - start).toString());
        if (stop < text.size() && text[stop] == u'\r')
            ++stop;
        if (stop < text.size() && text[stop] == u'\n')
            ++stop;
        start = stop;
    }
    return lines;
}

QByteArray EncodeLines(const QStringList &lines, TTextEncoding encoding)
{
    qsizetype length = 0;
    for (const QString &line : lines)
        length += line.size() + 2;
    QString text;
    text.reserve(length);
    for (const QString &line : lines) {
        text += line;
        text += u"\r\n"_s;
    }
    return SavedMark(encoding).toByteArray() + EncodeText(text, encoding);
}

void WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo link(path);
    // QSaveFile replaces a symbolic link's target and leaves the link; checks go to that target.
    const QFileInfo target(link.exists() ? link.canonicalFilePath() : path);
    const bool exists = link.exists();
    if (exists)
        CheckExistingWritable(path, target);

    QSaveFile file(path);
    // A folder that only lets us write into the existing file leaves no choice but to write it
    // in place, at the price of a half-written file should the write fail. Only that case.
    file.setDirectWriteFallback(exists && !QFileInfo(target.absolutePath()).isWritable());
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(path, TrimErrorText(file.errorString()));
    if (exists)
        KeepOwner(file, target);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EWriteError();
}
