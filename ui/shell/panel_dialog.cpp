#include "ui/shell/panel_dialog.h"

#include <QKeyEvent>
#include <QShowEvent>

#include "ui/shell/screen_kit.h"

PanelDialog::PanelDialog(QWidget* parent)
    : QDialog(parent)
{
}

void PanelDialog::keyPressEvent(QKeyEvent* event)
{
    // Swallowed: QDialog would close on Escape and press a default button
    // on Enter, leaving the screen stack and its pointers behind.
    panel::log_key_press(metaObject()->className(), event->key());
    event->accept();
}

void PanelDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Sent before the window is mapped: it is mapped at the top.
    if (!event->spontaneous())
        panel::bring_to_front(this);
}
