#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// The lines of `text` by the loading rule, one character at a time: the plain form of what the
// document does in words of several characters.
QStringList LinesByRule(QStringView text)
{
    const qsizetype end = text.indexOf(QChar(u'\0'));
    if (end >= 0)
        text.truncate(end);
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            line += text[i];
            continue;
        }
        lines.append(line);
        line.clear();
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// A file's bytes for `text`, mark included. The legacy code page is Windows-1252, of which the
// texts here use ASCII, "ä" and "€" only.
QByteArray FileBytesOf(const QString &text, TTextEncoding encoding)
{
    QByteArray bytes;
    switch (encoding) {
    case TTextEncoding::Utf8:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case TTextEncoding::Utf8NoMark:
        return text.toUtf8();
    case TTextEncoding::Utf16LE:
    case TTextEncoding::Utf16BE: {
        const bool bigEndian = encoding == TTextEncoding::Utf16BE;
        bytes = bigEndian ? "\xFE\xFF"_ba : "\xFF\xFE"_ba;
        for (const QChar unit : text) {
            const char low = char(unit.unicode() & 0xFF);
            const char high = char(unit.unicode() >> 8);
            bytes += bigEndian ? high : low;
            bytes += bigEndian ? low : high;
        }
        return bytes;
    }
    case TTextEncoding::None:
    case TTextEncoding::Ansi:
        break;
    }
    for (const QChar unit : text)
        bytes += unit == u'€' ? '\x80' : char(unit.unicode());
    return bytes;
}

constexpr QFile::Permissions ReadOnlyForAll = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

} // namespace

Q_DECLARE_METATYPE(TSpecialFile)

class TestLineDocument : public QObject {
    Q_OBJECT

private slots:
    void init();

    void load_data();
    void load();
    void loadEncodingError_data();
    void loadEncodingError();
    void loadOpenError();
    void readingSharesWithReadersOnly();
    void loadRefusesWhatIsNoRegularFile_data();
    void loadRefusesWhatIsNoRegularFile();
    void fileStampFollowsLoadAndSave();
    void saveRefusesFileChangedSinceStamp();

    void saveRoundTrip_data();
    void saveRoundTrip();
    void saveWithoutLoad_data();
    void saveWithoutLoad();
    void editedFileKeepsItsEncoding_data();
    void editedFileKeepsItsEncoding();
    void loadAndSaveFollowTheLineRule_data();
    void loadAndSaveFollowTheLineRule();
    void loadFileThatTellsNoSize();
    void lineEndsAtEveryPlaceInAWord();
    void loadAndSaveAcrossPieces_data();
    void loadAndSaveAcrossPieces();

    void edits();
    void editsOfLoadedLinesSave();
    void copiesKeepTheirLines();
    void manyEditsKeepEveryLine();
    void linesAndFirstChars();
    void joinedLines_data();
    void joinedLines();
    void revisionGrowsWithEveryChange();
    void indexError_data();
    void indexError();

    void names_data();
    void names();
    void setValues_data();
    void setValues();
    void valuesOf();

    void trimErrorText_data();
    void trimErrorText();

    void saveKeepsLinkModeAndOwner();
    void saveInPlaceWhereFolderIsLocked();

private:
    QString Fixture(const QByteArray &bytes);
    TLineDocument Loaded(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> FDir;
};

void TestLineDocument::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
}

QString TestLineDocument::Fixture(const QByteArray &bytes)
{
    const QString path = FDir->filePath(u"fixture.conf"_s);
    WriteFixture(path, bytes);
    return path;
}

TLineDocument TestLineDocument::Loaded(const QByteArray &bytes)
{
    TLineDocument document;
    document.LoadFromFile(Fixture(bytes));
    return document;
}

void TestLineDocument::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<TTextEncoding>("encoding");

    // Without a mark, valid UTF-8 (ASCII too) is UTF-8, anything else Windows-1252; on Windows
    // such a file is always in the ANSI code page, Windows-1252 here.
    const auto ansi = TTextEncoding::Ansi;
    const auto unmarked = OffWindowsOrOnWindows(TTextEncoding::Utf8NoMark, ansi);
    const QStringList ab{u"a=1"_s, u"b=2"_s};
    const QStringList aEmptyB{u"a"_s, QString(), u"b"_s};
    QTest::newRow("CR LF") << "a=1\r\nb=2\r\n"_ba << ab << unmarked;
    QTest::newRow("LF, no break at the end") << "a=1\nb=2"_ba << ab << unmarked;
    QTest::newRow("CR") << "a=1\rb=2"_ba << ab << unmarked;
    QTest::newRow("LF CR ends two lines") << "a\n\rb"_ba << aEmptyB << unmarked;
    QTest::newRow("CR LF CR LF") << "a\r\n\r\nb"_ba << aEmptyB << unmarked;
    QTest::newRow("CR LF alone") << "\r\n"_ba << QStringList{QString()} << unmarked;
    QTest::newRow("empty file") << QByteArray() << QStringList() << unmarked;
    QTest::newRow("U+0000 ends the text") << "a\0b\r\nc"_ba << QStringList{u"a"_s} << unmarked;
    QTest::newRow("Windows-1252") << "\x80\x9F\xE4\xFF"_ba << QStringList{u"€Ÿäÿ"_s} << ansi;
    QTest::newRow("Windows-1252 umlauts") << "Datenb\xE4nke=Gr\xFC\xDF"
                                             "e\r\n"_ba
                                          << QStringList{u"Datenbänke=Grüße"_s} << ansi;
    QTest::newRow("FF alone") << "\xFF"_ba << QStringList{u"ÿ"_s} << ansi;
    QTest::newRow("overlong UTF-8 form is Windows-1252") << "\xC0\xAF"_ba << QStringList{u"À¯"_s} << ansi;
    QTest::newRow("encoded surrogate is Windows-1252") << "\xED\xA0\x80"_ba << QStringList{u"í\u00A0€"_s} << ansi;
    QTest::newRow("incomplete UTF-8 at the end is Windows-1252") << "a\xC3"_ba << QStringList{u"aÃ"_s} << ansi;
    QTest::newRow("UTF-8 without a mark") << "Datenb\xC3\xA4nke=Gr\xC3\xBC\xC3\x9F"
                                             "e\r\n\xE2\x82\xAC"_ba
                                          << OffWindowsOrOnWindows(QStringList{u"Datenbänke=Grüße"_s, u"€"_s},
                                                                   QStringList{u"DatenbÃ¤nke=GrÃ¼ÃŸe"_s, u"â‚¬"_s})
                                          << unmarked;
    QTest::newRow("UTF-8 without a mark, bytes behind U+0000 decide nothing")
        << "\xC3\xA4\0\xFF"_ba << OffWindowsOrOnWindows(QStringList{u"ä"_s}, QStringList{u"Ã¤"_s}) << unmarked;
    QTest::newRow("Windows-1252 before U+0000 decides") << "\xE4\0\xC3\xA4"_ba << QStringList{u"ä"_s} << ansi;
    QTest::newRow("UTF-16 LE without a mark") << "a\0=\0001\0"_ba << QStringList{u"a"_s} << unmarked;
    QTest::newRow("UTF-8 mark alone") << "\xEF\xBB\xBF"_ba << QStringList() << TTextEncoding::Utf8;
    QTest::newRow("UTF-8") << "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                              "e=1\r\nx"_ba
                           << QStringList{u"Grüße=1"_s, u"x"_s} << TTextEncoding::Utf8;
    QTest::newRow("second UTF-8 mark is text") << "\xEF\xBB\xBF\xEF\xBB\xBF"
                                                  "a"_ba
                                               << QStringList{u"\uFEFFa"_s} << TTextEncoding::Utf8;
    QTest::newRow("UTF-16 LE mark alone") << "\xFF\xFE"_ba << QStringList() << TTextEncoding::Utf16LE;
    QTest::newRow("UTF-16 LE, odd last byte ignored") << "\xFF\xFE"
                                                         "a\0\r\0\n\0b\0c"_ba
                                                      << QStringList{u"a"_s, u"b"_s} << TTextEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE, odd last byte ignored")
        << "\xFE\xFF\0a\0\n\0b\0"_ba << QStringList{u"a"_s, u"b"_s} << TTextEncoding::Utf16BE;
    QTest::newRow("UTF-16 BE surrogate pair")
        << "\xFE\xFF\xD8\x3D\xDE\x00"_ba << QStringList{u"\U0001F600"_s} << TTextEncoding::Utf16BE;
    QTest::newRow("UTF-32 LE taken for UTF-16 LE")
        << "\xFF\xFE\0\0a\0\0\0"_ba << QStringList() << TTextEncoding::Utf16LE;
}

// While a file is read, other programs may read it too, but not write it: on Windows the file is
// opened sharing it with readers only. Unix has no such rule, and nothing here makes one.
void TestLineDocument::readingSharesWithReadersOnly()
{
#ifdef Q_OS_WIN
    const QString path = FDir->filePath(u"shared.conf"_s);
    WriteFixture(path, "a=1\r\nb=2\r\n"_ba);
    bool readerOpened = false, writerOpened = true;
    TTextEncoding encoding = TTextEncoding::None;
    ReadTextLines(path, encoding, [&](QStringView) {
        QFile reader(path), writer(path);
        readerOpened = reader.open(QIODevice::ReadOnly);
        writerOpened = writer.open(QIODevice::ReadWrite);
    });
    QVERIFY(readerOpened);
    QVERIFY(!writerOpened);
    // Once read, the file is free again.
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::ReadWrite));
#else
    QSKIP("Only Windows lets a reader keep writers out of a file.");
#endif
}

void TestLineDocument::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(TTextEncoding, encoding);

    TLineDocument document;
    document.Add(u"left over"_s);
    document.LoadFromFile(Fixture(bytes));

    QCOMPARE(document.Lines(), lines);
    QCOMPARE(document.Encoding(), encoding);
}

void TestLineDocument::loadEncodingError_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TTextEncoding>("encoding");

    const auto utf8 = TTextEncoding::Utf8;
    QTest::newRow("invalid byte") << "\xEF\xBB\xBF\xFF"_ba << utf8;
    QTest::newRow("incomplete sequence at the end") << "\xEF\xBB\xBF"
                                                       "a\xE4"_ba
                                                    << utf8;
    QTest::newRow("overlong form") << "\xEF\xBB\xBF\xC0\xAF"_ba << utf8;
    QTest::newRow("encoded surrogate") << "\xEF\xBB\xBF\xED\xA0\x80"_ba << utf8;
    QTest::newRow("invalid byte behind U+0000") << "\xEF\xBB\xBF"
                                                   "a\0\xFF"_ba
                                                << utf8;
    // Far enough into the file to be read in a later piece.
    const QByteArray ascii = "a=1\r\n"_ba.repeated(200'000);
    QTest::newRow("invalid byte in a later piece") << "\xEF\xBB\xBF"_ba + ascii + "\xFF"_ba << utf8;
    QTest::newRow("invalid byte in a later piece behind U+0000")
        << "\xEF\xBB\xBF"_ba + ascii + '\0' + ascii + "\xFF"_ba << utf8;
    QTest::newRow("UTF-16 LE mark and one byte") << "\xFF\xFE"
                                                    "a"_ba
                                                 << TTextEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE mark and one byte") << "\xFE\xFF"
                                                    "a"_ba
                                                 << TTextEncoding::Utf16BE;
}

void TestLineDocument::loadEncodingError()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TTextEncoding, encoding);

    TLineDocument document;
    document.Add(u"kept"_s);
    const QString path = Fixture(bytes);

    QCOMPARE(MessageOf<EEncodingError>([&] { document.LoadFromFile(path); }),
             u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden"_s);
    QCOMPARE(document.Lines(), QStringList{u"kept"_s});
    QCOMPARE(document.Encoding(), encoding);
}

void TestLineDocument::loadOpenError()
{
    TLineDocument document = Loaded("\xFE\xFF\0a"_ba);
    const QString folder = QDir::toNativeSeparators(FDir->path());

    // A relative path appears made absolute.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(FDir->path()));
    const QString missing = MessageOf<EFOpenError>([&] { document.LoadFromFile(u"missing.conf"_s); });
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(missing,
             u"Datei "_s + folder + QDir::separator() + u"missing.conf kann nicht geöffnet werden. "_s
                 + SystemErrorText(ENOENT));

    // A folder cannot be read as a file, whoever asks.
    const QString prefix = u"Datei "_s + folder + u" kann nicht geöffnet werden. "_s;
    const QString directory = MessageOf<EFOpenError>([&] { document.LoadFromFile(FDir->path()); });
    QVERIFY2(directory.startsWith(prefix) && directory.size() > prefix.size(), qPrintable(directory));
    QVERIFY(!directory.endsWith(u'.'));

    QCOMPARE(document.Lines(), QStringList{u"a"_s});
    QCOMPARE(document.Encoding(), TTextEncoding::Utf16BE);
}

void TestLineDocument::loadRefusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<TSpecialFile>("kind");
    QTest::newRow("FIFO without a writer") << TSpecialFile::Fifo;
    QTest::newRow("socket") << TSpecialFile::Socket;
    QTest::newRow("device that never ends") << TSpecialFile::ZeroDevice;
    QTest::newRow("link to a device that never ends") << TSpecialFile::LinkToZeroDevice;
}

// A FIFO would keep the load waiting for a writer, a device like /dev/zero would be read until
// memory runs out: both are refused at once, judged by what was opened.
void TestLineDocument::loadRefusesWhatIsNoRegularFile()
{
    QFETCH(TSpecialFile, kind);

#ifdef Q_OS_UNIX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    if (!MakeSpecialFile(kind, path))
        QSKIP(qPrintable(u"This kind of file cannot be made here: "_s + SystemErrorText(errno)));

    const QString result = ResultInChild([&] {
        TLineDocument document = Loaded("\xFE\xFF\0a"_ba);
        const QString message = MessageOf<EFOpenError>([&] { document.LoadFromFile(path); });
        // Nothing of the document changes.
        const bool kept = document.Lines() == QStringList{u"a"_s} && document.Encoding() == TTextEncoding::Utf16BE;
        return kept ? message : u"document changed"_s;
    });

    QCOMPARE(result,
             u"Datei "_s + QDir::toNativeSeparators(path) + u" kann nicht geöffnet werden. keine reguläre Datei"_s);
#else
    Q_UNUSED(kind);
    QSKIP("FIFOs, sockets and devices as made here exist on Unix only.");
#endif
}

// The stamp tells the file as the document last loaded or saved it, so that a change by another
// program shows.
void TestLineDocument::fileStampFollowsLoadAndSave()
{
    const QString path = FDir->filePath(u"firebird.conf"_s);
    TLineDocument document;
    QVERIFY(!document.FileStamp().Exists);
    WriteFixture(path, "a=1\r\n"_ba);
    document.LoadFromFile(path);
    QVERIFY(document.FileStamp().Exists);
    QCOMPARE(document.FileStamp(), FileStampOf(path));
    QCOMPARE(document.FileStamp().Size, 5);

    // Another program appends a line.
    QFile other(path);
    QVERIFY(other.open(QIODevice::Append));
    QCOMPARE(other.write("b=2\r\n"), 5);
    other.close();
    QVERIFY(document.FileStamp() != FileStampOf(path));

    document.Add(u"c=3"_s);
    document.SaveToFile(path);
    QCOMPARE(document.FileStamp(), FileStampOf(path));
    QCOMPARE(document.FileStamp().Size, 10);

    // A file that fails to load leaves the stamp as it was, like the lines.
    const TFileStamp saved = document.FileStamp();
    const QString broken = FDir->filePath(u"broken.conf"_s);
    WriteFixture(broken, "\xEF\xBB\xBF\xFF"_ba);
    QVERIFY(!MessageOf<EEncodingError>([&] { document.LoadFromFile(broken); }).isEmpty());
    QCOMPARE(document.FileStamp(), saved);

    QVERIFY(QFile::remove(path));
    QVERIFY(!FileStampOf(path).Exists);
}

// A save that is given the stamp the file had when the user last saw it replaces only that file:
// another program's write since then stays, the error says so, and the document's stamp and lines
// stay as they were for a later save.
void TestLineDocument::saveRefusesFileChangedSinceStamp()
{
    const QString path = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(path, "a=1\r\n"_ba);
    TLineDocument document;
    document.LoadFromFile(path);
    const TFileStamp loaded = document.FileStamp();
    document.Add(u"c=3"_s);

    QFile other(path);
    QVERIFY(other.open(QIODevice::Append));
    QCOMPARE(other.write("b=2\r\n"), 5);
    other.close();

    QCOMPARE(MessageOf<EFileChangedError>([&] { document.SaveToFile(path, loaded); }), ChangedErrorText(path));
    QCOMPARE(FileBytes(path), "a=1\r\nb=2\r\n"_ba);
    QCOMPARE(document.FileStamp(), loaded);

    // Asked and told to overwrite, the caller gives the stamp as it is now.
    document.SaveToFile(path, FileStampOf(path));
    QCOMPARE(FileBytes(path), "a=1\r\nc=3\r\n"_ba);
    QCOMPARE(document.FileStamp(), FileStampOf(path));

    // A file expected to be missing must still be missing.
    const QString missing = FDir->filePath(u"databases.conf"_s);
    WriteFixture(missing, "x=1\r\n"_ba);
    QCOMPARE(MessageOf<EFileChangedError>([&] { document.SaveToFile(missing, TFileStamp()); }),
             ChangedErrorText(missing));
    QCOMPARE(FileBytes(missing), "x=1\r\n"_ba);
}

void TestLineDocument::saveRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("legacy, LF becomes CR LF") << "a=1\nb=2"_ba
                                              << "a=1\r\nb=2\r\n"_ba;
    QTest::newRow("one empty line") << "\r\n"_ba
                                    << "\r\n"_ba;
    QTest::newRow("empty legacy file") << QByteArray() << QByteArray();
    QTest::newRow("text after U+0000 is lost") << "a\0b\r\nc"_ba
                                               << "a\r\n"_ba;
    QByteArray upper;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        upper += char(byte);
    QTest::newRow("Windows-1252 0x80..0xFF") << upper << upper + "\r\n";
    QTest::newRow("Windows-1252 umlauts stay Windows-1252") << "Datenb\xE4nke=/srv/Datenb\xE4nke\n"_ba
                                                            << "Datenb\xE4nke=/srv/Datenb\xE4nke\r\n"_ba;
    QTest::newRow("UTF-8 without a mark stays without one") << "k=/srv/Datenb\xC3\xA4nke\n"_ba
                                                            << "k=/srv/Datenb\xC3\xA4nke\r\n"_ba;
    QTest::newRow("UTF-8 mark alone") << "\xEF\xBB\xBF"_ba
                                      << "\xEF\xBB\xBF"_ba;
    QTest::newRow("UTF-8") << "\xEF\xBB\xBF\xC3\xA4\rb"_ba
                           << "\xEF\xBB\xBF\xC3\xA4\r\nb\r\n"_ba;
    QTest::newRow("UTF-16 LE mark alone") << "\xFF\xFE"_ba
                                          << "\xFF\xFE"_ba;
    QTest::newRow("UTF-16 LE") << "\xFF\xFE"
                                  "a\0"_ba
                               << "\xFF\xFE"
                                  "a\0\r\0\n\0"_ba;
    QTest::newRow("UTF-16 BE") << "\xFE\xFF\0a\0\n"_ba
                               << "\xFE\xFF\0a\0\r\0\n"_ba;
}

void TestLineDocument::saveRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);

    const QString path = FDir->filePath(u"saved.conf"_s);
    Loaded(bytes).SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

void TestLineDocument::saveWithoutLoad_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("no lines") << QStringList() << QByteArray();
    QTest::newRow("two lines") << QStringList{u"a=1"_s, u"b=2"_s} << "a=1\r\nb=2\r\n"_ba;
    QTest::newRow("one empty line") << QStringList{QString()} << "\r\n"_ba;
    // A file that was never read is new: UTF-8 without a mark, on Windows the ANSI code page,
    // where the system puts "?" for each UTF-16 unit it cannot represent.
    QTest::newRow("new file's encoding") << QStringList{u"€ä"_s, u"中"_s, u"\U0001F600"_s}
                                         << OffWindowsOrOnWindows(
                                                "\xE2\x82\xAC\xC3\xA4\r\n\xE4\xB8\xAD\r\n\xF0\x9F\x98\x80\r\n"_ba,
                                                "\x80\xE4\r\n?\r\n??\r\n"_ba);
}

void TestLineDocument::saveWithoutLoad()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, saved);

    TLineDocument document;
    document.AddStrings(lines);
    const QString path = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

void TestLineDocument::editedFileKeepsItsEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QByteArray>("saved");

    // Off Windows an ASCII file is UTF-8 as well; on Windows it is in the ANSI code page.
    QTest::newRow("ASCII gains characters beyond it")
        << "a=1\n"_ba << u"b=ä"_s << OffWindowsOrOnWindows("a=1\r\nb=\xC3\xA4\r\n"_ba, "a=1\r\nb=\xE4\r\n"_ba);
    QTest::newRow("empty file gains characters beyond ASCII")
        << QByteArray() << u"b=ä€"_s << OffWindowsOrOnWindows("b=\xC3\xA4\xE2\x82\xAC\r\n"_ba, "b=\xE4\x80\r\n"_ba);
    QTest::newRow("Windows-1252 stays Windows-1252") << "a=\xFC\n"_ba << u"b=ä€"_s << "a=\xFC\r\nb=\xE4\x80\r\n"_ba;
    // Windows substitutes a similar character where it knows one, and "?" for each UTF-16 unit.
    QTest::newRow("Windows-1252: unencodable characters are substituted")
        << "a=\xFC\n"_ba << u"中\U0001F600a\u0151b"_s
        << OffWindowsOrOnWindows("a=\xFC\r\n??a?b\r\n"_ba, "a=\xFC\r\n???aob\r\n"_ba);
    QTest::newRow("UTF-8 with a mark keeps it") << "\xEF\xBB\xBF"
                                                   "a=1\n"_ba
                                                << u"b=ä"_s
                                                << "\xEF\xBB\xBF"
                                                   "a=1\r\nb=\xC3\xA4\r\n"_ba;
}

void TestLineDocument::editedFileKeepsItsEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, added);
    QFETCH(QByteArray, saved);

    TLineDocument document = Loaded(bytes);
    document.Add(added);
    const QString path = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

// Texts made at random from a few characters, among them every line break, U+0000 and characters
// next to CR and LF in code, in lines long and short, must load into the lines the rule gives and
// save as those lines with CR LF after each.
void TestLineDocument::loadAndSaveFollowTheLineRule_data()
{
    QTest::addColumn<TTextEncoding>("encoding");
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("alphabet");

    const QString breaks = u"\r\n\r\n\t\u000C\u000E"_s + QChar(u'\0');
    const QString ascii = u"aaaaaaaabbbb==  "_s + breaks;
    // "ÿ", the byte FF, is never UTF-8: behind it a file without a mark is Windows-1252.
    const QString notUtf8 = u"ÿ"_s;
    QTest::newRow("legacy, ASCII") << TTextEncoding::Ansi << notUtf8 << ascii;
    QTest::newRow("legacy, beyond ASCII") << TTextEncoding::Ansi << notUtf8 << ascii + u"ä€"_s;
    // Without a mark: UTF-8, on Windows the ANSI code page.
    const auto noMark = OffWindowsOrOnWindows(TTextEncoding::Utf8NoMark, TTextEncoding::Ansi);
    QTest::newRow("no mark, ASCII") << noMark << QString() << ascii;
    QTest::newRow("no mark, beyond ASCII") << noMark << QString() << ascii + OffWindowsOrOnWindows(u"ä中"_s, u"ä€"_s);
    QTest::newRow("UTF-8, ASCII") << TTextEncoding::Utf8 << QString() << ascii;
    QTest::newRow("UTF-8") << TTextEncoding::Utf8 << QString() << ascii + u"ä中"_s;
    // Units whose bytes are CR or LF, alone or as a pair, in either byte order.
    const QString utf16 = ascii + u"\u0D0A\u0A0D\u010D\u800D\uFFFF"_s;
    QTest::newRow("UTF-16 LE") << TTextEncoding::Utf16LE << QString() << utf16;
    QTest::newRow("UTF-16 BE") << TTextEncoding::Utf16BE << QString() << utf16;
}

void TestLineDocument::loadAndSaveFollowTheLineRule()
{
    QFETCH(TTextEncoding, encoding);
    QFETCH(QString, lead);
    QFETCH(QString, alphabet);

    QRandomGenerator random(7);
    const QString saved = FDir->filePath(u"saved.conf"_s);
    for (int round = 0; round < 300; ++round) {
        QString text = lead;
        for (int length = random.bounded(round % 10 == 0 ? 400 : 60); length > 0; --length)
            text += alphabet[random.bounded(int(alphabet.size()))];
        const QStringList lines = LinesByRule(text);
        const QString savedText = lines.isEmpty() ? QString() : lines.join(u"\r\n"_s) + u"\r\n"_s;
        auto report = qScopeGuard([&] { qWarning() << "text:" << text; });

        TLineDocument document = Loaded(FileBytesOf(text, encoding));
        QCOMPARE(document.Lines(), lines);
        QCOMPARE(document.Encoding(), encoding);
        document.SaveToFile(saved);
        QCOMPARE(FileBytes(saved), FileBytesOf(savedText, encoding));
        report.dismiss();
    }
}

// ASCII files are split eight bytes at a time: a CR LF or a U+0000 at each place in such a word,
// and a CR LF across two words, behind a mark or not.
void TestLineDocument::lineEndsAtEveryPlaceInAWord()
{
    for (const QByteArray &mark : {QByteArray(), "\xEF\xBB\xBF"_ba}) {
        for (int at = 0; at < 20; ++at) {
            const QByteArray before(at, 'x');
            const QString line = QString::fromLatin1(before);
            QCOMPARE(Loaded(mark + before + "\r\ny=1"_ba).Lines(), (QStringList{line, u"y=1"_s}));
            QCOMPARE(Loaded(mark + before + "\r\r\n"_ba).Lines(), (QStringList{line, QString()}));
            QCOMPARE(Loaded(mark + before + QByteArray("\0z\r\n", 4)).Lines(),
                     at == 0 ? QStringList() : QStringList{line});
        }
    }
}

// A file is read and written a piece at a time, of 64 KiB and more: line breaks, a CR LF cut in
// two, a line longer than many pieces and the first byte beyond ASCII can fall anywhere.
void TestLineDocument::loadAndSaveAcrossPieces_data()
{
    QTest::addColumn<TTextEncoding>("encoding");
    QTest::addColumn<QString>("text");

    // Breaks at every multiple of 4 KiB, and so at the end of every piece; one character ahead,
    // each CR LF is cut in two.
    const auto every4k = [](const QString &tail) { return (QString(4096 - tail.size(), u'x') + tail).repeated(256); };
    QString asciiLines;
    for (int i = 0; i < 600; ++i)
        asciiLines += u"Line%1 = %2\r\n"_s.arg(i).arg(QString(1000, u'v'));

    // Without a mark: UTF-8, on Windows the ANSI code page.
    const auto noMark = OffWindowsOrOnWindows(TTextEncoding::Utf8NoMark, TTextEncoding::Ansi);
    QTest::newRow("CR LF across piece borders") << noMark << u"y"_s + every4k(u"\r\n"_s);
    QTest::newRow("CR alone on piece borders") << noMark << every4k(u"\r"_s);
    QTest::newRow("LF CR on piece borders") << noMark << every4k(u"\n\r"_s);
    QTest::newRow("a line over many pieces") << noMark << u"a=1\r\n"_s + QString(300'000, u'v') + u"\r\nb=2"_s;
    QTest::newRow("beyond ASCII behind ASCII pieces")
        << noMark << asciiLines + OffWindowsOrOnWindows(u"é=1\r\n中\r\ntail"_s, u"é=1\r\n€\r\ntail"_s);
    QTest::newRow("legacy behind ASCII pieces") << TTextEncoding::Ansi << asciiLines + u"ÿ=ä\r\ntail"_s;
    QTest::newRow("U+0000 behind ASCII pieces") << noMark << asciiLines + u"ab"_s + QChar(u'\0') + u"cd\r\nmore"_s;
    QTest::newRow("UTF-8 behind ASCII pieces, marked") << TTextEncoding::Utf8 << asciiLines + u"é\r\n"_s;
    QTest::newRow("UTF-16 over many pieces") << TTextEncoding::Utf16LE << asciiLines + u"é\r\n"_s;
}

void TestLineDocument::loadAndSaveAcrossPieces()
{
    QFETCH(TTextEncoding, encoding);
    QFETCH(QString, text);

    const QStringList lines = LinesByRule(text);
    TLineDocument document = Loaded(FileBytesOf(text, encoding));
    QCOMPARE(document.Count(), lines.size());
    QCOMPARE(document.Lines(), lines);
    QCOMPARE(document.Encoding(), encoding);

    const QString saved = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(saved);
    QCOMPARE(FileBytes(saved), FileBytesOf(lines.join(u"\r\n"_s) + u"\r\n"_s, encoding));
}

void TestLineDocument::loadFileThatTellsNoSize()
{
#ifdef Q_OS_LINUX
    TLineDocument document;
    document.LoadFromFile(u"/proc/self/status"_s);
    QVERIFY(document.Count() > 1);
    QVERIFY2(document.Get(0).startsWith(u"Name:"), qPrintable(document.Get(0)));
#else
    QSKIP("System files that tell no size are tried on Linux only.");
#endif
}

void TestLineDocument::edits()
{
    TLineDocument document = Loaded("\xFE\xFF\0a"_ba);

    QCOMPARE(document.Add(u"b"_s), 1);
    document.Put(0, u"x"_s);
    document.AddStrings({u"c"_s, QString(), u"c"_s});
    QCOMPARE(document.Lines(), (QStringList{u"x"_s, u"b"_s, u"c"_s, QString(), u"c"_s}));
    document.Delete(1);
    QCOMPARE(document.Lines(), (QStringList{u"x"_s, u"c"_s, QString(), u"c"_s}));
    QCOMPARE(document.Get(1), u"c"_s);
    QCOMPARE(document.Count(), 4);

    // The file's encoding outlives clearing: the next save goes to the same kind of file.
    document.Clear();
    QCOMPARE(document.Count(), 0);
    document.Add(u"y"_s);
    const QString path = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(path);
    QCOMPARE(FileBytes(path), "\xFE\xFF\0y\0\r\0\n"_ba);
}

// A loaded file saves in runs of lines that stood one after the other with CR LF between them;
// edits must break a run wherever the text between two lines is no longer just that CR LF.
void TestLineDocument::editsOfLoadedLinesSave()
{
    TLineDocument document = Loaded("a=1\r\nb=2\r\n\r\nc=3\nd\n\ne\r\nf"_ba);
    const QString path = FDir->filePath(u"saved.conf"_s);

    document.Delete(2); // b=2 and c=3 meet; CR LF CR LF lies between them
    document.Delete(4); // d and e meet; LF LF lies between them
    QCOMPARE(document.Lines(), (QStringList{u"a=1"_s, u"b=2"_s, u"c=3"_s, u"d"_s, u"e"_s, u"f"_s}));
    document.SaveToFile(path);
    QCOMPARE(FileBytes(path), "a=1\r\nb=2\r\nc=3\r\nd\r\ne\r\nf\r\n"_ba);

    document.Put(1, u"b=9"_s);
    document.SetValues(u"x"_s, u"1"_s);
    document.Delete(0);
    document.SaveToFile(path);
    QCOMPARE(FileBytes(path), "b=9\r\nc=3\r\nd\r\ne\r\nf\r\nx=1\r\n"_ba);

    // A line beyond ASCII in a long run: the run goes line by line, the line through the encoder.
    const QByteArray run = "h=1\r\n"_ba.repeated(40);
    TLineDocument umlaut = Loaded(run + "\xE4=\x80\r\n" + run);
    umlaut.SaveToFile(path);
    QCOMPARE(FileBytes(path), run + "\xE4=\x80\r\n" + run);
    TLineDocument utf8 = Loaded("\xEF\xBB\xBF" + run + "\xC3\xA4=\xE4\xB8\xAD\r\n" + run);
    utf8.Put(0, u"ä=ä"_s);
    utf8.SaveToFile(path);
    QCOMPARE(FileBytes(path), "\xEF\xBB\xBF\xC3\xA4=\xC3\xA4\r\n" + run.mid(5) + "\xC3\xA4=\xE4\xB8\xAD\r\n" + run);
}

// Copies share the loaded characters: each keeps its lines whatever the other does.
void TestLineDocument::copiesKeepTheirLines()
{
    const QStringList lines{u"a=1"_s, u"b=2"_s, u"c=3"_s};
    auto original = std::make_unique<TLineDocument>(Loaded("a=1\r\nb=2\r\n"_ba));
    original->Add(u"c=3"_s);
    TLineDocument copy = *original;
    original->Put(0, u"x"_s);
    original->Clear();
    original.reset();
    QCOMPARE(copy.Lines(), lines);

    TLineDocument moved = std::move(copy);
    QCOMPARE(moved.Lines(), lines);
    TLineDocument assigned = Loaded("z\r\n"_ba);
    assigned = moved;
    moved.Put(2, u"y"_s);
    QCOMPARE(assigned.Lines(), lines);

    const QString path = FDir->filePath(u"saved.conf"_s);
    assigned.SaveToFile(path);
    QCOMPARE(FileBytes(path), "a=1\r\nb=2\r\nc=3\r\n"_ba);
}

// A replaced line is kept apart from the loaded text, and so is the line behind a removed one:
// edits in any order, appends after removals among them, must keep every line where it belongs,
// and a copy taken midway must keep the lines it had.
void TestLineDocument::manyEditsKeepEveryLine()
{
    QByteArray bytes;
    QStringList model;
    for (int i = 0; i < 2000; ++i) {
        model.append(i % 7 == 0 ? QString() : u"line %1 %2"_s.arg(i).arg(QString(i % 50, u'x')));
        bytes += model.last().toLatin1() + "\r\n";
    }
    TLineDocument document = Loaded(bytes);
    QCOMPARE(document.Lines(), model);

    TLineDocument snapshot;
    QStringList snapshotLines;
    quint32 random = 1;
    const auto next = [&random](int bound) {
        random = random * 1103515245 + 12345;
        return int((random >> 8) % quint32(bound));
    };
    for (int round = 0; round < 3000; ++round) {
        const int index = next(document.Count());
        switch (next(3)) {
        case 0: {
            const QString text = u"put %1 %2"_s.arg(round).arg(QString(next(300), u'é'));
            document.Put(index, text);
            model[index] = text;
            break;
        }
        case 1:
            document.Delete(index);
            model.removeAt(index);
            break;
        default:
            model.append(u"added %1"_s.arg(round));
            QCOMPARE(document.Add(model.last()), model.size() - 1);
            break;
        }
        if (round == 1500) {
            snapshot = document;
            snapshotLines = model;
        }
    }
    QCOMPARE(document.Count(), model.size());
    QCOMPARE(document.Lines(), model);
    for (int i = 0; i < model.size(); i += 97)
        QCOMPARE(document.Line(i), model.at(i));
    QCOMPARE(snapshot.Lines(), snapshotLines);

    // Emptied line by line, the document goes on as a new one.
    while (document.Count() > 0)
        document.Delete(document.Count() / 2);
    document.Add(u"a"_s);
    QCOMPARE(document.Lines(), QStringList{u"a"_s});
    QCOMPARE(snapshot.Lines(), snapshotLines);
}

void TestLineDocument::linesAndFirstChars()
{
    TLineDocument document = Loaded("#c\r\n\r\nx=1\r\n"_ba);
    document.Add(u"é"_s);
    document.Add(QString(QChar(u'\0')) + u"=1"_s);
    document.Put(1, u"\u00E9t\u00E9"_s);

    const QStringList lines{u"#c"_s, u"été"_s, u"x=1"_s, u"é"_s, QString(QChar(u'\0')) + u"=1"_s};
    const QList<QChar> firstChars{u'#', u'é', u'x', u'é', u'\0'};
    QCOMPARE(document.Count(), lines.size());
    for (int i = 0; i < document.Count(); ++i) {
        QCOMPARE(document.FirstChar(i), firstChars.at(i));
        QCOMPARE(document.Line(i), lines.at(i));
        QCOMPARE(document.Get(i), lines.at(i));
    }
    // A line that begins with U+0000 has a name all the same.
    QCOMPARE(document.IndexOfName(QString(QChar(u'\0'))), 4);
    document.Put(2, QString());
    QCOMPARE(document.FirstChar(2), QChar(u'\0'));
}

void TestLineDocument::joinedLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QString>("joined");

    QTest::newRow("no lines") << QByteArray() << QStringList() << QString();
    QTest::newRow("one empty line") << "\r\n"_ba << QStringList() << QString();
    QTest::newRow("loaded and added lines") << "a\r\n\r\nb"_ba << QStringList{u"c"_s, QString()} << u"a\n\nb\nc\n"_s;
}

void TestLineDocument::joinedLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, added);
    QFETCH(QString, joined);

    TLineDocument document = Loaded(bytes);
    document.AddStrings(added);

    QCOMPARE(document.JoinedLines(u'\n', 0, document.Count()), joined);
    // Cut anywhere, the pieces make the whole.
    for (int cut = 0; cut <= document.Count(); ++cut) {
        QCOMPARE(document.JoinedLines(u'\n', 0, cut) + document.JoinedLines(u'\n', cut, document.Count()), joined);
    }
}

// A view compares revisions to know whether it must be filled again: every change must show,
// and reading must not.
void TestLineDocument::revisionGrowsWithEveryChange()
{
    TLineDocument document;
    quint64 seen = document.Revision();
    const auto changed = [&] {
        const bool grew = document.Revision() > seen;
        seen = document.Revision();
        return grew;
    };
    const QString path = Fixture("a=1\r\nb=2\r\n"_ba);

    document.LoadFromFile(path);
    QVERIFY(changed());
    document.Put(0, u"a=2"_s);
    QVERIFY(changed());
    document.Add(u"c=3"_s);
    QVERIFY(changed());
    document.Delete(2);
    QVERIFY(changed());
    document.AddStrings({u"d=4"_s});
    QVERIFY(changed());
    document.SetValues(u"e"_s, u"5"_s);
    QVERIFY(changed());
    document.SetValues(u"e"_s, QString());
    QVERIFY(changed());

    document.Values(u"a"_s);
    document.ValuesOf({u"a"_s, u"b"_s});
    document.Lines();
    document.JoinedLines(u'\n', 0, document.Count());
    document.SaveToFile(path);
    QVERIFY(!changed());
    document.SetValues(u"absent"_s, QString());
    QVERIFY(!changed());

    document.Clear();
    QVERIFY(changed());
    document.LoadFromFile(path);
    QVERIFY(changed());
}

void TestLineDocument::indexError_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("index");

    for (const QString &operation : {u"Get"_s, u"Line"_s, u"FirstChar"_s, u"Put"_s, u"Delete"_s}) {
        QTest::addRow("%s -1", qPrintable(operation)) << operation << -1;
        QTest::addRow("%s Count", qPrintable(operation)) << operation << 2;
    }
}

void TestLineDocument::indexError()
{
    QFETCH(QString, operation);
    QFETCH(int, index);

    TLineDocument document;
    document.AddStrings({u"a"_s, u"b"_s});
    const QString message = MessageOf<EStringListError>([&] {
        if (operation == u"Get")
            document.Get(index);
        else if (operation == u"Line")
            document.Line(index);
        else if (operation == u"FirstChar")
            document.FirstChar(index);
        else if (operation == u"Put")
            document.Put(index, u"x"_s);
        else
            document.Delete(index);
    });

    QCOMPARE(message, u"Listenindex außerhalb des gültigen Bereichs (%1)"_s.arg(index));
    QCOMPARE(document.Lines(), (QStringList{u"a"_s, u"b"_s}));
}

void TestLineDocument::names_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");

    QTest::newRow("letter case ignored") << QStringList{u"DefaultDbCachePages=2048"_s} << u"defaultdbcachepages"_s << 0
                                         << u"2048"_s;
    QTest::newRow("blank before = belongs to the name")
        << QStringList{u"DefaultDbCachePages = 2048"_s} << u"DefaultDbCachePages"_s << -1 << QString();
    QTest::newRow("leading blank belongs to the name")
        << QStringList{u" DefaultDbCachePages=2048"_s} << u"DefaultDbCachePages"_s << -1 << QString();
    QTest::newRow("comment") << QStringList{u"#DefaultDbCachePages=2048"_s} << u"DefaultDbCachePages"_s << -1
                             << QString();
    QTest::newRow("empty value") << QStringList{u"Key="_s} << u"Key"_s << 0 << QString();
    QTest::newRow("further = belongs to the value") << QStringList{u"Key==x"_s} << u"Key"_s << 0 << u"=x"_s;
    QTest::newRow("no =") << QStringList{u"Key"_s} << u"Key"_s << -1 << QString();
    QTest::newRow("first match wins") << QStringList{u"hv=A"_s, u"hv=B"_s} << u"hv"_s << 0 << u"A"_s;
    QTest::newRow("name is a prefix of another")
        << QStringList{u"KeyX=1"_s, u"x"_s, u"KEY=2"_s} << u"key"_s << 2 << u"2"_s;
    QTest::newRow("requested name holding =") << QStringList{u"a=b=c"_s} << u"a=b"_s << -1 << QString();
    QTest::newRow("empty name") << QStringList{u"x=1"_s, u"=2"_s} << QString() << 1 << u"2"_s;
    QTest::newRow("trailing U+0000 differs")
        << QStringList{QString::fromUtf16(u"Key\0=1", 6)} << u"Key"_s << -1 << QString();
    QTest::newRow("[ is no upper-case {") << QStringList{u"[=1"_s} << u"{"_s << -1 << QString();
    QTest::newRow("@ is no upper-case `") << QStringList{u"`=1"_s} << u"@"_s << -1 << QString();
    QTest::newRow("non-ASCII, case ignored") << QStringList{u"Ärger=1"_s, u"ÄRGER=2"_s} << u"äRGER"_s << 0 << u"1"_s;
    QTest::newRow("non-ASCII differs from its base letter") << QStringList{u"Öl=1"_s} << u"ol"_s << -1 << QString();
    // Case folding makes the Kelvin sign a "k": a line may match an ASCII name without beginning
    // with an ASCII letter, and the other way round.
    QTest::newRow("line's first letter folds to the name's")
        << QStringList{u"#key=0"_s, u"\u212Aey=1"_s} << u"KEY"_s << 1 << u"1"_s;
    QTest::newRow("name's first letter folds to the line's")
        << QStringList{u"#key=0"_s, u"key=2"_s} << u"\u212AEY"_s << 1 << u"2"_s;
}

void TestLineDocument::names()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QString, value);

    TLineDocument document;
    document.AddStrings(lines);

    QCOMPARE(document.IndexOfName(name), index);
    QCOMPARE(document.Values(name), value);
    QCOMPARE(document.ValuesOf({name}), QStringList{value});
}

void TestLineDocument::setValues_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("only the first line is replaced")
        << QStringList{u"hv=A"_s, u"hv=B"_s} << u"hv"_s << u"C"_s << QStringList{u"hv=C"_s, u"hv=B"_s};
    QTest::newRow("absent name is appended") << QStringList{u"a=1"_s} << u"RemoteServicePort"_s << u"3051"_s
                                             << QStringList{u"a=1"_s, u"RemoteServicePort=3051"_s};
    QTest::newRow("empty document") << QStringList() << u"k"_s << u"v"_s << QStringList{u"k=v"_s};
    QTest::newRow("name spelled as passed") << QStringList{u"defaultdbcachepages=1024"_s} << u"DefaultDbCachePages"_s
                                            << u"4096"_s << QStringList{u"DefaultDbCachePages=4096"_s};
    QTest::newRow("line with an empty value is found")
        << QStringList{u"k="_s, u"x"_s} << u"k"_s << u"v"_s << QStringList{u"k=v"_s, u"x"_s};
    QTest::newRow("value holding =") << QStringList{u"k=1"_s} << u"k"_s << u"a=b"_s << QStringList{u"k=a=b"_s};
    QTest::newRow("untrimmed name is another name")
        << QStringList{u"k = 1"_s} << u"k"_s << u"2"_s << QStringList{u"k = 1"_s, u"k=2"_s};
    QTest::newRow("empty value deletes the first line")
        << QStringList{u"x"_s, u"N=1"_s, u"n=2"_s} << u"N"_s << QString() << QStringList{u"x"_s, u"n=2"_s};
    QTest::newRow("empty value without a line")
        << QStringList{u"x"_s, u"#N=1"_s} << u"N"_s << QString() << QStringList{u"x"_s, u"#N=1"_s};
}

void TestLineDocument::setValues()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QStringList, expected);

    TLineDocument document;
    document.AddStrings(lines);
    document.SetValues(name, value);

    QCOMPARE(document.Lines(), expected);
}

void TestLineDocument::valuesOf()
{
    TLineDocument document;
    document.AddStrings({u"#A=commented"_s, u"A = spaced"_s, u"noequals"_s, u"b=first"_s, u"B=second"_s,
                         u"=empty name"_s, u"Long=x=y"_s, u"a=real"_s, u"C="_s});
    const QStringList names{u"a"_s, u"B"_s, u"missing"_s, u"long"_s, QString(), u"b"_s, u"a=real"_s, u"c"_s, u"A "_s};

    const QStringList values = document.ValuesOf(names);

    QCOMPARE(values,
             (QStringList{u"real"_s, u"first"_s, QString(), u"x=y"_s, u"empty name"_s, u"first"_s, QString(), QString(),
                          u" spaced"_s}));
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(values.at(i), document.Values(names.at(i)));
}

void TestLineDocument::trimErrorText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("full stop and line break") << u"Zugriff verweigert.\r\n"_s << u"Zugriff verweigert"_s;
    QTest::newRow("inner full stops stay") << u"a. b. . "_s << u"a. b"_s;
    QTest::newRow("nothing to remove") << u"Permission denied"_s << u"Permission denied"_s;
    QTest::newRow("only stops and blanks") << u". .\n"_s << QString();
}

void TestLineDocument::trimErrorText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(TrimErrorText(text), expected);
}

void TestLineDocument::saveKeepsLinkModeAndOwner()
{
#ifdef Q_OS_UNIX
    const QString target = FDir->filePath(u"real.conf"_s);
    const QString link = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(target, "old\r\n"_ba);
    QVERIFY(QFile::link(target, link));
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(target, mode));
    // Only an administrator may give a file away; the server's files belong to someone else.
    const bool root = geteuid() == 0;
    if (root)
        QCOMPARE(chown(QFile::encodeName(target).constData(), 4321, 4322), 0);
    const QFile::Permissions modeBefore = QFileInfo(target).permissions();
    const uint ownerBefore = QFileInfo(target).ownerId();
    const uint groupBefore = QFileInfo(target).groupId();

    TLineDocument document;
    document.Add(u"new"_s);
    document.SaveToFile(link);

    const QFileInfo after(target);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(FileBytes(target), "new\r\n"_ba);
    QCOMPARE(after.permissions(), modeBefore);
    QCOMPARE(after.ownerId(), ownerBefore);
    QCOMPARE(after.groupId(), groupBefore);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files | QDir::System),
             (QStringList{u"firebird.conf"_s, u"real.conf"_s}));
    if (!root)
        QSKIP("Keeping another owner needs administrator rights; mode and link were checked.");
#else
    QSKIP("Symbolic links and owners as tested here exist on Unix only.");
#endif
}

#ifdef Q_OS_UNIX
namespace {

// Saves in a child process, so that a lowered identity stays there. Gives
// the message of the error raised, the empty string when the save succeeded.
QString SaveInChild(const std::function<void()> &prepare, const QString &path, const QStringList &lines)
{
    return InChildProcess([&] {
        try {
            prepare();
            TLineDocument document;
            document.AddStrings(lines);
            document.SaveToFile(path);
        } catch (const ETessaroError &error) {
            return error.Message();
        } catch (...) {
            return u"unexpected failure"_s;
        }
        return QString();
    });
}

} // namespace
#endif

// The server's files sit behind links in a folder of their own that the user may not write to;
// only the files themselves may be writable. The save faults of such folders are rows of
// tst_SaveFaults.
void TestLineDocument::saveInPlaceWhereFolderIsLocked()
{
#ifdef Q_OS_UNIX
    // An administrator acts as "nobody": the saving process must own neither folder nor file.
    const bool root = geteuid() == 0;
    const auto becomeUser = [root] {
        if (root && !BecomeNobody())
            throw std::runtime_error("no change of identity");
    };
    const auto readAndEnter = ReadOnlyForAll | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    const auto writable = readAndEnter | QFile::WriteOwner | QFile::WriteUser;
    // The links' folder is the user's own: the target's folder must decide how the save goes.
    QVERIFY(QFile::setPermissions(FDir->path(), writable | QFile::WriteGroup | QFile::WriteOther));
    const QString folder = FDir->filePath(u"etc"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString target = folder + u"/firebird.conf"_s;
    const QString link = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(target, "old\r\n"_ba);
    QVERIFY(QFile::link(target, link));
    if (root)
        QCOMPARE(chown(QFile::encodeName(target).constData(), NobodyId, NobodyId), 0);
    QVERIFY(QFile::setPermissions(folder, readAndEnter));
    const auto unlock = qScopeGuard([&] { QFile::setPermissions(folder, writable); });

    // Written in place, as no new file can be made beside it.
    QCOMPARE(SaveInChild(becomeUser, link, {u"new"_s}), QString());
    QCOMPARE(FileBytes(target), "new\r\n"_ba);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"firebird.conf"_s});
#else
    QSKIP("Folder permissions and owners as tested here exist on Unix only.");
#endif
}

QTEST_GUILESS_MAIN(TestLineDocument)
#include "tst_LineDocument.moc"
