// The parameter list marks a value the server will not use as written; the help box then begins
// with the reason. The marks follow edits and resets at once.

#include "FileFixtures.h"
#include "WindowFixture.h"
#include "config/ParamKinds.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// The reason as the window words it without a language file.
QString ReasonOf(const QString &name, const QString &value)
{
    return UnusableValueReason(name, value, FallbackText);
}

struct TConfigPage {
    TWindowFixture Fixture;
    QTreeWidget *List = nullptr;

    explicit TConfigPage(const QByteArray &config)
    {
        Fixture.WriteServerFile(u"firebird.conf"_s, config);
        Fixture.Open(Fixture.ServerFolder());
        Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
        List = Fixture.Control<QTreeWidget>("ParvexList");
    }

    QTreeWidgetItem *Select(const QString &name)
    {
        QTreeWidgetItem *row = List->findItems(name, Qt::MatchExactly).constFirst();
        List->setCurrentItem(row);
        return row;
    }

    QString Help() const { return Fixture.Control<QPlainTextEdit>("ItemComment")->toPlainText(); }
};

} // namespace

class TestParameterMarks : public QObject {
    Q_OBJECT

private slots:
    void rowsAreMarked_data();
    void rowsAreMarked();
    void marksFollowEditAndReset();
};

void TestParameterMarks::rowsAreMarked_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("marked");

    QTest::newRow("text for a number") << "DefaultDbCachePages = viel\n"_ba << u"DefaultDbCachePages"_s << true;
    QTest::newRow("a number with a suffix") << "DefaultDbCachePages = 2k\n"_ba << u"DefaultDbCachePages"_s << false;
    QTest::newRow("a number behind a comment")
        << "DefaultDbCachePages = 4096 # x\n"_ba << u"DefaultDbCachePages"_s << false;
    QTest::newRow("below the least") << "TcpRemoteBufferSize = 100\n"_ba << u"TcpRemoteBufferSize"_s << true;
    QTest::newRow("a switch the server reads as off") << "TcpNoNagle = on\n"_ba << u"TcpNoNagle"_s << true;
    QTest::newRow("an unknown mode") << "ServerMode = Turbo\n"_ba << u"ServerMode"_s << true;
    QTest::newRow("a mode in other letters") << "ServerMode = classic\n"_ba << u"ServerMode"_s << false;
    QTest::newRow("two addresses") << "RemoteBindAddress = 127.0.0.1, ::1\n"_ba << u"RemoteBindAddress"_s << true;
    QTest::newRow("a parameter without a line") << "# nothing\n"_ba << u"DefaultDbCachePages"_s << false;
    QTest::newRow("a name the server ignores") << "SortMemBlockSize = viel\n"_ba << u"SortMemBlockSize"_s << false;
}

void TestParameterMarks::rowsAreMarked()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, name);
    QFETCH(bool, marked);

    TConfigPage page(config);
    QTreeWidgetItem *row = page.Select(name);
    const QString reason = ReasonOf(name, row->text(1));
    QCOMPARE(!reason.isEmpty(), marked);
    for (int column = 0; column < row->columnCount(); ++column)
        QCOMPARE(row->toolTip(column), reason);
    QCOMPARE(row->icon(1).isNull(), !marked);
    // The help box opens with the reason, and the parameter's help follows.
    QCOMPARE(page.Help().startsWith(reason + u'\n'), marked);
    // Every other row is left as it is.
    for (int other = 0; other < page.List->topLevelItemCount(); ++other) {
        if (page.List->topLevelItem(other) != row)
            QVERIFY2(page.List->topLevelItem(other)->icon(1).isNull(),
                     qPrintable(page.List->topLevelItem(other)->text(0)));
    }
}

void TestParameterMarks::marksFollowEditAndReset()
{
    TConfigPage page("DefaultDbCachePages = 4096\n"_ba);
    QTreeWidgetItem *row = page.Select(u"DefaultDbCachePages"_s);
    QVERIFY(row->icon(1).isNull());

    // The dialog takes the value as typed; the list then shows why the server will not use it.
    AnswerEditDialog(u"viel"_s);
    page.Fixture.Control<QToolButton>("EditBtn")->click();
    QCOMPARE(row->text(1), u"viel"_s);
    const QString reason = ReasonOf(u"DefaultDbCachePages"_s, u"viel"_s);
    QVERIFY(!reason.isEmpty());
    QCOMPARE(row->toolTip(0), reason);
    QVERIFY(!row->icon(1).isNull());
    QVERIFY(page.Help().startsWith(reason + u'\n'));

    page.Fixture.Control<QToolButton>("ResetBtn")->click();
    QCOMPARE(row->text(1), u"2048"_s);
    QCOMPARE(row->toolTip(0), QString());
    QVERIFY(row->icon(1).isNull());
    QVERIFY(!page.Help().contains(reason));
}

QTEST_MAIN(TestParameterMarks)
#include "tst_ParameterMarks.moc"
