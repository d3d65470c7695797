// Reading text files into a line document: encodings and their marks, the line rule, files read
// a chunk at a time, and what is refused.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>
#include <memory>

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

} // namespace

Q_DECLARE_METATYPE(TSpecialFile)

class TestTextFileReading : public QObject {
    Q_OBJECT

private slots:
    void init();

    void load_data();
    void readingSharesWithReadersOnly();
    void load();
    void loadEncodingError_data();
    void loadEncodingError();
    void loadOpenError();
    void loadRefusesWhatIsNoRegularFile_data();
    void loadRefusesWhatIsNoRegularFile();
    void loadFileThatTellsNoSize();
    void lineEndsAtEveryPlaceInAWord();
    void loadAndSaveFollowTheLineRule_data();
    void loadAndSaveFollowTheLineRule();
    void loadAndSaveAcrossChunks_data();
    void loadAndSaveAcrossChunks();

private:
    std::unique_ptr<TFixtureFolder> FDir;
};

void TestTextFileReading::init()
{
    FDir = std::make_unique<TFixtureFolder>();
    QVERIFY(FDir->isValid());
}

void TestTextFileReading::load_data()
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
void TestTextFileReading::readingSharesWithReadersOnly()
{
#ifdef Q_OS_WIN
    const QString path = FDir->filePath(u"shared.conf"_s);
    WriteFixture(path, "a=1\r\nb=2\r\n"_ba);
    bool readerOpened = false, writerOpened = true;
    TTextEncoding encoding = TTextEncoding::None;
    ReadTextLines(path, encoding, [&](QAnyStringView) {
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

void TestTextFileReading::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(TTextEncoding, encoding);

    TLineDocument document;
    document.Add(u"left over"_s);
    document.LoadFromFile(FDir->Fixture(bytes));

    QCOMPARE(document.Lines(), lines);
    QCOMPARE(document.Encoding(), encoding);
}

void TestTextFileReading::loadEncodingError_data()
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
    // Far enough into the file to be read in a later chunk.
    const QByteArray ascii = "a=1\r\n"_ba.repeated(200'000);
    QTest::newRow("invalid byte in a later chunk") << "\xEF\xBB\xBF"_ba + ascii + "\xFF"_ba << utf8;
    QTest::newRow("invalid byte in a later chunk behind U+0000")
        << "\xEF\xBB\xBF"_ba + ascii + '\0' + ascii + "\xFF"_ba << utf8;
    QTest::newRow("UTF-16 LE mark and one byte") << "\xFF\xFE"
                                                    "a"_ba
                                                 << TTextEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE mark and one byte") << "\xFE\xFF"
                                                    "a"_ba
                                                 << TTextEncoding::Utf16BE;
}

void TestTextFileReading::loadEncodingError()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TTextEncoding, encoding);

    TLineDocument document;
    document.Add(u"kept"_s);
    const QString path = FDir->Fixture(bytes);

    QCOMPARE(MessageOf<EEncodingError>([&] { document.LoadFromFile(path); }),
             u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden"_s);
    QCOMPARE(document.Lines(), QStringList{u"kept"_s});
    QCOMPARE(document.Encoding(), encoding);
}

void TestTextFileReading::loadOpenError()
{
    TLineDocument document = FDir->Loaded("\xFE\xFF\0a"_ba);
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

void TestTextFileReading::loadRefusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<TSpecialFile>("kind");
    QTest::newRow("FIFO without a writer") << TSpecialFile::Fifo;
    QTest::newRow("socket") << TSpecialFile::Socket;
    QTest::newRow("device that never ends") << TSpecialFile::ZeroDevice;
    QTest::newRow("link to a device that never ends") << TSpecialFile::LinkToZeroDevice;
}

// A FIFO would keep the load waiting for a writer, a device like /dev/zero would be read until
// memory runs out: both are refused at once, judged by what was opened.
void TestTextFileReading::loadRefusesWhatIsNoRegularFile()
{
    QFETCH(TSpecialFile, kind);

#ifdef Q_OS_UNIX
    const QString path = FDir->filePath(u"firebird.conf"_s);
    if (!MakeSpecialFile(kind, path))
        QSKIP(qPrintable(u"This kind of file cannot be made here: "_s + SystemErrorText(errno)));

    const QString result = ResultInChild([&] {
        TLineDocument document = FDir->Loaded("\xFE\xFF\0a"_ba);
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

void TestTextFileReading::loadFileThatTellsNoSize()
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

// ASCII files are split eight bytes at a time: a CR LF or a U+0000 at each place in such a word,
// and a CR LF across two words, behind a mark or not.
void TestTextFileReading::lineEndsAtEveryPlaceInAWord()
{
    for (const QByteArray &mark : {QByteArray(), "\xEF\xBB\xBF"_ba}) {
        for (int at = 0; at < 20; ++at) {
            const QByteArray before(at, 'x');
            const QString line = QString::fromLatin1(before);
            QCOMPARE(FDir->Loaded(mark + before + "\r\ny=1"_ba).Lines(), (QStringList{line, u"y=1"_s}));
            QCOMPARE(FDir->Loaded(mark + before + "\r\r\n"_ba).Lines(), (QStringList{line, QString()}));
            QCOMPARE(FDir->Loaded(mark + before + QByteArray("\0z\r\n", 4)).Lines(),
                     at == 0 ? QStringList() : QStringList{line});
        }
    }
}

// Texts made at random from a few characters, among them every line break, U+0000 and characters
// next to CR and LF in code, in lines long and short, must load into the lines the rule gives and
// save as those lines with CR LF after each.
void TestTextFileReading::loadAndSaveFollowTheLineRule_data()
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

void TestTextFileReading::loadAndSaveFollowTheLineRule()
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

        TLineDocument document = FDir->Loaded(FileBytesOf(text, encoding));
        QCOMPARE(document.Lines(), lines);
        QCOMPARE(document.Encoding(), encoding);
        document.SaveToFile(saved);
        QCOMPARE(FileBytes(saved), FileBytesOf(savedText, encoding));
        report.dismiss();
    }
}

// A file is read and written a chunk at a time, of 64 KiB and more: line breaks, a CR LF cut in
// two, a line longer than many chunks and the first byte beyond ASCII can fall anywhere.
void TestTextFileReading::loadAndSaveAcrossChunks_data()
{
    QTest::addColumn<TTextEncoding>("encoding");
    QTest::addColumn<QString>("text");

    // Breaks at every multiple of 4 KiB, and so at the end of every chunk; one character ahead,
    // each CR LF is cut in two.
    const auto every4k = [](const QString &tail) { return (QString(4096 - tail.size(), u'x') + tail).repeated(256); };
    QString asciiLines;
    for (int i = 0; i < 600; ++i)
        asciiLines += u"Line%1 = %2\r\n"_s.arg(i).arg(QString(1000, u'v'));

    // Without a mark: UTF-8, on Windows the ANSI code page.
    const auto noMark = OffWindowsOrOnWindows(TTextEncoding::Utf8NoMark, TTextEncoding::Ansi);
    QTest::newRow("CR LF across chunk borders") << noMark << u"y"_s + every4k(u"\r\n"_s);
    QTest::newRow("CR alone on chunk borders") << noMark << every4k(u"\r"_s);
    QTest::newRow("LF CR on chunk borders") << noMark << every4k(u"\n\r"_s);
    QTest::newRow("a line over many chunks") << noMark << u"a=1\r\n"_s + QString(300'000, u'v') + u"\r\nb=2"_s;
    QTest::newRow("beyond ASCII behind ASCII chunks")
        << noMark << asciiLines + OffWindowsOrOnWindows(u"é=1\r\n中\r\ntail"_s, u"é=1\r\n€\r\ntail"_s);
    QTest::newRow("legacy behind ASCII chunks") << TTextEncoding::Ansi << asciiLines + u"ÿ=ä\r\ntail"_s;
    QTest::newRow("U+0000 behind ASCII chunks") << noMark << asciiLines + u"ab"_s + QChar(u'\0') + u"cd\r\nmore"_s;
    QTest::newRow("UTF-8 behind ASCII chunks, marked") << TTextEncoding::Utf8 << asciiLines + u"é\r\n"_s;
    QTest::newRow("UTF-16 over many chunks") << TTextEncoding::Utf16LE << asciiLines + u"é\r\n"_s;
}

void TestTextFileReading::loadAndSaveAcrossChunks()
{
    QFETCH(TTextEncoding, encoding);
    QFETCH(QString, text);

    const QStringList lines = LinesByRule(text);
    TLineDocument document = FDir->Loaded(FileBytesOf(text, encoding));
    QCOMPARE(document.Count(), lines.size());
    QCOMPARE(document.Lines(), lines);
    QCOMPARE(document.Encoding(), encoding);

    const QString saved = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(saved);
    QCOMPARE(FileBytes(saved), FileBytesOf(lines.join(u"\r\n"_s) + u"\r\n"_s, encoding));
}

QTEST_GUILESS_MAIN(TestTextFileReading)
#include "tst_TextFileReading.moc"
