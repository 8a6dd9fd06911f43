#pragma once
// The test patterns again, under the advanced menu; it has no page code of
// its own.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class testimage;
}

class testimage : public PanelDialog {
    Q_OBJECT
public:
    explicit testimage(QWidget* parent = nullptr);
    ~testimage() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::testimage* ui;
    uint8_t ui_select = 0;
};
