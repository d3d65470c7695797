// The parameter page: list, help text, the edit dialog, Edit and Reset, and what Save writes.

#include "WindowFixture.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "text/SettingsFile.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Windows-1252 without a mark, LF line ends: Save must keep the code page and write CR LF.
const QByteArray ConfigFile = "# Server configuration \xF6\xDF\n"
                              "#\n"
                              "#DefaultDbCachePages = 2048\n"
                              "#RemoteServicePort = 3050\n"
                              "RemoteServicePort = 3051\n"
                              "RootDirectory = /opt/fb\n"
                              "TcpNoNagle\t=\t1\n";

const QStringList LoadedLines = {u"# Server configuration öß"_s,
                                 u"#"_s,
                                 u"#DefaultDbCachePages = 2048"_s,
                                 u"#RemoteServicePort = 3050"_s,
                                 u"RemoteServicePort=3051"_s,
                                 u"RootDirectory=/opt/fb"_s,
                                 u"TcpNoNagle=1"_s};

QStringList Replaced(QStringList lines, int index, const QString &line)
{
    if (line.isNull())
        lines.removeAt(index);
    else
        lines[index] = line;
    return lines;
}

QByteArray Windows1252CrLf(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + "\r\n"; // the fixtures hold no character where the two differ
    return bytes;
}

struct TOpenParameterPage {
    TWindowFixture Fixture;
    QTreeWidget *List;

    explicit TOpenParameterPage(const QByteArray &settings = QByteArray())
    {
        if (!settings.isEmpty())
            Fixture.WriteSettings(settings);
        Fixture.WriteServerFile(u"firebird.conf"_s, ConfigFile);
        Fixture.Open(Fixture.ServerFolder());
        Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::ConfigPage);
        List = Fixture.Control<QTreeWidget>("ParvexList");
    }

    QTreeWidgetItem *Select(const QString &name)
    {
        QTreeWidgetItem *row = List->findItems(name, Qt::MatchExactly).value(0);
        List->setCurrentItem(row);
        return row;
    }
};

} // namespace

class TestParamEdit : public QObject {
    Q_OBJECT

private slots:
    void listShowsCatalogueAndValues();
    void ignoredParametersLookDisabledButStayEditable();
    void selectionShowsHelpAndEnablesReset_data();
    void selectionShowsHelpAndEnablesReset();
    void commands_data();
    void commands();
    void cancelledEditChangesNothing();
    void nothingWithoutSelectedRow();
    void doubleClickActsByCurrentPage();
    void dialogPositionStoredAfterEachEdit();
    void dialogLayoutAndTexts();
    void dialogAnswers_data();
    void dialogAnswers();
};

void TestParamEdit::listShowsCatalogueAndValues()
{
    TOpenParameterPage page;
    QCOMPARE(page.List->topLevelItemCount(), 37);
    QCOMPARE(page.List->topLevelItem(0)->text(0), u"RootDirectory"_s);
    QCOMPARE(page.List->topLevelItem(0)->text(1), u"/opt/fb"_s);
    QCOMPARE(page.List->topLevelItem(2)->text(0), u"DefaultDbCachePages"_s);
    QCOMPARE(page.List->topLevelItem(2)->text(1), QString());
    QCOMPARE(page.List->topLevelItem(2)->text(2), u"2048"_s);
    QCOMPARE(page.List->topLevelItem(36)->text(0), u"ServerMode"_s);
    QCOMPARE(page.List->columnWidth(0), 180);
    QCOMPARE(page.List->columnWidth(1), 180);
    // After filling, the first row is selected and current.
    QCOMPARE(page.List->selectedItems(), QList<QTreeWidgetItem *>({page.List->topLevelItem(0)}));
    QCOMPARE(page.List->currentItem(), page.List->topLevelItem(0));
    QVERIFY(page.Fixture.Control<QToolButton>("ResetBtn")->isEnabled());
}

void TestParamEdit::ignoredParametersLookDisabledButStayEditable()
{
    TOpenParameterPage page;
    const QColor disabled = page.List->palette().color(QPalette::Disabled, QPalette::Text);
    QVERIFY(disabled != page.List->palette().color(QPalette::Active, QPalette::Text));
    for (int row = 0; row < page.List->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = page.List->topLevelItem(row);
        const bool ignored = ParamCatalog.at(std::size_t(row)).Use == TServerUse::Ignored;
        for (int column = 0; column < 3; ++column) {
            const QBrush brush = item->foreground(column);
            QVERIFY2(ignored ? brush.color() == disabled : brush.style() == Qt::NoBrush, qPrintable(item->text(0)));
        }
        QVERIFY(item->flags().testFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    }

    QTreeWidgetItem *row = page.Select(u"LockGrantOrder"_s);
    QCOMPARE(row->foreground(0).color(), disabled);
    AnswerEditDialog(u"0"_s);
    page.Fixture.Control<QToolButton>("EditBtn")->click();
    QCOMPARE(row->text(1), u"0"_s);
    QCOMPARE(page.Fixture.Window().ConfigItems().Values(u"LockGrantOrder"), u"0"_s);
}

void TestParamEdit::selectionShowsHelpAndEnablesReset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("help");
    QTest::addColumn<bool>("resetEnabled");
    QTest::newRow("two lines, trailing break") << u"TcpNoNagle"_s << u"Line one\nLine two"_s << true;
    QTest::newRow("break twice gives an empty line") << u"RemoteServicePort"_s << u"a\n\nb"_s << true;
    QTest::newRow("no help text") << u"DefaultDbCachePages"_s << QString() << false;
    QTest::newRow("only a break") << u"LockSignal"_s << QString() << false;
}

void TestParamEdit::selectionShowsHelpAndEnablesReset()
{
    QFETCH(QString, name);
    QFETCH(QString, help);
    QFETCH(bool, resetEnabled);
    TOpenParameterPage page("[GERMAN]\r\nTcpNoNagle=Line one\\nLine two\\n\r\n"
                            "RemoteServicePort=a\\n\\nb\r\nLockSignal=\\n\r\n");
    page.Select(name);
    QCOMPARE(page.Fixture.Control<QPlainTextEdit>("ItemComment")->toPlainText(), help);
    QCOMPARE(page.Fixture.Control<QToolButton>("ResetBtn")->isEnabled(), resetEnabled);
}

void TestParamEdit::commands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command"); // "edit" with the typed value, or "reset"
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shownValue");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("commented default edited: that very line turns active")
        << u"DefaultDbCachePages"_s << u"edit"_s << u"4096"_s << u"4096"_s
        << Replaced(LoadedLines, 2, u"DefaultDbCachePages=4096"_s);
    QTest::newRow("commented default edited to empty: the line goes")
        << u"DefaultDbCachePages"_s << u"edit"_s << QString() << QString() << Replaced(LoadedLines, 2, QString());
    QTest::newRow("active line edited in place, commented default kept")
        << u"RemoteServicePort"_s << u"edit"_s << u"3052"_s << u"3052"_s
        << Replaced(LoadedLines, 4, u"RemoteServicePort=3052"_s);
    QTest::newRow("active line edited to empty")
        << u"TcpNoNagle"_s << u"edit"_s << QString() << QString() << Replaced(LoadedLines, 6, QString());
    QTest::newRow("value taken as typed") << u"RootDirectory"_s << u"edit"_s << u" /srv/fb = x "_s << u" /srv/fb = x "_s
                                          << Replaced(LoadedLines, 5, u"RootDirectory= /srv/fb = x "_s);
    QTest::newRow("absent parameter appended")
        << u"LockSignal"_s << u"edit"_s << u"16"_s << u"16"_s << LoadedLines + QStringList(u"LockSignal=16"_s);
    QTest::newRow("reset to the default in place") << u"RemoteServicePort"_s << u"reset"_s << QString() << u"3050"_s
                                                   << Replaced(LoadedLines, 4, u"RemoteServicePort=3050"_s);
    QTest::newRow("reset with an empty default removes the line")
        << u"RootDirectory"_s << u"reset"_s << QString() << QString() << Replaced(LoadedLines, 5, QString());
}

void TestParamEdit::commands()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QString, value);
    QFETCH(QString, shownValue);
    QFETCH(QStringList, lines);

    TOpenParameterPage page;
    QTreeWidgetItem *row = page.Select(name);
    if (command == u"edit") {
        AnswerEditDialog(value);
        page.Fixture.Control<QToolButton>("EditBtn")->click();
    } else {
        page.Fixture.Control<QToolButton>("ResetBtn")->click();
    }

    TParvexDlg &window = page.Fixture.Window();
    QCOMPARE(window.ConfigItems().Lines(), lines);
    QCOMPARE(row->text(1), shownValue);
    QCOMPARE(page.Fixture.ShownRawText(TParvexDlg::ConfigPage), lines.join(u'\n'));
    QVERIFY(window.ConfigChanged());
    QVERIFY(!window.AliasChanged());

    page.Fixture.Control<QToolButton>("SaveBtn")->click();
    QVERIFY(page.Fixture.Dialogs.Errors.isEmpty());
    QCOMPARE(page.Fixture.ReadServerFile(u"firebird.conf"_s), Windows1252CrLf(lines));
    QVERIFY(!QFileInfo::exists(page.Fixture.ServerFolder() + u"/databases.conf"_s));
}

void TestParamEdit::cancelledEditChangesNothing()
{
    TOpenParameterPage page;
    QTreeWidgetItem *row = page.Select(u"TcpNoNagle"_s);
    AnswerEditDialog(u"0"_s, false);
    page.Fixture.Control<QToolButton>("EditBtn")->click();
    QCOMPARE(row->text(1), u"1"_s);
    QCOMPARE(page.Fixture.Window().ConfigItems().Lines(), LoadedLines);
    QVERIFY(!page.Fixture.Window().ConfigChanged());

    // Reset twice: the second finds nothing to reset when the default is empty.
    page.Select(u"RootDirectory"_s);
    auto *reset = page.Fixture.Control<QToolButton>("ResetBtn");
    reset->click();
    reset->click();
    QCOMPARE(page.Fixture.Window().ConfigItems().Lines(), Replaced(LoadedLines, 5, QString()));
}

void TestParamEdit::nothingWithoutSelectedRow()
{
    TOpenParameterPage page;
    page.Select(u"TcpNoNagle"_s);
    page.List->clearSelection();
    QVERIFY(page.List->selectedItems().isEmpty());

    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            dialogShown = true;
            dialog->close();
        }
    });
    page.Fixture.Control<QToolButton>("EditBtn")->click();
    page.Fixture.Control<QToolButton>("ResetBtn")->click();
    QApplication::processEvents();

    QVERIFY(!dialogShown);
    QCOMPARE(page.Fixture.Window().ConfigItems().Lines(), LoadedLines);
    QVERIFY(!page.Fixture.Window().ConfigChanged());
}

void TestParamEdit::doubleClickActsByCurrentPage()
{
    TOpenParameterPage page;
    QTreeWidgetItem *row = page.Select(u"TcpNoNagle"_s);
    AnswerEditDialog(u"0"_s);
    QTest::mouseDClick(page.List->viewport(), Qt::LeftButton, {}, page.List->visualItemRect(row).center());
    QCOMPARE(row->text(1), u"0"_s);

    // After Load the parameter page is current while the alias tab is shown: a double click in
    // the alias list edits the current parameter.
    page.Fixture.Control<QTabWidget>("pcMain")->setCurrentIndex(TParvexDlg::AliasPage);
    page.Fixture.Dialogs.FolderAnswers = {page.Fixture.ServerFolder()};
    page.Fixture.Control<QToolButton>("LoadBtn")->show();
    page.Fixture.Control<QToolButton>("LoadBtn")->click();
    QCOMPARE(page.Fixture.Window().CurPage(), TParvexDlg::ConfigPage);
    page.Select(u"TcpNoNagle"_s);
    auto *aliases = page.Fixture.Control<QTreeWidget>("FBAliasList");
    AnswerEditDialog(u"7"_s);
    QTest::mouseDClick(aliases->viewport(), Qt::LeftButton, {},
                       aliases->visualItemRect(aliases->topLevelItem(0)).center());
    QCOMPARE(page.Fixture.Window().ConfigItems().Values(u"TcpNoNagle"), u"7"_s);
    QVERIFY(page.Fixture.Dialogs.FolderTitles.size() == 1);
}

void TestParamEdit::dialogPositionStoredAfterEachEdit()
{
    TOpenParameterPage page;
    page.Select(u"TcpNoNagle"_s);
    AnswerEditDialog(u"0"_s);
    page.Fixture.Control<QToolButton>("EditBtn")->click();

    // Only the dialog's own section: the main window writes its sections at the end.
    const QString written = QString::fromLatin1(page.Fixture.ReadSettings());
    QVERIFY2(written.startsWith(u"[ParvexItemEditDlg]\r\nFormVersion=0\r\nFlags="_s), qPrintable(written));
    for (const QString &key :
         {u"\r\nPixelsPerInch="_s, u"\r\nMinMaxPos("_s, u"\r\nMinMaxPos="_s, u"\r\nNormPos("_s, u"\r\nNormPos="_s})
        QVERIFY2(written.contains(key), qPrintable(key));
    QVERIFY(!written.contains(u"ShowCmd"_s));
    QVERIFY(!written.contains(u"[ParvexDlg]"_s));
}

void TestParamEdit::dialogLayoutAndTexts()
{
    QTemporaryDir folder;
    QFile ini(folder.filePath(u"Tessaro.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("\xEF\xBB\xBF[GERMAN]\r\nEditWinTitle=Parameter ändern\r\nOkBtn=OK\r\nConfigValueLabel=Wert\r\n");
    ini.close();
    const TSettingsFile reader(ini.fileName());

    TParvexItemEditDlg dialog(nullptr);
    dialog.LoadTexts(reader, u"GERMAN"_s);
    dialog.ShowItem({u"DefaultDbCachePages"_s, u"4096"_s, u"2048"_s});

    QCOMPARE(dialog.objectName(), u"ParvexItemEditDlg"_s);
    QCOMPARE(dialog.size(), QSize(580, 100));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.windowTitle(), u"Parameter ändern"_s);
    const auto text = [&](const char *name) {
        return dialog.findChild<QWidget *>(QLatin1String(name))->property("text").toString();
    };
    QCOMPARE(text("OkBtn"), u"OK"_s);
    QCOMPARE(text("CancelBtn"), u"Cancel"_s);
    QCOMPARE(text("lblConfigKeyLabel"), u"Property"_s);
    QCOMPARE(text("lblConfigDefaultLabel"), u"Default"_s);
    QCOMPARE(text("lblConfigValueLabel"), u"Wert"_s);
    QCOMPARE(text("lblConfigKey"), u"DefaultDbCachePages"_s);
    QCOMPARE(text("lblDefaultValue"), u"2048"_s);
    QCOMPARE(text("edtConfigValue"), u"4096"_s);
    QCOMPARE(dialog.findChild<QWidget *>(u"edtConfigValue"_s)->geometry(), QRect(118, 65, 356, 21));
    QCOMPARE(dialog.findChild<QWidget *>(u"OkBtn"_s)->geometry(), QRect(490, 6, 75, 25));

    auto *ok = dialog.findChild<QPushButton *>(u"OkBtn"_s);
    auto *cancel = dialog.findChild<QPushButton *>(u"CancelBtn"_s);
    auto *edit = dialog.findChild<QLineEdit *>(u"edtConfigValue"_s);
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->nextInFocusChain(), cancel);
    QCOMPARE(cancel->nextInFocusChain(), edit);
}

void TestParamEdit::dialogAnswers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("value");
    QTest::newRow("OK unchanged") << u"ok"_s << true << u"4096"_s;
    QTest::newRow("OK with an empty box") << u"clear"_s << true << QString();
    QTest::newRow("Enter") << u"enter"_s << true << u"4096"_s;
    QTest::newRow("Escape") << u"escape"_s << false << u"4096"_s;
    QTest::newRow("close box") << u"close"_s << false << u"4096"_s;
}

void TestParamEdit::dialogAnswers()
{
    QFETCH(QString, action);
    QFETCH(bool, accepted);
    QFETCH(QString, value);

    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<TParvexItemEditDlg *>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("the edit dialog is not shown");
        auto *edit = dialog->findChild<QLineEdit *>(u"edtConfigValue"_s);
        if (action == u"ok")
            dialog->findChild<QPushButton *>(u"OkBtn"_s)->click();
        else if (action == u"clear")
            edit->clear(), dialog->findChild<QPushButton *>(u"OkBtn"_s)->click();
        else if (action == u"enter")
            QTest::keyClick(edit, Qt::Key_Return);
        else if (action == u"escape")
            QTest::keyClick(edit, Qt::Key_Escape);
        else
            dialog->close();
    });
    TParvexItem item{u"DefaultDbCachePages"_s, u"4096"_s, u"2048"_s};
    QTemporaryDir programFolder;
    TScriptedDialogs dialogs;
    QCOMPARE(EditConfigItem(item, TSettingsFile(QString()), u"GERMAN"_s, nullptr, dialogs, programFolder.path()),
             accepted);
    QCOMPARE(item.ConfigValue, value);
    QCOMPARE(item.ConfigKey, u"DefaultDbCachePages"_s);
    // The dialog is gone afterwards.
    QApplication::processEvents();
    QVERIFY(QApplication::topLevelWidgets().count() == 0
            || !std::any_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                            [](QWidget *w) { return qobject_cast<TParvexItemEditDlg *>(w) != nullptr; }));
}

QTEST_MAIN(TestParamEdit)
#include "tst_ParamEdit.moc"
