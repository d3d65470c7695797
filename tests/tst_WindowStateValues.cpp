#include "FileFixtures.h"
#include "app/state/SettingsFilePath.h"
#include "app/state/StoredColumns.h"
#include "app/state/WindowStateValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

void CreateFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
}

// The text's integer, or nothing when it is no integer.
std::optional<int> IntegerOrNothing(const QString &text)
{
    try {
        return StoredInteger(text);
    } catch (const EConvertError &) {
        return std::nullopt;
    }
}

// A column as "caption/width/alignment/autosize" for compact comparisons.
QString ColumnText(const TListColumn &column)
{
    return u"%1/%2/%3/%4"_s.arg(column.Caption).arg(column.Width).arg(int(column.Alignment)).arg(column.AutoSize);
}

} // namespace

class TestWindowStateValues : public QObject {
    Q_OBJECT

private slots:
    void integer_data();
    void integer();
    void conversionMessage();
    void boolean_data();
    void boolean();
    void enumeration_data();
    void enumeration();
    void positionWords_data();
    void positionWords();
    void textForms();
    void settingsFilePath_data();
    void settingsFilePath();
    void storedColumns_data();
    void storedColumns();
};

void TestWindowStateValues::integer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<int>>("value");
    QTest::newRow("empty counts as 0") << u""_s << std::optional<int>(0);
    QTest::newRow("positive") << u"250"_s << std::optional<int>(250);
    QTest::newRow("negative") << u"-8"_s << std::optional<int>(-8);
    QTest::newRow("largest") << u"2147483647"_s << std::optional<int>(2147483647);
    QTest::newRow("beyond the range") << u"2147483648"_s << std::optional<int>();
    QTest::newRow("letter") << u"x1"_s << std::optional<int>();
    QTest::newRow("trailing letter") << u"12a"_s << std::optional<int>();
    QTest::newRow("fraction") << u"1.5"_s << std::optional<int>();
    QTest::newRow("hexadecimal") << u"0x10"_s << std::optional<int>();
}

void TestWindowStateValues::integer()
{
    QFETCH(QString, text);
    QFETCH(std::optional<int>, value);
    QCOMPARE(IntegerOrNothing(text), value);
}

void TestWindowStateValues::conversionMessage()
{
    QCOMPARE(MessageOf<EConvertError>([] { StoredInteger(u"x1"_s); }), u"'x1' ist kein gültiger Integerwert"_s);
}

void TestWindowStateValues::boolean_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<int>>("value"); // 1 true, 0 false, nothing: conversion error
    QTest::newRow("TRUE") << u"TRUE"_s << std::optional<int>(1);
    QTest::newRow("yes in lower case") << u"yes"_s << std::optional<int>(1);
    QTest::newRow("y") << u"y"_s << std::optional<int>(1);
    QTest::newRow("False") << u"False"_s << std::optional<int>(0);
    QTest::newRow("NO") << u"NO"_s << std::optional<int>(0);
    QTest::newRow("n") << u"n"_s << std::optional<int>(0);
    QTest::newRow("zero") << u"0"_s << std::optional<int>(0);
    QTest::newRow("empty is zero") << u""_s << std::optional<int>(0);
    QTest::newRow("any other number") << u"-3"_s << std::optional<int>(1);
    QTest::newRow("a word") << u"maybe"_s << std::optional<int>();
    QTest::newRow("T alone") << u"T"_s << std::optional<int>();
}

void TestWindowStateValues::boolean()
{
    QFETCH(QString, text);
    QFETCH(std::optional<int>, value);
    try {
        QCOMPARE(std::optional<int>(StoredBoolean(text) ? 1 : 0), value);
    } catch (const EConvertError &error) {
        QVERIFY2(!value, qPrintable(error.Message()));
    }
}

void TestWindowStateValues::enumeration_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<int>>("value"); // nothing: the target keeps its value
    QTest::addColumn<bool>("malformed");
    QTest::newRow("name") << u"taCenter"_s << std::optional<int>(2) << false;
    QTest::newRow("name in another case") << u"TARIGHTJUSTIFY"_s << std::optional<int>(1) << false;
    QTest::newRow("ordinal") << u"1"_s << std::optional<int>(1) << false;
    QTest::newRow("minus one keeps") << u"-1"_s << std::optional<int>() << false;
    QTest::newRow("ordinal beyond the names") << u"3"_s << std::optional<int>() << true;
    QTest::newRow("no name, no number") << u"taJustify"_s << std::optional<int>() << true;
}

void TestWindowStateValues::enumeration()
{
    QFETCH(QString, text);
    QFETCH(std::optional<int>, value);
    QFETCH(bool, malformed);
    const QStringList names{u"taLeftJustify"_s, u"taRightJustify"_s, u"taCenter"_s};
    try {
        QCOMPARE(StoredEnumeration(text, names), value);
        QVERIFY(!malformed);
    } catch (const EConvertError &error) {
        QVERIFY2(malformed, qPrintable(error.Message()));
    }
}

void TestWindowStateValues::positionWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("words"); // the four words, 99 standing for "missing or bad"
    QTest::newRow("as written") << u"-1,-1,-8,-8"_s << QList<int>{-1, -1, -8, -8};
    QTest::newRow("runs of commas and blanks") << u" 10 ,, 20  30,40"_s << QList<int>{10, 20, 30, 40};
    QTest::newRow("leading separators") << u",,5,6"_s << QList<int>{5, 6, 99, 99};
    QTest::newRow("a bad word keeps its place") << u"1,x,3,4"_s << QList<int>{1, 99, 3, 4};
    QTest::newRow("empty") << u""_s << QList<int>{99, 99, 99, 99};
}

void TestWindowStateValues::positionWords()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, words);
    const QStringList split = PositionWords(text);
    for (int index = 0; index < words.size(); ++index)
        QCOMPARE(PositionWord(split, index, 99), words[index]);
}

void TestWindowStateValues::textForms()
{
    QCOMPARE(PositionText(-1, -1, -8, 0), u"-1,-1,-8,0"_s);
    QCOMPARE(DesktopSizeSuffix(QSize(1920, 1080)), u"(1920x1080)"_s);
    QCOMPARE(BooleanText(true), u"TRUE"_s);
    QCOMPARE(BooleanText(false), u"FALSE"_s);
}

void TestWindowStateValues::settingsFilePath_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("found");
    QTest::newRow("none: the shipped spelling") << QStringList() << u"Tessaro.Ini"_s << u"Tessaro.ini"_s;
    QTest::newRow("none, shipped spelling asked") << QStringList() << u"Tessaro.ini"_s << u"Tessaro.ini"_s;
    QTest::newRow("other spelling found") << QStringList{u"TESSARO.INI"_s} << u"Tessaro.ini"_s << u"TESSARO.INI"_s;
    QTest::newRow("main window's spelling found")
        << QStringList{u"Tessaro.ini"_s} << u"Tessaro.Ini"_s << u"Tessaro.ini"_s;
    QTest::newRow("several: one for every caller")
        << QStringList{u"tessaro.ini"_s, u"Tessaro.Ini"_s} << u"Tessaro.ini"_s << u"Tessaro.Ini"_s;
    QTest::newRow("a folder of that name is no file")
        << QStringList{u"tessaro.ini/"_s} << u"Tessaro.ini"_s << u"Tessaro.ini"_s;
    QTest::newRow("another name as given") << QStringList() << u"Other.INI"_s << u"Other.INI"_s;
}

void TestWindowStateValues::settingsFilePath()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, requested);
    QFETCH(QString, found);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const QString &name : existing) {
        if (name.endsWith(u'/'))
            QVERIFY(QDir(folder.path()).mkdir(name.chopped(1)));
        else
            CreateFile(folder.filePath(name));
    }
    // Where the file system ignores letter case, the names are one file, spelled as first made.
    if (QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size() < existing.size())
        found = existing.constFirst();
    QCOMPARE(SettingsFilePath(folder.path(), requested), folder.filePath(found));
    if (requested.compare(SettingsFileName(), Qt::CaseInsensitive) == 0)
        QCOMPARE(SettingsFilePath(folder.path()), folder.filePath(found));
}

void TestWindowStateValues::storedColumns_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("malformed");
    QTest::addColumn<QStringList>("columns");

    const QByteArray twoColumns = "[W\\L]\r\nCount=2\r\n"
                                  "[W\\L\\Item0]\r\nCaption=Name\r\nWidth=120\r\nAlignment=taCenter\r\n"
                                  "[W\\L\\Item1]\r\nCaption=Wert\r\nAutoSize=TRUE\r\nAlignment=1\r\n";
    QTest::newRow("two columns") << twoColumns << true << false << QStringList{u"Name/120/2/0"_s, u"Wert/50/1/1"_s};
    QTest::newRow("no count: the list keeps its columns")
        << QByteArray("[W\\L\\Item0]\r\nCaption=Name\r\n") << false << false << QStringList{u"kept"_s};
    QTest::newRow("count without items gives starting columns")
        << QByteArray("[W\\L]\r\nCount=2\r\n") << true << false << QStringList{u"/50/0/0"_s, u"/50/0/0"_s};
    QTest::newRow("empty count is no columns") << QByteArray("[W\\L]\r\nCount=\r\n") << true << false << QStringList{};
    QTest::newRow("negative count is no columns")
        << QByteArray("[W\\L]\r\nCount=-3\r\n") << true << false << QStringList{};
    QTest::newRow("largest count") << QByteArray("[W\\L]\r\nCount=1024\r\n") << true << false
                                   << QStringList(1024, u"/50/0/0"_s);
    QTest::newRow("count beyond any list") << QByteArray("[W\\L]\r\nCount=1025\r\n") << true << true << QStringList{};
    QTest::newRow("huge count") << QByteArray("[W\\L]\r\nCount=2147483647\r\n") << true << true << QStringList{};
    QTest::newRow("malformed count") << QByteArray("[W\\L]\r\nCount=zwei\r\n") << true << true << QStringList{};
    QTest::newRow("malformed width keeps what was read before it")
        << QByteArray("[W\\L]\r\nCount=3\r\n[W\\L\\Item0]\r\nCaption=A\r\n"
                      "[W\\L\\Item1]\r\nCaption=B\r\nTag=4\r\nWidth=breit\r\nAlignment=taCenter\r\n")
        << true << true << QStringList{u"A/50/0/0"_s, u"B/50/2/0"_s};
    QTest::newRow("alignment ordinal beyond the names")
        << QByteArray("[W\\L]\r\nCount=1\r\n[W\\L\\Item0]\r\nCaption=A\r\nAlignment=3\r\n") << true << true
        << QStringList{u"/50/0/0"_s};
}

void TestWindowStateValues::storedColumns()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, present);
    QFETCH(bool, malformed);
    QFETCH(QStringList, columns);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    WriteFixture(folder.filePath(u"Tessaro.ini"_s), settings);
    const TSettingsFile file(folder.filePath(u"Tessaro.ini"_s));

    std::vector<TListColumn> read(1);
    read[0].Caption = u"kept"_s;
    bool readPresent = false;
    bool readMalformed = false;
    try {
        readPresent = ReadStoredColumns(file, u"W\\L"_s, read);
    } catch (const EConvertError &) {
        readPresent = true;
        readMalformed = true;
    }
    QCOMPARE(readPresent, present);
    QCOMPARE(readMalformed, malformed);
    QStringList texts;
    for (const TListColumn &column : read)
        texts << (column.Caption == u"kept"_s ? column.Caption : ColumnText(column));
    QCOMPARE(texts, columns);
}

QTEST_GUILESS_MAIN(TestWindowStateValues)
#include "tst_WindowStateValues.moc"
