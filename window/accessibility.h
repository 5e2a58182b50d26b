#pragma once
// Names for screen readers. Qt names an unlabelled control after its group
// box, so all five mode option buttons would be read as "Режимы
// считывателя" and every box of a frame by the frame's title; here each
// control that a technician operates or reads is named after what it is.
// Combo boxes and value labels get interfaces of their own, as Qt's read the
// value alone.
#include <QStringList>

class QWidget;

// Names the controls of the main window: an option button, a check box, a
// text box or a combo box after the caption beside it ("Сетевой Адрес"), a
// value label after its caption and its value ("ID метки: 012AB3C", as the
// value changes), the lamp and the level bar after what they show, the page
// list after what its pages are; controls that would still share a name get
// their frame's title added ("Установить (Параметры)"). Indicators (the
// contact "Контакт" of the slave sensor) are made read-only: they show what
// the device reports.
void nameControls(QWidget *window);

// The controls named above by their object names that `window` lacks: a
// control renamed or removed in the form would silently go unnamed.
QStringList missingNamedControls(const QWidget *window);
