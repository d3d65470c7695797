#include "app/ProgramStart.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QFont ProgramFont()
{
    return QFont(QStringLiteral("Tahoma"), 8);
}

void SetUpProgram(QTranslator &qtTexts)
{
    QApplication::setFont(ProgramFont());
    if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
}
