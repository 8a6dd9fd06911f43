#include "ui/shell/numberkeyboard.h"
#include "ui_numberkeyboard.h"

NumberKeyboard::NumberKeyboard(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::NumberKeyboard)
{
    ui->setupUi(this);
}

NumberKeyboard::~NumberKeyboard() { delete ui; }
