// The panel's pictures, drawn with QPainter: shared drawing helpers and the
// picture families. Every picture is a pure function of its name, so a run
// on the same fonts gives the same files byte for byte.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace pnggen {

// The panel's colours.
namespace ink {
const QColor ground(16, 16, 28);      // screen background
const QColor control(33, 36, 53);     // buttons and panels
const QColor white(255, 255, 255);
const QColor dim(178, 184, 204);      // a glyph in its resting state
const QColor accent(71, 119, 255);
const QColor focus(255, 171, 84);
const QColor online(0, 214, 91);
const QColor offline(110, 115, 134);
const QColor popup(136, 138, 133);    // the notice pop-up's frame
const QColor emptySlot(178, 178, 178);
} // namespace ink

// The five panel languages, in the order of their picture-name prefixes.
enum Lang { Zh, En, Ru, Vn, Tw, LangCount };
QString prefixOf(Lang lang);

struct Picture {
    QString name;      // resource name without ".png"
    QImage image;
    QColor ground;     // what the picture sits on in the panel (contact sheet only)
};

struct Family {
    QString title;
    std::function<QVector<Picture>()> draw;
};

// Every family, in contact-sheet order.
QVector<Family> families();

// What went wrong while drawing (a caption that does not fit, a glyph the
// font lacks); the generator fails when it is not empty.
QStringList& problems();

// A transparent canvas of the given size with a painter set up for
// antialiased drawing.
class Canvas {
public:
    Canvas(int w, int h);
    QPainter& p() { return painter; }
    QImage finish();
    int width() const { return image.width(); }
    int height() const { return image.height(); }

private:
    QImage image;
    QPainter painter;
};

// Fonts are chosen by script: CJK text in the CJK face, everything else in
// DejaVu Sans, or its condensed cut where a caption is tight.
bool loadFonts(QString* error);
QFont fontFor(const QString& text, qreal pixelSize, bool bold = false, bool condensed = false);
bool isCjk(const QString& text);
// The characters of `text` the chosen face lacks (empty when it has all).
QString missingGlyphs(const QString& text);

// Draws `text` centred in `box` at the largest pixel size from maxPx down to
// minPx that fits in at most maxLines lines (wrapped at spaces, CJK between
// any two characters). Returns false when even minPx does not fit; the text
// is then drawn at minPx anyway so the contact sheet shows the overflow.
bool drawCaption(QPainter& p, const QRectF& box, const QString& text, const QColor& color,
                 qreal maxPx, qreal minPx, int maxLines, bool bold = false);
// The size drawCaption would choose, 0 when the text does not fit.
qreal fittingSize(const QRectF& box, const QString& text, qreal maxPx, qreal minPx, int maxLines, bool bold = false);
// Vertical caption strip: CJK characters stacked, other scripts turned to
// read from bottom to top.
bool drawVerticalCaption(QPainter& p, const QRectF& box, const QString& text, const QColor& color,
                         qreal maxPx, qreal minPx);

// Line glyphs are drawn on a 24 x 24 design grid mapped onto a square box;
// `stroke` is the pen width in output pixels.
class Glyph {
public:
    Glyph(QPainter& p, const QRectF& box, const QColor& color, qreal strokePx);
    ~Glyph();
    QPainter& p() { return painter; }
    QPen pen(qreal widthPx) const;
    QPen pen() const { return pen(strokePx); }
    QColor color() const { return ink; }
    qreal stroke() const { return strokePx; }
    qreal units(qreal pixels) const { return pixels / scale; }
    void line(qreal x1, qreal y1, qreal x2, qreal y2);
    void polyline(std::initializer_list<QPointF> pts);
    void polygon(std::initializer_list<QPointF> pts, bool fill = false);
    void rect(qreal x, qreal y, qreal w, qreal h, qreal radius = 0, bool fill = false);
    void circle(qreal cx, qreal cy, qreal r, bool fill = false);
    void arc(qreal cx, qreal cy, qreal r, qreal startDeg, qreal spanDeg);
    // An arrow shaft from (x1, y1) to (x2, y2) with an open head at the end.
    void arrow(qreal x1, qreal y1, qreal x2, qreal y2, qreal head = 4);
    void path(const QPainterPath& path, bool fill = false);
    // Cuts the shape out of what is drawn so far (transparent).
    void erase(const QPainterPath& path);

private:
    QPainter& painter;
    QColor ink;
    qreal strokePx;
    qreal scale;
};

// The glyphs themselves; each draws into a square box.
namespace glyph {
void monitorInfo(Glyph& g);
void sourceSwitch(Glyph& g);
void userModes(Glyph& g);
void gear(Glyph& g, qreal cx = 12, qreal cy = 12, qreal r = 9.5, bool hub = true);
void screenOff(Glyph& g, bool off);
void speaker(Glyph& g, bool sound);
void drawerCall(Glyph& g);
void floppy(Glyph& g);
void globe(Glyph& g);
void wrench(Glyph& g, qreal angleDeg);
void screwdriver(Glyph& g, qreal angleDeg);
void padlock(Glyph& g, bool closed);
void exitArrow(Glyph& g);
void screenScissors(Glyph& g);
void splitPanel(Glyph& g);
void antenna(Glyph& g);
void landscape(Glyph& g);
void flask(Glyph& g);
void screenGear(Glyph& g);
void crossedTools(Glyph& g);
void ledPanel(Glyph& g);
void sun(Glyph& g);
void contrast(Glyph& g);
void menuLines(Glyph& g);
void tick(Glyph& g);
void snowflake(Glyph& g);
void backArrow(Glyph& g);
void backspace(Glyph& g);
void plus(Glyph& g);
void portSocket(Glyph& g, const QColor& fill);
void warning(Glyph& g);
void triangle(Glyph& g, bool right);
void chevron(Glyph& g, bool up);
void firmwareChip(Glyph& g);
} // namespace glyph

} // namespace pnggen
