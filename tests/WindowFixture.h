#pragma once

#include "ScriptedDialogs.h"
#include "app/ktParvex.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// A server folder, a settings file and a main window on them, with scripted dialogs.
class TWindowFixture {
public:
    TWindowFixture();

    // Writes `bytes` to `name` inside the server folder (or a sub-folder path).
    QString WriteServerFile(const QString &name, const QByteArray &bytes);
    QByteArray ReadServerFile(const QString &name) const;
    QString ServerFolder() const { return FServer.path(); }
    // The folder of the "program", which holds the settings file.
    QString ProgramFolder() const { return FProgram.path(); }
    // Writes the settings file beside the "program".
    void WriteSettings(const QByteArray &bytes);

    // Opens the window; `serverFolder` is what the server lookup finds (nullopt: nothing).
    TParvexDlg &Open(std::optional<QString> serverFolder);
    TParvexDlg &Window() { return *FWindow; }
    // Closes and releases the window, as at the end of the program.
    void EndProgram();
    QByteArray ReadSettings() const;
    // The raw text of main page `page` (TParvexDlg::AliasPage or ConfigPage) as a user sees it:
    // that page and its file tab are brought to the front first, as the user must.
    QString ShownRawText(int page);

    template <class T>
    T *Control(const char *name) const
    {
        return FWindow->findChild<T *>(QLatin1String(name));
    }

    TScriptedDialogs Dialogs;
    // What the window learns of the running server when it saves firebird.conf: none runs, unless
    // a test says otherwise.
    TServerRestart Restart;

private:
    QTemporaryDir FServer;
    QTemporaryDir FProgram;
    std::unique_ptr<TParvexDlg> FWindow;
};

// Answers the next edit dialog: types `value` and presses OK, or presses Cancel.
void AnswerEditDialog(const QString &value, bool pressOk = true);

// Bytes of a text whose lines each end in CR LF.
QByteArray CrLfLines(const QStringList &lines);
