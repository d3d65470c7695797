#pragma once

#include <QFont>

class QTranslator;

// The font of every widget of the program, as its window was designed.
QFont ProgramFont();

// What the program sets up once its application object exists, before its window is made: the
// program's font, and Qt's own dialogs (the folder picker) in the program's language where Qt's
// translations are installed; without them they stay English. `qtTexts` stays installed: it must
// live as long as the application.
void SetUpProgram(QTranslator &qtTexts);
