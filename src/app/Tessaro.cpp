#include "Platform.h"
#include "QtStdDialogs.h"
#include "SettingsFilePath.h"
#include "config/ServerDiscovery.h"
#include "ktParvex.h"
#include "text/Errors.h"

#include <QApplication>
#include <QFont>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8));

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
