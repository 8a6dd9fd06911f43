#pragma once
// A number field: a press asks its screen to open the number keyboard on
// it (send_show) before the field handles the press itself.

#include <QLineEdit>

class My_lineEdit : public QLineEdit {
    Q_OBJECT
    // The most digits the number keyboard lets a person type into the field
    // (its form gives it, sized to show that many whole); 0 leaves it to
    // the keyboard. Texts the program sets are not cut to it.
    Q_PROPERTY(int digits READ digits WRITE setDigits)
public:
    explicit My_lineEdit(QWidget* parent = nullptr);

    int digits() const { return m_digits; }
    void setDigits(int digits) { m_digits = digits; }

signals:
    void send_show(QString data);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_digits = 0;
};
