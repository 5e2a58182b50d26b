#pragma once
// Names for screen readers. Qt names an unlabelled control after its group
// box, so all five mode option buttons would be read as "Режимы
// считывателя" and every box of a frame by the frame's title; here each
// control that a technician operates or reads is named after what it is.
class QWidget;

// Names the controls of the main window: an option button, a check box or a
// text box after the caption beside it, the lamp and the level bar after what
// they show; controls that would still share a name get their frame's title
// added ("Установить (Параметры)").
void nameControls(QWidget *window);
