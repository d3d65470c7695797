// What a real X server shows under the desktop named by XDG_CURRENT_DESKTOP: the order of the
// message box's buttons on the screen, and the captions the windows give the window manager.

#include "WindowFixture.h"
#include "app/dialogs/ktParvexItemEdit.h"
#include "app/stddialogs/QtStdDialogs.h"
#include "text/SettingsFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

namespace {

// A property of the window's native window as the window manager reads it.
QByteArray NativeProperty(const QWidget &window, const char *name)
{
    xcb_connection_t *connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr);
    if (!atom)
        qFatal("no atom %s", name);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, xcb_window_t(window.winId()), atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr);
    free(atom);
    QByteArray value;
    if (reply) {
        value =
            QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
        free(reply);
    }
    return value;
}

void VerifyNativeCaption(const QWidget &window, const QString &caption)
{
    QCOMPARE(window.windowTitle(), caption);
    QCOMPARE(NativeProperty(window, "_NET_WM_NAME"), caption.toUtf8());
    // The older property holds the caption in the locale's encoding; an empty one is empty in all.
    if (caption.isEmpty())
        QCOMPARE(NativeProperty(window, "WM_NAME"), QByteArray());
}

// The button layout each desktop's settings give Qt's dialogs.
int ExpectedButtonLayout(const QByteArray &desktop)
{
    if (desktop == "KDE")
        return QDialogButtonBox::KdeLayout;
    if (desktop == "GNOME" || desktop == "XFCE")
        return QDialogButtonBox::GnomeLayout;
    return -1;
}

} // namespace

class TestOnXServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxButtonsLeftToRight_data();
    void messageBoxButtonsLeftToRight();
    void captionsExactlyAsInSettings_data();
    void captionsExactlyAsInSettings();
};

void TestOnXServer::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
    // Without the desktop's button layout in effect the order below would prove nothing.
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    QVERIFY2(ExpectedButtonLayout(desktop) >= 0, "run with XDG_CURRENT_DESKTOP set to GNOME, KDE or XFCE");
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_DialogButtonLayout), ExpectedButtonLayout(desktop));
}

void TestOnXServer::messageBoxButtonsLeftToRight_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("Yes No All") << int(TMsgButton::All | TMsgButton::No | TMsgButton::Yes)
                                << QStringList({u"&Ja"_s, u"&Nein"_s, u"&Alle"_s});
    QTest::newRow("all four") << int(TMsgButton::All | TMsgButton::OK | TMsgButton::No | TMsgButton::Yes)
                              << QStringList({u"&Ja"_s, u"&Nein"_s, u"OK"_s, u"&Alle"_s});
    QTest::newRow("OK") << int(TMsgButton::OK) << QStringList(u"OK"_s);
}

void TestOnXServer::messageBoxButtonsLeftToRight()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, captions);

    QStringList shown;
    QList<int> rows;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            qFatal("no message box shown");
        if (!QTest::qWaitForWindowExposed(box))
            qFatal("the message box did not appear");
        QList<QAbstractButton *> row = box->buttons();
        const auto screenX = [](const QAbstractButton *button) { return button->mapToGlobal(QPoint()).x(); };
        std::sort(row.begin(), row.end(), [&](auto *a, auto *b) { return screenX(a) < screenX(b); });
        for (const QAbstractButton *button : row) {
            shown << button->text();
            rows << button->mapToGlobal(QPoint()).y();
        }
        box->reject();
    });
    TQtStdDialogs().ShowMessageBox(u"Ordner zuweisen?"_s, TMsgKind::Confirmation, TMsgButtons(buttons));

    QCOMPARE(shown, captions);
    QCOMPARE(rows, QList<int>(rows.size(), rows.value(0)));
}

void TestOnXServer::captionsExactlyAsInSettings_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("mainCaption");
    QTest::addColumn<QString>("editCaption");
    QTest::newRow("keys missing") << "[GERMAN]\r\nCloseBtn=Schließen\r\n"_ba << QString() << QString();
    QTest::newRow("keys empty") << "[GERMAN]\r\nMainWinTitle=\r\nEditWinTitle=\r\n"_ba << QString() << QString();
    QTest::newRow("no language section") << QByteArray() << QString() << QString();
    QTest::newRow("captions given")
        << "\xEF\xBB\xBF[GERMAN]\r\nMainWinTitle=Firebird-Konfiguration\r\nEditWinTitle=Parameter ändern\r\n"_ba
        << u"Firebird-Konfiguration"_s << u"Parameter ändern"_s;
}

// The toolkit shows the program's name in place of an empty title; the window manager must get
// the caption the settings file gives, an empty one included, also when a window is shown again.
void TestOnXServer::captionsExactlyAsInSettings()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, mainCaption);
    QFETCH(QString, editCaption);

    TWindowFixture fixture;
    fixture.WriteSettings(settings);
    TParvexDlg &window = fixture.Open(std::nullopt);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    VerifyNativeCaption(window, mainCaption);
    window.hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    VerifyNativeCaption(window, mainCaption);

    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(u"Tessaro.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();
    const TSettingsFile reader(path);
    TParvexItemEditDlg dialog(&window);
    dialog.LoadTexts(reader, u"GERMAN"_s);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    VerifyNativeCaption(dialog, editCaption);
}

QTEST_MAIN(TestOnXServer)
#include "tst_OnXServer.moc"
