#pragma once
// The standby screen (page code 0), shown over the main window at start-up
// and whenever the user backs out of it: the IP address, the LED screen
// size, brightness, contrast, whether the audio image plays sound, and one
// tile per image 1-4 (its source or display name, the input timing or its
// state, which image the keys act on). Nothing on it is edited. A touch on
// its top line or its tiles, its main button or OK leaves it for the main
// window; the mode key goes to the user modes.

#include <QDialog>
#include <cstdint>

#include "ui/shell/vyx_keyboard.h"

class QFont;
class QFrame;

namespace Ui {
class LockWindow;
}

class LockWindow : public QDialog {
    Q_OBJECT
public:
    explicit LockWindow(QWidget* parent = nullptr);
    ~LockWindow() override;

    // LED size, brightness, contrast and the audio picture.
    void para_init();
    // The audio image (byte 2112, 6 and above taken as image 1) plays sound.
    bool volume_check();
    // Throws the tile grid away and builds it anew from the image.
    void image_init();
    void ip_changed();
    // The LED size in the current language, then the tiles.
    void language_changed();
    // Refresh from the dispatcher while the screen is on top.
    void syncUpdate();

public slots:
    void on_main_Button_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Closes the screen; the main window is on top again (page 1).
    void leave();
    void ledSizeText();
    void volumePicture();
    // The tile of image `image` in the frame.
    void imageTile(int image, uint16_t ledOff, const QFont& font);

    Ui::LockWindow* ui;
    QFrame* m_imageFrame = nullptr;
    vyx_keyboard keyboard;
};
