// The status line: which files hold unsaved changes, and when the server reads what was saved.

#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QString ConfigSaved =
    u"firebird.conf gespeichert: der Server übernimmt die Änderungen erst bei seinem nächsten Start."_s;
const QString AliasSaved = u"databases.conf gespeichert: die Aliase gelten ab der nächsten Verbindung."_s;
const QString Separator = u"   ·   "_s;

// A window on a folder with both files, driven by the steps of a row.
struct TStatusWindow {
    TWindowFixture Fixture;

    TStatusWindow()
    {
        Fixture.WriteServerFile(u"firebird.conf"_s, "#DefaultDbCachePages = 2048\n");
        Fixture.WriteServerFile(u"databases.conf"_s, "hv = /old/hv.db\n");
        Fixture.Open(Fixture.ServerFolder());
    }

    QString Status() const { return Fixture.Control<QLabel>("lblStatus")->text(); }

    void Run(const QString &step)
    {
        auto *pages = Fixture.Control<QTabWidget>("pcMain");
        if (step == u"edit") {
            pages->setCurrentIndex(TParvexDlg::ConfigPage);
            auto *list = Fixture.Control<QTreeWidget>("ParvexList");
            list->setCurrentItem(list->findItems(u"DefaultDbCachePages"_s, Qt::MatchExactly).constFirst());
            AnswerEditDialog(u"4096"_s);
            Fixture.Control<QToolButton>("EditBtn")->click();
        } else if (step == u"assign") {
            pages->setCurrentIndex(TParvexDlg::AliasPage);
            Fixture.Dialogs.FolderAnswers = {QDir::toNativeSeparators(u"/srv/db"_s)};
            Fixture.Dialogs.MessageAnswers = {mrAll};
            Fixture.Control<QToolButton>("EditBtn")->click();
        } else if (step == u"type") {
            pages->setCurrentIndex(TParvexDlg::ConfigPage);
            Fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
            QTest::keyClicks(Fixture.Control<QPlainTextEdit>("edtConfigFile"), u"x"_s);
        } else if (step == u"take over") {
            Fixture.Control<QTabWidget>("pcConfig")->setCurrentIndex(TParvexDlg::ListTab);
        } else if (step == u"save") {
            Fixture.Control<QToolButton>("SaveBtn")->click();
        } else if (step == u"load") {
            Fixture.Dialogs.FolderAnswers = {Fixture.ServerFolder()};
            Fixture.Control<QToolButton>("LoadBtn")->click();
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(TServerRestart)

class TestParvexStatus : public QObject {
    Q_OBJECT

private slots:
    void statusAfterSteps_data();
    void statusAfterSteps();
    void failedSaveStaysUnsaved();
};

void TestParvexStatus::statusAfterSteps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<TServerRestart>("restart");
    QTest::addColumn<QString>("status");

    const TServerRestart none;
    const TServerRestart service{true, u"systemctl restart firebird3.0"_s};
    const TServerRestart unknownService{true, QString()};

    QTest::newRow("nothing done") << QStringList() << none << QString();
    QTest::newRow("an edit") << QStringList{u"edit"_s} << none << u"Nicht gespeichert: firebird.conf"_s;
    QTest::newRow("both pages changed") << QStringList{u"edit"_s, u"assign"_s} << none
                                        << u"Nicht gespeichert: firebird.conf, databases.conf"_s;
    QTest::newRow("saved, no server running") << QStringList{u"edit"_s, u"save"_s} << none << ConfigSaved;
    QTest::newRow("saved, the service runs") << QStringList{u"edit"_s, u"save"_s} << service
                                             << ConfigSaved + u" Neu starten mit: systemctl restart firebird3.0"_s;
    QTest::newRow("saved, a server runs without a known service")
        << QStringList{u"edit"_s, u"save"_s} << unknownService
        << ConfigSaved + u" Der Server läuft: starten Sie ihn neu, damit er sie liest."_s;
    QTest::newRow("aliases saved") << QStringList{u"assign"_s, u"save"_s} << service << AliasSaved;
    QTest::newRow("saved, then the other page changed")
        << QStringList{u"edit"_s, u"save"_s, u"assign"_s} << none
        << u"Nicht gespeichert: databases.conf"_s + Separator + ConfigSaved;
    QTest::newRow("both saved") << QStringList{u"edit"_s, u"assign"_s, u"save"_s} << none
                                << ConfigSaved + Separator + AliasSaved;
    QTest::newRow("saved, then changed again")
        << QStringList{u"edit"_s, u"save"_s, u"edit"_s} << none << u"Nicht gespeichert: firebird.conf"_s;
    // Typed raw text is unsaved from the first key on, taken over or not; Save writes only what
    // was taken over.
    QTest::newRow("typed raw text") << QStringList{u"type"_s} << none << u"Nicht gespeichert: firebird.conf"_s;
    QTest::newRow("typed raw text taken over and saved")
        << QStringList{u"type"_s, u"take over"_s, u"save"_s} << none << ConfigSaved;
    QTest::newRow("typed raw text not taken over stays unsaved")
        << QStringList{u"type"_s, u"save"_s} << none << u"Nicht gespeichert: firebird.conf"_s;
    QTest::newRow("a new load forgets the saves") << QStringList{u"edit"_s, u"save"_s, u"load"_s} << none << QString();
}

void TestParvexStatus::statusAfterSteps()
{
    QFETCH(QStringList, steps);
    QFETCH(TServerRestart, restart);
    QFETCH(QString, status);

    TStatusWindow window;
    window.Fixture.Restart = restart;
    for (const QString &step : steps)
        window.Run(step);
    QCOMPARE(window.Status(), status);
    QCOMPARE(window.Fixture.Control<QLabel>("lblStatus")->toolTip(), status);
    QVERIFY(window.Fixture.Dialogs.Errors.isEmpty());
}

// A save the file system refuses leaves the change unsaved, and the line says so.
void TestParvexStatus::failedSaveStaysUnsaved()
{
    TStatusWindow window;
    window.Run(u"edit"_s);
    QFile::setPermissions(QDir(window.Fixture.ServerFolder()).filePath(u"firebird.conf"_s),
                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    window.Run(u"save"_s);
    QCOMPARE(window.Fixture.Dialogs.Errors.size(), 1);
    QCOMPARE(window.Status(), u"Nicht gespeichert: firebird.conf"_s);
}

QTEST_MAIN(TestParvexStatus)
#include "tst_ParvexStatus.moc"
