#pragma once
// Qt's own texts (a text box's context menu, the standard buttons) in the
// language of the program's texts.
#include <QLocale>

class QTranslator;

// When `locale` is Russian, installs Qt's Russian catalogue from the
// system's Qt translations into the application and returns it; otherwise,
// or when the catalogue is not installed, nullptr.
QTranslator *installQtTranslations(const QLocale &locale = QLocale::system());
