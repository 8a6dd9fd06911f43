// LED brightness and the daily on/off schedule of FPGA 0, and the clock
// reading they share with the upgrade.
#include "fpga/fpga_manage.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QStringList>

#include "core/utils.h"

// The PC's command image handler (register 2 bit 2).
void fpga_manage::Dealwith_mcu_ram() {}

void fpga_manage::record_onoff_time(uint8_t) {}

void fpga_manage::record_bright_change() {}

uint8_t fpga_manage::Brightness_hand_dealwith(void*) { return 1; }

uint8_t fpga_manage::set_fpga_bri_val()
{
    if (get_fpga_status() != 1)
        return 0;
    Brightness_hand_dealwith(nullptr);
    return 1;
}

void fpga_manage::Extension_function() {}

int fpga_manage::IT8563WE_Get(TimeRealType* t)
{
    QString text;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        text = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd/hh/mm/ss/ddd"));
    }
    if (!t)
        return 0;
    QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() >= 6) {
        t->year = uint16_t(parts[0].toUInt());
        t->month = uint8_t(parts[1].toUInt());
        t->day = uint8_t(parts[2].toUInt());
        t->hour = uint8_t(parts[3].toUInt());
        t->minute = uint8_t(parts[4].toUInt());
        t->second = uint8_t(parts[5].toUInt());
    }
    return 0;
}
