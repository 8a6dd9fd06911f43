#include "ui/shell/lockwindow.h"
#include "ui_lockwindow.h"

LockWindow::LockWindow(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LockWindow)
{
    ui->setupUi(this);
}

LockWindow::~LockWindow() { delete ui; }
