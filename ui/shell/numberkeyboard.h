#pragma once
// The shared on-screen number keyboard over the right half of the panel.

#include <QDialog>

namespace Ui {
class NumberKeyboard;
}

class NumberKeyboard : public QDialog {
    Q_OBJECT
public:
    explicit NumberKeyboard(QWidget* parent = nullptr);
    ~NumberKeyboard() override;

signals:
    void sendKeyBoardUIDataToLineEdit(QString text);

private:
    Ui::NumberKeyboard* ui;
};
