// The one-shot "set" command of tessaro-bench runs the program's whole path for a parameter edit
// on real files: load, normalise, set, save in the file's own encoding.

#include "FileFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

Q_DECLARE_METATYPE(TSpecialFile)

class TestBenchSetMode : public QObject {
    Q_OBJECT

private slots:
    void setWritesTheEditedFile_data();
    void setWritesTheEditedFile();
    void setRewritesTheFileInPlace();
    void failedLoadWritesNothing();
    void wrongArgumentCountIsRefused();
    void specialFilesAreRefused_data();
    void specialFilesAreRefused();
    void outOfMemoryIsReported();

private:
    // Runs tessaro-bench with `arguments`; gives its exit code, or -1 when it did not end by
    // itself within 20 seconds. `prepare` runs in the child before the bench starts.
    int RunBench(const QStringList &arguments, const std::function<void()> &prepare = {});

    QTemporaryDir FFolder;
    QByteArray FErrorOutput;
};

int TestBenchSetMode::RunBench(const QStringList &arguments, [[maybe_unused]] const std::function<void()> &prepare)
{
    QProcess bench;
#ifdef Q_OS_UNIX
    if (prepare)
        bench.setChildProcessModifier(prepare);
#endif
    bench.start(QString::fromUtf8(TESSARO_BENCH), arguments);
    if (!bench.waitForFinished(20'000) || bench.exitStatus() != QProcess::NormalExit)
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
    QTest::newRow("file without a mark keeps its bytes") << QByteArray("#Gr\xF6\xDF"
                                                                       "e\r\nP = 1\r\n")
                                                         << u"P"_s << u"2"_s
                                                         << QByteArray("#Gr\xF6\xDF"
                                                                       "e\r\nP=2\r\n");
    QTest::newRow("UTF-16 big-endian") << QByteArray("\xFE\xFF\0P\0=\0"
                                                     "1\0\n",
                                                     10)
                                       << u"P"_s << u"23"_s
                                       << QByteArray("\xFE\xFF\0P\0=\0"
                                                     "2\0"
                                                     "3\0\r\0\n",
                                                     14);
    QTest::newRow("empty value removes the line")
        << QByteArray("P=1\nQ=2\n") << u"P"_s << u""_s << QByteArray("Q=2\r\n");
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

    QCOMPARE(RunBench({u"set"_s, path, path, u"TcpNoNagle"_s, u"1"_s}), 0);
    QCOMPARE(FileBytes(path), QByteArray("TcpNoNagle=1\r\nLockSignal=16\r\n"));
}

void TestBenchSetMode::failedLoadWritesNothing()
{
    const QString in = FFolder.filePath(u"broken.conf"_s);
    const QString out = FFolder.filePath(u"never.conf"_s);
    WriteFixture(in, "\xEF\xBB\xBFP=\xFF\n");

    QCOMPARE(RunBench({u"set"_s, in, out, u"P"_s, u"1"_s}), 1);
    QVERIFY(!QFile::exists(out));
    const QString message = u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden"_s;
    QVERIFY2(QString::fromLocal8Bit(FErrorOutput).contains(message), FErrorOutput.constData());
}

void TestBenchSetMode::wrongArgumentCountIsRefused()
{
    const QString out = FFolder.filePath(u"short.conf"_s);
    QCOMPARE(RunBench({u"set"_s, out, out, u"P"_s}), 2);
    QVERIFY(!QFile::exists(out));
}

void TestBenchSetMode::specialFilesAreRefused_data()
{
    QTest::addColumn<TSpecialFile>("kind");
    QTest::addColumn<bool>("asInput");
    QTest::addColumn<QString>("message");

    const QString open = u"Datei %1 kann nicht geöffnet werden. keine reguläre Datei"_s;
    const QString create = u"Datei \"%1\" kann nicht erstellt werden. keine reguläre Datei"_s;
    QTest::newRow("input a FIFO") << TSpecialFile::Fifo << true << open;
    QTest::newRow("input a socket") << TSpecialFile::Socket << true << open;
    QTest::newRow("input a link to a device that never ends") << TSpecialFile::LinkToZeroDevice << true << open;
    QTest::newRow("output a FIFO") << TSpecialFile::Fifo << false << create;
    QTest::newRow("output a device") << TSpecialFile::ZeroDevice << false << create;
}

// Neither waits for a FIFO's other end nor reads a device until memory runs out nor replaces
// what is no file: it stops with the message and exit code 1.
void TestBenchSetMode::specialFilesAreRefused()
{
    QFETCH(TSpecialFile, kind);
    QFETCH(bool, asInput);
    QFETCH(QString, message);

#ifdef Q_OS_UNIX
    const QString special = FFolder.filePath(u"special.conf"_s);
    QFile::remove(special);
    QFile::remove(special + u".device"_s);
    if (!MakeSpecialFile(kind, special))
        QSKIP("This kind of file cannot be made here.");
    const QString regular = FFolder.filePath(u"regular.conf"_s);
    WriteFixture(regular, "P=1\n");
    const QString in = asInput ? special : regular;
    const QString out = asInput ? FFolder.filePath(u"never.conf"_s) : special;
    QFile::remove(FFolder.filePath(u"never.conf"_s));

    QCOMPARE(RunBench({u"set"_s, in, out, u"P"_s, u"2"_s}), 1);
    QCOMPARE(QString::fromLocal8Bit(FErrorOutput).trimmed(), message.arg(special));
    QVERIFY(QFileInfo::exists(special) && !QFileInfo(special).isFile());
    QVERIFY(!QFile::exists(FFolder.filePath(u"never.conf"_s)));
#else
    Q_UNUSED(kind);
    Q_UNUSED(asInput);
    Q_UNUSED(message);
    QSKIP("FIFOs, sockets and devices as made here exist on Unix only.");
#endif
}

// A file larger than the memory the process may have: the failure is reported, not an abort.
void TestBenchSetMode::outOfMemoryIsReported()
{
#ifdef Q_OS_UNIX
    if (UnderAddressSanitizer)
        QSKIP("AddressSanitizer needs more address space than the limit leaves, and ends the process itself.");
    const QString in = FFolder.filePath(u"huge.conf"_s);
    QFile huge(in);
    QVERIFY(huge.open(QIODevice::WriteOnly));
    // Sparse: it takes no room on disk.
    QVERIFY(huge.resize(qint64(3) << 30));
    huge.close();
    const QString out = FFolder.filePath(u"never.conf"_s);
    QFile::remove(out);

    const int exitCode = RunBench({u"set"_s, in, out, u"P"_s, u"2"_s}, [] {
        const rlimit memory{1ull << 30, 1ull << 30};
        setrlimit(RLIMIT_AS, &memory);
    });
    QFile::remove(in);

    QCOMPARE(exitCode, 1);
    QCOMPARE(FErrorOutput.trimmed(), QByteArray("std::bad_alloc"));
    QVERIFY(!QFile::exists(out));
#else
    QSKIP("The address space is limited with a Unix call.");
#endif
}

QTEST_GUILESS_MAIN(TestBenchSetMode)
#include "tst_BenchSetMode.moc"
