#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/SettingsFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string_view>

using namespace Qt::StringLiterals;

using namespace std::literals;

Q_DECLARE_METATYPE(TTextEncoding)

Q_DECLARE_METATYPE(TSpecialFile)

namespace {

// File bytes from a literal, embedded U+0000 included.
QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

QStringList SectionNames(const TSettingsFile &ini)
{
    QStringList names;
    ini.ReadSections(names);
    return names;
}

// The example file in the legacy code page (Windows-1252 here): "ß" is the single byte DF.
const auto ExampleFile = "; texts\r\n"
                         "\r\n"
                         "  [GERMAN]  \r\n"
                         "CloseBtn = Schlie\xDF"
                         "en\r\n"
                         "#note=x\r\n"
                         "Title\r\n"
                         "[german]\r\n"
                         "CloseBtn=Ende\r\n"sv;

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void exampleLookups_data();
    void exampleLookups();
    void exampleListsDuplicateSections();
    void exampleRewrittenExactly();
    void exampleEraseSectionUncoversSecond();

    void rewriteNormalisesFile_data();
    void rewriteNormalisesFile();
    void readString_data();
    void readString();
    void writeString_data();
    void writeString();
    void writtenBlanksSurviveUntilReread();
    void deleteKey_data();
    void deleteKey();
    void sectionAndKeyTests_data();
    void sectionAndKeyTests();

    void nothingToReadGivesNoSections_data();
    void nothingToReadGivesNoSections();
    void newFileTakesTheSystemsEncoding();
    void clearLeavesFileAndEncoding();
    void renameWithoutReloadKeepsCopy();
    void renameReloadKeepsFirstEncoding_data();
    void renameReloadKeepsFirstEncoding();

    void undecodableFileFailsCreation();
    void failedReloadKeepsCopy_data();
    void failedReloadKeepsCopy();
    void updateFileRaisesSaveError();
    void whatIsNoRegularFileIsNeitherReadNorReplaced_data();
    void whatIsNoRegularFileIsNeitherReadNorReplaced();

private:
    QString PathOf(const QString &name) const { return FDir->filePath(name); }
    // Writes `bytes` as the file "settings.ini" in a fresh folder and gives its path.
    QString Fixture(const QByteArray &bytes) const;

    std::unique_ptr<QTemporaryDir> FDir;
};

void TestSettingsFile::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
}

QString TestSettingsFile::Fixture(const QByteArray &bytes) const
{
    const QString path = PathOf(u"settings.ini"_s);
    WriteFixture(path, bytes);
    return path;
}

void TestSettingsFile::exampleLookups_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("as written") << u"GERMAN"_s << u"CloseBtn"_s << u"Schließen"_s;
    QTest::newRow("section in lower case") << u"german"_s << u"CloseBtn"_s << u"Schließen"_s;
    QTest::newRow("key in lower case") << u"GERMAN"_s << u"closebtn"_s << u"Schließen"_s;
    QTest::newRow("# starts no comment") << u"German"_s << u"#NOTE"_s << u"x"_s;
    QTest::newRow("plain line is no key") << u"GERMAN"_s << u"Title"_s << u"Close"_s;
    QTest::newRow("comment line is gone") << u"GERMAN"_s << u"; texts"_s << u"Close"_s;
    QTest::newRow("missing key") << u"GERMAN"_s << u"OkBtn"_s << u"Close"_s;
    QTest::newRow("missing section") << u"ENGLISH"_s << u"CloseBtn"_s << u"Close"_s;
}

void TestSettingsFile::exampleLookups()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const TSettingsFile ini(Fixture(Bytes(ExampleFile)));
    QCOMPARE(ini.ReadString(section, key, u"Close"_s), expected);
}

void TestSettingsFile::exampleListsDuplicateSections()
{
    const TSettingsFile ini(Fixture(Bytes(ExampleFile)));
    QStringList names{u"stale"_s};
    ini.ReadSections(names);
    QCOMPARE(names, QStringList({"GERMAN", "german"}));
}

void TestSettingsFile::exampleRewrittenExactly()
{
    const QString path = Fixture(Bytes(ExampleFile));
    TSettingsFile(path).UpdateFile();
    QCOMPARE(FileBytes(path),
             Bytes("[GERMAN]\r\n"
                   "CloseBtn=Schlie\xDF"
                   "en\r\n"
                   "#note=x\r\n"
                   "Title\r\n"
                   "\r\n"
                   "[german]\r\n"
                   "CloseBtn=Ende\r\n"
                   "\r\n"));
}

void TestSettingsFile::exampleEraseSectionUncoversSecond()
{
    TSettingsFile ini(Fixture(Bytes(ExampleFile)));
    ini.EraseSection(u"GERMAN"_s);
    QCOMPARE(ini.ReadString("GERMAN", "CloseBtn", "Close"), "Ende");
    QCOMPARE(SectionNames(ini), QStringList{"german"});

    ini.EraseSection(u"GERMAN"_s);
    ini.EraseSection(u"GERMAN"_s);
    QVERIFY(SectionNames(ini).isEmpty());
}

void TestSettingsFile::rewriteNormalisesFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("comments and blank lines go")
        << Bytes("; head\r\n\r\n[A]\r\n  ;k=1\r\n\r\nk=2\r\n") << Bytes("[A]\r\nk=2\r\n\r\n");
    QTest::newRow("lines before the first section go") << Bytes("Orphan=1\r\nplain\r\n[A]\r\n") << Bytes("[A]\r\n\r\n");
    QTest::newRow("header trimmed inside and outside") << Bytes(" \t[  Form  ] \r\n") << Bytes("[Form]\r\n\r\n");
    QTest::newRow("empty brackets") << Bytes("[]\r\nk=1\r\n") << Bytes("[]\r\nk=1\r\n\r\n");
    QTest::newRow("unclosed bracket is a plain line") << Bytes("[A]\r\n [B \r\n") << Bytes("[A]\r\n[B\r\n\r\n");
    QTest::newRow("pair trimmed around key and value")
        << Bytes("[A]\r\nx =  a b  \r\n") << Bytes("[A]\r\nx=a b\r\n\r\n");
    QTest::newRow("control characters are blanks, DEL and no-break space are not")
        << Bytes("\x01[A]\x1F\r\n\x0Bk\x02=\x03v\x7F\xA0\x04\r\n") << Bytes("[A]\r\nk=v\x7F\xA0\r\n\r\n");
    QTest::newRow("section name keeps brackets, = and backslash")
        << Bytes("[a]b=c\\]\r\n") << Bytes("[a]b=c\\]\r\n\r\n");
    QTest::newRow("quotes and backslashes stay")
        << Bytes("[A]\r\nHelp = \"a\\nb\" \r\n") << Bytes("[A]\r\nHelp=\"a\\nb\"\r\n\r\n");
    QTest::newRow("further = belong to the value") << Bytes("[A]\r\nk = a = b\r\n") << Bytes("[A]\r\nk=a = b\r\n\r\n");
    QTest::newRow("duplicate sections and keys kept in order")
        << Bytes("[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2\r\nk=3\r\n")
        << Bytes("[A]\r\nk=1\r\n\r\n[B]\r\n\r\n[a]\r\nk=2\r\nk=3\r\n\r\n");
    QTest::newRow("lone CR and LF end lines") << Bytes("[A]\nk=1\rm=2") << Bytes("[A]\r\nk=1\r\nm=2\r\n\r\n");
    QTest::newRow("U+0000 ends the text") << Bytes("[A]\r\nk=1\0m=2\r\n[B]\r\n"sv) << Bytes("[A]\r\nk=1\r\n\r\n");
    QTest::newRow("no sections give an empty file") << Bytes("; none\r\nk=1\r\n") << QByteArray();
    QTest::newRow("Windows-1252 stays one byte a character") << Bytes("[A]\r\nk=Gr\xF6\xDF"
                                                                      "e \x80\r\n")
                                                             << Bytes("[A]\r\nk=Gr\xF6\xDF"
                                                                      "e \x80\r\n\r\n");
    QTest::newRow("UTF-8 mark written again") << Bytes("\xEF\xBB\xBF[A]\r\nk=Stra\xC3\x9F"
                                                       "e\r\n")
                                              << Bytes("\xEF\xBB\xBF[A]\r\nk=Stra\xC3\x9F"
                                                       "e\r\n\r\n");
    QTest::newRow("UTF-8 mark alone without sections") << Bytes("\xEF\xBB\xBF; none") << Bytes("\xEF\xBB\xBF");
    QTest::newRow("UTF-16 big-endian kept")
        << Bytes("\xFE\xFF\0[\0A\0]"sv) << Bytes("\xFE\xFF\0[\0A\0]\0\r\0\n\0\r\0\n"sv);
}

void TestSettingsFile::rewriteNormalisesFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);

    const QString path = Fixture(file);
    TSettingsFile(path).UpdateFile();
    QCOMPARE(FileBytes(path), written);
}

void TestSettingsFile::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty value, not the default")
        << Bytes("[Main]\r\nMainWinTitle=\r\n") << u"Main"_s << u"MainWinTitle"_s << u""_s;
    QTest::newRow("key before the first section")
        << Bytes("Left=1\r\n[Form]\r\nTop=2\r\n") << u"Form"_s << u"Left"_s << u"default"_s;
    QTest::newRow("header with blanks inside") << Bytes("[ Form ]\r\nLeft=1\r\n") << u"Form"_s << u"Left"_s << u"1"_s;
    QTest::newRow("empty brackets") << Bytes("[]\r\nLeft=1\r\n") << u""_s << u"Left"_s << u"1"_s;
    QTest::newRow("line after an unclosed bracket stays in its section")
        << Bytes("[Form]\r\n[Other\r\nLeft=1\r\n") << u"Form"_s << u"Left"_s << u"1"_s;
    QTest::newRow("unclosed bracket opens no section")
        << Bytes("[Form]\r\n[Other\r\nLeft=1\r\n") << u"Other"_s << u"Left"_s << u"default"_s;
    QTest::newRow("value without its outer blanks") << Bytes("[A]\r\nx =  a b  \r\n") << u"A"_s << u"x"_s << u"a b"_s;
    QTest::newRow("first of duplicate keys") << Bytes("[A]\r\nk=1\r\nK=2\r\n") << u"A"_s << u"k"_s << u"1"_s;
    QTest::newRow("key with letter case ignored") << Bytes("[a]\r\nTop=5\r\n") << u"A"_s << u"tOP"_s << u"5"_s;
    QTest::newRow("key upper-cased beyond ASCII") << Bytes("[A]\r\nStra\xDF"
                                                           "e=1\r\n")
                                                  << u"A"_s << u"STRASSE"_s << u"1"_s;
    QTest::newRow("key that differs by a blank") << Bytes("[A]\r\nk=1\r\n") << u"A"_s << u"k "_s << u"default"_s;
    QTest::newRow("section name with ] and =") << Bytes("[a]b=c]\r\nk=1\r\n") << u"A]B=C"_s << u"k"_s << u"1"_s;
}

void TestSettingsFile::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const TSettingsFile ini(Fixture(file));
    QCOMPARE(ini.ReadString(section, key, u"default"_s), expected);
}

void TestSettingsFile::writeString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("first match replaced, key spelled as passed")
        << Bytes("[A]\r\nkey=1\r\nkey=2\r\n") << u"a"_s << u"KEY"_s << u"3"_s << Bytes("[A]\r\nKEY=3\r\nkey=2\r\n\r\n");
    QTest::newRow("missing key appended to its section")
        << Bytes("[A]\r\nk=1\r\n[B]\r\nm=2\r\n") << u"A"_s << u"n"_s << u"3"_s
        << Bytes("[A]\r\nk=1\r\nn=3\r\n\r\n[B]\r\nm=2\r\n\r\n");
    QTest::newRow("missing section appended last") << Bytes("[A]\r\nk=1\r\n") << u"Form"_s << u"Left"_s << u"10"_s
                                                   << Bytes("[A]\r\nk=1\r\n\r\n[Form]\r\nLeft=10\r\n\r\n");
    QTest::newRow("empty value keeps the key")
        << Bytes("[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << u""_s << Bytes("[A]\r\nk=\r\n\r\n");
    QTest::newRow("nothing trimmed") << QByteArray() << u" S "_s << u" k "_s << u" v "_s
                                     << Bytes("[ S ]\r\n k = v \r\n\r\n");
    QTest::newRow("plain line of the same text stays")
        << Bytes("[A]\r\nk\r\n") << u"A"_s << u"k"_s << u"1"_s << Bytes("[A]\r\nk\r\nk=1\r\n\r\n");
    QTest::newRow("into the first of duplicate sections")
        << Bytes("[A]\r\n[A]\r\n") << u"A"_s << u"k"_s << u"1"_s << Bytes("[A]\r\nk=1\r\n\r\n[A]\r\n\r\n");
}

void TestSettingsFile::writeString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, written);

    const QString path = Fixture(file);
    TSettingsFile ini(path);
    ini.WriteString(section, key, value);
    QCOMPARE(ini.ReadString(section, key, u"default"_s), value);
    ini.UpdateFile();
    QCOMPARE(FileBytes(path), written);
}

void TestSettingsFile::writtenBlanksSurviveUntilReread()
{
    const QString path = Fixture(Bytes("[Form]\r\nLeft=1\r\n"));
    TSettingsFile ini(path);
    ini.WriteString(u"Form"_s, u"Caption"_s, u"  padded  "_s);
    ini.UpdateFile();
    QCOMPARE(ini.ReadString("Form", "Caption", "-"), "  padded  ");
    QCOMPARE(FileBytes(path), Bytes("[Form]\r\nLeft=1\r\nCaption=  padded  \r\n\r\n"));

    ini.Rename(path, true);
    QCOMPARE(ini.ReadString("Form", "Caption", "-"), "padded");
}

void TestSettingsFile::deleteKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("first match only") << Bytes("[A]\r\nk=1\r\nk=2\r\n") << u"a"_s << u"K"_s
                                      << Bytes("[A]\r\nk=2\r\n\r\n");
    QTest::newRow("emptied section stays") << Bytes("[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << Bytes("[A]\r\n\r\n");
    QTest::newRow("plain line untouched") << Bytes("[A]\r\nk\r\n") << u"A"_s << u"k"_s << Bytes("[A]\r\nk\r\n\r\n");
    QTest::newRow("missing key") << Bytes("[A]\r\nm=1\r\n") << u"A"_s << u"k"_s << Bytes("[A]\r\nm=1\r\n\r\n");
    QTest::newRow("missing section") << Bytes("[A]\r\nk=1\r\n") << u"B"_s << u"k"_s << Bytes("[A]\r\nk=1\r\n\r\n");
    QTest::newRow("only the first section of the name is searched")
        << Bytes("[A]\r\n[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << Bytes("[A]\r\n\r\n[A]\r\nk=1\r\n\r\n");
}

void TestSettingsFile::deleteKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, written);

    const QString path = Fixture(file);
    TSettingsFile ini(path);
    ini.DeleteKey(section, key);
    ini.UpdateFile();
    QCOMPARE(FileBytes(path), written);
}

void TestSettingsFile::sectionAndKeyTests_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("sectionExists");
    QTest::addColumn<bool>("valueExists");

    QTest::newRow("empty section") << Bytes("[Empty]\r\n") << u"EMPTY"_s << u"k"_s << true << false;
    QTest::newRow("letter case ignored") << Bytes("[A]\r\nk=1\r\n") << u"a"_s << u"K"_s << true << true;
    QTest::newRow("empty value") << Bytes("[A]\r\nk=\r\n") << u"A"_s << u"k"_s << true << true;
    QTest::newRow("plain line") << Bytes("[A]\r\nk\r\n") << u"A"_s << u"k"_s << true << false;
    QTest::newRow("key only in a later section of the name")
        << Bytes("[A]\r\n[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << true << false;
    QTest::newRow("missing section") << Bytes("[A]\r\nk=1\r\n") << u"B"_s << u"k"_s << false << false;
}

void TestSettingsFile::sectionAndKeyTests()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, sectionExists);
    QFETCH(bool, valueExists);

    const TSettingsFile ini(Fixture(file));
    QCOMPARE(ini.SectionExists(section), sectionExists);
    QCOMPARE(ini.ValueExists(section, key), valueExists);
}

void TestSettingsFile::nothingToReadGivesNoSections_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("empty path") << "";
    QTest::newRow("missing file") << "missing.ini";
    QTest::newRow("folder") << ".";
}

void TestSettingsFile::nothingToReadGivesNoSections()
{
    QFETCH(QString, name);

    const QString path = name.isEmpty() ? QString() : PathOf(name);
    const TSettingsFile ini(path);
    QVERIFY(SectionNames(ini).isEmpty());
    QCOMPARE(ini.ReadString("A", "k", "default"), "default");
    QCOMPARE(ini.Encoding(), TTextEncoding::None);
    QCOMPARE(ini.FileName(), path);
}

// On Windows a new file is in the ANSI code page, Windows-1252 here.
void TestSettingsFile::newFileTakesTheSystemsEncoding()
{
    const QString path = PathOf(u"new.ini"_s);
    TSettingsFile ini(path);
    ini.WriteString(u"Form"_s, u"Left"_s, u"10"_s);
    ini.WriteString(u"Form"_s, u"Caption"_s, u"Größe"_s);
    ini.UpdateFile();
    QCOMPARE(FileBytes(path),
             OffWindowsOrOnWindows(Bytes("[Form]\r\nLeft=10\r\nCaption=Gr\xC3\xB6\xC3\x9F"
                                         "e\r\n\r\n"),
                                   Bytes("[Form]\r\nLeft=10\r\nCaption=Gr\xF6\xDF"
                                         "e\r\n\r\n")));
    QCOMPARE(TSettingsFile(path).Encoding(), OffWindowsOrOnWindows(TTextEncoding::Utf8NoMark, TTextEncoding::Ansi));
}

void TestSettingsFile::clearLeavesFileAndEncoding()
{
    const QByteArray file = Bytes("\xEF\xBB\xBF[A]\r\nk=1\r\n");
    const QString path = Fixture(file);
    TSettingsFile ini(path);
    ini.Clear();
    QVERIFY(SectionNames(ini).isEmpty());
    QCOMPARE(FileBytes(path), file);

    ini.UpdateFile();
    QCOMPARE(FileBytes(path), Bytes("\xEF\xBB\xBF"));
}

void TestSettingsFile::renameWithoutReloadKeepsCopy()
{
    const QByteArray first = Bytes("[A]\r\nk=1\r\n");
    const QString firstPath = PathOf(u"first.ini"_s);
    const QString secondPath = PathOf(u"second.ini"_s);
    WriteFixture(firstPath, first);
    WriteFixture(secondPath, Bytes("[B]\r\nm=2\r\n"));

    TSettingsFile ini(firstPath);
    ini.Rename(secondPath, false);
    QCOMPARE(ini.FileName(), secondPath);
    QCOMPARE(SectionNames(ini), QStringList{"A"});

    ini.UpdateFile();
    QCOMPARE(FileBytes(secondPath), Bytes("[A]\r\nk=1\r\n\r\n"));
    QCOMPARE(FileBytes(firstPath), first);
}

void TestSettingsFile::renameReloadKeepsFirstEncoding_data()
{
    QTest::addColumn<QByteArray>("first"); // null: no such file
    QTest::addColumn<QByteArray>("second"); // null: no such file
    QTest::addColumn<QStringList>("sections");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("written");

    const QByteArray ansi = Bytes("[X]\r\nk=\xDF\r\n");
    const QByteArray ascii = Bytes("[X]\r\n");
    const QByteArray utf8 = Bytes("\xEF\xBB\xBF[X]\r\n");
    const QByteArray body = Bytes("[A]\r\n[B]\r\nk=Stra\xC3\x9F"
                                  "e\r\n");
    const QByteArray bodyWithMark = Bytes("\xEF\xBB\xBF") + body;
    const QByteArray rewrittenUtf8 = Bytes("\xEF\xBB\xBF[A]\r\n\r\n[B]\r\nk=Stra\xC3\x9F"
                                           "e\r\n\r\n");

    // The mark, taken for three Windows-1252 characters, leads the first line: no header there.
    QTest::newRow("ANSI remembered, later UTF-8 mark read as text")
        << ansi << bodyWithMark << QStringList{"B"} << "StraÃŸe"
        << Bytes("[B]\r\nk=Stra\xC3\x9F"
                 "e\r\n\r\n");
    QTest::newRow("ANSI remembered, later UTF-8 without mark read in it")
        << ansi << body << QStringList{"A", "B"} << "StraÃŸe"
        << Bytes("[A]\r\n\r\n[B]\r\nk=Stra\xC3\x9F"
                 "e\r\n\r\n");
    // An ASCII file is UTF-8 without a mark, on Windows in the ANSI code page.
    QTest::newRow("ASCII remembered, later mark read as text")
        << ascii << bodyWithMark << QStringList{"B"} << OffWindowsOrOnWindows(u"Straße"_s, u"StraÃŸe"_s)
        << Bytes("[B]\r\nk=Stra\xC3\x9F"
                 "e\r\n\r\n");
    QTest::newRow("ASCII remembered, later Windows-1252 read in the legacy code page")
        << ascii
        << Bytes("[B]\r\nk=Stra\xDF"
                 "e\r\n")
        << QStringList{"B"} << "Straße"
        << OffWindowsOrOnWindows(Bytes("[B]\r\nk=Stra\xC3\x9F"
                                       "e\r\n\r\n"),
                                 Bytes("[B]\r\nk=Stra\xDF"
                                       "e\r\n\r\n"));
    QTest::newRow("UTF-8 remembered, its mark skipped")
        << utf8 << bodyWithMark << QStringList{"A", "B"} << "Straße" << rewrittenUtf8;
    QTest::newRow("UTF-8 remembered, file without mark decoded in it")
        << utf8 << body << QStringList{"A", "B"} << "Straße" << rewrittenUtf8;
    QTest::newRow("nothing remembered, detected at the first read")
        << QByteArray() << bodyWithMark << QStringList{"A", "B"} << "Straße" << rewrittenUtf8;
    QTest::newRow("missing file keeps the remembered encoding")
        << utf8 << QByteArray() << QStringList() << "-" << Bytes("\xEF\xBB\xBF");
}

void TestSettingsFile::renameReloadKeepsFirstEncoding()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QStringList, sections);
    QFETCH(QString, value);
    QFETCH(QByteArray, written);

    const QString firstPath = PathOf(u"first.ini"_s);
    const QString secondPath = PathOf(u"second.ini"_s);
    if (!first.isNull())
        WriteFixture(firstPath, first);
    if (!second.isNull())
        WriteFixture(secondPath, second);

    TSettingsFile ini(firstPath);
    ini.Rename(secondPath, true);
    QCOMPARE(SectionNames(ini), sections);
    QCOMPARE(ini.ReadString("B", "k", "-"), value);
    ini.UpdateFile();
    QCOMPARE(FileBytes(secondPath), written);
}

void TestSettingsFile::undecodableFileFailsCreation()
{
    const QString path = Fixture(Bytes("\xEF\xBB\xBF\xFF"));
    QVERIFY_THROWS_EXCEPTION(EEncodingError, TSettingsFile{path});
}

void TestSettingsFile::failedReloadKeepsCopy_data()
{
    QTest::addColumn<QByteArray>("first"); // null: no such file
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<TTextEncoding>("encoding");

    QTest::newRow("nothing remembered: the detected encoding stays")
        << QByteArray() << Bytes("\xEF\xBB\xBF[B]\r\nk=\xFF\r\n") << TTextEncoding::Utf8;
    QTest::newRow("UTF-8 remembered, invalid file without mark")
        << Bytes("\xEF\xBB\xBF[X]\r\n") << Bytes("[B]\r\nk=\xFF\r\n") << TTextEncoding::Utf8;
}

void TestSettingsFile::failedReloadKeepsCopy()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(TTextEncoding, encoding);

    const QString firstPath = PathOf(u"first.ini"_s);
    const QString secondPath = PathOf(u"second.ini"_s);
    if (!first.isNull())
        WriteFixture(firstPath, first);
    WriteFixture(secondPath, second);

    TSettingsFile ini(firstPath);
    ini.WriteString(u"Kept"_s, u"k"_s, u"1"_s);
    const QStringList before = SectionNames(ini);

    QVERIFY_THROWS_EXCEPTION(EEncodingError, ini.Rename(secondPath, true));
    QCOMPARE(SectionNames(ini), before);
    QCOMPARE(ini.ReadString("Kept", "k", "-"), "1");
    QCOMPARE(ini.Encoding(), encoding);
    QCOMPARE(ini.FileName(), secondPath);
}

void TestSettingsFile::updateFileRaisesSaveError()
{
    const QString path = PathOf(u"no such folder/settings.ini"_s);
    TSettingsFile ini(path);
    ini.WriteString(u"Form"_s, u"Left"_s, u"10"_s);
    QVERIFY_THROWS_EXCEPTION(EFCreateError, ini.UpdateFile());
    QVERIFY(!QFile::exists(path));
}

void TestSettingsFile::whatIsNoRegularFileIsNeitherReadNorReplaced_data()
{
    QTest::addColumn<TSpecialFile>("kind");
    QTest::newRow("FIFO") << TSpecialFile::Fifo;
    QTest::newRow("socket") << TSpecialFile::Socket;
    QTest::newRow("device") << TSpecialFile::ZeroDevice;
    QTest::newRow("link to a device") << TSpecialFile::LinkToZeroDevice;
}

// Such a thing in place of the settings file is no missing file: reading it would wait for a
// writer or never end, and the file written at the program's end must not replace it.
void TestSettingsFile::whatIsNoRegularFileIsNeitherReadNorReplaced()
{
    QFETCH(TSpecialFile, kind);

#ifdef Q_OS_UNIX
    const QString path = PathOf(u"Tessaro.ini"_s);
    if (!MakeSpecialFile(kind, path))
        QSKIP(qPrintable(u"This kind of file cannot be made here: "_s + SystemErrorText(errno)));
    const QString native = QDir::toNativeSeparators(path);

    const QString readError =
        ResultInChild([&] { return MessageOf<EFOpenError>([&] { const TSettingsFile ini(path); }); });
    QCOMPARE(readError, u"Datei %1 kann nicht geöffnet werden. keine reguläre Datei"_s.arg(native));

    const QString writeError = ResultInChild([&] {
        TSettingsFile ini{QString()};
        ini.WriteString(u"Form"_s, u"Left"_s, u"10"_s);
        ini.Rename(path, false);
        return MessageOf<EFCreateError>([&] { ini.UpdateFile(); });
    });
    QCOMPARE(writeError, u"Datei \"%1\" kann nicht erstellt werden. keine reguläre Datei"_s.arg(native));
    const QFileInfo after(path);
    QVERIFY(after.exists() && !after.isFile());
    QCOMPARE(after.isSymLink(), kind == TSpecialFile::LinkToZeroDevice);
#else
    Q_UNUSED(kind);
    QSKIP("FIFOs, sockets and devices as made here exist on Unix only.");
#endif
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_SettingsFile.moc"
