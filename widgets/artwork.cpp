#include "widgets/artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

// The window pictures are opaque (like 24-bit bitmaps); the splash and the icon
// need a see-through ground. Sizes are in the window's pixels; on a scaled
// screen the pictures are drawn with as many device pixels as it has, so they
// stay sharp.
QImage canvas(int w, int h, bool opaque)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QImage img(qCeil(w * ratio), qCeil(h * ratio),
               opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(opaque ? Qt::white : Qt::transparent);
    return img;
}

void smooth(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A font of the given pixel size, made smaller until `text` fits into `width`.
QFont fittedFont(const QString &text, int pixelSize, qreal width, QFont::Weight weight)
{
    QFont f;
    f.setStyleHint(QFont::SansSerif);
    f.setWeight(weight);
    for (int px = pixelSize; px > 6; --px) {
        f.setPixelSize(px);
        if (QFontMetricsF(f).horizontalAdvance(text) <= width)
            break;
    }
    return f;
}

QPointF onCircle(const QPointF &c, qreal r, qreal degrees)
{
    const qreal a = qDegreesToRadians(degrees);
    return {c.x() + r * qCos(a), c.y() - r * qSin(a)};
}

// A red arc running clockwise over the top of the picture, ending in a head
// that points right and a little down.
void drawClockwiseArrow(QPainter &p, const QSizeF &size)
{
    const QPointF c(size.width() / 2.0, size.height() / 2.0 + 4);
    const qreal r = size.width() * 0.30;
    const qreal startDeg = 200, endDeg = 28; // Qt degrees, counter-clockwise from 3 o'clock

    QPainterPath arc;
    arc.moveTo(onCircle(c, r, startDeg));
    arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), startDeg, endDeg - startDeg);

    const QColor dark(150, 0, 0), bright(235, 30, 30);

    // A soft shadow under the arrow keeps it readable on the white ground.
    p.save();
    p.translate(1.2, 1.6);
    p.setPen(QPen(QColor(0, 0, 0, 45), 8.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arc);
    p.restore();

    QLinearGradient g(0, c.y() - r, 0, c.y() + r);
    g.setColorAt(0, bright);
    g.setColorAt(1, dark);
    p.setPen(QPen(QBrush(g), 7.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arc);

    // Arrow head along the clockwise tangent at the end of the arc.
    const QPointF end = onCircle(c, r, endDeg);
    const qreal a = qDegreesToRadians(endDeg);
    const QPointF dir(qSin(a), qCos(a));   // clockwise tangent in screen coordinates
    const QPointF normal(-dir.y(), dir.x());
    const qreal len = 15, half = 10;
    const QPointF tip = end + dir * (len * 0.75);
    const QPointF base = end - dir * (len * 0.25);
    QPolygonF head;
    head << tip << base + normal * half << base - normal * half;

    p.setPen(QPen(dark, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient hg(base, tip);
    hg.setColorAt(0, bright);
    hg.setColorAt(1, dark);
    p.setBrush(hg);
    p.drawPolygon(head);

    // A thin highlight along the top of the arc.
    QPainterPath shine;
    const qreal rs = r + 1.6;
    shine.moveTo(onCircle(c, rs, 160));
    shine.arcTo(QRectF(c.x() - rs, c.y() - rs, 2 * rs, 2 * rs), 160, -110);
    p.setPen(QPen(QColor(255, 190, 190, 170), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shine);
}

QPixmap curvedArrow(int w, int h, bool pointRight)
{
    QImage img = canvas(w, h, true);
    {
        QPainter p(&img);
        smooth(p);
        if (!pointRight) {
            p.translate(w, 0);
            p.scale(-1, 1);
        }
        drawClockwiseArrow(p, QSizeF(w, h));
    }
    return QPixmap::fromImage(img);
}

QPolygonF octagon(const QPointF &c, qreal r)
{
    QPolygonF poly;
    for (int k = 0; k < 8; ++k)
        poly << onCircle(c, r, 22.5 + 45.0 * k);
    return poly;
}

// Radio waves: `count` concentric arcs opening towards `degrees`.
void drawWaves(QPainter &p, const QPointF &c, qreal r0, qreal step, int count, qreal degrees,
               qreal span, const QColor &color, qreal width)
{
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < count; ++k) {
        QColor col = color;
        col.setAlphaF(color.alphaF() * (1.0 - 0.75 * k / count));
        p.setPen(QPen(col, width, Qt::SolidLine, Qt::RoundCap));
        const qreal r = r0 + step * k;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int((degrees - span / 2) * 16),
                  int(span * 16));
    }
}

// A tag card with its chip and antenna coil, centred on `c`.
void drawTagCard(QPainter &p, const QPointF &c, qreal w, qreal h, qreal angle, const QColor &card,
                 const QColor &ink)
{
    p.save();
    p.translate(c);
    p.rotate(angle);
    const QRectF body(-w / 2, -h / 2, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(body.translated(w * 0.03, h * 0.06), h * 0.14, h * 0.14);
    p.setBrush(card);
    p.drawRoundedRect(body, h * 0.14, h * 0.14);

    // Antenna coil: a few nested rounded rectangles.
    p.setBrush(Qt::NoBrush);
    QColor coil = ink;
    coil.setAlpha(150);
    p.setPen(QPen(coil, qMax<qreal>(0.8, h * 0.035)));
    for (int k = 0; k < 3; ++k) {
        const qreal in = h * (0.12 + 0.075 * k);
        p.drawRoundedRect(body.adjusted(in, in, -in, -in), h * 0.08, h * 0.08);
    }
    // Chip.
    const qreal s = h * 0.26;
    const QRectF chip(-s / 2, -s / 2, s, s);
    p.setPen(QPen(ink.darker(130), qMax<qreal>(0.6, h * 0.02)));
    QLinearGradient cg(chip.topLeft(), chip.bottomRight());
    cg.setColorAt(0, QColor(250, 205, 90));
    cg.setColorAt(1, QColor(200, 140, 30));
    p.setBrush(cg);
    p.drawRoundedRect(chip, s * 0.15, s * 0.15);
    p.restore();
}

} // namespace

namespace artwork {

QPixmap rightArrow()
{
    return curvedArrow(60, 60, true);
}

QPixmap leftArrow()
{
    return curvedArrow(60, 59, false);
}

QPixmap stopSign()
{
    QImage img = canvas(60, 60, true);
    {
        QPainter p(&img);
        smooth(p);
        const QPointF c(30, 30);

        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 40));
        p.drawPolygon(octagon(c + QPointF(0.8, 1.2), 28.5));

        p.setBrush(QColor(120, 0, 0));
        p.drawPolygon(octagon(c, 28.5));
        p.setBrush(Qt::white);
        p.drawPolygon(octagon(c, 27));

        QRadialGradient g(c + QPointF(-6, -8), 34);
        g.setColorAt(0, QColor(240, 45, 40));
        g.setColorAt(1, QColor(170, 0, 0));
        p.setBrush(g);
        p.drawPolygon(octagon(c, 24.5));

        const QString text = QStringLiteral("STOP");
        QFont f = fittedFont(text, 16, 38, QFont::Black);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 60, 60).translated(0, 0.5), Qt::AlignCenter, text);
    }
    return QPixmap::fromImage(img);
}

QPixmap mixerTruck()
{
    QImage img = canvas(94, 100, true);
    {
        QPainter p(&img);
        smooth(p);
        const QColor outline(70, 72, 76);
        const qreal cx = 47;

        // Ground shadow.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 35));
        p.drawEllipse(QRectF(6, 92, 82, 7));

        // The mixer drum rising behind the cab: a barrel with its helical fins.
        const QRectF drum(cx - 38, 3, 76, 58);
        QLinearGradient dg(drum.left(), 0, drum.right(), 0);
        dg.setColorAt(0, QColor(118, 121, 126));
        dg.setColorAt(0.3, QColor(222, 224, 227));
        dg.setColorAt(0.55, QColor(196, 199, 203));
        dg.setColorAt(1, QColor(112, 115, 120));
        QPainterPath drumPath;
        drumPath.addRoundedRect(drum, 30, 26);
        p.setPen(QPen(outline, 1.3));
        p.setBrush(dg);
        p.drawPath(drumPath);
        p.save();
        p.setClipPath(drumPath);
        for (int k = -1; k < 5; ++k) {
            const qreal y = drum.top() + 6 + 14.0 * k;
            QPainterPath fin;
            fin.moveTo(drum.left() - 2, y + 16);
            fin.cubicTo(drum.left() + 22, y + 24, drum.right() - 26, y - 6, drum.right() + 2, y + 2);
            p.setPen(QPen(QColor(88, 91, 96, 200), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawPath(fin);
            p.setPen(QPen(QColor(255, 255, 255, 120), 1.0, Qt::SolidLine, Qt::RoundCap));
            p.drawPath(fin.translated(0, 2));
        }
        p.restore();
        // The rim of the drum's closed end.
        p.setPen(QPen(QColor(95, 98, 103), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(drum.adjusted(3, 3, -3, -3), 27, 23);

        // Wheels, just visible under the cab.
        p.setPen(QPen(QColor(30, 30, 32), 1));
        p.setBrush(QColor(52, 54, 58));
        p.drawRoundedRect(QRectF(9, 74, 16, 22), 4, 4);
        p.drawRoundedRect(QRectF(69, 74, 16, 22), 4, 4);
        p.setPen(QPen(QColor(90, 92, 96), 1));
        for (qreal y = 78; y < 94; y += 3.5) {
            p.drawLine(QPointF(11, y), QPointF(23, y));
            p.drawLine(QPointF(71, y), QPointF(83, y));
        }

        // Mirrors on their arms.
        p.setPen(QPen(outline, 1.4));
        p.drawLine(QPointF(13, 50), QPointF(6, 47));
        p.drawLine(QPointF(81, 50), QPointF(88, 47));
        p.setBrush(QColor(95, 98, 104));
        p.drawRoundedRect(QRectF(2, 40, 6, 14), 2, 2);
        p.drawRoundedRect(QRectF(86, 40, 6, 14), 2, 2);

        // Cab.
        const QRectF cab(12, 42, 70, 46);
        QLinearGradient cg(cab.topLeft(), cab.topRight());
        cg.setColorAt(0, QColor(150, 153, 158));
        cg.setColorAt(0.35, QColor(206, 208, 212));
        cg.setColorAt(1, QColor(140, 143, 148));
        p.setPen(QPen(outline, 1.3));
        p.setBrush(cg);
        QPainterPath cabPath;
        cabPath.moveTo(cab.left() + 4, cab.bottom());
        cabPath.lineTo(cab.left() + 1, cab.top() + 10);
        cabPath.quadTo(cab.left() + 2, cab.top(), cab.left() + 12, cab.top());
        cabPath.lineTo(cab.right() - 12, cab.top());
        cabPath.quadTo(cab.right() - 2, cab.top(), cab.right() - 1, cab.top() + 10);
        cabPath.lineTo(cab.right() - 4, cab.bottom());
        cabPath.closeSubpath();
        p.drawPath(cabPath);

        // Windscreen in two panes.
        QLinearGradient wg(0, 46, 0, 62);
        wg.setColorAt(0, QColor(96, 100, 108));
        wg.setColorAt(1, QColor(150, 155, 163));
        p.setBrush(wg);
        p.setPen(QPen(QColor(55, 57, 61), 1));
        p.drawRoundedRect(QRectF(17, 46, 29, 16), 3, 3);
        p.drawRoundedRect(QRectF(48, 46, 29, 16), 3, 3);
        p.setPen(QPen(QColor(255, 255, 255, 110), 1.2));
        p.drawLine(QPointF(21, 58), QPointF(29, 49));
        p.drawLine(QPointF(52, 58), QPointF(60, 49));

        // Grille.
        p.setPen(QPen(QColor(60, 62, 66), 1));
        p.setBrush(QColor(88, 91, 96));
        p.drawRoundedRect(QRectF(33, 66, 28, 13), 2, 2);
        p.setPen(QPen(QColor(150, 153, 158), 1));
        for (qreal y = 69; y < 78; y += 3)
            p.drawLine(QPointF(35, y), QPointF(59, y));

        // Headlights.
        QRadialGradient hl(QPointF(0, 0), 5);
        hl.setColorAt(0, Qt::white);
        hl.setColorAt(1, QColor(185, 188, 192));
        p.setPen(QPen(outline, 1));
        for (qreal x : {22.0, 72.0}) {
            p.save();
            p.translate(x, 72.5);
            p.setBrush(hl);
            p.drawEllipse(QRectF(-5, -4.5, 10, 9));
            p.restore();
        }

        // Bumper.
        QLinearGradient bg(0, 82, 0, 90);
        bg.setColorAt(0, QColor(120, 123, 128));
        bg.setColorAt(1, QColor(70, 72, 76));
        p.setBrush(bg);
        p.setPen(QPen(QColor(50, 52, 55), 1));
        p.drawRoundedRect(QRectF(10, 82, 74, 8), 2.5, 2.5);
    }
    return QPixmap::fromImage(img);
}

QPixmap splash()
{
    const int W = 470, H = 170;
    QImage img = canvas(W, H, false);
    {
        QPainter p(&img);
        smooth(p);

        const QRectF panel(6, 4, W - 12, H - 12);
        const qreal radius = 18;

        // Soft shadow around the panel.
        p.setPen(Qt::NoPen);
        for (int k = 6; k >= 1; --k) {
            p.setBrush(QColor(0, 0, 0, 9));
            p.drawRoundedRect(panel.adjusted(-k * 0.6, -k * 0.2, k * 0.6, k * 0.9 + 1), radius + k * 0.5,
                              radius + k * 0.5);
        }

        QPainterPath shape;
        shape.addRoundedRect(panel, radius, radius);

        QLinearGradient bg(panel.topLeft(), panel.bottomRight());
        bg.setColorAt(0, QColor(16, 54, 110));
        bg.setColorAt(0.55, QColor(18, 92, 150));
        bg.setColorAt(1, QColor(10, 130, 150));
        p.fillPath(shape, bg);

        p.save();
        p.setClipPath(shape);

        // Large faint waves spreading from the reader over the whole panel.
        const QPointF reader(panel.left() + 64, panel.center().y() + 4);
        drawWaves(p, reader, 60, 26, 9, 0, 70, QColor(255, 255, 255, 40), 2.0);

        // A light band across the top gives the panel some depth.
        QLinearGradient gloss(0, panel.top(), 0, panel.top() + 70);
        gloss.setColorAt(0, QColor(255, 255, 255, 46));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(panel.left(), panel.top(), panel.width(), 70), gloss);

        // Accent line along the bottom.
        QLinearGradient accent(panel.left(), 0, panel.right(), 0);
        accent.setColorAt(0, QColor(90, 220, 255, 0));
        accent.setColorAt(0.3, QColor(90, 220, 255, 200));
        accent.setColorAt(1, QColor(120, 255, 200, 200));
        p.fillRect(QRectF(panel.left(), panel.bottom() - 5, panel.width(), 5), accent);
        p.restore();

        // The reader: a mast with its antenna head sending waves to a tag.
        p.setPen(Qt::NoPen);
        QLinearGradient mast(reader.x() - 5, 0, reader.x() + 5, 0);
        mast.setColorAt(0, QColor(200, 220, 240));
        mast.setColorAt(1, QColor(140, 170, 205));
        p.setBrush(mast);
        p.drawRoundedRect(QRectF(reader.x() - 4, reader.y(), 8, 44), 3, 3);
        p.setBrush(QColor(230, 240, 250));
        p.drawRoundedRect(QRectF(reader.x() - 16, reader.y() + 40, 32, 8), 4, 4);
        QRadialGradient head(reader + QPointF(-3, -3), 14);
        head.setColorAt(0, Qt::white);
        head.setColorAt(1, QColor(120, 210, 255));
        p.setBrush(head);
        p.drawEllipse(reader, 9, 9);
        drawWaves(p, reader, 17, 10, 3, 0, 80, QColor(255, 255, 255, 230), 3.2);
        drawWaves(p, reader, 17, 10, 3, 180, 80, QColor(255, 255, 255, 120), 3.2);

        drawTagCard(p, QPointF(panel.left() + 64, panel.top() + 30), 40, 26, -10, QColor(245, 248, 252),
                    QColor(40, 90, 150));

        // The thin divider between the motif and the text.
        const qreal textLeft = panel.left() + 138;
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        p.drawLine(QPointF(textLeft - 14, panel.top() + 26), QPointF(textLeft - 14, panel.bottom() - 26));

        const qreal textWidth = panel.right() - 20 - textLeft;
        const QString name = QStringLiteral("RFID Service Tool");
        const QString subtitle = QStringLiteral("Сервисная программа для считывателей RFID");

        QFont title = fittedFont(name, 36, textWidth, QFont::Bold);
        QFont sub = fittedFont(subtitle, 14, textWidth, QFont::Normal);
        const QFontMetricsF tm(title), sm(sub);
        const qreal blockHeight = tm.height() + 10 + sm.height();
        const qreal top = panel.center().y() - blockHeight / 2 - 4;

        p.setFont(title);
        p.setPen(QColor(0, 0, 0, 70));
        p.drawText(QPointF(textLeft + 1.5, top + tm.ascent() + 2), name);
        p.setPen(Qt::white);
        p.drawText(QPointF(textLeft, top + tm.ascent()), name);

        // Underline in the accent colour, as long as the program name.
        const qreal ly = top + tm.height() + 3;
        QLinearGradient ul(textLeft, 0, textLeft + tm.horizontalAdvance(name), 0);
        ul.setColorAt(0, QColor(110, 230, 255, 220));
        ul.setColorAt(1, QColor(110, 230, 255, 0));
        p.fillRect(QRectF(textLeft, ly, tm.horizontalAdvance(name), 2), ul);

        p.setFont(sub);
        p.setPen(QColor(215, 235, 250));
        p.drawText(QPointF(textLeft, ly + 8 + sm.ascent()), subtitle);
    }
    return QPixmap::fromImage(img);
}

QPixmap appIcon()
{
    const int S = 64;
    QImage img = canvas(S, S, false);
    {
        QPainter p(&img);
        smooth(p);
        const QRectF box(2, 2, S - 4, S - 4);
        QPainterPath shape;
        shape.addRoundedRect(box, 13, 13);
        QLinearGradient bg(box.topLeft(), box.bottomRight());
        bg.setColorAt(0, QColor(22, 72, 140));
        bg.setColorAt(1, QColor(12, 140, 160));
        p.fillPath(shape, bg);

        p.save();
        p.setClipPath(shape);
        QLinearGradient gloss(0, box.top(), 0, box.top() + 28);
        gloss.setColorAt(0, QColor(255, 255, 255, 60));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(box.left(), box.top(), box.width(), 28), gloss);
        p.restore();

        // Waves from the upper right corner onto the tag.
        drawWaves(p, QPointF(52, 14), 9, 7.5, 3, 225, 80, QColor(255, 255, 255, 235), 3.0);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(52, 14), 4, 4);

        drawTagCard(p, QPointF(27, 40), 36, 24, -12, QColor(248, 250, 253), QColor(30, 80, 140));

        p.setPen(QPen(QColor(0, 0, 0, 60), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
    }
    return QPixmap::fromImage(img);
}

} // namespace artwork
