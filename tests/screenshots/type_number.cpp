#include "tests/screenshots/scenes.h"

#include <QPushButton>

#include "ui/shell/numberkeyboard.h"

namespace shots {

void type_number(QWidget* field, const char* digits, Shot* shot, const char* state)
{
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);
    auto key = [](const QString& name) { return g_numberkeyboard->findChild<QPushButton*>(name); };
    // The keyboard runs in a loop of its own, which the touch on the field
    // starts.
    ModalDriver keyboard;
    keyboard.then([&] {
        for (const char* d = digits; *d; ++d)
            paneltest::touch(key(QStringLiteral("Button") + QLatin1Char(*d)));
        if (shot && state)
            shot->take(state);
        paneltest::touch(key(QStringLiteral("Button_ok")));
    });
    keyboard.run([field] { paneltest::touch(field); });
}

} // namespace shots
