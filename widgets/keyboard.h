#pragma once
// The keyboard a technician expects of a desktop tool, added to a window
// whose controls are built elsewhere.
#include <QChar>

class QWidget;

// Enter presses the focused push button of `window`, as Space does; the Alt
// shortcuts of its buttons also answer to the key at the same place on a
// Latin layout (Alt+G for "&Поиск считывателя"); Alt+О / Alt+J opens the port
// (BTNOpenCom) and Alt+З / Alt+P closes it (BTNCloseCom).
void installKeyboard(QWidget *window);

// Only the Enter rule, for the program's other windows.
void enterPressesButtons(QWidget *window);

// The letter on the key that carries `cyrillic` in the Russian ЙЦУКЕН layout
// on the Latin QWERTY layout (upper case: П gives G); a null QChar when the
// key carries no letter there or `cyrillic` is no Russian letter.
QChar latinKeyAt(QChar cyrillic);
