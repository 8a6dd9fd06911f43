#include "ui/shell/label_fit.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace panel {

void fit_font(QWidget* widget, const QStringList& lines, int room, int smallestPoint)
{
    QVariant form = widget->property("formPointSize");
    if (!form.isValid()) {
        form = widget->font().pointSize();
        widget->setProperty("formPointSize", form);
    }
    QFont font = widget->font();
    font.setPointSize(form.toInt());
    auto fits = [&] {
        const QFontMetrics metrics(font);
        for (const QString& line : lines)
            if (metrics.horizontalAdvance(line) > room)
                return false;
        return true;
    };
    while (!fits() && font.pointSize() > smallestPoint)
        font.setPointSize(font.pointSize() - 1);
    widget->setFont(font);
}

void fit_label(QLabel* label)
{
    constexpr int kSmallestLabelPoint = 5;
    int room = label->contentsRect().width();
    if (QWidget* parent = label->parentWidget())
        room = qMin(room, parent->width() - label->x());
    fit_font(label, QStringList{label->text()}, room, kSmallestLabelPoint);
}

} // namespace panel
