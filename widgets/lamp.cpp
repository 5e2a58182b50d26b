#include "widgets/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent) : QWidget(parent) {}

void Lamp::setFillColor(const QColor &color)
{
    if (color == fill_)
        return;
    fill_ = color;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The pen straddles the outline, so keep half a pixel inside the widget.
    const qreal d = qMin(width(), height()) - 1.0;
    const QRectF circle((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(fill_);
    p.drawEllipse(circle);
}
