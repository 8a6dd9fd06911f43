#include "ui/shell/settings_menus.h"

#include <QDebug>
#include <QPushButton>
#include <QStringList>

#include "ui/shell/label_fit.h"
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
    panel::fit_font(button, text.split(QLatin1Char('\n')), button->width() - kMargin, kSmallestPoint);
    button->setText(text);
}

} // namespace settings_menus
