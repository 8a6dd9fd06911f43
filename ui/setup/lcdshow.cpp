#include "ui/setup/lcdshow.h"
#include "ui_lcdshow.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/option.h"

namespace {
const panel::PageRefresh<lcdshow> kLcdshowRefresh(kPageLcdshow, g_lcdshow);
const panel::Tr5 kLcdshowTitle{"液晶显示", "LCD display", "ЖК-дисплей", "Màn hình LCD", "液晶顯示"};
const panel::Tr5 kLcdshowBack{"返回主界面", "To main interface", "Возврат в главное меню", "Về giao diện chính",
                              "返回主介面"};
const panel::Tr5 kLcdshowLock{"自动锁屏", "Auto-screen lock", "Автоблокировка экрана", "Tự động khóa màn hình",
                              "自動鎖屏"};

constexpr int kEntries = 3;
const panel::Tr5 kLcdshowNever{"从不", "Never", "Никогда", "Không bao giờ", "從不"};
const panel::Tr5 kLcdshowBackEntries[kEntries] = {
    {"30", "30", "30", "30", "30"},
    {"60", "60", "60", "60", "60"},
    kLcdshowNever,
};
const panel::Tr5 kLcdshowLockEntries[kEntries] = {
    {"5分钟", "5min", "5 мин", "5 phút", "5分鐘"},
    {"10分钟", "10min", "10 мин", "10 phút", "10分鐘"},
    kLcdshowNever,
};
// In 10 ms ticks; "Never" is twenty minutes.
constexpr uint32_t kBackTimes[kEntries] = {3000, 6000, 120000};
constexpr uint32_t kLockTimes[kEntries] = {30000, 60000, 120000};

// Entry of `value` in `times`; the first for a value not listed.
int entry_of(uint32_t value, const uint32_t (&times)[kEntries])
{
    for (int i = 0; i < kEntries; ++i)
        if (times[i] == value)
            return i;
    return 0;
}

void fill(QComboBox* combo, const panel::Tr5 (&entries)[kEntries], int current)
{
    combo->clear();
    for (const panel::Tr5& entry : entries)
        combo->addItem(panel::text(entry));
    combo->setCurrentIndex(current);
}
} // namespace

lcdshow::lcdshow(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::lcdshow)
    , m_style("QComboBox{color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);padding:1px 6px;}"
              "QComboBox::drop-down{border:0px;}")
    , m_styleFocused("QComboBox{color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);padding:1px 6px;}"
                     "QComboBox::drop-down{border:0px;}")
    , m_styleEditing("QComboBox{color: rgb(255, 255, 255);border:1px solid rgb(255,0,0);padding:1px 6px;}"
                     "QComboBox::drop-down{border:0px;}")
    , m_ring(ui_select)
    , m_edit(m_ring, [this](int) { return m_styleEditing; })
{
    ui->setupUi(this);
    m_actions.editable = [](int) { return true; };
    m_actions.value = [this](int item) {
        m_candidate = uint8_t(combo(item)->currentIndex());
        return int(m_candidate);
    };
    m_actions.step = [this](int item, int delta) {
        m_candidate = uint8_t((m_candidate + kEntries + delta) % kEntries);
        combo(item)->setCurrentIndex(m_candidate);
    };
    m_actions.apply = [this](int item) {
        if (item == 0)
            on_button_backtolock_clicked();
        else
            on_button_autolock_clicked();
    };
    // No restore: Back leaves the screen and an edit is dropped unstored.
    m_actions.back = [this] { slot_Button_back_clicked(); };
    m_actions.mode = [this] { return panel::mode_key_chain(this, g_lcdshow, g_advancedoption, g_option); };
    // Keypad only: a touch opens no list.
    panel::ignore_touches(ui->comboBox_back);
    panel::ignore_touches(ui->comboBox_lock);
    para_init();
    menulist_init();
    language_changed();
}

lcdshow::~lcdshow() { delete ui; }

void lcdshow::para_init()
{
    fill(ui->comboBox_back, kLcdshowBackEntries, entry_of(g_back_to_mainwindow_time, kBackTimes));
    fill(ui->comboBox_lock, kLcdshowLockEntries, entry_of(g_auto_lock_time, kLockTimes));
}

void lcdshow::menulist_init()
{
    m_ring.set({ui->comboBox_back, ui->comboBox_lock}, m_style, m_styleFocused);
    m_edit.end();
    m_ring.start(0);
    m_candidate = uint8_t(entry_of(g_back_to_mainwindow_time, kBackTimes));
}

QComboBox* lcdshow::combo(int item) const { return item == 0 ? ui->comboBox_back : ui->comboBox_lock; }

void lcdshow::language_changed()
{
    ui->label_LCDshow->setText(panel::text(kLcdshowTitle));
    ui->label_backmainwindow->setText(panel::text(kLcdshowBack));
    ui->label_autolock->setText(panel::text(kLcdshowLock));
    // The captions wrap onto two lines; a long one takes a smaller font.
    panel::fit_label(ui->label_backmainwindow);
    panel::fit_label(ui->label_autolock);
}

void lcdshow::syncUpdate()
{
    if (!VyxRamPara::pInstance()->VyxLanguageChanged())
        return;
    language_changed();
    para_init();
    // An edit in progress ends unstored: the combos show the stored times.
    m_edit.end();
}

void lcdshow::on_button_backtolock_clicked()
{
    if (m_candidate < kEntries)
        g_back_to_mainwindow_time = kBackTimes[m_candidate];
}

void lcdshow::on_button_autolock_clicked()
{
    if (m_candidate < kEntries)
        g_auto_lock_time = kLockTimes[m_candidate];
}

void lcdshow::keyReleaseEvent(QKeyEvent* event) { panel::edit_keys(event->key(), keyboard, m_ring, m_edit, m_actions); }

void lcdshow::slot_Button_back_clicked() { panel::go_back(this, g_lcdshow, g_advancedoption, kPageAdvancedOption); }
