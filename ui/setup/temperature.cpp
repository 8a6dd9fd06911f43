#include "ui/setup/temperature.h"
#include "ui_temperature.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<temperature> kTemperatureRefresh(kPageTemperature, g_temperature);
const panel::Tr5 kTemperatureTitle{"色温", "Temperature", "Цветовая температура", "Nhiệt độ màu", "色溫"};
const panel::Tr5 kTemperatureType{"色温类型", "temperature type", "Тип оттенка", "Loại nhiệt độ", "色溫類型"};
const panel::Tr5 kTemperatureRed{"红色", "Red", "Красный", "Đỏ", "紅色"};
const panel::Tr5 kTemperatureGreen{"绿色", "Green", "Зелёный", "Xanh lá", "綠色"};
const panel::Tr5 kTemperatureBlue{"蓝色", "Blue", "Синий", "Xanh dương", "藍色"};
// In stored order: the combo's index is the stored type.
const panel::Tr5 kTemperatureTypes[temperature::kTypes] = {
    {"自定义", "custom", "Свой", "Tùy chỉnh", "自定義"},
    {"暖色", "warm", "Тёплый", "Ấm", "暖色"},
    {"自然", "nature", "Нейтральный", "Tự nhiên", "自然"},
    {"冷色", "cool", "Холодный", "Lạnh", "冷色"},
};
// The word each gain row edits (rows 1..3).
constexpr int kTemperatureGainAddress[temperature::kRows] = {0, ram::kColourTempRed, ram::kColourTempGreen,
                                                             ram::kColourTempBlue};
} // namespace

temperature::temperature(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::temperature)
    , m_ring(ui_select)
    , m_edit(m_ring,
          [](int row) { return QString(row == kTypeRow ? style::kComboEditing : style::kFieldEditing); })
{
    ui->setupUi(this);
    // Keypad only: a touched type would show what is not set.
    for (QWidget* item : std::initializer_list<QWidget*>{
             ui->comboBox_type, ui->lineEdit_name_red, ui->lineEdit_name_green, ui->lineEdit_name_blue})
        panel::ignore_touches(item);
    para_init();
    menulist_init();
    language_changed();
}

temperature::~temperature() { delete ui; }

QLineEdit* temperature::gain_field(int row) const
{
    QLineEdit* const fields[kRows] = {nullptr, ui->lineEdit_name_red, ui->lineEdit_name_green, ui->lineEdit_name_blue};
    return row >= 0 && row < kRows ? fields[row] : nullptr;
}

void temperature::para_init()
{
    for (int row = 1; row < kRows; ++row)
        gain_field(row)->setText(QString::number(int16_t(panel::img16(kTemperatureGainAddress[row]))));
    ui->comboBox_type->clear();
    for (const panel::Tr5& name : kTemperatureTypes)
        ui->comboBox_type->addItem(panel::text(name));
    // A stored type out of range shows as custom; nothing is written back.
    const uint16_t stored = panel::img16(ram::kColourTempType);
    type_index = stored < kTypes ? uint8_t(stored) : 0;
    ui->comboBox_type->setCurrentIndex(type_index);
}

void temperature::menulist_init()
{
    m_ring.set({ui->comboBox_type, ui->lineEdit_name_red, ui->lineEdit_name_green, ui->lineEdit_name_blue},
        [](int row, bool focused) {
            if (row == kTypeRow)
                return QString(focused ? style::kComboFocused : style::kComboNormal);
            return QString(focused ? style::kFieldFocused : style::kFieldNormal);
        });
    m_edit.end();
    m_ring.start(kTypeRow);
}

void temperature::language_changed()
{
    ui->label_temperature->setText(panel::text(kTemperatureTitle));
    ui->label_type->setText(panel::text(kTemperatureType));
    ui->label_name_red->setText(panel::text(kTemperatureRed));
    ui->label_name_green->setText(panel::text(kTemperatureGreen));
    ui->label_name_blue->setText(panel::text(kTemperatureBlue));
}

void temperature::syncUpdate()
{
    if (!VyxRamPara::pInstance()->VyxLanguageChanged())
        return;
    language_changed();
    para_init();
    // The combo was filled anew; a gain edit goes on with its saved value.
    if (m_edit.editing() && m_edit.item() == kTypeRow)
        m_edit.end();
}

void temperature::on_button_type_clicked()
{
    // Written whatever the scaler has pending: the type is one choice, not
    // a run of steps.
    const uint16_t type = type_index;
    panel::scaler_write([type](panel::ScalerWrite& w) { w.put16(ram::kColourTempType, type); });
}

void temperature::get_sel_value() { m_value.begin(gain_field(ui_select)); }

void temperature::updownset_sel_value(char op)
{
    if (ui_select != kTypeRow && ui_select < kRows)
        m_value.step(op, kTemperatureGainAddress[ui_select], gain_field(ui_select));
}

void temperature::step_type(int delta)
{
    type_index = uint8_t((type_index + delta + kTypes) % kTypes);
    ui->comboBox_type->setCurrentIndex(type_index);
}

void temperature::keyReleaseEvent(QKeyEvent* event)
{
    panel::EditActions act;
    act.editable = [](int) { return true; };
    act.value = [this](int row) {
        if (row == kTypeRow)
            return int(type_index);
        get_sel_value();
        return int(m_value.saved);
    };
    act.step = [this](int row, int delta) {
        if (row == kTypeRow)
            step_type(delta);
        else
            updownset_sel_value(delta > 0 ? panel::kStepUp : panel::kStepDown);
    };
    act.apply = [this](int row) {
        if (row == kTypeRow)
            on_button_type_clicked();
        else
            updownset_sel_value(panel::kStepAccept);
    };
    act.restore = [this](int row, int saved) {
        if (row != kTypeRow) {
            updownset_sel_value(panel::kStepRevert);
            return;
        }
        type_index = uint8_t(saved);
        on_button_type_clicked();
        ui->comboBox_type->setCurrentIndex(type_index);
    };
    act.back = [this] { slot_Button_back_clicked(); };
    act.mode = [this] { return panel::mode_key_chain(this, g_temperature, g_imagequality, g_option); };
    panel::edit_keys(event->key(), keyboard, m_ring, m_edit, act);
}

void temperature::slot_Button_back_clicked()
{
    panel::go_back(this, g_temperature, g_imagequality, kPageImageQuality);
}
