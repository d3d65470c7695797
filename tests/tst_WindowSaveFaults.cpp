// Save in the main window when the file system refuses: the error box shows the message, the
// file keeps its bytes, the changed flag stays, and Save writes the file once the fault is gone.

#include "FileFixtures.h"
#include "WindowFixture.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <cerrno>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

enum class TFault { FullFileSystem, FolderRemoved, ReadOnlyFile, FolderInPlace, SymbolicLinkLoop };

const QByteArray ConfigFile = "RemoteServicePort = 3051\n"_ba;
const QByteArray AliasFile = "hv = /data/hv.db\n"_ba;

// Larger than the small file system below can hold.
const QString LargeValue(100'000, u'x');

// Replaces the whole raw text of "firebird.conf" and takes it over, as the user does.
void TypeConfigText(TWindowFixture &fixture, const QString &text)
{
    fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(1);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(1);
    auto *editor = fixture.Control<QPlainTextEdit>("edtConfigFile");
    editor->selectAll();
    editor->insertPlainText(text);
    fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(0);
}

void ClickSave(TWindowFixture &fixture)
{
    fixture.Control<QToolButton>("SaveBtn")->click();
}

} // namespace

Q_DECLARE_METATYPE(TFault)

class TestWindowSaveFaults : public QObject {
    Q_OBJECT

private slots:
    void saveAfterFault_data();
    void saveAfterFault();
};

void TestWindowSaveFaults::saveAfterFault_data()
{
    QTest::addColumn<TFault>("fault");
    QTest::newRow("full file system") << TFault::FullFileSystem;
    QTest::newRow("folder removed") << TFault::FolderRemoved;
    QTest::newRow("read-only file") << TFault::ReadOnlyFile;
    QTest::newRow("folder in place of the file") << TFault::FolderInPlace;
    QTest::newRow("symbolic link loop") << TFault::SymbolicLinkLoop;
}

void TestWindowSaveFaults::saveAfterFault()
{
    QFETCH(TFault, fault);

#ifdef Q_OS_UNIX
    TWindowFixture fixture;
    const QString folder = QDir(fixture.ServerFolder()).filePath(u"server"_s);
    QVERIFY(QDir().mkdir(folder));
    // Unmounted before the fixture removes its folders, which a mount point would stop.
    bool mounted = false;
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    });
    if (fault == TFault::FullFileSystem) {
        if (geteuid() != 0)
            QSKIP("Mounting a small file system needs administrator rights.");
        if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(u"No small file system could be mounted here: "_s + SystemErrorText(errno)));
        mounted = true;
    }
    const QString config = fixture.WriteServerFile(u"server/firebird.conf"_s, ConfigFile);
    fixture.WriteServerFile(u"server/databases.conf"_s, AliasFile);
    TParvexDlg &window = fixture.Open(folder);
    const QString value = fault == TFault::FullFileSystem ? LargeValue : u"Tessaro"_s;
    TypeConfigText(fixture, u"RemoteServicePort = 3052\nIpcName = "_s + value);
    QVERIFY(window.ConfigChanged());

    QString expected;
    std::function<void()> removeFault;
    switch (fault) {
    case TFault::FullFileSystem:
        expected = u"Stream-Schreibfehler"_s;
        removeFault = [folder] {
            const QByteArray mountPoint = QFile::encodeName(folder);
            QCOMPARE(mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
        };
        break;
    case TFault::FolderRemoved:
        QVERIFY(QDir(folder).removeRecursively());
        expected = CreateErrorText(config, ENOENT);
        removeFault = [folder] { QVERIFY(QDir().mkdir(folder)); };
        break;
    case TFault::ReadOnlyFile:
        QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        expected = CreateErrorText(config, EACCES);
        removeFault = [config] { QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner)); };
        break;
    case TFault::FolderInPlace:
        QVERIFY(QFile::remove(config));
        QVERIFY(QDir().mkdir(config));
        expected = CreateErrorText(config, EISDIR);
        removeFault = [config] { QVERIFY(QDir().rmdir(config)); };
        break;
    case TFault::SymbolicLinkLoop: {
        const QString other = folder + u"/other.conf"_s;
        QVERIFY(QFile::remove(config));
        QVERIFY(QFile::link(other, config));
        QVERIFY(QFile::link(config, other));
        expected = CreateErrorText(config, ELOOP);
        removeFault = [config, other] { QVERIFY(QFile::remove(config) && QFile::remove(other)); };
        break;
    }
    }
    const bool fileKept = fault == TFault::FullFileSystem || fault == TFault::ReadOnlyFile;

    ClickSave(fixture);

    // The error box ends every message that ends in a letter with a full stop.
    QCOMPARE(fixture.Dialogs.Errors, QStringList{expected + u'.'});
    QVERIFY(window.ConfigChanged());
    if (fileKept)
        QCOMPARE(fixture.ReadServerFile(u"server/firebird.conf"_s), ConfigFile);
    else if (fault == TFault::SymbolicLinkLoop)
        QVERIFY(QFileInfo(config).isSymLink());

    removeFault();
    ClickSave(fixture);

    QCOMPARE(fixture.Dialogs.Errors.size(), 1);
    QCOMPARE(fixture.ReadServerFile(u"server/firebird.conf"_s),
             "RemoteServicePort=3052\r\nIpcName=" + value.toLatin1() + "\r\n");
    if (fileKept)
        QCOMPARE(fixture.ReadServerFile(u"server/databases.conf"_s), AliasFile);
#else
    Q_UNUSED(fault);
    QSKIP("The faults are set up with Unix file system calls.");
#endif
}

QTEST_MAIN(TestWindowSaveFaults)
#include "tst_WindowSaveFaults.moc"
