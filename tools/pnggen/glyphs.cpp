// The line glyphs, each on the 24 x 24 design grid of `Glyph`.
#include "pnggen.h"

#include <QPainterPathStroker>

#include <cmath>

namespace pnggen {
namespace glyph {

namespace {

QPointF polar(qreal cx, qreal cy, qreal r, qreal deg)
{
    const qreal a = deg * M_PI / 180;
    return QPointF(cx + r * std::cos(a), cy - r * std::sin(a));
}

// The outline of a stroke of `width` units along `path`.
QPainterPath stroked(const QPainterPath& path, qreal width)
{
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(Qt::RoundCap);
    s.setJoinStyle(Qt::RoundJoin);
    return s.createStroke(path);
}

QPainterPath segment(qreal x1, qreal y1, qreal x2, qreal y2)
{
    QPainterPath p(QPointF(x1, y1));
    p.lineTo(x2, y2);
    return p;
}

// A screen with its stand; the screen's rectangle is returned.
QRectF monitor(Glyph& g, qreal top = 3, qreal height = 13.5)
{
    const QRectF screen(2.5, top, 19, height);
    g.rect(screen.x(), screen.y(), screen.width(), screen.height(), 2);
    const qreal foot = screen.bottom();
    g.line(12, foot, 12, foot + 3.5);
    g.line(8, foot + 3.8, 16, foot + 3.8);
    return screen;
}

// Everything drawn afterwards is rotated by `deg` about the grid's centre.
void turn(Glyph& g, qreal deg)
{
    g.p().translate(12, 12);
    g.p().rotate(deg);
    g.p().translate(-12, -12);
}

} // namespace

void monitorInfo(Glyph& g)
{
    monitor(g);
    g.circle(12, 6.7, 1.25, true);
    g.p().setPen(g.pen(g.stroke() * 1.2));
    g.line(12, 9.6, 12, 13.2);
}

void sourceSwitch(Glyph& g)
{
    g.arrow(4.5, 5, 19.5, 5, 3.4);
    g.arrow(19.5, 10, 4.5, 10, 3.4);
    g.polygon({{3.5, 14}, {20.5, 14}, {20.5, 17.6}, {17.2, 21}, {6.8, 21}, {3.5, 17.6}});
    g.line(8, 17.5, 16, 17.5);
}

void userModes(Glyph& g)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3 + i * 6.6;
        g.rect(3.5, y, 17, 4.9, 1.5);
        g.circle(7.2, y + 2.45, 1.0, true);
        g.line(10.2, y + 2.45, 17, y + 2.45);
    }
}

void gear(Glyph& g, qreal cx, qreal cy, qreal r, bool hub)
{
    const qreal inner = r * 0.74;
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * 45;
        const QPointF pts[] = {polar(cx, cy, inner, a - 15), polar(cx, cy, r, a - 9), polar(cx, cy, r, a + 9),
                               polar(cx, cy, inner, a + 15)};
        if (i == 0)
            path.moveTo(pts[0]);
        else
            path.lineTo(pts[0]);
        for (int k = 1; k < 4; ++k)
            path.lineTo(pts[k]);
    }
    path.closeSubpath();
    g.path(path);
    if (hub)
        g.circle(cx, cy, r * 0.32);
}

void screenOff(Glyph& g, bool off)
{
    const QRectF screen = monitor(g, 3.5, 12.5);
    if (!off) {
        QColor glow = g.color();
        glow.setAlpha(80);
        g.p().save();
        g.p().setPen(Qt::NoPen);
        g.p().setBrush(glow);
        g.p().drawRoundedRect(screen.adjusted(2, 2, -2, -2), 1, 1);
        g.p().restore();
        return;
    }
    g.erase(stroked(segment(4, 2, 20, 18), g.units(5)));
    g.line(4, 2, 20, 18);
}

void speaker(Glyph& g, bool sound)
{
    g.polygon({{3, 9}, {7, 9}, {12, 4.5}, {12, 19.5}, {7, 15}, {3, 15}});
    if (sound) {
        g.arc(12.5, 12, 4, -45, 90);
        g.arc(12.5, 12, 7.8, -45, 90);
    } else {
        g.line(15.5, 9, 21, 14.5);
        g.line(21, 9, 15.5, 14.5);
    }
}

void drawerCall(Glyph& g)
{
    g.polyline({{3.5, 13}, {3.5, 20}, {20.5, 20}, {20.5, 13}});
    g.arrow(12, 2.5, 12, 15, 5);
}

void floppy(Glyph& g)
{
    g.polygon({{3.5, 3.5}, {16.5, 3.5}, {20.5, 7.5}, {20.5, 20.5}, {3.5, 20.5}});
    g.polyline({{7.5, 3.5}, {7.5, 8.5}, {15, 8.5}, {15, 3.5}});
    g.rect(7, 13, 10, 7.5, 1);
}

void globe(Glyph& g)
{
    g.circle(12, 12, 9);
    g.p().drawEllipse(QPointF(12, 12), 4, 9);
    g.line(3, 12, 21, 12);
    g.line(4.8, 7.2, 19.2, 7.2);
    g.line(4.8, 16.8, 19.2, 16.8);
}

void wrench(Glyph& g, qreal angleDeg)
{
    g.p().save();
    turn(g, angleDeg);
    QPainterPath handle = stroked(segment(12, 10, 12, 21.5), 4);
    QPainterPath head;
    head.addEllipse(QPointF(12, 6.6), 5.3, 5.3);
    QPainterPath jaw;
    jaw.addRect(QRectF(10.2, 0, 3.6, 6.6));
    jaw.addEllipse(QPointF(12, 6.6), 1.8, 1.8);
    g.p().setPen(Qt::NoPen);
    g.path(handle.united(head).subtracted(jaw), true);
    g.p().restore();
}

void screwdriver(Glyph& g, qreal angleDeg)
{
    g.p().save();
    turn(g, angleDeg);
    QPainterPath grip;
    grip.addRoundedRect(QRectF(9.6, 13.2, 4.8, 9.3), 2, 2);
    QPainterPath shaft = stroked(segment(12, 3.2, 12, 13.5), 1.8);
    g.p().setPen(Qt::NoPen);
    g.path(grip.united(shaft), true);
    g.p().restore();
}

void padlock(Glyph& g, bool closed)
{
    QPainterPath shackle;
    if (closed) {
        shackle.moveTo(7.8, 11);
        shackle.lineTo(7.8, 7.6);
        shackle.arcTo(QRectF(7.8, 3.4, 8.4, 8.4), 180, -180);
        shackle.lineTo(16.2, 11);
    } else {
        shackle.moveTo(7.8, 11);
        shackle.lineTo(7.8, 5.6);
        shackle.arcTo(QRectF(7.8, 1.4, 8.4, 8.4), 180, -180);
        shackle.lineTo(16.2, 7);
    }
    g.path(shackle);
    QPainterPath body;
    body.addRoundedRect(QRectF(4.5, 10.5, 15, 11), 2, 2);
    QPainterPath keyhole;
    keyhole.addEllipse(QPointF(12, 15), 1.7, 1.7);
    keyhole.addRect(QRectF(11.3, 15, 1.4, 3.6));
    g.p().setPen(Qt::NoPen);
    g.path(body.subtracted(keyhole), true);
}

void exitArrow(Glyph& g)
{
    g.polyline({{13, 3.5}, {3.5, 3.5}, {3.5, 20.5}, {13, 20.5}});
    g.arrow(8.5, 12, 21, 12, 5);
}

void screenScissors(Glyph& g)
{
    g.rect(2, 3, 17, 12.5, 2);
    g.line(10.5, 15.5, 10.5, 18);
    g.line(7, 18.5, 12.5, 18.5);
    // Scissors over the screen's lower right corner, cut free of it.
    QPainterPath scissors;
    scissors.addEllipse(QPointF(15, 20), 2.1, 2.1);
    scissors.addEllipse(QPointF(20.6, 20), 2.1, 2.1);
    scissors.addPath(segment(16.3, 18.4, 21.6, 9.5));
    scissors.addPath(segment(19.3, 18.4, 14, 9.5));
    g.erase(stroked(scissors, g.units(5)));
    g.path(scissors);
}

void splitPanel(Glyph& g)
{
    g.rect(2.5, 3.5, 19, 17, 2);
    g.line(11, 3.5, 11, 20.5);
    g.line(11, 12, 21.5, 12);
}

void antenna(Glyph& g)
{
    g.circle(12, 7, 1.8, true);
    g.line(12, 9, 7.5, 21);
    g.line(12, 9, 16.5, 21);
    g.line(9.8, 15, 14.2, 15);
    g.line(8.6, 18.2, 15.4, 18.2);
    g.arc(12, 7, 4.6, 135, 90);
    g.arc(12, 7, 4.6, -45, 90);
    g.arc(12, 7, 8.4, 140, 80);
    g.arc(12, 7, 8.4, -40, 80);
}

void landscape(Glyph& g)
{
    g.rect(2.5, 4, 19, 16, 2);
    g.polyline({{3, 17.5}, {8.5, 11}, {12.5, 15}, {15.5, 12}, {21, 17.5}});
    g.circle(16.5, 8.3, 1.9);
}

void flask(Glyph& g)
{
    QPainterPath body;
    body.moveTo(9.5, 3.5);
    body.lineTo(9.5, 9.5);
    body.lineTo(4.2, 18);
    body.quadTo(3, 20.5, 6, 20.5);
    body.lineTo(18, 20.5);
    body.quadTo(21, 20.5, 19.8, 18);
    body.lineTo(14.5, 9.5);
    body.lineTo(14.5, 3.5);
    QPainterPath closedBody = body;
    closedBody.closeSubpath();
    QPainterPath below;
    below.addRect(QRectF(0, 14, 24, 10));
    g.p().save();
    g.p().setPen(Qt::NoPen);
    g.p().setBrush(ink::accent);
    g.p().drawPath(closedBody.intersected(below));
    g.p().restore();
    g.path(body);
    g.line(8, 3.5, 16, 3.5);
    g.circle(10.5, 17.2, 0.9, true);
    g.circle(13.8, 15.8, 0.7, true);
}

void screenGear(Glyph& g)
{
    monitor(g);
    gear(g, 12, 9.7, 4.6, true);
}

void crossedTools(Glyph& g)
{
    screwdriver(g, -45);
    wrench(g, 45);
}

void ledPanel(Glyph& g)
{
    g.rect(2, 4, 20, 16, 2);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            g.circle(6.3 + c * 3.8, 8.2 + r * 3.8, 1.15, true);
}

void sun(Glyph& g)
{
    g.circle(12, 12, 4.3);
    for (int i = 0; i < 8; ++i) {
        const QPointF a = polar(12, 12, 7.4, i * 45), b = polar(12, 12, 10, i * 45);
        g.line(a.x(), a.y(), b.x(), b.y());
    }
}

void contrast(Glyph& g)
{
    g.circle(12, 12, 8.8);
    QPainterPath half;
    half.moveTo(12, 3.2);
    half.arcTo(QRectF(3.2, 3.2, 17.6, 17.6), 90, -180);
    half.closeSubpath();
    g.p().setPen(Qt::NoPen);
    g.path(half, true);
}

void menuLines(Glyph& g)
{
    g.line(4.5, 6.5, 19.5, 6.5);
    g.line(4.5, 12, 19.5, 12);
    g.line(4.5, 17.5, 19.5, 17.5);
}

void tick(Glyph& g) { g.polyline({{5.5, 12.5}, {10, 17}, {18.5, 7.5}}); }

void snowflake(Glyph& g)
{
    for (int i = 0; i < 3; ++i) {
        const qreal a = 90 + i * 60;
        const QPointF e1 = polar(12, 12, 9, a), e2 = polar(12, 12, 9, a + 180);
        g.line(e1.x(), e1.y(), e2.x(), e2.y());
        for (const qreal end : {a, a + 180}) {
            const QPointF base = polar(12, 12, 5.6, end);
            for (const qreal side : {-40.0, 40.0}) {
                const QPointF tip = polar(base.x(), base.y(), 3.2, end + side);
                g.line(base.x(), base.y(), tip.x(), tip.y());
            }
        }
    }
}

void backArrow(Glyph& g) { g.arrow(20, 12, 4.5, 12, 7); }

void backspace(Glyph& g)
{
    g.polygon({{8, 5}, {21, 5}, {21, 19}, {8, 19}, {2.5, 12}});
    g.line(11.5, 9, 17, 15);
    g.line(17, 9, 11.5, 15);
}

void plus(Glyph& g)
{
    g.line(12, 4.5, 12, 19.5);
    g.line(4.5, 12, 19.5, 12);
}

void portSocket(Glyph& g, const QColor& fill)
{
    QPainterPath socket;
    socket.addRoundedRect(QRectF(2.5, 3, 19, 13.5), 1.5, 1.5);
    socket.addRect(QRectF(7, 15, 10, 6));
    socket = socket.simplified();
    g.p().save();
    g.p().setPen(Qt::NoPen);
    g.p().setBrush(fill);
    g.p().drawPath(socket);
    g.p().restore();
    QPainterPath pins;
    for (int i = 0; i < 4; ++i)
        pins.addRect(QRectF(6.6 + i * 3.2, 5.5, 1.4, 4.5));
    g.erase(pins);
}

void warning(Glyph& g)
{
    g.polygon({{12, 3}, {21.5, 20}, {2.5, 20}}, true);
    QPainterPath mark = stroked(segment(12, 8.8, 12, 13.6), 2.3);
    mark.addEllipse(QPointF(12, 17), 1.3, 1.3);
    g.erase(mark);
}

void triangle(Glyph& g, bool right)
{
    if (right)
        g.polygon({{8.5, 5}, {17, 12}, {8.5, 19}}, true);
    else
        g.polygon({{15.5, 5}, {7, 12}, {15.5, 19}}, true);
}

void chevron(Glyph& g, bool up)
{
    if (up)
        g.polyline({{5.5, 15}, {12, 8.5}, {18.5, 15}});
    else
        g.polyline({{5.5, 9}, {12, 15.5}, {18.5, 9}});
}

void firmwareChip(Glyph& g)
{
    g.rect(5, 5, 14, 14, 2);
    for (const qreal t : {8.5, 12.0, 15.5}) {
        g.line(t, 2.2, t, 5);
        g.line(t, 19, t, 21.8);
        g.line(2.2, t, 5, t);
        g.line(19, t, 21.8, t);
    }
    g.p().save();
    g.p().setPen(QPen(ink::accent, g.units(3.2), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.line(12, 15.8, 12, 8.6);
    g.polyline({{8.8, 11.6}, {12, 8.4}, {15.2, 11.6}});
    g.p().restore();
}

} // namespace glyph
} // namespace pnggen
