#include "ui/shell/label_fit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace panel {

namespace {

// The form's font of `widget`, or smaller a point at a time down to
// `smallestPoint`, until `fits` holds for it; set on the widget.
void shrink_font(QWidget* widget, int smallestPoint, const std::function<bool(const QFont&)>& fits)
{
    QVariant form = widget->property("formPointSize");
    if (!form.isValid()) {
        form = widget->font().pointSize();
        widget->setProperty("formPointSize", form);
    }
    QFont font = widget->font();
    font.setPointSize(form.toInt());
    while (!fits(font) && font.pointSize() > smallestPoint)
        font.setPointSize(font.pointSize() - 1);
    widget->setFont(font);
}

// The part of a picture more opaque than `faintest` (0: any paint at all;
// a text's faint antialiased fringe is not seen as a cut).
QRect painted_part(const QImage& image, int faintest = 0)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > faintest) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Whether a one-line `text` in `font`, drawn as the label draws it into a
// box `height` rows high, inks only rows inside the box: accents above a
// Vietnamese capital and Cyrillic descenders reach past the font's line
// box at some sizes.
bool inks_within_height(const QLabel* label, const QFont& font, const QString& text, int height)
{
    constexpr double kMetresPerInch = 0.0254;
    const int width = QFontMetrics(font).horizontalAdvance(text) + 2;
    const int air = QFontMetrics(font).height();
    QImage image(qMax(width, 1), height + 2 * air, QImage::Format_ARGB32);
    image.setDotsPerMeterX(qRound(label->logicalDpiX() / kMetresPerInch));
    image.setDotsPerMeterY(qRound(label->logicalDpiY() / kMetresPerInch));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int vertical = int(label->alignment() & Qt::AlignVertical_Mask);
    painter.drawText(QRect(0, air, width, height), vertical | Qt::AlignLeft | Qt::TextDontClip, text);
    painter.end();
    constexpr int kFaintAlpha = 64;
    const QRect ink = painted_part(image, kFaintAlpha);
    return ink.isNull() || (ink.top() >= air && ink.bottom() < air + height);
}

} // namespace

void fit_font(QWidget* widget, const QStringList& lines, int room, int smallestPoint)
{
    shrink_font(widget, smallestPoint, [&](const QFont& font) {
        const QFontMetrics metrics(font);
        for (const QString& line : lines)
            if (metrics.horizontalAdvance(line) > room)
                return false;
        return true;
    });
}

void fit_label(QLabel* label)
{
    constexpr int kSmallestLabelPoint = 5;
    QRect room = label->contentsRect();
    if (QWidget* parent = label->parentWidget())
        room.setWidth(qMin(room.width(), parent->width() - label->x()));
    const QString text = label->text();
    if (!label->wordWrap()) {
        shrink_font(label, kSmallestLabelPoint, [&](const QFont& font) {
            return QFontMetrics(font).horizontalAdvance(text) <= room.width()
                && inks_within_height(label, font, text, room.height());
        });
        return;
    }
    shrink_font(label, kSmallestLabelPoint, [&](const QFont& font) {
        const QFontMetrics metrics(font);
        const QRect lines = metrics.boundingRect(QRect(QPoint(), room.size()), Qt::TextWordWrap, text);
        return lines.width() <= room.width() && lines.height() <= room.height();
    });
}

int combo_text_room(const QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const QRect field
        = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        & QApplication::style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    // The text keeps a pixel from each side of the field.
    return field.width() - 2;
}

void fit_combo(QComboBox* combo, int smallestPoint)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    const int room = combo_text_room(combo);
    fit_font(combo, entries, room, smallestPoint);
    const QFontMetrics metrics(combo->font());
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemText(i, metrics.elidedText(entries[i], Qt::ElideRight, room));
}

void fit_icon(QAbstractButton* button, const QSize& room)
{
    // How much smaller the picture gets at each try.
    constexpr double kStep = 0.97;
    const QPixmap picture = button->icon().pixmap(button->iconSize());
    if (picture.isNull())
        return;
    const auto inside = [&room](const QPixmap& pixmap) {
        const QRect part = painted_part(pixmap.toImage())
                               .translated((room.width() - pixmap.width()) / 2, (room.height() - pixmap.height()) / 2);
        return QRect(QPoint(), room).contains(part);
    };
    QPixmap pixmap = picture;
    for (double scale = kStep; !inside(pixmap) && scale > 0.5; scale *= kStep)
        pixmap = picture.scaled(picture.size() * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (pixmap.cacheKey() != picture.cacheKey())
        button->setIcon(QIcon(pixmap));
}

} // namespace panel
