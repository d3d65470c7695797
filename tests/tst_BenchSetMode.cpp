// The one-shot "set" command of tessaro-bench runs the program's whole path for a parameter edit
// on real files: load, normalise, set, save in the file's own encoding.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
    QByteArray ReadFile(const QString &path);
    void WriteFile(const QString &path, const QByteArray &bytes);

    QTemporaryDir FFolder;
    QByteArray FErrorOutput;
};

int TestBenchSetMode::RunBench(const QStringList &arguments)
{
    QProcess bench;
    bench.start(QStringLiteral(TESSARO_BENCH), arguments);
    if (!bench.waitForFinished() || bench.exitStatus() != QProcess::NormalExit)
        return -1;
    FErrorOutput = bench.readAllStandardError();
    return bench.exitCode();
}

QByteArray TestBenchSetMode::ReadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "(missing)";
    return file.readAll();
}

void TestBenchSetMode::WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestBenchSetMode::setWritesTheEditedFile_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("commented default in a UTF-8 file")
        << QByteArray("\xEF\xBB\xBF# head\n#DefaultDbCachePages = 2048\nRemoteServicePort = 3051\n")
        << "DefaultDbCachePages" << "4096"
        << QByteArray("\xEF\xBB\xBF# head\r\nDefaultDbCachePages=4096\r\nRemoteServicePort=3051\r\n");
    QTest::newRow("file without a mark keeps its bytes")
        << QByteArray("#Gr\xF6\xDF" "e\r\nP = 1\r\n") << "P" << "2" << QByteArray("#Gr\xF6\xDF" "e\r\nP=2\r\n");
    QTest::newRow("UTF-16 big-endian")
        << QByteArray("\xFE\xFF\0P\0=\0" "1\0\n", 10) << "P" << "23"
        << QByteArray("\xFE\xFF\0P\0=\0" "2\0" "3\0\r\0\n", 14);
    QTest::newRow("empty value removes the line") << QByteArray("P=1\nQ=2\n") << "P" << ""
                                                  << QByteArray("Q=2\r\n");
    QTest::newRow("missing input") << QByteArray() << "RemoteServicePort" << "3051"
                                   << QByteArray("RemoteServicePort=3051\r\n");
}

void TestBenchSetMode::setWritesTheEditedFile()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, output);

    const QString in = FFolder.filePath(QStringLiteral("in.conf"));
    const QString out = FFolder.filePath(QStringLiteral("out.conf"));
    QFile::remove(in);
    QFile::remove(out);
    if (!input.isEmpty())
        WriteFile(in, input);

    QCOMPARE(RunBench({QStringLiteral("set"), in, out, key, value}), 0);
    QCOMPARE(ReadFile(out), output);
}

void TestBenchSetMode::setRewritesTheFileInPlace()
{
    const QString path = FFolder.filePath(QStringLiteral("firebird.conf"));
    WriteFile(path, "#TcpNoNagle = 0\nLockSignal = 16\n");

    QCOMPARE(RunBench({QStringLiteral("set"), path, path, QStringLiteral("TcpNoNagle"), QStringLiteral("1")}),
             0);
    QCOMPARE(ReadFile(path), QByteArray("TcpNoNagle=1\r\nLockSignal=16\r\n"));
}

void TestBenchSetMode::failedLoadWritesNothing()
{
    const QString in = FFolder.filePath(QStringLiteral("broken.conf"));
    const QString out = FFolder.filePath(QStringLiteral("never.conf"));
    WriteFile(in, "\xEF\xBB\xBFP=\xFF\n");

    QCOMPARE(RunBench({QStringLiteral("set"), in, out, QStringLiteral("P"), QStringLiteral("1")}), 1);
    QVERIFY(!QFile::exists(out));
    const QString message =
        QStringLiteral("Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden");
    QVERIFY2(QString::fromLocal8Bit(FErrorOutput).contains(message), FErrorOutput.constData());
}

void TestBenchSetMode::wrongArgumentCountIsRefused()
{
    const QString out = FFolder.filePath(QStringLiteral("short.conf"));
    QCOMPARE(RunBench({QStringLiteral("set"), out, out, QStringLiteral("P")}), 2);
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestBenchSetMode)
#include "tst_BenchSetMode.moc"
