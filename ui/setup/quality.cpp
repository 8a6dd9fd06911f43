#include "ui/setup/quality.h"
#include "ui_quality.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<quality> kQualityRefresh(kPageQuality, g_quality);
const panel::Tr5 kQualityTitle{"画质", "Image quality", "Качество изображения", "Chất lượng hình ảnh", "畫質"};
const panel::Tr5 kQualityBright{"亮度", "Brightness", "Яркость", "Độ sáng", "亮度"};
const panel::Tr5 kQualitySharpness{"锐度", "Sharpness", "Резкость", "Độ sắc nét", "銳度"};
const panel::Tr5 kQualityContrast{"对比度", "Contrast", "Контраст", "Độ tương phản", "對比度"};
const panel::Tr5 kQualitySaturation{"饱和度", "Saturation", "Насыщенность", "Độ bão hòa", "飽和度"};
const panel::Tr5 kQualityReset{"恢复默认", "Reset", "Сброс", "Đặt lại", "恢復默認"};
const panel::Tr5 kQualityPressOk{"按确定键", "Press Ok", "Нажмите OK", "Nhấn OK", "按確定鍵"};

// The word each value row edits, in ring order.
constexpr int kQualityAddress[] = {ram::kBrightness, ram::kSharpness, ram::kContrast, ram::kSaturation};
constexpr int kQualityValueRows = 4;
// The reset restores the picture controls and the colour temperature:
// image bytes 2176..2191.
constexpr int kQualityResetLength = ram::kColourTempBlue + 2 - ram::kBrightness;
} // namespace

quality::quality(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::quality)
    , m_ring(ui_select)
    , m_edit(m_ring, [](int) { return QString(style::kFieldEditing); })
{
    ui->setupUi(this);
    // Keypad only, the Reset row too.
    for (int row = 0; row < kRows; ++row)
        panel::ignore_touches(field(row));
    para_init();
    menulist_init();
    language_changed();
}

quality::~quality() { delete ui; }

QLineEdit* quality::field(int row) const
{
    QLineEdit* const fields[kRows]
        = {ui->lineEdit_bright, ui->lineEdit_Sharpness, ui->lineEdit_Contrast, ui->lineEdit_Saturation,
            ui->lineEdit_Reset};
    return row >= 0 && row < kRows ? fields[row] : nullptr;
}

void quality::para_init()
{
    for (int row = 0; row < kQualityValueRows; ++row)
        field(row)->setText(QString::number(int16_t(panel::img16(kQualityAddress[row]))));
}

void quality::menulist_init()
{
    m_ring.set({ui->lineEdit_bright, ui->lineEdit_Sharpness, ui->lineEdit_Contrast, ui->lineEdit_Saturation,
                   ui->lineEdit_Reset},
        style::kFieldNormal, style::kFieldFocused);
    m_edit.end();
    m_ring.start(0);
    m_value.begin(ui->lineEdit_bright);
}

void quality::language_changed()
{
    ui->label_quality->setText(panel::text(kQualityTitle));
    ui->label_bright->setText(panel::text(kQualityBright));
    ui->label_Sharpness->setText(panel::text(kQualitySharpness));
    ui->label_Contrast->setText(panel::text(kQualityContrast));
    ui->label_Saturation->setText(panel::text(kQualitySaturation));
    ui->label_reset->setText(panel::text(kQualityReset));
    ui->lineEdit_Reset->setText(panel::text(kQualityPressOk));
}

void quality::syncUpdate()
{
    // Values changed elsewhere are not redrawn: an edit goes on from the
    // number shown.
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void quality::get_sel_value() { m_value.begin(field(ui_select)); }

void quality::updownset_sel_value(char op)
{
    if (ui_select < kQualityValueRows)
        m_value.step(op, kQualityAddress[ui_select], field(ui_select));
}

void quality::on_Button_reset_clicked()
{
    const uint8_t* defaults = default_para_ramlist.data() + (ram::kBrightness - ram::kFileToImage);
    panel::scaler_write(
        [defaults](panel::ScalerWrite& w) { w.copy_in(ram::kBrightness, defaults, kQualityResetLength); });
    para_init();
}

void quality::keyReleaseEvent(QKeyEvent* event)
{
    panel::EditActions act;
    act.editable = [](int row) { return row < kQualityValueRows; };
    act.value = [this](int) {
        get_sel_value();
        return m_value.saved;
    };
    act.step = [this](int, int delta) { updownset_sel_value(delta > 0 ? panel::kStepUp : panel::kStepDown); };
    act.apply = [this](int) { updownset_sel_value(panel::kStepAccept); };
    act.restore = [this](int, int) { updownset_sel_value(panel::kStepRevert); };
    act.activate = [this](int row) {
        if (row == kResetRow)
            on_Button_reset_clicked();
    };
    act.back = [this] { slot_Button_back_clicked(); };
    act.mode = [this] { return panel::mode_key_chain(this, g_quality, g_imagequality, g_option); };
    panel::edit_keys(event->key(), keyboard, m_ring, m_edit, act);
}

void quality::slot_Button_back_clicked() { panel::go_back(this, g_quality, g_imagequality, kPageImageQuality); }
