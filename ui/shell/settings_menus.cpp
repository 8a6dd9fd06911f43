#include "ui/shell/settings_menus.h"

#include <QDebug>
#include <QFontMetrics>
#include <QPushButton>
#include <QStringList>

#include "ui/shell/screen_kit.h"

namespace settings_menus {

void log_key_release(const char* screen, int key, int ui_select)
{
    switch (panel::key_role(key)) {
    case panel::KeyRole::Left:
        qDebug("this is left-code [%s][Release] ui_select=%#x", screen, unsigned(ui_select));
        break;
    case panel::KeyRole::Right:
        qDebug("this is right-code [%s][Release] ui_select=%#x", screen, unsigned(ui_select));
        break;
    case panel::KeyRole::Ok:
        qDebug("this is OK button(%s)[Release]\n", screen);
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button(%s)[Release]\n", screen);
        break;
    case panel::KeyRole::Mode:
        qDebug("this is mode-code [%s][Release]", screen);
        break;
    case panel::KeyRole::None:
        break;
    }
}

void set_fitting_text(QPushButton* button, const QString& text)
{
    // The frame's border and padding take 6 pixels a side; a little air more.
    constexpr int kMargin = 16;
    constexpr int kSmallestPoint = 6;
    QVariant formSize = button->property("formPointSize");
    if (!formSize.isValid()) {
        formSize = button->font().pointSize();
        button->setProperty("formPointSize", formSize);
    }
    QFont font = button->font();
    font.setPointSize(formSize.toInt());
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto fits = [&] {
        const QFontMetrics metrics(font);
        for (const QString& line : lines)
            if (metrics.horizontalAdvance(line) > button->width() - kMargin)
                return false;
        return true;
    };
    while (!fits() && font.pointSize() > kSmallestPoint)
        font.setPointSize(font.pointSize() - 1);
    button->setFont(font);
    button->setText(text);
}

} // namespace settings_menus
