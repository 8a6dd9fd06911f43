#include "ui/setup/value_step.h"

#include <QLineEdit>

#include "scaler/c331_manage.h"
#include "ui/shell/screen_kit.h"

namespace panel {

bool request_pending()
{
    const c331_manage* scaler = c331_manage::p_c331_manage;
    return scaler && scaler->para_changed.load() != 0;
}

int field_number(const QLineEdit* field)
{
    bool ok = false;
    const int n = field ? field->text().toInt(&ok, 10) : 0;
    return ok ? n : 0;
}

void SteppedValue::begin(const QLineEdit* field)
{
    value = field_number(field);
    saved = value;
}

void SteppedValue::step(char op, int addr, QLineEdit* field)
{
    if (op != kStepRevert && request_pending())
        return;
    switch (op) {
    case kStepUp:
        ++value;
        break;
    case kStepDown:
        --value;
        break;
    case kStepAccept:
        saved = value;
        break;
    case kStepRevert:
        value = saved;
        break;
    default:
        break;
    }
    if (value <= 0)
        value = 0;
    else if (value > 99)
        value = 100;
    const uint16_t word = uint16_t(value);
    scaler_write([addr, word](ScalerWrite& w) { w.put16(addr, word); });
    if (field)
        field->setText(QString::number(value));
}

} // namespace panel
