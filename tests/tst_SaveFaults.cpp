// Saving when the file system refuses: the old file keeps every byte and the error carries the
// German message the error box shows. The line document and the settings file share one way of
// writing, so each fault is tried on both.

#include "FileFixtures.h"
#include "text/Errors.h"
#include "text/LineDocument.h"
#include "text/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

enum class TWriter { LineDocument, SettingsFile };

enum class TFault {
    FullFileSystem,
    FileSizeLimit,
    FolderRemoved,
    ReadOnlyFile,
    FolderInPlace,
    SymbolicLinkLoop,
    NoWritePermission,
    OthersFileInOpenFolder,
    NewFileInLockedFolder,
};

// Read by both writers alike: one section of one key.
const QByteArray OldBytes = "[Form]\r\nLeft=10\r\n\r\n"_ba;
// Larger than the small file system below can hold.
const QString LargeValue(100'000, u'x');

constexpr QFile::Permissions ReadOnlyForAll =
    QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

// A file as one of the two writers holds it: read (a missing one is new), the value of Left
// changed, ready to be written back. Both lay the fixture out again byte for byte.
class TEditedFile {
public:
    TEditedFile(TWriter writer, const QString &path, const QString &value) : FPath(path)
    {
        if (writer == TWriter::LineDocument) {
            FDocument.emplace();
            if (QFileInfo::exists(path))
                FDocument->LoadFromFile(path);
            FDocument->SetValues(u"Left"_s, value);
        } else {
            FSettings.emplace(path);
            FSettings->WriteString(u"Form"_s, u"Left"_s, value);
        }
    }

    // The message of the error raised, a null string when the file was written.
    QString Save() const
    {
        try {
            if (FDocument)
                FDocument->SaveToFile(FPath);
            else
                FSettings->UpdateFile();
        } catch (const ETessaroError &error) {
            return error.Message();
        }
        return {};
    }

private:
    QString FPath;
    std::optional<TLineDocument> FDocument;
    std::optional<TSettingsFile> FSettings;
};

#ifdef Q_OS_UNIX
// Reads, edits and saves in a child process after `prepare`, so that what it changes of the
// process (a lowered identity, a file size limit) stays there.
QString EditAndSaveInChild(const std::function<bool()> &prepare, TWriter writer, const QString &path,
                           const QString &value)
{
    return InChildProcess([&] {
        return prepare() ? TEditedFile(writer, path, value).Save() : u"child not prepared"_s;
    });
}

// An administrator becomes "nobody", so that the rights of the fixture decide; anyone else is
// refused by them already.
bool BecomeNobodyIfAdministrator()
{
    return geteuid() != 0 || BecomeNobody();
}

// A file size limit makes writing fail the way a full disk does.
bool LimitFileSize()
{
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

constexpr QFile::Permissions OthersMayEnter =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
#endif

} // namespace

Q_DECLARE_METATYPE(TWriter)
Q_DECLARE_METATYPE(TFault)

class TestSaveFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void faultKeepsOldFile_data();
    void faultKeepsOldFile();
    void laterSaveWritesOnceFaultIsGone_data();
    void laterSaveWritesOnceFaultIsGone();

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FMountPoint;
};

void TestSaveFaults::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
}

void TestSaveFaults::cleanup()
{
#ifdef Q_OS_UNIX
    if (!FMountPoint.isEmpty())
        umount2(QFile::encodeName(FMountPoint).constData(), MNT_DETACH);
#endif
    FMountPoint.clear();
    // A locked folder is unlocked again, so that the temporary folder can go.
    const QString folder = FDir->filePath(u"server"_s);
    if (QFileInfo(folder).isDir())
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    FDir.reset();
}

void TestSaveFaults::faultKeepsOldFile_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::addColumn<TFault>("fault");

    const struct {
        const char *name;
        TWriter writer;
    } writers[] = {{"line document", TWriter::LineDocument}, {"settings file", TWriter::SettingsFile}};
    const struct {
        const char *name;
        TFault fault;
    } faults[] = {
        {"full file system", TFault::FullFileSystem},
        {"file size limit", TFault::FileSizeLimit},
        {"folder removed", TFault::FolderRemoved},
        {"read-only file", TFault::ReadOnlyFile},
        {"folder in place of the file", TFault::FolderInPlace},
        {"symbolic link loop", TFault::SymbolicLinkLoop},
        {"no write permission", TFault::NoWritePermission},
        {"another's file in a folder anyone may write", TFault::OthersFileInOpenFolder},
        {"new file in a folder no one may write", TFault::NewFileInLockedFolder},
    };
    for (const auto &writer : writers) {
        for (const auto &fault : faults)
            QTest::addRow("%s, %s", writer.name, fault.name) << writer.writer << fault.fault;
    }
}

void TestSaveFaults::faultKeepsOldFile()
{
    QFETCH(TWriter, writer);
    QFETCH(TFault, fault);

#ifdef Q_OS_UNIX
    const QString folder = FDir->filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/firebird.conf"_s;
    QString value = u"20"_s;
    std::function<void()> beforeSave = [] {};
    // Set where the edit and the save run in a child process prepared by it.
    std::function<bool()> prepareChild;
    QString expected;
    // Whether the old file still stands where the fault left it alone.
    bool fileKept = true;

    switch (fault) {
    case TFault::FullFileSystem:
        if (geteuid() != 0)
            QSKIP("Mounting a small file system needs administrator rights.");
        if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(u"No small file system could be mounted here: "_s + SystemErrorText(errno)));
        FMountPoint = folder;
        WriteFixture(path, OldBytes);
        value = LargeValue;
        expected = u"Stream-Schreibfehler"_s;
        break;
    case TFault::FileSizeLimit:
        WriteFixture(path, OldBytes);
        value = LargeValue;
        prepareChild = LimitFileSize;
        expected = u"Stream-Schreibfehler"_s;
        break;
    case TFault::FolderRemoved:
        WriteFixture(path, OldBytes);
        beforeSave = [folder] { QVERIFY(QDir(folder).removeRecursively()); };
        expected = CreateErrorText(path, ENOENT);
        fileKept = false;
        break;
    case TFault::ReadOnlyFile:
        // Refused also where an administrator could write through the missing permission bits.
        WriteFixture(path, OldBytes);
        QVERIFY(QFile::setPermissions(path, ReadOnlyForAll));
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::FolderInPlace:
        WriteFixture(path, OldBytes);
        beforeSave = [path] {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkdir(path));
        };
        expected = CreateErrorText(path, EISDIR);
        fileKept = false;
        break;
    case TFault::SymbolicLinkLoop: {
        WriteFixture(path, OldBytes);
        const QString other = folder + u"/other.conf"_s;
        beforeSave = [path, other] {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(other, path));
            QVERIFY(QFile::link(path, other));
        };
        expected = CreateErrorText(path, ELOOP);
        fileKept = false;
        break;
    }
    case TFault::NoWritePermission:
        if (geteuid() != 0)
            QSKIP("Setting up a file that belongs to another user needs administrator rights.");
        WriteFixture(path, OldBytes);
        // Nobody may enter both folders and read the file, but write neither.
        for (const QString &entered : {FDir->path(), folder})
            QVERIFY(QFile::setPermissions(entered, OthersMayEnter));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        prepareChild = BecomeNobody;
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::OthersFileInOpenFolder:
        if (geteuid() != 0)
            QSKIP("Only an administrator can set up a file that belongs to another user.");
        // The folder would let a new file replace the old one; the file's own rights forbid it.
        WriteFixture(path, OldBytes);
        QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
        QVERIFY(QFile::setPermissions(folder, OthersMayEnter | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(path, ReadOnlyForAll | QFile::WriteOwner));
        prepareChild = BecomeNobody;
        expected = CreateErrorText(path, EACCES);
        break;
    case TFault::NewFileInLockedFolder:
        QVERIFY(QFile::setPermissions(FDir->path(), OthersMayEnter));
        QVERIFY(QFile::setPermissions(folder, ReadOnlyForAll | QFile::ExeOwner | QFile::ExeOther));
        prepareChild = BecomeNobodyIfAdministrator;
        expected = CreateErrorText(path, EACCES);
        fileKept = false;
        break;
    }
    const QFile::Permissions modeBefore = QFileInfo(path).permissions();
    QString message;
    if (prepareChild) {
        message = EditAndSaveInChild(prepareChild, writer, path, value);
    } else {
        const TEditedFile edited(writer, path, value);
        beforeSave();
        message = edited.Save();
    }

    QCOMPARE(message, expected);
    if (fileKept) {
        QCOMPARE(FileBytes(path), OldBytes);
        QCOMPARE(QFileInfo(path).permissions(), modeBefore);
        // No half-written copy is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{u"firebird.conf"_s});
    } else if (fault == TFault::FolderInPlace) {
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    } else if (fault == TFault::SymbolicLinkLoop) {
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{u"firebird.conf"_s, u"other.conf"_s}));
    } else if (fault == TFault::NewFileInLockedFolder) {
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    } else {
        QVERIFY(!QFileInfo::exists(folder));
    }
#else
    Q_UNUSED(writer);
    Q_UNUSED(fault);
    QSKIP("The faults are set up with Unix file system calls.");
#endif
}

void TestSaveFaults::laterSaveWritesOnceFaultIsGone_data()
{
    QTest::addColumn<TWriter>("writer");
    QTest::newRow("line document") << TWriter::LineDocument;
    QTest::newRow("settings file") << TWriter::SettingsFile;
}

// The copy in memory survives a failed save, so the next save writes all of it.
void TestSaveFaults::laterSaveWritesOnceFaultIsGone()
{
    QFETCH(TWriter, writer);

    const QString path = FDir->filePath(u"firebird.conf"_s);
    WriteFixture(path, OldBytes);
    const QFile::Permissions mode = QFileInfo(path).permissions();
    const TEditedFile edited(writer, path, u"20"_s);
    QVERIFY(QFile::setPermissions(path, ReadOnlyForAll));
    QCOMPARE(edited.Save(), CreateErrorText(path, EACCES));
    QCOMPARE(FileBytes(path), OldBytes);

    QVERIFY(QFile::setPermissions(path, mode));
    QCOMPARE(edited.Save(), QString());
    QCOMPARE(FileBytes(path), "[Form]\r\nLeft=20\r\n\r\n"_ba);
}

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_SaveFaults.moc"
