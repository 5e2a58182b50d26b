#pragma once
// Qt's own texts (the file dialog, the standard buttons, a text box's context
// menu) in Russian, like every other text of the program, whatever language
// the system speaks.
class QTranslator;

// Installs Qt's Russian catalogue from the system's Qt translations into the
// application and returns it; nullptr when it is not installed (package
// qt6-translations-l10n).
QTranslator *installQtTranslations();
