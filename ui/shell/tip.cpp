#include "ui/shell/tip.h"
#include "ui_tip.h"

TIP::TIP(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::TIP)
{
    ui->setupUi(this);
}

TIP::~TIP() { delete ui; }

void TIP::tip_create(int) { }

void TIP::tip_outtime_deal() { }
