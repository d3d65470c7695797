#include "text/ktStrings.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestKtStrings : public QObject {
    Q_OBJECT

private slots:
    void extractField_data();
    void extractField();
    void trim_data();
    void trim();
    void formatWithOneString_data();
    void formatWithOneString();
};

void TestKtStrings::extractField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a=b=c, 0") << u"a=b=c"_s << 0 << u"a"_s;
    QTest::newRow("a=b=c, 1") << u"a=b=c"_s << 1 << u"b"_s;
    QTest::newRow("a=b=c, 2: runs to the end") << u"a=b=c"_s << 2 << u"c"_s;
    QTest::newRow("a=b=c, 3: beyond the last field") << u"a=b=c"_s << 3 << QString();
    QTest::newRow("no delimiter, 0: whole text") << u"abc"_s << 0 << u"abc"_s;
    QTest::newRow("no delimiter, 1") << u"abc"_s << 1 << QString();
    QTest::newRow("empty text, 0") << QString() << 0 << QString();
    QTest::newRow("empty text, 1") << QString() << 1 << QString();
    QTest::newRow("a==c, 1: empty field between") << u"a==c"_s << 1 << QString();
    QTest::newRow("a==c, 2") << u"a==c"_s << 2 << u"c"_s;
    QTest::newRow("=b, 0: empty first field") << u"=b"_s << 0 << QString();
    QTest::newRow("=b, 1") << u"=b"_s << 1 << u"b"_s;
    QTest::newRow("a=, 1: empty last field") << u"a="_s << 1 << QString();
    QTest::newRow("blanks stay") << u" Name = value "_s << 1 << u" value "_s;
    QTest::newRow("negative index") << u"a=b"_s << -1 << QString();
    QTest::newRow("large negative index") << u"=b"_s << -2147483647 - 1 << QString();
}

void TestKtStrings::extractField()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QFETCH(QString, expected);

    const QString result = ExtractField(text, u'=', index);
    QCOMPARE(result, expected);
}

void TestKtStrings::trim_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blanks only") << u"   "_s << QString();
    QTest::newRow("blanks both ends") << u"  a b  "_s << u"a b"_s;
    QTest::newRow("tabs, CR, LF") << u"\t\r\na\t\r\n"_s << u"a"_s;
    QTest::newRow("control characters and U+0000") << QString::fromUtf16(u"\x01\x1F\0x\0\x1F", 6) << u"x"_s;
    QTest::newRow("characters inside stay") << u"a \t= b"_s << u"a \t= b"_s;
    QTest::newRow("no-break space is above U+0020") << u"\u00A0a\u00A0"_s << u"\u00A0a\u00A0"_s;
    QTest::newRow("U+0021 stays") << u"!a!"_s << u"!a!"_s;
}

void TestKtStrings::trim()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(Trim(text).toString(), expected);
}

void TestKtStrings::formatWithOneString_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<QString>("message");

    QTest::newRow("one %s") << u"„%s“ wurde nicht gefunden."_s << u"Port"_s << u"„Port“ wurde nicht gefunden."_s;
    QTest::newRow("capital %S") << u"%S fehlt"_s << u"Port"_s << u"Port fehlt"_s;
    QTest::newRow("percent in the search text kept")
        << u"„%s“ wurde nicht gefunden."_s << u"100% %1 %s %%"_s << u"„100% %1 %s %%“ wurde nicht gefunden."_s;
    QTest::newRow("%% is a percent sign") << u"%s: 100%% durchsucht"_s << u"x"_s << u"x: 100% durchsucht"_s;
    QTest::newRow("no placeholder") << u"Nicht gefunden."_s << u"x"_s << u"Nicht gefunden."_s;
    QTest::newRow("missing text") << QString() << u"x"_s << QString();
    QTest::newRow("%d does not fit") << u"%d Treffer für %s"_s << u"x"_s << u"%d Treffer für %s"_s;
    QTest::newRow("two %s do not fit") << u"%s und %s"_s << u"x"_s << u"%s und %s"_s;
    QTest::newRow("%1 does not fit") << u"%1 fehlt"_s << u"x"_s << u"%1 fehlt"_s;
    QTest::newRow("lone % at the end does not fit") << u"%s zu 100%"_s << u"x"_s << u"%s zu 100%"_s;
}

void TestKtStrings::formatWithOneString()
{
    QFETCH(QString, format);
    QFETCH(QString, searchText);
    QFETCH(QString, message);

    QCOMPARE(FormatWithOneString(format, searchText), message);
}

QTEST_GUILESS_MAIN(TestKtStrings)
#include "tst_ktStrings.moc"
