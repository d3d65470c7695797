#include "app/ProgramStart.h"
#include "app/ktParvex.h"
#include "app/platform/Platform.h"
#include "app/state/SettingsFilePath.h"
#include "app/stddialogs/QtStdDialogs.h"
#include "config/ServerDiscovery.h"
#include "text/Errors.h"

#include <QApplication>
#include <QTranslator>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTranslator qtTexts;
    SetUpProgram(qtTexts);

    TQtStdDialogs dialogs;
    std::unique_ptr<TParvexDlg> window;
    try {
        window = std::make_unique<TParvexDlg>(dialogs, SettingsFilePath(ProgramFolder()), FindDefaultInstance);
    } catch (const ETessaroError &error) {
        // Without a readable settings file there is no window to show the failure in.
        dialogs.ShowErrorBox(ErrorBoxText(error.Message()));
        return 1;
    }
    window->show();
    return application.exec();
}
