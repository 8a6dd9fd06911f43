#pragma once
// A number field: a press asks its screen to open the number keyboard on
// it (send_show) before the field handles the press itself.

#include <QLineEdit>

class My_lineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit My_lineEdit(QWidget* parent = nullptr);

signals:
    void send_show(QString data);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
