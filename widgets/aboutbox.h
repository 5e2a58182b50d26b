#pragma once
// "О программе": name, version, Qt version, licence and the data the
// program keeps, opened with F1 in the main window.
#include <QString>

class QWidget;

// F1 in `window` opens the About box (one box, not modal: the exchange
// cycle goes on behind it).
void installAboutBox(QWidget *window);

// The box's text, as rich text.
QString aboutText();
