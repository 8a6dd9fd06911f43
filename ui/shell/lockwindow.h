#pragma once
// The standby screen (page code 0), shown over the main window.

#include <QDialog>

namespace Ui {
class LockWindow;
}

class LockWindow : public QDialog {
    Q_OBJECT
public:
    explicit LockWindow(QWidget* parent = nullptr);
    ~LockWindow() override;

private:
    Ui::LockWindow* ui;
};
