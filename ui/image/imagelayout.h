#pragma once
// The image layout screen (page code 9), under the settings menu: one of
// images 1-4 at a time with its name, source, state, dot-by-dot setting,
// position and size on the LED screen and mirror setting. Left and right
// step through the images; the one shown becomes the image the keypad's
// keys act on. A viewer: nothing on it changes a setting.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class ImageLayout;
}

class ImageLayout : public PanelDialog {
    Q_OBJECT
public:
    explicit ImageLayout(QWidget* parent = nullptr);
    ~ImageLayout() override;

    // The state line, and the tab marker over image ui_select.
    void image_init();
    // Name, source, position, size, mirror icons and dot-by-dot state of
    // image ui_select.
    void image_para_update();
    // Lights mirror icon a + 1 (a = 0..3); any other value changes nothing.
    void mirror_select(int attribute);
    void menulist_init();
    void language_changed();
    // Redraws on a language change only.
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::ImageLayout* ui;
    uint8_t ui_select = 0;
};
