#pragma once

#include <QFlags>
#include <QString>
#include <optional>

// The program's standard dialogs: message box, error box and folder browser. The main window
// reaches them only through this interface, so tests can answer them from a script.

enum class TMsgKind { Information, Confirmation };

enum class TMsgButton { Yes = 0x1, No = 0x2, OK = 0x4, All = 0x8 };
Q_DECLARE_FLAGS(TMsgButtons, TMsgButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgButtons)

// Results of a message box.
constexpr int mrOk = 1;
constexpr int mrCancel = 2; // closed without pressing a button
constexpr int mrYes = 6;
constexpr int mrNo = 7;
constexpr int mrAll = 12;

class TStdDialogs {
public:
    virtual ~TStdDialogs() = default;

    // Shows `text` as it stands, with the kind's title and icon and the buttons in the order
    // Yes, No, OK, All; gives the pressed button's result, or mrCancel when the box was closed.
    virtual int ShowMessageBox(const QString &text, TMsgKind kind, TMsgButtons buttons) = 0;

    // Shows a failure's text (already completed by ErrorBoxText) with an error icon and OK.
    virtual void ShowErrorBox(const QString &text) = 0;

    // Lets the user pick an existing folder, starting with nothing selected. Gives the folder
    // (a root folder keeps its separator, others have none), or nothing when cancelled.
    virtual std::optional<QString> BrowseForFolder(const QString &title) = 0;
};

// A failure's message as the error box shows it: with a full stop appended unless it is empty
// or already ends in a full stop or another character not above it.
QString ErrorBoxText(const QString &message);

// The folder picker the window keeps: `Title` follows the current page, `Directory` holds the
// folder of the last confirmed pick.
class TFolderPicker {
public:
    explicit TFolderPicker(TStdDialogs &dialogs)
        : FDialogs(dialogs)
    {}

    QString Title;
    QString Directory;

    // Clears `Directory`, shows the browser; true and `Directory` set when a folder was confirmed.
    bool Execute();

private:
    TStdDialogs &FDialogs;
};
