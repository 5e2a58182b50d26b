#pragma once
// A push button whose caption wraps onto several lines, as the window's
// narrow command buttons ("Изменить &сетевой адрес") need. The caption stays
// the button's text, accelerator included.
#include <QPushButton>

class WrapButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};
