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
#include <sys/mount.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

enum class TWriter { LineDocument, SettingsFile };

enum class TFault {
    FullFileSystem,
    FolderRemoved,
    ReadOnlyFile,
    FolderInPlace,
    SymbolicLinkLoop,
    NoWritePermission,
};

// Read by both writers alike: one section of one key.
const QByteArray OldBytes = "[Form]\r\nLeft=10\r\n\r\n"_ba;
// Larger than the small file system below can hold.
const QString LargeValue(100'000, u'x');

constexpr QFile::Permissions ReadOnlyForAll =
    QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

// A file as one of the two writers holds it: read, the value of Left changed, ready to be written
// back. Both lay the fixture out again byte for byte.
class TEditedFile {
public:
    TEditedFile(TWriter writer, const QString &path, const QString &value) : FPath(path)
    {
        if (writer == TWriter::LineDocument) {
            FDocument.emplace();
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
// Reads, edits and saves in a child process that has become the user "nobody", so the lowered
// identity stays there.
QString EditAndSaveAsNobody(TWriter writer, const QString &path)
{
    return InChildProcess([&] {
        return BecomeNobody() ? TEditedFile(writer, path, u"20"_s).Save() : u"no change of identity"_s;
    });
}
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
        {"folder removed", TFault::FolderRemoved},
        {"read-only file", TFault::ReadOnlyFile},
        {"folder in place of the file", TFault::FolderInPlace},
        {"symbolic link loop", TFault::SymbolicLinkLoop},
        {"no write permission", TFault::NoWritePermission},
    };
    for (const auto &writer : writers) {
        for (const auto &fault : faults) {
            // tst_LineDocument already covers these two for the line document.
            const bool covered =
                fault.fault == TFault::ReadOnlyFile || fault.fault == TFault::NoWritePermission;
            if (writer.writer == TWriter::LineDocument && covered)
                continue;
            QTest::addRow("%s, %s", writer.name, fault.name) << writer.writer << fault.fault;
        }
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
    QString expected;
    // Whether the old file still stands where the fault left it alone.
    bool fileKept = true;
    QString message;

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
    case TFault::FolderRemoved:
        WriteFixture(path, OldBytes);
        beforeSave = [folder] { QVERIFY(QDir(folder).removeRecursively()); };
        expected = CreateErrorText(path, ENOENT);
        fileKept = false;
        break;
    case TFault::ReadOnlyFile:
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
            QVERIFY(QFile::setPermissions(entered, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                       | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        message = EditAndSaveAsNobody(writer, path);
        expected = CreateErrorText(path, EACCES);
        break;
    }
    if (fault != TFault::NoWritePermission) {
        const TEditedFile edited(writer, path, value);
        beforeSave();
        message = edited.Save();
    }

    QCOMPARE(message, expected);
    if (fileKept) {
        QCOMPARE(FileBytes(path), OldBytes);
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
