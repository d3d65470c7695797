// The line document's lines: edits, copies, revisions, names and values.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestLineDocument : public QObject {
    Q_OBJECT

private slots:
    void init();

    void edits();
    void editsOfLoadedLinesSave();
    void copiesKeepTheirLines();
    void manyEditsKeepEveryLine_data();
    void manyEditsKeepEveryLine();
    void asciiLinesAreHeldAsBytes();
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

private:
    std::unique_ptr<TFixtureFolder> FDir;
};

void TestLineDocument::init()
{
    FDir = std::make_unique<TFixtureFolder>();
    QVERIFY(FDir->isValid());
}

void TestLineDocument::edits()
{
    TLineDocument document = FDir->Loaded("\xFE\xFF\0a"_ba);

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
    TLineDocument document = FDir->Loaded("a=1\r\nb=2\r\n\r\nc=3\nd\n\ne\r\nf"_ba);
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
    TLineDocument umlaut = FDir->Loaded(run + "\xE4=\x80\r\n" + run);
    umlaut.SaveToFile(path);
    QCOMPARE(FileBytes(path), run + "\xE4=\x80\r\n" + run);
    TLineDocument utf8 = FDir->Loaded("\xEF\xBB\xBF" + run + "\xC3\xA4=\xE4\xB8\xAD\r\n" + run);
    utf8.Put(0, u"ä=ä"_s);
    utf8.SaveToFile(path);
    QCOMPARE(FileBytes(path), "\xEF\xBB\xBF\xC3\xA4=\xC3\xA4\r\n" + run.mid(5) + "\xC3\xA4=\xE4\xB8\xAD\r\n" + run);
}

// Copies share the loaded characters: each keeps its lines whatever the other does.
void TestLineDocument::copiesKeepTheirLines()
{
    const QStringList lines{u"a=1"_s, u"b=2"_s, u"c=3"_s};
    auto original = std::make_unique<TLineDocument>(FDir->Loaded("a=1\r\nb=2\r\n"_ba));
    original->Add(u"c=3"_s);
    TLineDocument copy = *original;
    original->Put(0, u"x"_s);
    original->Clear();
    original.reset();
    QCOMPARE(copy.Lines(), lines);

    TLineDocument moved = std::move(copy);
    QCOMPARE(moved.Lines(), lines);
    TLineDocument assigned = FDir->Loaded("z\r\n"_ba);
    assigned = moved;
    moved.Put(2, u"y"_s);
    QCOMPARE(assigned.Lines(), lines);

    const QString path = FDir->filePath(u"saved.conf"_s);
    assigned.SaveToFile(path);
    QCOMPARE(FileBytes(path), "a=1\r\nb=2\r\nc=3\r\n"_ba);
}

// A replaced line is stored separately from the loaded text, and so is the line behind a removed one:
// edits in any order, appends after removals among them, must keep every line where it belongs,
// and a copy taken midway must keep the lines it had.
void TestLineDocument::manyEditsKeepEveryLine_data()
{
    QTest::addColumn<int>("otherEvery");
    QTest::newRow("ASCII file") << 0;
    // Held as UTF-16 from an even place on, such lines stand behind lines of odd and even lengths.
    QTest::newRow("UTF-8 file, every third line beyond ASCII") << 3;
}

void TestLineDocument::manyEditsKeepEveryLine()
{
    QFETCH(int, otherEvery);
    const auto lineText = [otherEvery](const QString &text, int i) {
        return otherEvery > 0 && i % otherEvery == 0 ? text + u"ä€"_s.left(1 + i % 2) : text;
    };
    QByteArray bytes = otherEvery > 0 ? "\xEF\xBB\xBF"_ba : QByteArray();
    QStringList model;
    for (int i = 0; i < 2000; ++i) {
        model.append(i % 7 == 0 ? QString() : lineText(u"line %1 %2"_s.arg(i).arg(QString(i % 50, u'x')), i));
        bytes += model.last().toUtf8() + "\r\n";
    }
    TLineDocument document = FDir->Loaded(bytes);
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
            model.append(lineText(u"added %1"_s.arg(round), round));
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

// A configuration file is nearly all ASCII: such lines are held, and handed out, as their bytes,
// loaded or added, whatever the file's encoding; only the others take UTF-16.
void TestLineDocument::asciiLinesAreHeldAsBytes()
{
    const QByteArray utf16 = "\xFF\xFE"
                             "a\0=\0\n\0\xE4\0\n\0"_ba;
    // UTF-8 with its mark, as Windows reads a file without one in its ANSI code page.
    const QByteArray utf8 = "\xEF\xBB\xBF"
                            "a=\n\xC3\xA4\n"_ba;
    for (const QByteArray &bytes : {utf8, "a=\n\xE4\n"_ba, utf16}) {
        TLineDocument document = FDir->Loaded(bytes);
        document.AddStrings({u"b=1"_s, u"ü"_s, QString()});
        const QStringList lines{u"a="_s, u"ä"_s, u"b=1"_s, u"ü"_s, QString()};
        const QList<bool> held{true, false, true, false, true};
        QCOMPARE(document.Lines(), lines);
        for (int i = 0; i < document.Count(); ++i) {
            const bool asBytes =
                document.Line(i).visit([](auto view) { return std::is_same_v<decltype(view), QLatin1StringView>; });
            QCOMPARE(asBytes, held.at(i));
        }
    }
}

void TestLineDocument::linesAndFirstChars()
{
    TLineDocument document = FDir->Loaded("#c\r\n\r\nx=1\r\n"_ba);
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

    TLineDocument document = FDir->Loaded(bytes);
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
    const QString path = FDir->Fixture("a=1\r\nb=2\r\n"_ba);

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

QTEST_GUILESS_MAIN(TestLineDocument)
#include "tst_LineDocument.moc"
