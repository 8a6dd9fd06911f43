#include "ui/shell/QRoundProgressBar.h"

#include <QDialog>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "core/globals.h"
#include "ui/shell/screen_kit.h"

namespace {
const QColor kRingGrey("#DEE3E7");
const QColor kRingBlue("#2F8DED");
const QColor kRingText("#606266");
constexpr int kBandWidth = 10;

// The progress values of one job, applied in the GUI thread in the order
// they were sent.
void showProgress(int fuc)
{
    QRoundProgressBar* ring = g_qround_bar;
    if (!ring)
        return;
    if (fuc > 99) {
        ring->close();
        g_qround_bar = nullptr;
        return;
    }
    ring->setValue(fuc);
    ring->update();
}
} // namespace

QRoundProgressBar::QRoundProgressBar(QWidget* parent, BarStyle style)
    : QWidget(parent)
    , m_style(style)
{
}

QRoundProgressBar::~QRoundProgressBar()
{
    // A ring goes with the screen it was drawn over; a job still reporting
    // then finds no ring instead of a freed one, and the next job may start.
    if (g_qround_bar == this)
        g_qround_bar = nullptr;
}

void QRoundProgressBar::setRange(double min, double max)
{
    if (min > max)
        std::swap(min, max);
    m_min = min;
    m_max = max;
    m_value = std::clamp(m_value, m_min, m_max);
    update();
}

void QRoundProgressBar::setMinimum(double min) { setRange(min, m_max); }

void QRoundProgressBar::setMaximum(double max) { setRange(m_min, max); }

void QRoundProgressBar::setValue(double value)
{
    if (value == m_value)
        return;
    m_value = std::clamp(value, m_min, m_max);
    update();
}

void QRoundProgressBar::setValue(int value) { setValue(double(value)); }

void QRoundProgressBar::setStartAngle(double angle)
{
    if (angle != m_startAngle) {
        m_startAngle = angle;
        update();
    }
}

void QRoundProgressBar::setOutlinePenWidth(double width)
{
    if (width != m_outlinePenWidth) {
        m_outlinePenWidth = width;
        update();
    }
}

void QRoundProgressBar::setDataPenWidth(double width)
{
    if (width != m_dataPenWidth) {
        m_dataPenWidth = width;
        update();
    }
}

void QRoundProgressBar::setBarStyle(BarStyle style)
{
    if (style != m_style) {
        m_style = style;
        update();
    }
}

void QRoundProgressBar::setDecimals(int count)
{
    if (count >= 0 && count != m_decimals) {
        m_decimals = count;
        update();
    }
}

QString QRoundProgressBar::percent_text() const
{
    const double span = m_max - m_min;
    const double percent = span > 0 ? (m_value - m_min) / span * 100 : 0;
    return QString::number(percent, 'f', m_decimals) + QLatin1Char('%');
}

void QRoundProgressBar::create_qround_bar(QDialog* parent)
{
    if (g_qround_bar)
        return;
    auto* ring = new QRoundProgressBar(parent, StyleDonut);
    g_qround_bar = ring;
    ring->setGeometry(120, 70, 100, 100);
    ring->setValue(0);
    ring->show();
    VYX_DEBUG("\n create_qround_bar");
}

void QRoundProgressBar::del_qround_bar() { g_qround_bar = nullptr; }

void QRoundProgressBar::para_sync(int fuc)
{
    // Widgets live in the GUI thread: a direct call from another thread is
    // handed there and finds the ring anew.
    panel::run_in_gui([fuc] { showProgress(fuc); });
}

void QRoundProgressBar::paintEvent(QPaintEvent*)
{
    const double side = width();
    const QRectF base(0, 0, side, side);
    double innerSize = side;
    if (m_style == StyleDonut)
        innerSize = side * 0.9;
    else if (m_style == StyleLine)
        innerSize = side - m_outlinePenWidth;
    const double margin = (side - innerSize) / 2;
    const QRectF inner(margin, margin, innerSize, innerSize);

    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    p.fillRect(base, QColor(255, 255, 255, 0));
    drawBase(p, base, inner);
    drawValue(p, base, inner);
    drawText(p, inner);
}

void QRoundProgressBar::drawBase(QPainter& p, const QRectF& base, const QRectF& inner)
{
    switch (m_style) {
    case StyleDonut: {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        path.addEllipse(inner);
        p.setPen(QPen(kRingGrey, kBandWidth));
        p.setBrush(Qt::white);
        p.drawPath(path);
        break;
    }
    case StylePie:
        p.setPen(QPen(QBrush(QColor("#FFFFFF")), m_outlinePenWidth, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        p.setBrush(kRingGrey);
        p.drawEllipse(base);
        break;
    case StyleLine: {
        const double half = m_outlinePenWidth / 2;
        p.setPen(QPen(QBrush(QColor("#FFFFFF")), m_outlinePenWidth, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(base.adjusted(half, half, -half, -half));
        break;
    }
    }
}

void QRoundProgressBar::drawValue(QPainter& p, const QRectF& base, const QRectF& inner)
{
    if (m_value == m_min)
        return;
    const double arc = 360.0 / (m_max - m_min) * m_value;
    const int start = int(m_startAngle * 16);
    const int span = int(-arc * 16);
    switch (m_style) {
    case StyleDonut: {
        QPen pen(kRingBlue, kBandWidth);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(inner, start, span);
        break;
    }
    case StyleLine:
        p.setPen(QPen(kRingBlue));
        p.setBrush(Qt::NoBrush);
        p.drawArc(base, start, span);
        break;
    case StylePie: {
        QPainterPath sector;
        sector.setFillRule(Qt::WindingFill);
        sector.moveTo(base.center());
        sector.arcTo(base, m_startAngle, -arc);
        sector.lineTo(base.center());
        p.setPen(QPen(QBrush(kRingBlue), m_dataPenWidth, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        p.setBrush(kRingBlue);
        p.drawPath(sector);
        break;
    }
    }
}

void QRoundProgressBar::drawText(QPainter& p, const QRectF& inner)
{
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(36);
    p.setFont(font);
    p.setPen(kRingText);
    // The sector style has no inner square of its own: the base square.
    p.drawText(inner, Qt::AlignCenter, percent_text());
}
