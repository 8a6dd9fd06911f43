#include "ui/setup/othersetup.h"
#include "ui_othersetup.h"

#include <QKeyEvent>
#include <QVariant>
#include <initializer_list>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "remote/q58_wifi_config.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<othersetup> kOthersetupRefresh(kPageOthersetup, g_othersetup);
const panel::Tr5 kOthersetupTitle{"其他设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其他設置"};
const panel::Tr5 kOthersetupVolume{"音量", "Volume", "Звук", "Âm thanh", "音量"};
const panel::Tr5 kOthersetupSwitch{"切换模式", "Switch mode", "Переключение", "Chế độ chuyển", "切換模式"};
const panel::Tr5 kOthersetupProjection{"投影", "Projection", "Проекция", "Trình chiếu", "投影"};
const panel::Tr5 kOthersetupWifi{"WiFi状态", "Wifi state", "Состояние WiFi", "Trạng thái WiFi", "WiFi狀態"};
const panel::Tr5 kOthersetupDbd{"点对点", "DBD", "Точка в точку", "Điểm-điểm", "點對點"};
// "image%1" with the image's number.
const panel::Tr5 kOthersetupImage{"图像%1", "image%1", "окно%1", "hình%1", "圖像%1"};
const panel::Tr5 kOthersetupOff{"关", "OFF", "ВЫКЛ", "TẮT", "關"};
const panel::Tr5 kOthersetupOn{"开", "ON", "ВКЛ", "BẬT", "開"};
const panel::Tr5 kOthersetupSeamless{"无缝", "Seamless", "Бесшовно", "Liền mạch", "無縫"};
const panel::Tr5 kOthersetupFade{"淡入淡出", "Fade", "Плавно", "Mờ dần", "淡入淡出"};
const panel::Tr5 kOthersetupClickOk{"按确定键", "Click OK", "Нажмите OK", "Nhấn OK", "按確定鍵"};

// Entries of the two-state rows: the sound and dot-by-dot rows list off
// first, the WiFi row on first.
constexpr int kOthersetupOffEntry = 0;
constexpr int kOthersetupOnEntry = 1;
constexpr int kOthersetupFadeEntry = 1;
constexpr int kOthersetupWifiOffEntry = 1;

constexpr uint16_t kOthersetupSoundOn = 0x8000;
// Word +20 of an image that sounds: the sound bit and a full low byte.
constexpr uint16_t kOthersetupSounding = 0x80FF;
constexpr int kOthersetupDotByDotByte = ram::kImgOutput + 1;
// The entries in a smaller font where they are wider than the room a combo
// gives its text, down to this size.
constexpr int kOthersetupSmallestEntryPoint = 6;

bool othersetupEnabled(int image) { return panel::img16(ram::imageRecord(image) + ram::kImgEnable) != 0; }

bool othersetupSounding(int image)
{
    return panel::img16(ram::imageRecord(image) + ram::kImgAudio) & kOthersetupSoundOn;
}

void othersetupFill(QComboBox* box, std::initializer_list<const panel::Tr5*> entries, int selected)
{
    box->clear();
    for (const panel::Tr5* entry : entries)
        box->addItem(panel::text(*entry));
    box->setCurrentIndex(selected);
}
} // namespace

othersetup::othersetup(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::othersetup)
    , m_ring(ui_select)
    , m_edit(m_ring, [](int) { return QString(style::kComboEditing); })
{
    ui->setupUi(this);
    ui->label_name_mode->hide();
    ui->mode_state->hide();
    // Keypad only: OK takes the entry a row shows, so a touched choice
    // would be applied by the next OK, OK.
    for (int row = 0; row < kRows; ++row)
        panel::ignore_touches(combo(row));
    menulist_init();
    language_changed();
    para_init();
}

othersetup::~othersetup() { delete ui; }

QComboBox* othersetup::combo(int row) const
{
    QComboBox* const rows[kRows]
        = {ui->ImageVolume, ui->volume_state, ui->switch_state, ui->mode_state, ui->wifi_state, ui->dbd_state};
    return row >= 0 && row < kRows ? rows[row] : nullptr;
}

void othersetup::menulist_init()
{
    m_ring.set({ui->ImageVolume, ui->volume_state, ui->switch_state, ui->mode_state, ui->wifi_state, ui->dbd_state},
        style::kComboNormal, style::kComboFocused);
    m_edit.end();
    edit_value = 0;
    m_ring.start(kRowImage);
}

othersetup::SoundRows othersetup::sound_rows_now()
{
    SoundRows now;
    for (int k = 0; k < ram::kWindowImages; ++k)
        if (othersetupEnabled(k))
            now.enabled = uint8_t(now.enabled | (1u << k));
    now.audio = int16_t(panel::img16(ram::kAudioImage));
    now.sounding = now.audio >= 0 && now.audio < ram::kWindowImages && othersetupSounding(now.audio);
    return now;
}

void othersetup::sound_rows_init(int keep)
{
    // The audio image must name an enabled image 0..5; otherwise image 0.
    // The word is read once: a PC may write it meanwhile.
    int current = int16_t(panel::img16(ram::kAudioImage));
    if (current < 0 || current >= ram::kWindowImages || !othersetupEnabled(current)) {
        current = 0;
        panel::scaler_write([](panel::ScalerWrite& w) { w.put16(ram::kAudioImage, 0); }, 0);
    }

    // Each entry holds its image's number: OK acts on that image, wherever
    // a PC has moved it among the enabled ones meanwhile.
    ui->ImageVolume->clear();
    SoundRows drawn;
    drawn.audio = current;
    int selected = 0;
    int kept = -1;
    for (int k = 0; k < ram::kWindowImages; ++k) {
        if (!othersetupEnabled(k))
            continue;
        drawn.enabled = uint8_t(drawn.enabled | (1u << k));
        if (k == current)
            selected = ui->ImageVolume->count();
        if (k == keep)
            kept = ui->ImageVolume->count();
        ui->ImageVolume->addItem(panel::text(kOthersetupImage).arg(k + 1), k);
    }
    entry_count[kRowImage] = uint8_t(ui->ImageVolume->count());
    ui->ImageVolume->setCurrentIndex(!entry_count[kRowImage] ? -1 : kept >= 0 ? kept : selected);

    drawn.sounding = othersetupSounding(current);
    othersetupFill(ui->volume_state, {&kOthersetupOff, &kOthersetupOn},
        drawn.sounding ? kOthersetupOnEntry : kOthersetupOffEntry);
    m_soundDrawn = drawn;
    for (int row : {kRowImage, kRowSound})
        panel::fit_combo(combo(row), kOthersetupSmallestEntryPoint);
}

void othersetup::redraw_sound_rows()
{
    if (m_edit.editing() && (m_edit.item() == kRowImage || m_edit.item() == kRowSound))
        m_edit.end();
    sound_rows_init(shown_image());
}

int othersetup::shown_image() const
{
    const QVariant image = ui->ImageVolume->currentData();
    return image.isValid() ? image.toInt() : -1;
}

void othersetup::para_init()
{
    sound_rows_init(-1);
    othersetupFill(ui->switch_state, {&kOthersetupSeamless, &kOthersetupFade},
        panel::img16(ram::kFadeEffect) ? kOthersetupFadeEntry : 0);
    othersetupFill(ui->mode_state, {&kOthersetupClickOk}, 0);
    othersetupFill(ui->wifi_state, {&kOthersetupOn, &kOthersetupOff},
        panel::img16(ram::kWifiOff) ? kOthersetupWifiOffEntry : 0);

    bool dotByDot = false;
    for (int k = 0; k < ram::kImageRecordCount && !dotByDot; ++k)
        dotByDot = panel::img8(ram::imageRecord(k) + kOthersetupDotByDotByte) != 0
                   && panel::img8(ram::imageRecord(k) + ram::kImgEnable) != 0;
    if (!dotByDot)
        dotByDot = panel::img16(ram::kDotByDotSwitch) != 0;
    othersetupFill(
        ui->dbd_state, {&kOthersetupOff, &kOthersetupOn}, dotByDot ? kOthersetupOnEntry : kOthersetupOffEntry);
    for (int row : {kRowSwitch, kRowMode, kRowWifi, kRowDbd})
        panel::fit_combo(combo(row), kOthersetupSmallestEntryPoint);
}

void othersetup::language_changed()
{
    ui->label_other->setText(panel::text(kOthersetupTitle));
    ui->label_name_volume->setText(panel::text(kOthersetupVolume));
    ui->label_name_switch->setText(panel::text(kOthersetupSwitch));
    ui->label_name_mode->setText(panel::text(kOthersetupProjection));
    ui->label_wifi->setText(panel::text(kOthersetupWifi));
    ui->label_name_DBD->setText(panel::text(kOthersetupDbd));
}

void othersetup::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged()) {
        language_changed();
        m_edit.end();
        para_init();
        return;
    }
    // A PC changed the images or the sound: the two rows show it.
    if (!(sound_rows_now() == m_soundDrawn))
        redraw_sound_rows();
}

void othersetup::step_entry(int delta)
{
    const int count = entry_count[ui_select];
    if (count == 0)
        return;
    edit_value = uint8_t((edit_value + delta + count) % count);
    combo(ui_select)->setCurrentIndex(edit_value);
}

void othersetup::on_button_box_clicked()
{
    switch (ui_select) {
    case kRowSound:
        apply_sound();
        break;
    case kRowSwitch:
        apply_switch();
        break;
    case kRowWifi:
        apply_wifi();
        break;
    case kRowDbd:
        apply_dbd();
        break;
    default:
        break;
    }
}

void othersetup::apply_sound()
{
    // The image the row shows, by its number. A PC may have closed it while
    // the screen was open: nothing is written, the rows show what is.
    const int image = shown_image();
    if (image < 0 || !othersetupEnabled(image)) {
        redraw_sound_rows();
        return;
    }
    const bool wantOn = edit_value == kOthersetupOnEntry;
    const int audioWord = ram::imageRecord(image) + ram::kImgAudio;
    panel::scaler_write([this, image, wantOn, audioWord](panel::ScalerWrite& w) {
        // Only a change of state moves the audio image.
        const bool isOn = panel::img16(audioWord) & kOthersetupSoundOn;
        if (isOn == wantOn)
            return;
        w.put16(ram::kAudioImage, uint16_t(image));
        w.put16(audioWord, wantOn ? kOthersetupSounding : 0);
        // The rows show this already.
        m_soundDrawn.audio = image;
        m_soundDrawn.sounding = wantOn;
    });
}

void othersetup::apply_switch()
{
    const bool fade = edit_value == kOthersetupFadeEntry;
    panel::scaler_write([fade](panel::ScalerWrite& w) {
        w.put8(ram::kFadeEffect, fade ? 1 : 0);
        for (int k = 0; k < ram::kImageRecordCount; ++k) {
            if (fade) {
                w.put8(ram::kFadeIn + ram::kFadeStride * k, ram::kFadeAtStart);
                w.put8(ram::kFadeOut + ram::kFadeStride * k, ram::kFadeAtStart);
            }
            const int output = ram::imageRecord(k) + ram::kImgOutput;
            const uint16_t word = panel::img16(output);
            w.put16(output, fade ? uint16_t(word | ram::kOutFade) : uint16_t(word & ~ram::kOutFade));
        }
    });
    VyxRamPara::pInstance()->ram_para_save();
}

void othersetup::apply_wifi()
{
    const bool off = edit_value == kOthersetupWifiOffEntry;
    panel::scaler_write([off](panel::ScalerWrite& w) { w.put8(ram::kWifiOff, off ? 1 : 0); });
    // The access point is stopped or restarted only once the scaler's lock
    // is free again: a shell command may take its time.
    if (off) {
        Utils::system_mutex(QString::fromLatin1(Q58_WIFI_CONFIG::kStopHostapd));
        Utils::system_mutex(QString::fromLatin1(Q58_WIFI_CONFIG::kStopUdhcpd));
    } else if (Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::p_wifi) {
        wifi->set_wifi_reset_flag();
    }
}

void othersetup::apply_dbd()
{
    const uint8_t on = edit_value == kOthersetupOnEntry ? 1 : 0;
    panel::scaler_write([on](panel::ScalerWrite& w) {
        w.put8(ram::kDotByDotSwitch, on);
        for (int k = 0; k < ram::kImageRecordCount; ++k)
            w.put8(ram::imageRecord(k) + kOthersetupDotByDotByte, on);
    });
    VyxRamPara::pInstance()->ram_para_save();
}

void othersetup::keyReleaseEvent(QKeyEvent* event)
{
    panel::EditActions act;
    act.editable = [](int) { return true; };
    act.value = [this](int row) {
        const int shown = combo(row)->currentIndex();
        edit_value = uint8_t(shown < 0 ? 0 : shown);
        return int(edit_value);
    };
    act.step = [this](int, int delta) { step_entry(delta); };
    act.apply = [this](int) { on_button_box_clicked(); };
    act.restore = [this](int row, int saved) {
        combo(row)->setCurrentIndex(saved < entry_count[row] ? saved : 0);
    };
    act.back = [this] { slot_Button_back_clicked(); };
    act.mode = [this] { return panel::mode_key_chain(this, g_othersetup, g_advancedoption, g_option); };

    const panel::KeyRole role = panel::key_role(event->key());
    const bool moves = !m_edit.editing() && (role == panel::KeyRole::Left || role == panel::KeyRole::Right);
    panel::edit_keys(event->key(), keyboard, m_ring, m_edit, act);
    // The hidden projection row never takes the focus.
    if (moves && ui_select == kRowMode)
        m_ring.move(role == panel::KeyRole::Right ? +1 : -1);
}

void othersetup::slot_Button_back_clicked()
{
    panel::go_back(this, g_othersetup, g_advancedoption, kPageAdvancedOption);
}
