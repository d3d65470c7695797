// The windows and dialogs under a real X server with a window manager (tests/with-xvfb.sh
// --window-manager starts both): activation after a search hit, where dialogs open, and the hints
// that tell the window manager what each window may do. The window manager acts on its own time,
// so every check waits for the effect it expects instead of sleeping.

#include "WindowFixture.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "app/search/FindDialog.h"
#include "app/stddialogs/QtStdDialogs.h"
#include "text/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int WaitMs = 5000;

// Bits of _MOTIF_WM_HINTS: its second word holds the functions, its third the decorations.
constexpr unsigned MwmFuncMinimize = 0x08;
constexpr unsigned MwmFuncMaximize = 0x10;
constexpr unsigned MwmDecorMinimize = 0x20;
constexpr unsigned MwmDecorMaximize = 0x40;

QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(WaitMs) || process.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString Hex(WId id)
{
    return u"0x"_s + QString::number(id, 16);
}

// One property of a window as xprop prints it, without the name: "" when it is not set.
QString XProperty(const QWidget &window, const char *property)
{
    const QString line = Run(u"xprop"_s, {u"-id"_s, Hex(window.winId()), QLatin1String(property)});
    const qsizetype equals = line.indexOf(u'=');
    const qsizetype hash = line.indexOf(u'#');
    if (line.contains(u"not found"_s) || (equals < 0 && hash < 0))
        return QString();
    return line.mid((hash >= 0 ? hash : equals) + 1).trimmed();
}

QList<unsigned> MotifHints(const QWidget &window)
{
    QList<unsigned> words;
    for (const QString &word : XProperty(window, "_MOTIF_WM_HINTS").split(u',', Qt::SkipEmptyParts))
        words.append(word.trimmed().toUInt(nullptr, 0));
    return words;
}

WId XFocus()
{
    return WId(Run(u"xdotool"_s, {u"getwindowfocus"_s}).trimmed().toULongLong());
}

// A click through the X server, as the user's mouse gives it: the window manager sees it first.
void ClickThroughServer(const QWidget &widget)
{
    const QWidget *window = widget.window();
    const QPoint at = widget.mapTo(window, widget.rect().center());
    QProcess::execute(u"xdotool"_s,
                      {u"mousemove"_s, u"--window"_s, QString::number(window->winId()), QString::number(at.x()),
                       QString::number(at.y()), u"click"_s, u"1"_s});
}

// Waits for the condition while events go on, as long as every wait of this test; false when it
// did not come true in time.
bool WaitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, WaitMs);
}

// The frame as the window system reports it; the widget's own can be out of date.
QRect Frame(const QWidget &window)
{
    return window.windowHandle() ? window.windowHandle()->frameGeometry() : QRect();
}

bool FrameKnown(const QWidget &window)
{
    return window.isVisible() && Frame(window).contains(window.geometry()) && Frame(window) != window.geometry();
}

// Waits until the window manager has framed the window and left it in place for a moment.
bool WaitForSettledFrame(const QWidget &window)
{
    QRect last;
    int steady = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < WaitMs) {
        QTest::qWait(20);
        if (!FrameKnown(window)) {
            steady = 0;
            continue;
        }
        steady = Frame(window) == last ? steady + 1 : 0;
        last = Frame(window);
        if (steady >= 5)
            return true;
    }
    return false;
}

// Runs `inspect` on the next modal dialog once the window manager has framed it, then closes it.
void InspectNextModal(const std::function<void(QWidget &)> &inspect)
{
    QTimer::singleShot(0, [inspect] {
        QWidget *modal = nullptr;
        if (!WaitFor([&] { return (modal = QApplication::activeModalWidget()) && modal->isVisible(); }))
            qFatal("no modal dialog was shown");
        WaitForSettledFrame(*modal);
        inspect(*modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
}

QByteArray ManyHits(int count)
{
    QByteArray text = "# aliases\n";
    for (int line = 0; line < count; ++line)
        text += "hit" + QByteArray::number(line) + " = /data/x.db\n";
    return text;
}

// The main window's placement section, with the normal rectangle `normPos`.
QByteArray PlacementSettings(int showCmd, const QByteArray &normPos)
{
    const QByteArray dpi = QByteArray::number(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
    return "[ParvexDlg]\r\nFormVersion=0\r\nShowCmd=" + QByteArray::number(showCmd)
        + "\r\nFlags=0\r\nPixelsPerInch=" + dpi + "\r\nMinMaxPos=-1,-1,0,0\r\nNormPos=" + normPos + "\r\n";
}

QByteArray StoredValue(const QByteArray &settings, const QByteArray &key)
{
    const QRegularExpression line(u"^"_s + QRegularExpression::escape(QString::fromLatin1(key)) + u"=(.*?)\\r?$"_s,
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(settings)).captured(1).toLatin1();
}

// One start of the program on `settings` (none: no settings file) and its close once `ready`
// holds; the settings file as the close left it.
QByteArray StartAndClose(const std::optional<QByteArray> &settings, const std::function<bool(QWidget &)> &ready)
{
    TWindowFixture fixture;
    fixture.WriteServerFile(u"firebird.conf"_s, "DefaultDbCachePages = 2048\n");
    fixture.WriteServerFile(u"databases.conf"_s, "hv = /data/hv.db\n");
    if (settings)
        fixture.WriteSettings(*settings);
    QWidget &window = fixture.Open(fixture.ServerFolder());
    if (!ready(window))
        qWarning("the main window did not reach the state to close it in");
    fixture.EndProgram();
    return fixture.ReadSettings();
}

bool Exposed(QWidget &window)
{
    return QTest::qWaitForWindowExposed(&window, WaitMs);
}

// The main window on a server folder, shown and framed by the window manager.
class TFramedFixture : public TWindowFixture {
public:
    explicit TFramedFixture(const QByteArray &aliasFile = "hv = /data/hv.db\n")
    {
        WriteServerFile(u"firebird.conf"_s, "DefaultDbCachePages = 2048\n");
        WriteServerFile(u"databases.conf"_s, aliasFile);
        Open(ServerFolder());
        if (!QTest::qWaitForWindowExposed(&Window()) || !WaitForSettledFrame(Window()))
            qFatal("the main window is not framed");
        Window().activateWindow();
    }

    // The first opening makes the dialog, which the window keeps from then on.
    void OpenFindDialog(const QString &text)
    {
        Control<QToolButton>("SearchBtn")->click();
        if (!Find)
            Find = Control<TFindDialog>("FindDialog");
        Find->findChild<QLineEdit *>(u"edtFindText"_s)->setText(text);
    }

    QPoint FindDialogPoint() const { return Control<QTabWidget>("pcMain")->mapToGlobal(QPoint(100, 50)); }

    TFindDialog *Find = nullptr;
};

} // namespace

class TestWindowManager : public QObject {
    Q_OBJECT

private slots:
    void everySearchHitActivatesMainWindow();
    void findDialogFrameAtOffsetPoint();
    void standardDialogsCentredOnScreen_data();
    void standardDialogsCentredOnScreen();
    void dialogHints_data();
    void dialogHints();
    void mainWindowHasNoMaximizeBox();
    void minimizingModalDialogKeepsProgram();
    void maximizedWindowKeepsNormalRectangle();
    void quickCloseKeepsPlacement_data();
    void quickCloseKeepsPlacement();
};

void TestWindowManager::everySearchHitActivatesMainWindow()
{
    constexpr int Hits = 50;
    TFramedFixture fixture(ManyHits(Hits));
    fixture.OpenFindDialog(u"hit"_s);
    auto *view = fixture.Control<QPlainTextEdit>("edtAliasFile");
    auto *findNext = fixture.Find->findChild<QPushButton *>(u"FindNextBtn"_s);
    QVERIFY(WaitForSettledFrame(*fixture.Find));

    int previous = -1;
    // The view is filled when first searched, so each hit is looked up in it as the search finds it.
    const auto nextHit = [&] { return int(view->document()->toRawText().indexOf(u"hit"_s, previous + 1)); };
    for (int hit = 0; hit < Hits; ++hit) {
        // The user clicks Find Next: the window manager activates the dialog, the click runs the search.
        ClickThroughServer(*findNext);
        QTRY_VERIFY2_WITH_TIMEOUT(
            view->textCursor().hasSelection() && nextHit() >= 0 && view->textCursor().selectionStart() == nextHit(),
            qPrintable(u"hit %1 at %2 not selected: selection at %3"_s.arg(hit).arg(nextHit()).arg(
                view->textCursor().selectionStart())),
            WaitMs);
        previous = view->textCursor().selectionStart();
        // The next keys must reach the text: the window system's focus is in the main window.
        const auto focusState = [&] {
            const QWidget *active = QApplication::activeWindow();
            return u"hit %1: active window %2, view focused %3, system focus %4 (main window %5)"_s.arg(hit)
                .arg(active ? active->objectName() : u"none"_s)
                .arg(view->hasFocus())
                .arg(Hex(XFocus()), Hex(fixture.Window().winId()));
        };
        const bool moved = WaitFor([&] {
            return QApplication::activeWindow() == &fixture.Window() && view->hasFocus()
                && XFocus() == fixture.Window().winId();
        });
        QVERIFY2(moved, qPrintable(focusState()));
    }
}

void TestWindowManager::findDialogFrameAtOffsetPoint()
{
    TFramedFixture fixture;
    // The first opening and every later one put the dialog's outer frame at the same point.
    for (int opening = 0; opening < 3; ++opening) {
        fixture.OpenFindDialog(u"hv"_s);
        QVERIFY(WaitForSettledFrame(*fixture.Find));
        QCOMPARE(Frame(*fixture.Find).topLeft(), fixture.FindDialogPoint());
        fixture.Find->close();
        QTRY_VERIFY(!fixture.Find->isVisible());
    }
}

void TestWindowManager::standardDialogsCentredOnScreen_data()
{
    QTest::addColumn<int>("dialog");
    QTest::newRow("information") << 0;
    QTest::newRow("confirmation") << 1;
    QTest::newRow("error box") << 2;
    QTest::newRow("folder picker") << 3;
}

void TestWindowManager::standardDialogsCentredOnScreen()
{
    QFETCH(int, dialog);
    TFramedFixture fixture;
    // In the corner, so a box centred over the window would be far from the screen's centre.
    fixture.Window().move(0, 0);
    QVERIFY(WaitFor([&] { return Frame(fixture.Window()).left() <= 0 && Frame(fixture.Window()).top() <= 0; }));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &fixture.Window(), WaitMs);

    QRect frame;
    InspectNextModal([&](QWidget &modal) { frame = Frame(modal); });
    TQtStdDialogs dialogs;
    switch (dialog) {
    case 0:
        dialogs.ShowMessageBox(u"Nicht gefunden"_s, TMsgKind::Information, TMsgButton::OK);
        break;
    case 1:
        dialogs.ShowMessageBox(u"Welche?"_s, TMsgKind::Confirmation,
                               TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
        break;
    case 2:
        dialogs.ShowErrorBox(u"Fehler."_s);
        break;
    default:
        dialogs.BrowseForFolder(u"Ordner"_s);
        break;
    }
    QVERIFY(frame.isValid());
    const QPoint centre = fixture.Window().screen()->availableGeometry().center();
    QVERIFY2(
        (frame.center() - centre).manhattanLength() <= 1,
        qPrintable(u"frame at %1,%2 %3x%4"_s.arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
}

void TestWindowManager::dialogHints_data()
{
    QTest::addColumn<int>("dialog");
    QTest::newRow("find dialog") << 0;
    QTest::newRow("edit dialog") << 1;
    QTest::newRow("message box") << 2;
    QTest::newRow("error box") << 3;
    QTest::newRow("folder picker") << 4;
}

void TestWindowManager::dialogHints()
{
    QFETCH(int, dialog);
    TFramedFixture fixture;
    TParvexDlg &window = fixture.Window();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &window, WaitMs);

    QString type, transientFor;
    QList<unsigned> motif;
    const auto inspect = [&](QWidget &shown) {
        type = XProperty(shown, "_NET_WM_WINDOW_TYPE");
        transientFor = XProperty(shown, "WM_TRANSIENT_FOR");
        motif = MotifHints(shown);
    };
    TQtStdDialogs dialogs;
    switch (dialog) {
    case 0:
        fixture.OpenFindDialog(u"hv"_s);
        QVERIFY(WaitForSettledFrame(*fixture.Find));
        inspect(*fixture.Find);
        break;
    case 1: {
        InspectNextModal(inspect);
        TParvexItem item{u"DefaultDbCachePages"_s, u"2048"_s, u"75"_s};
        EditConfigItem(item, TSettingsFile(QString()), u"GERMAN"_s, &window, fixture.Dialogs, fixture.ServerFolder());
        break;
    }
    case 2:
        InspectNextModal(inspect);
        dialogs.ShowMessageBox(u"Nicht gefunden"_s, TMsgKind::Information, TMsgButton::OK);
        break;
    case 3:
        InspectNextModal(inspect);
        dialogs.ShowErrorBox(u"Fehler."_s);
        break;
    default:
        InspectNextModal(inspect);
        dialogs.BrowseForFolder(u"Ordner"_s);
        break;
    }
    QVERIFY2(type.startsWith(u"_NET_WM_WINDOW_TYPE_DIALOG"_s), qPrintable(type));
    QCOMPARE(transientFor.toULongLong(nullptr, 0), quint64(window.winId()));
    QVERIFY(motif.size() >= 3);
    QVERIFY2(!(motif[1] & (MwmFuncMinimize | MwmFuncMaximize)), qPrintable(QString::number(motif[1], 16)));
    QVERIFY2(!(motif[2] & (MwmDecorMinimize | MwmDecorMaximize)), qPrintable(QString::number(motif[2], 16)));
}

void TestWindowManager::mainWindowHasNoMaximizeBox()
{
    TFramedFixture fixture;
    const QList<unsigned> motif = MotifHints(fixture.Window());
    QVERIFY(motif.size() >= 3);
    QVERIFY(motif[2] & MwmDecorMinimize);
    QVERIFY(!(motif[2] & MwmDecorMaximize));
    QCOMPARE(XProperty(fixture.Window(), "_NET_WM_WINDOW_TYPE"), u"_NET_WM_WINDOW_TYPE_NORMAL"_s);
}

void TestWindowManager::minimizingModalDialogKeepsProgram()
{
    TFramedFixture fixture;
    TParvexDlg &window = fixture.Window();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &window, WaitMs);

    bool minimized = false;
    bool backOnScreen = false;
    const auto noteMinimized = [&](Qt::WindowState state) { minimized = minimized || state == Qt::WindowMinimized; };
    connect(window.windowHandle(), &QWindow::windowStateChanged, this, noteMinimized);
    InspectNextModal([&](QWidget &dialog) {
        QWindow &dialogWindow = *dialog.windowHandle();
        QWindow &mainWindow = *window.windowHandle();
        connect(&dialogWindow, &QWindow::windowStateChanged, this, noteMinimized);
        // What the window manager's minimize button asks for.
        QProcess::execute(u"xdotool"_s, {u"windowminimize"_s, QString::number(dialog.winId())});
        WaitFor([&] { return minimized; });
        backOnScreen = WaitFor([&] {
            return dialogWindow.isExposed() && mainWindow.isExposed()
                && !(dialogWindow.windowStates() & Qt::WindowMinimized)
                && !(mainWindow.windowStates() & Qt::WindowMinimized);
        });
    });
    TParvexItem item{u"DefaultDbCachePages"_s, u"2048"_s, u"75"_s};
    EditConfigItem(item, TSettingsFile(QString()), u"GERMAN"_s, &window, fixture.Dialogs, fixture.ServerFolder());
    QVERIFY2(minimized, "the window manager did not minimize the dialog");
    QVERIFY2(backOnScreen, "the program stayed hidden after the dialog was minimized");
}

void TestWindowManager::maximizedWindowKeepsNormalRectangle()
{
    // The rectangle the window had before it was maximized, not the maximized window's frame
    // taken round its normal client area, which a title bar made taller at every start.
    const QByteArray normPos = "100,100,886,678";
    QByteArray settings = PlacementSettings(3, normPos);
    for (int start = 1; start <= 3; ++start) {
        settings = StartAndClose(settings, [](QWidget &window) {
            return WaitFor([&] { return window.isMaximized() && window.windowHandle()->isExposed(); })
                && WaitForSettledFrame(window);
        });
        QCOMPARE(StoredValue(settings, "ShowCmd"), "3");
        QVERIFY2(StoredValue(settings, "NormPos") == normPos,
                 qPrintable(
                     u"start %1: NormPos=%2"_s.arg(start).arg(QString::fromLatin1(StoredValue(settings, "NormPos")))));
    }
}

void TestWindowManager::quickCloseKeepsPlacement_data()
{
    QTest::addColumn<bool>("storedPlacement");
    QTest::addColumn<bool>("waitForExposure");
    QTest::newRow("stored, closed once mapped") << true << true;
    QTest::newRow("stored, closed at once") << true << false;
    QTest::newRow("centred, closed once mapped") << false << true;
    QTest::newRow("centred, closed at once") << false << false;
}

void TestWindowManager::quickCloseKeepsPlacement()
{
    // A window closed before the window manager has framed it was still placed: what is kept is
    // the frame it was given, never its inner rectangle.
    QFETCH(bool, storedPlacement);
    QFETCH(bool, waitForExposure);
    const std::optional<QByteArray> first =
        storedPlacement ? std::optional<QByteArray>(PlacementSettings(1, "120,90,906,668")) : std::nullopt;
    // Where the window is once the window manager has framed it and left it in place.
    const QByteArray expected = StoredValue(
        StartAndClose(first, [](QWidget &window) { return Exposed(window) && WaitForSettledFrame(window); }),
        "NormPos");
    if (storedPlacement)
        QCOMPARE(expected, "120,90,906,668");
    QVERIFY(!expected.isEmpty());

    std::optional<QByteArray> settings = first;
    for (int start = 1; start <= 10; ++start) {
        const QByteArray stored =
            StartAndClose(settings, [&](QWidget &window) { return !waitForExposure || Exposed(window); });
        QVERIFY2(StoredValue(stored, "NormPos") == expected,
                 qPrintable(u"start %1: NormPos=%2, expected %3"_s.arg(start).arg(
                     QString::fromLatin1(StoredValue(stored, "NormPos")), QString::fromLatin1(expected))));
        if (storedPlacement)
            settings = stored;
    }
}

QTEST_MAIN(TestWindowManager)
#include "tst_WindowManager.moc"
