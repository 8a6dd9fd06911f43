#include "ui/shell/label_fit.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLabel>
#include <QVariant>

namespace panel {

namespace {
constexpr qreal kSmallestPoint = 5.0;
constexpr qreal kPointStep = 0.5;
} // namespace

void fit_label(QLabel* label)
{
    QVariant form = label->property("form_pt");
    if (!form.isValid()) {
        form = label->font().pointSizeF();
        label->setProperty("form_pt", form);
    }
    QFont font = label->font();
    font.setPointSizeF(form.toReal());
    // What the parent leaves visible of the label counts.
    qreal room = label->contentsRect().width();
    if (QWidget* parent = label->parentWidget())
        room = qMin(room, qreal(parent->width() - label->x()));
    while (font.pointSizeF() - kPointStep >= kSmallestPoint
        && QFontMetricsF(font).horizontalAdvance(label->text()) > room)
        font.setPointSizeF(font.pointSizeF() - kPointStep);
    label->setFont(font);
}

} // namespace panel
