#include "Platform.h"
#include "QtStdDialogs.h"
#include "config/ServerDiscovery.h"
#include "ktParvex.h"

#include <QApplication>
#include <QDir>
#include <QFont>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8));

    TQtStdDialogs dialogs;
    TParvexDlg window(dialogs, QDir(ProgramFolder()).filePath(QStringLiteral("Tessaro.ini")),
                      FindDefaultInstance);
    window.show();
    return application.exec();
}
