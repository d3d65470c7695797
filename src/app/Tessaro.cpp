#include "app/ktParvex.h"
#include "app/platform/Platform.h"
#include "app/state/SettingsFilePath.h"
#include "app/stddialogs/QtStdDialogs.h"
#include "config/ServerDiscovery.h"
#include "text/Errors.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8));
    // Qt's own dialogs (the folder picker) speak the program's language where Qt's translations
    // are installed; without them they stay English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

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
