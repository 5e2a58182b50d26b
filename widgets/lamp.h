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
    // Its colours: yellow as designed, a yellow a shade off once a port has
    // closed, white and grey by turns as requests go out, red on a reply.
    static inline const QColor Designed{255, 255, 0};
    static inline const QColor Closed{255, 255, 16};
    static inline const QColor White{0xFF, 0xFF, 0xFF};
    static inline const QColor Grey{0x80, 0x80, 0x80};
    static inline const QColor Red{0xFF, 0x00, 0x00};

    explicit Lamp(QWidget *parent = nullptr);

    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor &color);

    QSize sizeHint() const override { return {37, 33}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_ = Designed;
};
