// The one-shot "set" command of tessaro-bench runs the program's whole path for a parameter edit
// on real files: load, normalise, set, save in the file's own encoding.

#include "FileFixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBenchSetMode : public QObject {
    Q_OBJECT

private slots:
    void setWritesTheEditedFile_data();
    void setWritesTheEditedFile();
    void setRewritesTheFileInPlace();
    void failedLoadWritesNothing();
    void wrongArgumentCountIsRefused();

private:
    // Runs tessaro-bench with `arguments`; gives its exit code.
    int RunBench(const QStringList &arguments);

    QTemporaryDir FFolder;
    QByteArray FErrorOutput;
};

int TestBenchSetMode::RunBench(const QStringList &arguments)
{
    QProcess bench;
    bench.start(QString::fromUtf8(TESSARO_BENCH), arguments);
    if (!bench.waitForFinished() || bench.exitStatus() != QProcess::NormalExit)
        return -1;
    FErrorOutput = bench.readAllStandardError();
    return bench.exitCode();
}

void TestBenchSetMode::setWritesTheEditedFile_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("commented default in a UTF-8 file")
        << QByteArray("\xEF\xBB\xBF# head\n#DefaultDbCachePages = 2048\nRemoteServicePort = 3051\n")
        << u"DefaultDbCachePages"_s << u"4096"_s
        << QByteArray("\xEF\xBB\xBF# head\r\nDefaultDbCachePages=4096\r\nRemoteServicePort=3051\r\n");
    QTest::newRow("file without a mark keeps its bytes")
        << QByteArray("#Gr\xF6\xDF" "e\r\nP = 1\r\n") << u"P"_s << u"2"_s << QByteArray("#Gr\xF6\xDF" "e\r\nP=2\r\n");
    QTest::newRow("UTF-16 big-endian")
        << QByteArray("\xFE\xFF\0P\0=\0" "1\0\n", 10) << u"P"_s << u"23"_s
        << QByteArray("\xFE\xFF\0P\0=\0" "2\0" "3\0\r\0\n", 14);
    QTest::newRow("empty value removes the line") << QByteArray("P=1\nQ=2\n") << u"P"_s << u""_s
                                                  << QByteArray("Q=2\r\n");
    QTest::newRow("missing input") << QByteArray() << u"RemoteServicePort"_s << u"3051"_s
                                   << QByteArray("RemoteServicePort=3051\r\n");
}

void TestBenchSetMode::setWritesTheEditedFile()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, output);

    const QString in = FFolder.filePath(u"in.conf"_s);
    const QString out = FFolder.filePath(u"out.conf"_s);
    QFile::remove(in);
    QFile::remove(out);
    if (!input.isEmpty())
        WriteFixture(in, input);

    QCOMPARE(RunBench({u"set"_s, in, out, key, value}), 0);
    QCOMPARE(FileBytes(out), output);
}

void TestBenchSetMode::setRewritesTheFileInPlace()
{
    const QString path = FFolder.filePath(u"firebird.conf"_s);
    WriteFixture(path, "#TcpNoNagle = 0\nLockSignal = 16\n");

    QCOMPARE(RunBench({u"set"_s, path, path, u"TcpNoNagle"_s, u"1"_s}),
             0);
    QCOMPARE(FileBytes(path), QByteArray("TcpNoNagle=1\r\nLockSignal=16\r\n"));
}

void TestBenchSetMode::failedLoadWritesNothing()
{
    const QString in = FFolder.filePath(u"broken.conf"_s);
    const QString out = FFolder.filePath(u"never.conf"_s);
    WriteFixture(in, "\xEF\xBB\xBFP=\xFF\n");

    QCOMPARE(RunBench({u"set"_s, in, out, u"P"_s, u"1"_s}), 1);
    QVERIFY(!QFile::exists(out));
    const QString message =
        u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden"_s;
    QVERIFY2(QString::fromLocal8Bit(FErrorOutput).contains(message), FErrorOutput.constData());
}

void TestBenchSetMode::wrongArgumentCountIsRefused()
{
    const QString out = FFolder.filePath(u"short.conf"_s);
    QCOMPARE(RunBench({u"set"_s, out, out, u"P"_s}), 2);
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestBenchSetMode)
#include "tst_BenchSetMode.moc"
