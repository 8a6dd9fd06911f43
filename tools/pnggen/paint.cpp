// Canvas, fonts, captions and the glyph grid.
#include "pnggen.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainterPathStroker>
#include <QRawFont>
#include <QStringList>

#include <cmath>

namespace pnggen {

QString prefixOf(Lang lang)
{
    static const char* const prefixes[LangCount] = {"", "en_", "ru_", "vn_", "tn_"};
    return QString::fromLatin1(prefixes[lang]);
}

Canvas::Canvas(int w, int h) : image(w, h, QImage::Format_ARGB32_Premultiplied)
{
    image.fill(Qt::transparent);
    // A fixed resolution keeps the files' pHYs chunk the same on every host.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    painter.begin(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
}

QImage Canvas::finish()
{
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// ---------------------------------------------------------------- fonts

namespace {

struct FontFiles {
    QString sans, sansBold, condensed, condensedBold, cjk;
};
FontFiles g_fonts;

QString addFont(const QString& path, QString* error)
{
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        *error += QStringLiteral("cannot load the font %1\n").arg(path);
        return QString();
    }
    return families.first();
}

bool isCjkChar(uint c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x3000 && c <= 0x303F);
}

} // namespace

bool loadFonts(QString* error)
{
    const QString dejavu = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
    g_fonts.sans = addFont(dejavu + "DejaVuSans.ttf", error);
    g_fonts.sansBold = addFont(dejavu + "DejaVuSans-Bold.ttf", error);
    g_fonts.condensed = addFont(dejavu + "DejaVuSansCondensed.ttf", error);
    g_fonts.condensedBold = addFont(dejavu + "DejaVuSansCondensed-Bold.ttf", error);
    g_fonts.cjk = addFont(QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"), error);
    return error->isEmpty();
}

bool isCjk(const QString& text)
{
    for (const uint c : text.toUcs4())
        if (isCjkChar(c))
            return true;
    return false;
}

QFont fontFor(const QString& text, qreal pixelSize, bool bold, bool condensed)
{
    QFont f;
    if (isCjk(text)) {
        f.setFamily(g_fonts.cjk);
    } else {
        f.setFamily(condensed ? g_fonts.condensed : g_fonts.sans);
        f.setStretch(condensed ? QFont::SemiCondensed : QFont::Unstretched);
    }
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setBold(bold);
    // Only the face asked for: no silent fallback to whatever else the host
    // has installed, which would make the pictures depend on the host.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    f.setHintingPreference(QFont::PreferVerticalHinting);
    f.setKerning(true);
    return f;
}

QString missingGlyphs(const QString& text)
{
    const QRawFont raw = QRawFont::fromFont(fontFor(text, 12));
    QString missing;
    for (const uint c : text.toUcs4())
        if (c > 0x20 && !raw.supportsCharacter(c))
            missing += QString::fromUcs4(&c, 1);
    return missing;
}

// ---------------------------------------------------------------- captions

namespace {

// Splits `text` into the pieces a line may break between.
QStringList breakables(const QString& text)
{
    QStringList pieces;
    if (!isCjk(text)) {
        for (const QString& w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            pieces << w;
        return pieces;
    }
    for (const QChar c : text)
        if (c != QLatin1Char(' '))
            pieces << QString(c);
    return pieces;
}

// Greedy wrap at `width`; empty when a piece alone is wider or more than
// maxLines lines are needed.
QStringList wrap(const QString& text, const QFontMetricsF& fm, qreal width, int maxLines)
{
    const QString gap = isCjk(text) ? QString() : QStringLiteral(" ");
    QStringList lines;
    QString line;
    for (const QString& piece : breakables(text)) {
        const QString joined = line.isEmpty() ? piece : line + gap + piece;
        if (fm.horizontalAdvance(joined) <= width) {
            line = joined;
            continue;
        }
        if (line.isEmpty() || fm.horizontalAdvance(piece) > width)
            return {};
        lines << line;
        line = piece;
    }
    if (!line.isEmpty())
        lines << line;
    if (lines.size() > maxLines)
        return {};
    return lines;
}

// Height of one line, and the step from one baseline to the next: tighter
// than the fonts' own line gap, which is made for running text.
qreal lineBox(const QFontMetricsF& fm) { return std::round(fm.ascent() + fm.descent()); }
qreal lineStep(const QFont& f) { return std::round(f.pixelSize() * 1.2); }
qreal blockHeight(const QFont& f, int lines)
{
    return lineBox(QFontMetricsF(f)) + lineStep(f) * (lines - 1);
}

void paintLines(QPainter& p, const QRectF& box, const QStringList& lines, const QFont& f, const QColor& color)
{
    const QFontMetricsF fm(f);
    qreal baseline = std::round(box.center().y() - blockHeight(f, lines.size()) / 2) + std::round(fm.ascent());
    p.save();
    p.setFont(f);
    p.setPen(color);
    for (const QString& line : lines) {
        const qreal x = std::round(box.center().x() - fm.horizontalAdvance(line) / 2);
        p.drawText(QPointF(x, baseline), line);
        baseline += lineStep(f);
    }
    p.restore();
}

} // namespace

namespace {

struct Fit {
    QFont font;
    QStringList lines;
};

// The largest size from maxPx down to minPx, in whole pixels, at which the
// text fits; at each size the regular cut is tried before the condensed one.
bool findFit(const QRectF& box, const QString& text, qreal maxPx, qreal minPx, int maxLines, bool bold, Fit* fit)
{
    for (qreal px = maxPx; px >= minPx - 0.01; px -= 1) {
        for (const bool condensed : {false, true}) {
            if (condensed && isCjk(text))
                continue;
            const QFont f = fontFor(text, px, bold, condensed);
            const QStringList lines = wrap(text, QFontMetricsF(f), box.width(), maxLines);
            if (lines.isEmpty() || blockHeight(f, lines.size()) > box.height())
                continue;
            *fit = Fit{f, lines};
            return true;
        }
    }
    return false;
}

} // namespace

qreal fittingSize(const QRectF& box, const QString& text, qreal maxPx, qreal minPx, int maxLines, bool bold)
{
    Fit fit;
    return findFit(box, text, maxPx, minPx, maxLines, bold, &fit) ? fit.font.pixelSize() : 0;
}

bool drawCaption(QPainter& p, const QRectF& box, const QString& text, const QColor& color, qreal maxPx,
                 qreal minPx, int maxLines, bool bold)
{
    Fit fit;
    if (findFit(box, text, maxPx, minPx, maxLines, bold, &fit)) {
        paintLines(p, box, fit.lines, fit.font, color);
        return true;
    }
    paintLines(p, box, {text}, fontFor(text, minPx, bold, true), color);
    return false;
}

bool drawVerticalCaption(QPainter& p, const QRectF& box, const QString& text, const QColor& color, qreal maxPx,
                         qreal minPx)
{
    if (isCjk(text)) {
        const int n = text.size();
        for (qreal px = maxPx; px >= minPx - 0.01; px -= 1) {
            const QFont f = fontFor(text, px);
            const QFontMetricsF fm(f);
            const qreal cell = std::round(px * 1.08);
            if (cell * n > box.height() || fm.horizontalAdvance(text.at(0)) > box.width() + 0.5)
                continue;
            p.save();
            p.setFont(f);
            p.setPen(color);
            qreal top = std::round(box.center().y() - cell * n / 2);
            for (const QChar c : text) {
                const qreal x = std::round(box.center().x() - fm.horizontalAdvance(c) / 2);
                p.drawText(QPointF(x, top + std::round((cell + fm.ascent() - fm.descent()) / 2)), QString(c));
                top += cell;
            }
            p.restore();
            return true;
        }
        return false;
    }
    // Drawn level, then the whole image turned a quarter to the left (the
    // strip is read from bottom to top): an exact turn keeps the text as
    // crisp as level text.
    Canvas level(int(box.height()), int(box.width()));
    const bool fits = drawCaption(level.p(), QRectF(0, 0, box.height(), box.width()), text, color, maxPx, minPx, 1);
    p.drawImage(box.topLeft(), level.finish().transformed(QTransform().rotate(-90)));
    return fits;
}

// ---------------------------------------------------------------- glyph grid

Glyph::Glyph(QPainter& p, const QRectF& box, const QColor& color, qreal stroke)
    : painter(p), ink(color), strokePx(stroke), scale(std::min(box.width(), box.height()) / 24.0)
{
    painter.save();
    painter.translate(box.center().x() - 12 * scale, box.center().y() - 12 * scale);
    painter.scale(scale, scale);
    painter.setPen(pen());
    painter.setBrush(Qt::NoBrush);
}

Glyph::~Glyph() { painter.restore(); }

QPen Glyph::pen(qreal widthPx) const
{
    return QPen(ink, widthPx / scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Glyph::line(qreal x1, qreal y1, qreal x2, qreal y2) { painter.drawLine(QPointF(x1, y1), QPointF(x2, y2)); }

void Glyph::polyline(std::initializer_list<QPointF> pts)
{
    const QVector<QPointF> v(pts);
    painter.drawPolyline(v.constData(), v.size());
}

void Glyph::polygon(std::initializer_list<QPointF> pts, bool fill)
{
    const QVector<QPointF> v(pts);
    painter.save();
    painter.setBrush(fill ? QBrush(ink) : Qt::NoBrush);
    painter.drawPolygon(v.constData(), v.size());
    painter.restore();
}

void Glyph::rect(qreal x, qreal y, qreal w, qreal h, qreal radius, bool fill)
{
    painter.save();
    painter.setBrush(fill ? QBrush(ink) : Qt::NoBrush);
    painter.drawRoundedRect(QRectF(x, y, w, h), radius, radius);
    painter.restore();
}

void Glyph::circle(qreal cx, qreal cy, qreal r, bool fill)
{
    painter.save();
    painter.setBrush(fill ? QBrush(ink) : Qt::NoBrush);
    if (fill)
        painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(cx, cy), r, r);
    painter.restore();
}

void Glyph::arc(qreal cx, qreal cy, qreal r, qreal startDeg, qreal spanDeg)
{
    painter.drawArc(QRectF(cx - r, cy - r, 2 * r, 2 * r), int(std::lround(startDeg * 16)),
                    int(std::lround(spanDeg * 16)));
}

void Glyph::arrow(qreal x1, qreal y1, qreal x2, qreal y2, qreal head)
{
    line(x1, y1, x2, y2);
    const qreal a = std::atan2(y2 - y1, x2 - x1);
    const qreal spread = M_PI / 4;
    polyline({QPointF(x2 - head * std::cos(a - spread), y2 - head * std::sin(a - spread)), QPointF(x2, y2),
              QPointF(x2 - head * std::cos(a + spread), y2 - head * std::sin(a + spread))});
}

void Glyph::path(const QPainterPath& path, bool fill)
{
    painter.save();
    painter.setBrush(fill ? QBrush(ink) : Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

void Glyph::erase(const QPainterPath& path)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.fillPath(path, Qt::black);
    painter.restore();
}

} // namespace pnggen
