// The standard dialogs: message box captions, order, default and escape buttons, result codes;
// the error box's full stop; the folder picker's results.

#include "ScriptedDialogs.h"
#include "app/stddialogs/QtStdDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs `act` on the message box as soon as it is shown.
void WhenMessageBoxShown(std::function<void(QMessageBox *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            qFatal("no message box shown");
        act(box);
    });
}

// The box's button captions from left to right.
QStringList CaptionsLeftToRight(QMessageBox *box)
{
    QList<QAbstractButton *> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton *a, QAbstractButton *b) { return a->x() < b->x(); });
    QStringList captions;
    for (QAbstractButton *button : buttons)
        captions << button->text();
    return captions;
}

QAbstractButton *ButtonCaptioned(QMessageBox *box, const QString &caption)
{
    for (QAbstractButton *button : box->buttons())
        if (button->text() == caption)
            return button;
    return nullptr;
}

} // namespace

class TestStdDialogs : public QObject {
    Q_OBJECT

private slots:
    void errorBoxText_data();
    void errorBoxText();
    void messageBoxForm_data();
    void messageBoxForm();
    void messageBoxAnswers_data();
    void messageBoxAnswers();
    void errorBoxTitledWithProgramName();
    void folderPickerClearsDirectory();
    void browserGivesFolderWithoutTrailingSeparator();
    void browserConfirmsOnlyAChosenFolder_data();
    void browserConfirmsOnlyAChosenFolder();
};

void TestStdDialogs::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ends in a letter") << u"Stream-Schreibfehler"_s << u"Stream-Schreibfehler."_s;
    QTest::newRow("ends in a full stop") << u"Fertig."_s << u"Fertig."_s;
    QTest::newRow("ends in a bracket") << u"Fehler (3)"_s << u"Fehler (3)"_s;
    QTest::newRow("ends in a slash") << u"Ordner /tmp/"_s << u"Ordner /tmp/."_s;
    QTest::newRow("ends in a digit") << u"Bereich (3"_s << u"Bereich (3."_s;
    QTest::newRow("ends in an umlaut") << u"Größe"_s << u"Größe."_s;
}

void TestStdDialogs::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
}

void TestStdDialogs::messageBoxForm_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("defaultCaption");
    QTest::newRow("information, OK") << int(TMsgKind::Information) << int(TMsgButton::OK) << u"Informationen"_s
                                     << QStringList(u"OK"_s) << u"OK"_s;
    QTest::newRow("confirmation, Yes No All")
        << int(TMsgKind::Confirmation) << int(TMsgButton::All | TMsgButton::No | TMsgButton::Yes) << u"Bestätigen"_s
        << QStringList({u"&Ja"_s, u"&Nein"_s, u"&Alle"_s}) << u"&Ja"_s;
    QTest::newRow("OK wins the default") << int(TMsgKind::Confirmation)
                                         << int(TMsgButton::All | TMsgButton::OK | TMsgButton::Yes) << u"Bestätigen"_s
                                         << QStringList({u"&Ja"_s, u"OK"_s, u"&Alle"_s}) << u"OK"_s;
}

void TestStdDialogs::messageBoxForm()
{
    QFETCH(int, kind);
    QFETCH(int, buttons);
    QFETCH(QString, title);
    QFETCH(QStringList, captions);
    QFETCH(QString, defaultCaption);

    QString shownTitle, shownText, shownDefault;
    QStringList shownCaptions;
    WhenMessageBoxShown([&](QMessageBox *box) {
        shownTitle = box->windowTitle();
        shownText = box->text();
        shownCaptions = CaptionsLeftToRight(box);
        shownDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
        box->defaultButton()->click();
    });
    TQtStdDialogs dialogs;
    dialogs.ShowMessageBox(u"Zeile eins\nZeile <b>zwei</b>"_s, TMsgKind(kind), TMsgButtons(buttons));

    QCOMPARE(shownTitle, title);
    QCOMPARE(shownText, u"Zeile eins\nZeile <b>zwei</b>"_s);
    QCOMPARE(shownCaptions, captions);
    QCOMPARE(shownDefault, defaultCaption);
}

void TestStdDialogs::messageBoxAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    const int yesNoAll = int(TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
    QTest::newRow("Yes") << yesNoAll << u"&Ja"_s << mrYes;
    QTest::newRow("No") << yesNoAll << u"&Nein"_s << mrNo;
    QTest::newRow("All") << yesNoAll << u"&Alle"_s << mrAll;
    QTest::newRow("Escape presses No") << yesNoAll << u"Escape"_s << mrNo;
    QTest::newRow("Enter presses Yes") << yesNoAll << u"Enter"_s << mrYes;
    QTest::newRow("close box") << yesNoAll << u"close"_s << mrCancel;
    QTest::newRow("OK") << int(TMsgButton::OK) << u"OK"_s << mrOk;
    QTest::newRow("Escape presses OK") << int(TMsgButton::OK) << u"Escape"_s << mrOk;
    QTest::newRow("OK box closed") << int(TMsgButton::OK) << u"close"_s << mrCancel;
}

void TestStdDialogs::messageBoxAnswers()
{
    QFETCH(int, buttons);
    QFETCH(QString, action);
    QFETCH(int, result);

    WhenMessageBoxShown([action](QMessageBox *box) {
        if (action == u"Escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (action == u"Enter")
            QTest::keyClick(box, Qt::Key_Return);
        else if (action == u"close")
            box->close();
        else
            ButtonCaptioned(box, action)->click();
    });
    TQtStdDialogs dialogs;
    QCOMPARE(dialogs.ShowMessageBox(u"?"_s, TMsgKind::Confirmation, TMsgButtons(buttons)), result);
}

void TestStdDialogs::errorBoxTitledWithProgramName()
{
    QString title, text;
    int buttonCount = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenMessageBoxShown([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttonCount = int(box->buttons().size());
        box->buttons().constFirst()->click();
    });
    TQtStdDialogs().ShowErrorBox(u"Stream-Schreibfehler."_s);

    // This test program is named tst_StdDialogs: the first letter as it is, the rest lower case.
    QCOMPARE(ProgramName(), u"tst_stddialogs"_s);
    QCOMPARE(title, ProgramName());
    QCOMPARE(text, u"Stream-Schreibfehler."_s);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttonCount, 1);
}

void TestStdDialogs::folderPickerClearsDirectory()
{
    TScriptedDialogs dialogs;
    TFolderPicker picker(dialogs);
    picker.Title = u"Ordner wählen"_s;
    dialogs.FolderAnswers = {u"/srv/db"_s, std::nullopt};

    QVERIFY(picker.Execute());
    QCOMPARE(picker.Directory, u"/srv/db"_s);
    QVERIFY(!picker.Execute());
    QCOMPARE(picker.Directory, QString());
    QCOMPARE(dialogs.FolderTitles, QStringList({u"Ordner wählen"_s, u"Ordner wählen"_s}));
}

void TestStdDialogs::browserGivesFolderWithoutTrailingSeparator()
{
    QTemporaryDir folder;
    // The user types the folder into the name field and confirms.
    const auto pick = [](const QString &directory, bool confirm, QString *caption, QString *startedAt) {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                qFatal("no folder browser shown");
            *caption = dialog->windowTitle();
            *startedAt = dialog->directory().absolutePath();
            dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(directory);
            QMetaObject::invokeMethod(dialog, confirm ? "accept" : "reject");
        });
        return TQtStdDialogs().BrowseForFolder(u"Datenbank-Ordner"_s);
    };

    QString caption, startedAt;
    // The folder comes back as the system writes it.
    QCOMPARE(pick(folder.path(), true, &caption, &startedAt),
             std::optional<QString>(QDir::toNativeSeparators(folder.path())));
    QCOMPARE(caption, u"Datenbank-Ordner"_s);
    QCOMPARE(pick(QDir::rootPath(), true, &caption, &startedAt),
             std::optional<QString>(QDir::toNativeSeparators(QDir::rootPath())));
    // Nothing from the earlier pick: the browser starts at the root again.
    QCOMPARE(startedAt, QDir::rootPath());
    QCOMPARE(pick(folder.path(), false, &caption, &startedAt), std::nullopt);
}

// The browser opens at the root with nothing selected; confirming that would hand back a folder
// nobody chose. Each row is one way of choosing, after which confirming works.
void TestStdDialogs::browserConfirmsOnlyAChosenFolder_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("typed") << u"typed"_s;
    QTest::newRow("gone into") << u"entered"_s;
    QTest::newRow("selected") << u"selected"_s;
}

void TestStdDialogs::browserConfirmsOnlyAChosenFolder()
{
    QFETCH(QString, how);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(u"db"_s));
    const QString chosen = folder.path() + u"/db"_s;

    bool enabledAtFirst = true, openAfterFirstConfirm = false, enabledWhenChosen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("no folder browser shown");
        QPushButton *confirm = dialog->findChild<QDialogButtonBox *>(u"buttonBox"_s)->button(QDialogButtonBox::Open);
        enabledAtFirst = confirm->isEnabled();
        QMetaObject::invokeMethod(dialog, "accept");
        // Enter in the empty name field confirms too, or would.
        QTest::keyClick(dialog->findChild<QLineEdit *>(u"fileNameEdit"_s), Qt::Key_Return);
        openAfterFirstConfirm = dialog->isVisible();
        if (how == u"typed"_s) {
            dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(chosen);
        } else if (how == u"entered"_s) {
            emit dialog->directoryEntered(chosen);
            dialog->setDirectory(chosen);
        } else {
            dialog->setDirectory(folder.path());
            emit dialog->currentChanged(chosen);
            dialog->selectFile(u"db"_s);
        }
        enabledWhenChosen = confirm->isEnabled();
        QMetaObject::invokeMethod(dialog, "accept");
        if (dialog->isVisible())
            dialog->reject();
    });
    const std::optional<QString> result = TQtStdDialogs().BrowseForFolder(u"Datenbank-Ordner"_s);

    QVERIFY(!enabledAtFirst);
    QVERIFY(openAfterFirstConfirm);
    QVERIFY(enabledWhenChosen);
    QCOMPARE(result, std::optional<QString>(QDir::toNativeSeparators(chosen)));
}

QTEST_MAIN(TestStdDialogs)
#include "tst_StdDialogs.moc"
