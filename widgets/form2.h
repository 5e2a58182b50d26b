#pragma once
// The start-up splash: only its picture is seen (frameless, transparent ground).
#include <QWidget>

class QLabel;

class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

private:
    QLabel *Image1;
};
