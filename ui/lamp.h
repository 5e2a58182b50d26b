#pragma once
// The exchange lamp: a filled circle whose colour the exchange cycle changes
// to show that requests go out and replies come back.
#include <QColor>
#include <QWidget>

class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

public:
    explicit Lamp(QWidget *parent = nullptr);

    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor &color);

    QSize sizeHint() const override { return {37, 33}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_{255, 255, 0};
};
