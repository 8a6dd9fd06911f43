#include "ui/image/inputchoose.h"
#include "ui_inputchoose.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/image/edidset.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputcut.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<InputChoose> kInputChooseRefresh(kPageInputChoose, g_inputchoose);
const panel::Tr5 kInputChooseTitle{
    "信源切换", "Source switch", "Переключение источника", "Chuyển đổi nguồn", "信源切換"};
const panel::Tr5 kInputChooseItems[] = {
    {"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"},
    {"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"},
};
} // namespace

InputChoose::InputChoose(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::InputChoose)
{
    ui->setupUi(this);
    language_changed();
    menulist_init();
}

InputChoose::~InputChoose() { delete ui; }

void InputChoose::language_changed()
{
    ui->label_title->setText(panel::text(kInputChooseTitle));
    ui->button_inputcut->setText(panel::text(kInputChooseItems[0]));
    ui->button_EDID->setText(panel::text(kInputChooseItems[1]));
}

void InputChoose::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void InputChoose::menulist_init()
{
    ring.set({ui->button_inputcut, ui->button_EDID}, style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void InputChoose::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_inputchoose, g_imagelayout, g_option); });
}

void InputChoose::slot_Button_back_clicked()
{
    if (g_imagelayout)
        panel::go_back(this, g_inputchoose, g_imagelayout, kPageImageLayout);
    else
        panel::go_back(this, g_inputchoose, g_mainwindow, kPageMainWindow);
}

void InputChoose::open_item(int item)
{
    static void (InputChoose::*const kOpen[])() = {
        &InputChoose::vyx_button_inputcut_clicked,
        &InputChoose::vyx_button_EDID_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void InputChoose::vyx_button_inputcut_clicked() { panel::open_modal(g_inputcut, kPageInputCut); }

void InputChoose::vyx_button_EDID_clicked() { panel::open_modal(g_edidset, kPageEDIDset); }
