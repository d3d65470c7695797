// Writing a line document to its file: encodings kept, CR LF after every line, a file changed by
// another program meanwhile, and what the saved file keeps of the old one.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <functional>
#include <memory>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr QFile::Permissions ReadOnlyForAll = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

} // namespace

class TestTextFileWriting : public QObject {
    Q_OBJECT

private slots:
    void init();

    void saveRoundTrip_data();
    void saveRoundTrip();
    void saveWithoutLoad_data();
    void saveWithoutLoad();
    void editedFileKeepsItsEncoding_data();
    void editedFileKeepsItsEncoding();
    void linesOfBytesAreEncoded_data();
    void linesOfBytesAreEncoded();
    void fileVersionFollowsLoadAndSave();
    void saveRefusesFileChangedSinceVersion();
    void saveKeepsLinkModeAndOwner();
    void saveInPlaceWhereFolderIsLocked();

private:
    std::unique_ptr<TFixtureFolder> FDir;
};

void TestTextFileWriting::init()
{
    FDir = std::make_unique<TFixtureFolder>();
    QVERIFY(FDir->isValid());
}

void TestTextFileWriting::saveRoundTrip_data()
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
    // ASCII lines are held as bytes and the others as UTF-16, each from an even place on: lines of
    // odd and even lengths in turn put the others at both.
    QTest::newRow("UTF-8, ASCII and other lines in turn")
        << "\xEF\xBB\xBF"
           "a\r\n\xC3\xA4\nbc\r\n\xE2\x82\xAC\xC3\xA4\r\n\r\nd\xC3\xA4"_ba
        << "\xEF\xBB\xBF"
           "a\r\n\xC3\xA4\r\nbc\r\n\xE2\x82\xAC\xC3\xA4\r\n\r\nd\xC3\xA4\r\n"_ba;
    QTest::newRow("UTF-16 LE mark alone") << "\xFF\xFE"_ba
                                          << "\xFF\xFE"_ba;
    QTest::newRow("UTF-16 LE") << "\xFF\xFE"
                                  "a\0"_ba
                               << "\xFF\xFE"
                                  "a\0\r\0\n\0"_ba;
    QTest::newRow("UTF-16 BE") << "\xFE\xFF\0a\0\n"_ba
                               << "\xFE\xFF\0a\0\r\0\n"_ba;
    QTest::newRow("UTF-16 LE, ASCII and other lines in turn")
        << "\xFF\xFE"
           "a\0\n\0\xE4\0\n\0b\0c\0\n\0\xAC\x20"_ba
        << "\xFF\xFE"
           "a\0\r\0\n\0\xE4\0\r\0\n\0b\0c\0\r\0\n\0\xAC\x20\r\0\n\0"_ba;
}

void TestTextFileWriting::saveRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);

    const QString path = FDir->filePath(u"saved.conf"_s);
    FDir->Loaded(bytes).SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

void TestTextFileWriting::saveWithoutLoad_data()
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

void TestTextFileWriting::saveWithoutLoad()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, saved);

    TLineDocument document;
    document.AddStrings(lines);
    const QString path = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

void TestTextFileWriting::editedFileKeepsItsEncoding_data()
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

void TestTextFileWriting::editedFileKeepsItsEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, added);
    QFETCH(QByteArray, saved);

    TLineDocument document = FDir->Loaded(bytes);
    document.Add(added);
    const QString path = FDir->filePath(u"saved.conf"_s);
    document.SaveToFile(path);

    QCOMPARE(FileBytes(path), saved);
}

void TestTextFileWriting::linesOfBytesAreEncoded_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("saved");

    // A line handed on as Latin-1 bytes goes into the file as is only where it is ASCII.
    QTest::newRow("UTF-8") << int(TTextEncoding::Utf8NoMark) << "a=1\r\nb=\xC3\xA4\r\n"_ba;
    QTest::newRow("UTF-8 with its mark") << int(TTextEncoding::Utf8)
                                         << "\xEF\xBB\xBF"
                                            "a=1\r\nb=\xC3\xA4\r\n"_ba;
    QTest::newRow("UTF-16 LE") << int(TTextEncoding::Utf16LE)
                               << "\xFF\xFE"
                                  "a\0=\0\x31\0\r\0\n\0b\0=\0\xE4\0\r\0\n\0"_ba;
}

void TestTextFileWriting::linesOfBytesAreEncoded()
{
    QFETCH(int, encoding);
    QFETCH(QByteArray, saved);

    const QString path = FDir->filePath(u"saved.conf"_s);
    WriteTextLines(path, TTextEncoding(encoding), [](const TLineSink &sink) {
        sink(QLatin1StringView("a=1"));
        sink(QLatin1StringView("b=\xE4"));
    });

    QCOMPARE(FileBytes(path), saved);
}

// The version tells the file as the document last loaded or saved it, so that a change by another
// program shows.
void TestTextFileWriting::fileVersionFollowsLoadAndSave()
{
    const QString path = FDir->filePath(u"firebird.conf"_s);
    TLineDocument document;
    QVERIFY(!document.FileVersion().Exists);
    WriteFixture(path, "a=1\r\n"_ba);
    document.LoadFromFile(path);
    QVERIFY(document.FileVersion().Exists);
    QCOMPARE(document.FileVersion(), FileVersionOf(path));
    QCOMPARE(document.FileVersion().Size, 5);

    // Another program appends a line.
    QFile other(path);
    QVERIFY(other.open(QIODevice::Append));
    QCOMPARE(other.write("b=2\r\n"), 5);
    other.close();
    QVERIFY(document.FileVersion() != FileVersionOf(path));

    document.Add(u"c=3"_s);
    document.SaveToFile(path);
    QCOMPARE(document.FileVersion(), FileVersionOf(path));
    QCOMPARE(document.FileVersion().Size, 10);

    // A file that fails to load leaves the version as it was, like the lines.
    const TFileVersion saved = document.FileVersion();
    const QString broken = FDir->filePath(u"broken.conf"_s);
    WriteFixture(broken, "\xEF\xBB\xBF\xFF"_ba);
    QVERIFY(!MessageOf<EEncodingError>([&] { document.LoadFromFile(broken); }).isEmpty());
    QCOMPARE(document.FileVersion(), saved);

    QVERIFY(QFile::remove(path));
    QVERIFY(!FileVersionOf(path).Exists);
}

// A save that is given the version the file had when the user last saw it replaces only that file:
// another program's write since then stays, the error says so, and the document's version and lines
// stay as they were for a later save.
void TestTextFileWriting::saveRefusesFileChangedSinceVersion()
{
    const QString path = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(path, "a=1\r\n"_ba);
    TLineDocument document;
    document.LoadFromFile(path);
    const TFileVersion loaded = document.FileVersion();
    document.Add(u"c=3"_s);

    QFile other(path);
    QVERIFY(other.open(QIODevice::Append));
    QCOMPARE(other.write("b=2\r\n"), 5);
    other.close();

    QCOMPARE(MessageOf<EFileChangedError>([&] { document.SaveToFile(path, loaded); }), ChangedErrorText(path));
    QCOMPARE(FileBytes(path), "a=1\r\nb=2\r\n"_ba);
    QCOMPARE(document.FileVersion(), loaded);

    // Asked and told to overwrite, the caller gives the version as it is now.
    document.SaveToFile(path, FileVersionOf(path));
    QCOMPARE(FileBytes(path), "a=1\r\nc=3\r\n"_ba);
    QCOMPARE(document.FileVersion(), FileVersionOf(path));

    // A file expected to be missing must still be missing.
    const QString missing = FDir->filePath(u"databases.conf"_s);
    WriteFixture(missing, "x=1\r\n"_ba);
    QCOMPARE(MessageOf<EFileChangedError>([&] { document.SaveToFile(missing, TFileVersion()); }),
             ChangedErrorText(missing));
    QCOMPARE(FileBytes(missing), "x=1\r\n"_ba);
}

void TestTextFileWriting::saveKeepsLinkModeAndOwner()
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
void TestTextFileWriting::saveInPlaceWhereFolderIsLocked()
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

QTEST_GUILESS_MAIN(TestTextFileWriting)
#include "tst_TextFileWriting.moc"
