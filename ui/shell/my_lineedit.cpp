#include "ui/shell/my_lineedit.h"

#include <QPointer>

My_lineEdit::My_lineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setText(QString());
}

void My_lineEdit::mousePressEvent(QMouseEvent* event)
{
    // The keyboard runs modally inside this signal; the field's screen may
    // have been closed by the time it returns.
    QPointer<My_lineEdit> self(this);
    emit send_show(text());
    if (self)
        QLineEdit::mousePressEvent(event);
}
