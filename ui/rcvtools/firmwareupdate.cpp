#include "ui/rcvtools/firmwareupdate.h"

FirmwareUpdate::FirmwareUpdate(QWidget* parent)
    : QDialog(parent)
{
}

void FirmwareUpdate::update_time_deal() { }
