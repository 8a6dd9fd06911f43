#include "ui/image/text_fit.h"

#include <QFont>
#include <QFontMetricsF>
#include <QVariant>
#include <QWidget>

namespace panel {

void fit_text(QWidget* widget, const QString& text, double room)
{
    constexpr qreal kSmallest = 5.0;
    constexpr qreal kStep = 0.5;
    QVariant form = widget->property("form_pt");
    if (!form.isValid()) {
        form = widget->font().pointSizeF();
        widget->setProperty("form_pt", form);
    }
    QFont font = widget->font();
    font.setPointSizeF(form.toReal());
    while (font.pointSizeF() - kStep >= kSmallest && QFontMetricsF(font).horizontalAdvance(text) > room)
        font.setPointSizeF(font.pointSizeF() - kStep);
    widget->setFont(font);
}

} // namespace panel
