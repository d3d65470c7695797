#include "FileFixtures.h"
#include "ScriptedDialogs.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "app/ktParvex.h"
#include "app/platform/Platform.h"
#include "app/state/WindowStateValues.h"
#include "app/windowstate/CentreWindow.h"
#include "app/windowstate/WindowStateStore.h"
#include "text/Errors.h"
#include "text/SettingsFile.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Main = u"ParvexDlg"_s;
const QString AliasColumns = u"ParvexDlg\\FBAliasList_Columns"_s;
const QString ParamColumns = u"ParvexDlg\\ParvexList_Columns"_s;

// Lines of a settings file, each ending in CR LF; bytes as written (Windows-1252 here).
QByteArray Lines(const QList<QByteArray> &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

QString Suffix()
{
    return DesktopSizeSuffix(DesktopSize());
}

// "left,top,right,bottom" as the rectangle it describes.
QRect RectOf(const QString &text)
{
    const QStringList words = PositionWords(text);
    return QRect(QPoint(words[0].toInt(), words[1].toInt()), QPoint(words[2].toInt() - 1, words[3].toInt() - 1));
}

QString TextOf(const QRect &rect)
{
    return PositionText(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
}

// The outer frame the window has, or will have again, in the normal state.
QRect NormalFrame(const QWidget &window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    if (window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return window.normalGeometry().marginsAdded(margins);
    return frame;
}

QRect CentredFrame(const QWidget &window)
{
    QRect frame = NormalFrame(window);
    frame.moveCenter(window.screen()->availableGeometry().center());
    return frame;
}

QTreeWidget *MakeList(QWidget *parent, const char *name, const QStringList &captions)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setColumnCount(3);
    list->setHeaderLabels(captions);
    return list;
}

// Built like the program's main window: the help box beside the parameter list in a splitter on
// a tab page that is not shown, the alias list on the page that is; centred when first shown
// unless a stored placement was applied.
class TMainWindow : public QWidget {
public:
    TMainWindow()
    {
        setObjectName(u"ParvexDlg"_s);
        auto *pages = new QTabWidget(this);
        FBAliasList = MakeList(nullptr, "FBAliasList", {u"Schl\u00FCssel"_s, u"Beschreibung"_s, u"Datei"_s});
        FBAliasList->setColumnWidth(0, TParvexDlg::AliasKeyColumnWidth);
        FBAliasList->setColumnWidth(1, TParvexDlg::AliasDescriptionColumnWidth);
        auto *splitter = new QSplitter(Qt::Horizontal);
        ParvexList = MakeList(splitter, "ParvexList", {u"Parameter"_s, u"Wert"_s, u"Vorgabe"_s});
        ParvexList->header()->setStretchLastSection(false);
        for (int column = 0; column < 3; ++column)
            ParvexList->setColumnWidth(column, TParvexDlg::ParamColumnWidth);
        ItemComment = new QPlainTextEdit(splitter);
        ItemComment->setObjectName(u"ItemComment"_s);
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 0);
        splitter->setSizes({TParvexDlg::ClientSize.width() - TParvexDlg::HelpBoxWidth, TParvexDlg::HelpBoxWidth});
        pages->addTab(FBAliasList, u"Aliase"_s);
        pages->addTab(splitter, u"Parameter"_s);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(pages);
        resize(TParvexDlg::ClientSize);
    }

    QTreeWidget *FBAliasList;
    QTreeWidget *ParvexList;
    QPlainTextEdit *ItemComment;

protected:
    void showEvent(QShowEvent *event) override
    {
        if (!FShownOnce) {
            FShownOnce = true;
            if (!property(PlacementAppliedProperty).toBool())
                CentreWindow(*this);
        }
        QWidget::showEvent(event);
    }

private:
    bool FShownOnce = false;
};

// The main window and its store, shown. The store goes before the window.
struct TShownMain {
    TShownMain(const QString &folder, TStdDialogs &dialogs)
        : Store(std::make_unique<TWindowStateStore>(Window, dialogs, MainWindowStateSettings(folder)))
    {
        Window.show();
    }

    void Close()
    {
        Window.close();
        Store.reset();
    }

    TMainWindow Window;
    std::unique_ptr<TWindowStateStore> Store;
};

QStringList Captions(const QTreeWidget &list)
{
    QStringList captions;
    for (int column = 0; column < list.columnCount(); ++column)
        captions.append(list.headerItem()->text(column));
    return captions;
}

QList<int> Widths(const QTreeWidget &list)
{
    QList<int> widths;
    for (int column = 0; column < list.columnCount(); ++column)
        widths.append(list.columnWidth(column));
    return widths;
}

// The eight keys of a stored column, in their order.
QList<QByteArray> ColumnLines(const QByteArray &section, const QByteArray &alignment, bool autoSize,
                              const QByteArray &caption, int width)
{
    return {"[" + section + "]",
            "Alignment=" + alignment,
            autoSize ? "AutoSize=TRUE" : "AutoSize=FALSE",
            "Caption=" + caption,
            "ImageIndex=-1",
            "MaxWidth=0",
            "MinWidth=0",
            "Tag=0",
            "Width=" + QByteArray::number(width),
            ""};
}

} // namespace

class TestWindowStateStore : public QObject {
    Q_OBJECT

private slots:
    void init();

    void firstStartWritesMainSections();
    void restoresPlacementAndMaximizedState();
    void placementRules_data();
    void placementRules();
    void showStates_data();
    void showStates();
    void olderFormVersionRestoresNothing();
    void badPlacementValueStopsRestore_data();
    void badPlacementValueStopsRestore();
    void storedPropsResolution();
    void storedColumnSets();
    void malformedColumnValueEndsThatSet();
    void surplusColumnsRemoved();
    void badCountStopsSave();
    void readOnlyFileNeverWritten();
    void dialogKeepsOnlyPosition();
    void storesNeverSeeEachOther();
    void fileNameLetterCase_data();
    void fileNameLetterCase();
    void undecodableFileFailsOpen();
    void writeFailureSwallowed();

private:
    std::unique_ptr<QTemporaryDir> FFolder;
    QString SettingsPath() const { return FFolder->filePath(u"Tessaro.ini"_s); }
    QString Read(const QString &section, const QString &key) const
    {
        return TSettingsFile(SettingsPath()).ReadString(section, key, u"<absent>"_s);
    }
};

void TestWindowStateStore::init()
{
    FFolder = std::make_unique<QTemporaryDir>();
    QVERIFY(FFolder->isValid());
}

void TestWindowStateStore::firstStartWritesMainSections()
{
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QVERIFY(!run.Window.property(PlacementAppliedProperty).toBool());
    QCOMPARE(run.Window.frameGeometry(), CentredFrame(run.Window));
    run.Close();

    const QSize frame = FrameSize(run.Window);
    const QByteArray minMax = "-1,-1," + QByteArray::number(-frame.width()) + "," + QByteArray::number(-frame.height());
    const QByteArray normal = TextOf(run.Window.frameGeometry()).toLatin1();
    const QByteArray suffix = Suffix().toLatin1();
    QList<QByteArray> lines{"[ParvexDlg]",
                            "FormVersion=0",
                            "ShowCmd=1",
                            "Flags=0",
                            "PixelsPerInch=" + QByteArray::number(LogicalDpi(run.Window)),
                            "MinMaxPos" + suffix + "=" + minMax,
                            "MinMaxPos=" + minMax,
                            "NormPos" + suffix + "=" + normal,
                            "NormPos=" + normal,
                            "ItemComment_Width=250",
                            ""};
    // A new settings file is UTF-8 without a mark.
    lines += ColumnLines(AliasColumns.toLatin1() + "\\Item0", "taLeftJustify", false, "Schl\xC3\xBCssel", 200);
    lines += ColumnLines(AliasColumns.toLatin1() + "\\Item1", "taLeftJustify", false, "Beschreibung", 198);
    lines += ColumnLines(AliasColumns.toLatin1() + "\\Item2", "taLeftJustify", true, "Datei",
                         run.Window.FBAliasList->columnWidth(2));
    lines += {"[" + AliasColumns.toLatin1() + "]", "Count=3", ""};
    lines += ColumnLines(ParamColumns.toLatin1() + "\\Item0", "taLeftJustify", false, "Parameter", 180);
    lines += ColumnLines(ParamColumns.toLatin1() + "\\Item1", "taLeftJustify", false, "Wert", 180);
    lines += ColumnLines(ParamColumns.toLatin1() + "\\Item2", "taLeftJustify", false, "Vorgabe", 180);
    lines += {"[" + ParamColumns.toLatin1() + "]", "Count=3", ""};
    QCOMPARE(FileBytes(SettingsPath()), Lines(lines));
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::restoresPlacementAndMaximizedState()
{
    WriteFixture(SettingsPath(),
                 Lines({"[ParvexDlg]", "FormVersion=0", "ShowCmd=3", "Flags=0", "PixelsPerInch=96",
                        "MinMaxPos=-1,-1,-8,-8", "NormPos=40,30,640,530", "ItemComment_Width=310"}));
    if (LogicalDpi(TMainWindow()) != 96)
        QSKIP("the screen's resolution is not 96 dots per inch");
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QVERIFY(run.Window.property(PlacementAppliedProperty).toBool());
    QVERIFY(run.Window.isMaximized());
    QCOMPARE(NormalFrame(run.Window), QRect(40, 30, 600, 500));
    QVERIFY(!run.Window.ItemComment->isVisible());
    run.Close();

    QCOMPARE(Read(Main, u"ShowCmd"_s), u"3"_s);
    QCOMPARE(Read(Main, u"NormPos"_s + Suffix()), u"40,30,640,530"_s);
    QCOMPARE(Read(Main, u"NormPos"_s), u"40,30,640,530"_s);
    // The maximized position always becomes minus the frame size; the minimized one comes back.
    const QSize frame = FrameSize(run.Window);
    QCOMPARE(Read(Main, u"MinMaxPos"_s), PositionText(-1, -1, -frame.width(), -frame.height()));
    // Restored into a splitter on a page never shown, and read back from there.
    QCOMPARE(Read(Main, u"ItemComment_Width"_s), u"310"_s);
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::placementRules_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("applied"); // the normal rectangle placed, or empty: centred

    const QString suffix = Suffix();
    QTest::newRow("plain keys") << QStringList{u"NormPos=40,30,640,530"_s} << u"40,30,640,530"_s;
    QTest::newRow("desktop size suffix preferred")
        << QStringList{u"NormPos"_s + suffix + u"=100,50,500,450"_s, u"NormPos=40,30,640,530"_s} << u"100,50,500,450"_s;
    QTest::newRow("another desktop's keys ignored")
        << QStringList{u"NormPos(1x1)=100,50,500,450"_s, u"NormPos=40,30,640,530"_s} << u"40,30,640,530"_s;
    QTest::newRow("another resolution") << QStringList{u"PixelsPerInch=1000"_s, u"NormPos=40,30,640,530"_s}
                                        << QString();
    QTest::newRow("off every screen") << QStringList{u"NormPos=20000,20000,20600,20500"_s} << QString();
    QTest::newRow("bottom right corner off screen") << QStringList{u"NormPos=40,30,20000,530"_s} << QString();
    QTest::newRow("left not less than right") << QStringList{u"NormPos=300,30,300,530"_s} << QString();
    QTest::newRow("bottom above top") << QStringList{u"NormPos=100,500,700,100"_s} << QString();
    QTest::newRow("top not less than bottom") << QStringList{u"NormPos=100,300,700,300"_s} << QString();
    // Both corners lie on the screen, but the window cannot be 10x9: at its minimum size it would
    // reach past the screen's edge.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("smaller than the window can be, in the corner")
        << QStringList{u"NormPos=%1,%2,%3,%4"_s.arg(screen.width() - 10)
                           .arg(screen.height() - 9)
                           .arg(screen.width())
                           .arg(screen.height())}
        << QString();
    QTest::newRow("empty values") << QStringList{u"MinMaxPos="_s, u"NormPos="_s} << QString();
}

void TestWindowStateStore::placementRules()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, applied);
    QList<QByteArray> lines{"[ParvexDlg]", "FormVersion=0"};
    for (const QString &key : keys)
        lines.append(key.toLatin1());
    WriteFixture(SettingsPath(), Lines(lines));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QCOMPARE(run.Window.property(PlacementAppliedProperty).toBool(), !applied.isEmpty());
    QCOMPARE(run.Window.frameGeometry(), applied.isEmpty() ? CentredFrame(run.Window) : RectOf(applied));
    run.Close();
    // Written under both keys, from the window as it stands.
    QCOMPARE(Read(Main, u"NormPos"_s + Suffix()), TextOf(run.Window.frameGeometry()));
    QCOMPARE(Read(Main, u"NormPos"_s), TextOf(run.Window.frameGeometry()));
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::showStates_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<int>("stateOnShow");
    QTest::addColumn<int>("stateAfterStart");

    const int normal = Qt::WindowNoState;
    const int maximized = Qt::WindowMaximized;
    QTest::newRow("1 normal") << QByteArray("ShowCmd=1") << true << normal << normal;
    QTest::newRow("3 maximized") << QByteArray("ShowCmd=3") << true << maximized << maximized;
    QTest::newRow("4 normal") << QByteArray("ShowCmd=4") << true << normal << normal;
    QTest::newRow("2 minimized once started") << QByteArray("ShowCmd=2") << true << normal << int(Qt::WindowMinimized);
    QTest::newRow("another resolution: state still applied")
        << QByteArray("ShowCmd=3\r\nPixelsPerInch=1000") << false << maximized << maximized;
}

void TestWindowStateStore::showStates()
{
    QFETCH(QByteArray, keys);
    QFETCH(bool, applied);
    QFETCH(int, stateOnShow);
    QFETCH(int, stateAfterStart);
    WriteFixture(SettingsPath(), Lines({"[ParvexDlg]", "FormVersion=0", keys, "NormPos=40,30,640,530"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QCOMPARE(int(run.Window.windowState()), stateOnShow);
    QCOMPARE(NormalFrame(run.Window), applied ? QRect(40, 30, 600, 500) : CentredFrame(run.Window));
    QCoreApplication::processEvents(); // the queued minimize
    QCOMPARE(int(run.Window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)), stateAfterStart);
    run.Close();
    const int written = stateAfterStart == Qt::WindowMinimized ? 2 : stateAfterStart == Qt::WindowMaximized ? 3 : 1;
    QCOMPARE(Read(Main, u"ShowCmd"_s), QString::number(written));
}

void TestWindowStateStore::olderFormVersionRestoresNothing()
{
    WriteFixture(SettingsPath(),
                 Lines({"[ParvexDlg]", "FormVersion=-1", "ShowCmd=3", "NormPos=40,30,640,530", "ItemComment_Width=310",
                        "[ParvexDlg\\FBAliasList_Columns]", "Count=1"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QVERIFY(!run.Window.property(PlacementAppliedProperty).toBool());
    QVERIFY(!run.Window.isMaximized());
    QCOMPARE(run.Window.frameGeometry(), CentredFrame(run.Window));
    QCOMPARE(run.Window.FBAliasList->columnCount(), 3);
    run.Close();

    QCOMPARE(Read(Main, u"FormVersion"_s), u"0"_s);
    QCOMPARE(Read(Main, u"ShowCmd"_s), u"1"_s);
    QCOMPARE(Read(Main, u"NormPos"_s), TextOf(CentredFrame(run.Window)));
    QCOMPARE(Read(Main, u"ItemComment_Width"_s), u"250"_s);
    QCOMPARE(Read(AliasColumns, u"Count"_s), u"3"_s);
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::badPlacementValueStopsRestore_data()
{
    QTest::addColumn<QByteArray>("badKey");
    QTest::addColumn<bool>("applied"); // what comes before the bad value stays

    QTest::newRow("FormVersion") << QByteArray("FormVersion") << false;
    QTest::newRow("Flags") << QByteArray("Flags") << false;
    QTest::newRow("PixelsPerInch") << QByteArray("PixelsPerInch") << false;
    QTest::newRow("ShowCmd") << QByteArray("ShowCmd") << true;
}

void TestWindowStateStore::badPlacementValueStopsRestore()
{
    QFETCH(QByteArray, badKey);
    QFETCH(bool, applied);
    QList<QByteArray> lines{"[ParvexDlg]",
                            "FormVersion=0",
                            "ShowCmd=3",
                            "Flags=0",
                            "PixelsPerInch=96",
                            "NormPos=40,30,640,530",
                            "",
                            "[ParvexDlg\\FBAliasList_Columns]",
                            "Count=1",
                            ""};
    for (QByteArray &line : lines) {
        if (line.startsWith(badKey + "="))
            line = badKey + "=x1";
    }
    WriteFixture(SettingsPath(), Lines(lines));
    if (LogicalDpi(TMainWindow()) != 96)
        QSKIP("the screen's resolution is not 96 dots per inch");

    // The message returns at every start, and the file keeps the bad value unless it is the
    // version, which the close writes anew.
    QList<QByteArray> expected = lines;
    if (badKey == "FormVersion")
        expected[1] = "FormVersion=0";
    for (int start = 0; start < 2; ++start) {
        TScriptedDialogs dialogs;
        TShownMain run(FFolder->path(), dialogs);
        QCOMPARE(dialogs.Errors, QStringList{u"'x1' ist kein gültiger Integerwert."_s});
        QCOMPARE(run.Window.property(PlacementAppliedProperty).toBool(), applied);
        QCOMPARE(NormalFrame(run.Window), applied ? QRect(40, 30, 600, 500) : CentredFrame(run.Window));
        QVERIFY(!run.Window.isMaximized());
        QCOMPARE(run.Window.FBAliasList->columnCount(), 3);
        run.Close();
        QCOMPARE(dialogs.Errors.size(), 1);
        QCOMPARE(FileBytes(SettingsPath()), Lines(expected));
        if (badKey == "FormVersion")
            break; // repaired: the next start restores
    }
}

void TestWindowStateStore::storedPropsResolution()
{
    TWindowStateSettings settings = MainWindowStateSettings(FFolder->path());
    settings.StoredProps = {u"NoSuch.Width"_s, u"ItemComment"_s,        u".Width"_s,
                            u"ItemComment."_s, u"ItemComment.Colour"_s, u" ItemComment\t. Width "_s};
    TScriptedDialogs dialogs;
    TMainWindow window;
    {
        TWindowStateStore store(window, dialogs, settings);
        window.show();
        window.close();
    }
    // Only the entry that names a component and a kept property remains, its parts trimmed.
    const TSettingsFile written(SettingsPath());
    QStringList sections;
    written.ReadSections(sections);
    QCOMPARE(sections, QStringList{Main});
    QCOMPARE(written.ReadString(Main, u"ItemComment_Width"_s, QString()), u"250"_s);
    QCOMPARE(written.ReadString(Main, u"NormPos"_s, QString()), TextOf(window.frameGeometry()));
}

void TestWindowStateStore::storedColumnSets()
{
    WriteFixture(
        SettingsPath(),
        Lines({"[ParvexDlg]", "FormVersion=0", "ItemComment_Width=300", "[ParvexDlg\\FBAliasList_Columns\\Item0]",
               "Caption=Name", "Width=120", "[ParvexDlg\\FBAliasList_Columns\\Item1]", "Alignment=taRightJustify",
               "AutoSize=TRUE", "Caption=Pfad", "ImageIndex=4", "MaxWidth=400", "MinWidth=20", "Tag=7", "Width=130",
               "[ParvexDlg\\FBAliasList_Columns]", "Count=2",
               // Item sections without "Count": the layout's columns stay.
               "[ParvexDlg\\ParvexList_Columns\\Item0]", "Caption=Fremd", "Width=90"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QTreeWidget &aliases = *run.Window.FBAliasList;
    QCOMPARE(Captions(aliases), (QStringList{u"Name"_s, u"Pfad"_s}));
    QCOMPARE(aliases.columnWidth(0), 120);
    QCOMPARE(Qt::Alignment(aliases.headerItem()->textAlignment(1)) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QVERIFY(aliases.header()->stretchLastSection());
    QCOMPARE(Captions(*run.Window.ParvexList), (QStringList{u"Parameter"_s, u"Wert"_s, u"Vorgabe"_s}));
    QCOMPARE(Widths(*run.Window.ParvexList), (QList<int>{180, 180, 180}));
    run.Close();

    // Every attribute comes back as it was read.
    const TSettingsFile written(SettingsPath());
    const QString item1 = AliasColumns + u"\\Item1"_s;
    for (const auto &[key, value] : QList<std::pair<QString, QString>>{{u"Alignment"_s, u"taRightJustify"_s},
                                                                       {u"AutoSize"_s, u"TRUE"_s},
                                                                       {u"Caption"_s, u"Pfad"_s},
                                                                       {u"ImageIndex"_s, u"4"_s},
                                                                       {u"MaxWidth"_s, u"400"_s},
                                                                       {u"MinWidth"_s, u"20"_s},
                                                                       {u"Tag"_s, u"7"_s}})
        QCOMPARE(written.ReadString(item1, key, QString()), value);
    QCOMPARE(written.ReadString(AliasColumns + u"\\Item0"_s, u"AutoSize"_s, QString()), u"FALSE"_s);
    QCOMPARE(written.ReadString(AliasColumns, u"Count"_s, QString()), u"2"_s);
    QCOMPARE(written.ReadString(Main, u"ItemComment_Width"_s, QString()), u"300"_s);
}

void TestWindowStateStore::malformedColumnValueEndsThatSet()
{
    WriteFixture(
        SettingsPath(),
        Lines({"[ParvexDlg]", "FormVersion=0", "ItemComment_Width=300", "[ParvexDlg\\ParvexList_Columns\\Item0]",
               "Caption=Eins", "Width=100", "[ParvexDlg\\ParvexList_Columns\\Item1]", "Alignment=taCenter",
               "Caption=Zwei", "Tag=5", "Width=abc", "[ParvexDlg\\ParvexList_Columns\\Item2]", "Caption=Drei",
               "[ParvexDlg\\ParvexList_Columns]", "Count=3"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QTreeWidget &params = *run.Window.ParvexList;
    QCOMPARE(Captions(params), (QStringList{u"Eins"_s, u"Zwei"_s}));
    QCOMPARE(Widths(params), (QList<int>{100, 50}));
    QCOMPARE(Qt::Alignment(params.headerItem()->textAlignment(1)) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(dialogs.Errors.isEmpty());
    run.Close();
    QCOMPARE(Read(ParamColumns + u"\\Item1"_s, u"Tag"_s), u"5"_s);
    QCOMPARE(Read(ParamColumns + u"\\Item1"_s, u"Width"_s), u"50"_s);
    QCOMPARE(Read(ParamColumns, u"Count"_s), u"2"_s);
    // The entries before and after are restored as usual.
    QCOMPARE(Read(Main, u"ItemComment_Width"_s), u"300"_s);
    QCOMPARE(Captions(*run.Window.FBAliasList), (QStringList{u"Schl\u00FCssel"_s, u"Beschreibung"_s, u"Datei"_s}));
}

void TestWindowStateStore::surplusColumnsRemoved()
{
    // Five stored columns, of which the third is malformed: the list ends up with three.
    WriteFixture(
        SettingsPath(),
        Lines({"[ParvexDlg]", "FormVersion=0", "[ParvexDlg\\FBAliasList_Columns\\Item2]", "Width=x",
               "[ParvexDlg\\FBAliasList_Columns\\Item3]", "Width=60", "[ParvexDlg\\FBAliasList_Columns\\Item4]",
               "Width=70", "[ParvexDlg\\FBAliasList_Columns]", "Count=5", "Item4=kept elsewhere"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QCOMPARE(run.Window.FBAliasList->columnCount(), 3);
    run.Close();
    QStringList sections;
    TSettingsFile(SettingsPath()).ReadSections(sections);
    QVERIFY(!sections.contains(AliasColumns + u"\\Item3"_s));
    // An "Item" key in the set's section is removed instead of the item's section.
    QVERIFY(sections.contains(AliasColumns + u"\\Item4"_s));
    QCOMPARE(Read(AliasColumns, u"Item4"_s), u"<absent>"_s);
    QCOMPARE(Read(AliasColumns, u"Count"_s), u"3"_s);
}

void TestWindowStateStore::badCountStopsSave()
{
    WriteFixture(SettingsPath(),
                 Lines({"[ParvexDlg]", "FormVersion=0", "[ParvexDlg\\FBAliasList_Columns]", "Count=zz"}));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    // Malformed at the restore: the list is left without columns, silently.
    QCOMPARE(run.Window.FBAliasList->columnCount(), 0);
    QVERIFY(dialogs.Errors.isEmpty());
    run.Window.close();
    QCOMPARE(dialogs.Errors, QStringList{u"'zz' ist kein gültiger Integerwert."_s});
    QVERIFY(!run.Store->Saved());
    run.Store.reset(); // the release tries again
    QCOMPARE(dialogs.Errors.size(), 2);

    const TSettingsFile written(SettingsPath());
    QCOMPARE(written.ReadString(Main, u"ItemComment_Width"_s, QString()), u"250"_s);
    QCOMPARE(written.ReadString(AliasColumns, u"Count"_s, QString()), u"zz"_s);
    QStringList sections;
    written.ReadSections(sections);
    QCOMPARE(sections, (QStringList{Main, AliasColumns}));
}

void TestWindowStateStore::readOnlyFileNeverWritten()
{
    const QByteArray bytes = Lines({"; kept", "[ParvexDlg]", "FormVersion=0", "NormPos=40,30,640,530"});
    WriteFixture(SettingsPath(), bytes);
    QVERIFY(QFile::setPermissions(SettingsPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    TScriptedDialogs dialogs;
    TShownMain run(FFolder->path(), dialogs);
    QVERIFY(run.Store->ReadOnly());
    QCOMPARE(run.Window.frameGeometry(), QRect(40, 30, 600, 500));
    run.Close();
    QCOMPARE(FileBytes(SettingsPath()), bytes);
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::dialogKeepsOnlyPosition()
{
    WriteFixture(
        SettingsPath(),
        Lines({"; Texte", "[GERMAN]", "; Beschriftungen", "",
               "CloseBtn = Schlie\xDF"
               "en",
               "[ParvexItemEditDlg]", "FormVersion=0", "Flags=0", "MinMaxPos=5,6,7,8", "NormPos=100,80,300,150"}));
    TScriptedDialogs dialogs;
    TMainWindow owner;
    QDialog dialog(&owner);
    dialog.setObjectName(u"ParvexItemEditDlg"_s);
    // Resizable here, unlike the program's dialog, so that a stored size would show.
    dialog.resize(580, 100);
    QRect shownAt;
    QSize clientSize;
    {
        TWindowStateStore store(dialog, dialogs, EditDialogStateSettings(FFolder->path()));
        QTimer::singleShot(0, &dialog, [&] {
            shownAt = dialog.frameGeometry();
            clientSize = dialog.size();
            dialog.accept();
        });
        dialog.exec();
    }
    // The position is taken, the size is the dialog's own.
    QCOMPARE(shownAt.topLeft(), QPoint(100, 80));
    QCOMPARE(clientSize, QSize(580, 100));

    const QSize frame = FrameSize(dialog);
    const QByteArray minMax = "5,6," + QByteArray::number(-frame.width()) + "," + QByteArray::number(-frame.height());
    const QByteArray normal = TextOf(shownAt).toLatin1();
    const QByteArray suffix = Suffix().toLatin1();
    // The language section has lost its comment and blank lines, not its text.
    QCOMPARE(FileBytes(SettingsPath()),
             Lines({"[GERMAN]",
                    "CloseBtn=Schlie\xDF"
                    "en",
                    "", "[ParvexItemEditDlg]", "FormVersion=0", "Flags=0", "MinMaxPos=" + minMax, "NormPos=" + normal,
                    "PixelsPerInch=" + QByteArray::number(LogicalDpi(dialog)), "MinMaxPos" + suffix + "=" + minMax,
                    "NormPos" + suffix + "=" + normal, ""}));
    QVERIFY(dialogs.Errors.isEmpty());
}

void TestWindowStateStore::storesNeverSeeEachOther()
{
    TScriptedDialogs dialogs;
    QStringList sections;
    {
        TShownMain run(FFolder->path(), dialogs);
        {
            QDialog dialog(&run.Window);
            dialog.setObjectName(u"ParvexItemEditDlg"_s);
            TWindowStateStore store(dialog, dialogs, EditDialogStateSettings(FFolder->path()));
            QTimer::singleShot(0, &dialog, &QDialog::reject);
            dialog.exec();
        }
        TSettingsFile(SettingsPath()).ReadSections(sections);
        QCOMPARE(sections, QStringList{u"ParvexItemEditDlg"_s});
        run.Close();
    }
    // The main window's copy was read before the dialog wrote: the dialog's section is gone.
    TSettingsFile(SettingsPath()).ReadSections(sections);
    QCOMPARE(sections,
             (QStringList{Main, AliasColumns + u"\\Item0"_s, AliasColumns + u"\\Item1"_s, AliasColumns + u"\\Item2"_s,
                          AliasColumns, ParamColumns + u"\\Item0"_s, ParamColumns + u"\\Item1"_s,
                          ParamColumns + u"\\Item2"_s, ParamColumns}));
}

void TestWindowStateStore::fileNameLetterCase_data()
{
    QTest::addColumn<QString>("existing"); // empty: none
    QTest::addColumn<bool>("mainWindow");
    QTest::addColumn<QString>("written");

    QTest::newRow("main window, no file") << QString() << true << u"Tessaro.ini"_s;
    QTest::newRow("dialog, no file") << QString() << false << u"Tessaro.ini"_s;
    QTest::newRow("main window, Tessaro.ini") << u"Tessaro.ini"_s << true << u"Tessaro.ini"_s;
    QTest::newRow("main window, TESSARO.INI") << u"TESSARO.INI"_s << true << u"TESSARO.INI"_s;
    QTest::newRow("dialog, Tessaro.Ini") << u"Tessaro.Ini"_s << false << u"Tessaro.Ini"_s;
}

void TestWindowStateStore::fileNameLetterCase()
{
    QFETCH(QString, existing);
    QFETCH(bool, mainWindow);
    QFETCH(QString, written);
    const QString section = mainWindow ? u"ParvexDlg"_s : u"ParvexItemEditDlg"_s;
    if (!existing.isEmpty())
        WriteFixture(FFolder->filePath(existing),
                     Lines({"[" + section.toLatin1() + "]", "FormVersion=0", "NormPos=5,5,300,300"}));
    TScriptedDialogs dialogs;
    TMainWindow window;
    window.setObjectName(section);
    {
        const QString folder = FFolder->path();
        TWindowStateStore store(window, dialogs,
                                mainWindow ? MainWindowStateSettings(folder) : EditDialogStateSettings(folder));
        window.show();
        QCOMPARE(store.FullPath(), FFolder->filePath(written));
        window.close();
    }
    QCOMPARE(window.property(PlacementAppliedProperty).toBool(), !existing.isEmpty());
    QCOMPARE(QDir(FFolder->path()).entryList(QDir::Files), QStringList{written});
    QCOMPARE(TSettingsFile(FFolder->filePath(written)).ReadString(section, u"FormVersion"_s, QString()), u"0"_s);
}

void TestWindowStateStore::undecodableFileFailsOpen()
{
    WriteFixture(SettingsPath(), QByteArray("\xEF\xBB\xBF[ParvexDlg]\r\nA=\xC3\r\n"));
    TScriptedDialogs dialogs;
    TMainWindow window;
    QVERIFY_THROWS_EXCEPTION(EEncodingError,
                             TWindowStateStore(window, dialogs, MainWindowStateSettings(FFolder->path())));
}

void TestWindowStateStore::writeFailureSwallowed()
{
    TScriptedDialogs dialogs;
    TMainWindow window;
    {
        TWindowStateStore store(window, dialogs, MainWindowStateSettings(FFolder->path()));
        window.show();
        window.close();
        // Where the file should go, a folder now stands in the way.
        QVERIFY(QDir(FFolder->path()).mkdir(u"Tessaro.ini"_s));
    }
    QVERIFY(QFileInfo(SettingsPath()).isDir());
    QVERIFY(dialogs.Errors.isEmpty());

    // A folder that vanished is created again.
    const QString nested = FFolder->filePath(u"gone"_s);
    QVERIFY(QDir().mkpath(nested));
    {
        TWindowStateStore store(window, dialogs, MainWindowStateSettings(nested));
        QVERIFY(QDir(nested).removeRecursively());
    }
    const TSettingsFile written(QDir(nested).filePath(u"Tessaro.ini"_s));
    QCOMPARE(written.ReadString(Main, u"FormVersion"_s, QString()), u"0"_s);
}

QTEST_MAIN(TestWindowStateStore)
#include "tst_WindowStateStore.moc"
