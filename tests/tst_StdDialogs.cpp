// The standard dialogs: message box captions, order, default and escape buttons, result codes;
// the error box's full stop; the folder picker's results.

#include "ScriptedDialogs.h"
#include "app/stddialogs/QtStdDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

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
    std::sort(buttons.begin(), buttons.end(),
              [](QAbstractButton *a, QAbstractButton *b) { return a->x() < b->x(); });
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
};

void TestStdDialogs::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ends in a letter") << u"Stream-Schreibfehler"_qs << u"Stream-Schreibfehler."_qs;
    QTest::newRow("ends in a full stop") << u"Fertig."_qs << u"Fertig."_qs;
    QTest::newRow("ends in a bracket") << u"Fehler (3)"_qs << u"Fehler (3)"_qs;
    QTest::newRow("ends in a slash") << u"Ordner /tmp/"_qs << u"Ordner /tmp/."_qs;
    QTest::newRow("ends in a digit") << u"Bereich (3"_qs << u"Bereich (3."_qs;
    QTest::newRow("ends in an umlaut") << u"Größe"_qs << u"Größe."_qs;
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
    QTest::newRow("information, OK") << int(TMsgKind::Information) << int(TMsgButton::OK)
                                     << u"Informationen"_qs << QStringList(u"OK"_qs) << u"OK"_qs;
    QTest::newRow("confirmation, Yes No All")
        << int(TMsgKind::Confirmation) << int(TMsgButton::All | TMsgButton::No | TMsgButton::Yes)
        << u"Bestätigen"_qs << QStringList({u"&Ja"_qs, u"&Nein"_qs, u"&Alle"_qs}) << u"&Ja"_qs;
    QTest::newRow("OK wins the default")
        << int(TMsgKind::Confirmation) << int(TMsgButton::All | TMsgButton::OK | TMsgButton::Yes)
        << u"Bestätigen"_qs << QStringList({u"&Ja"_qs, u"OK"_qs, u"&Alle"_qs}) << u"OK"_qs;
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
    dialogs.ShowMessageBox(u"Zeile eins\nZeile <b>zwei</b>"_qs, TMsgKind(kind), TMsgButtons(buttons));

    QCOMPARE(shownTitle, title);
    QCOMPARE(shownText, u"Zeile eins\nZeile <b>zwei</b>"_qs);
    QCOMPARE(shownCaptions, captions);
    QCOMPARE(shownDefault, defaultCaption);
}

void TestStdDialogs::messageBoxAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    const int yesNoAll = int(TMsgButton::Yes | TMsgButton::No | TMsgButton::All);
    QTest::newRow("Yes") << yesNoAll << u"&Ja"_qs << mrYes;
    QTest::newRow("No") << yesNoAll << u"&Nein"_qs << mrNo;
    QTest::newRow("All") << yesNoAll << u"&Alle"_qs << mrAll;
    QTest::newRow("Escape presses No") << yesNoAll << u"Escape"_qs << mrNo;
    QTest::newRow("Enter presses Yes") << yesNoAll << u"Enter"_qs << mrYes;
    QTest::newRow("close box") << yesNoAll << u"close"_qs << mrCancel;
    QTest::newRow("OK") << int(TMsgButton::OK) << u"OK"_qs << mrOk;
    QTest::newRow("Escape presses OK") << int(TMsgButton::OK) << u"Escape"_qs << mrOk;
    QTest::newRow("OK box closed") << int(TMsgButton::OK) << u"close"_qs << mrCancel;
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
    QCOMPARE(dialogs.ShowMessageBox(u"?"_qs, TMsgKind::Confirmation, TMsgButtons(buttons)), result);
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
    TQtStdDialogs().ShowErrorBox(u"Stream-Schreibfehler."_qs);

    // This test program is named tst_StdDialogs: the first letter as it is, the rest lower case.
    QCOMPARE(ProgramName(), u"tst_stddialogs"_qs);
    QCOMPARE(title, ProgramName());
    QCOMPARE(text, u"Stream-Schreibfehler."_qs);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttonCount, 1);
}

void TestStdDialogs::folderPickerClearsDirectory()
{
    TScriptedDialogs dialogs;
    TFolderPicker picker(dialogs);
    picker.Title = u"Ordner wählen"_qs;
    dialogs.FolderAnswers = {u"/srv/db"_qs, std::nullopt};

    QVERIFY(picker.Execute());
    QCOMPARE(picker.Directory, u"/srv/db"_qs);
    QVERIFY(!picker.Execute());
    QCOMPARE(picker.Directory, QString());
    QCOMPARE(dialogs.FolderTitles, QStringList({u"Ordner wählen"_qs, u"Ordner wählen"_qs}));
}

void TestStdDialogs::browserGivesFolderWithoutTrailingSeparator()
{
    QTemporaryDir folder;
    const auto pick = [](const QString &directory, bool confirm, QString *caption, QString *startedAt) {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                qFatal("no folder browser shown");
            *caption = dialog->windowTitle();
            *startedAt = dialog->directory().absolutePath();
            dialog->setDirectory(directory);
            QMetaObject::invokeMethod(dialog, confirm ? "accept" : "reject");
        });
        return TQtStdDialogs().BrowseForFolder(u"Datenbank-Ordner"_qs);
    };

    QString caption, startedAt;
    QCOMPARE(pick(folder.path(), true, &caption, &startedAt), std::optional<QString>(folder.path()));
    QCOMPARE(caption, u"Datenbank-Ordner"_qs);
    QCOMPARE(pick(QDir::rootPath(), true, &caption, &startedAt), std::optional<QString>(QDir::rootPath()));
    // Nothing from the earlier pick: the browser starts at the root again.
    QCOMPARE(startedAt, QDir::rootPath());
    QCOMPARE(pick(folder.path(), false, &caption, &startedAt), std::nullopt);
}

QTEST_MAIN(TestStdDialogs)
#include "tst_StdDialogs.moc"
