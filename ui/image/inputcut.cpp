#include "ui/image/inputcut.h"
#include "ui_inputcut.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputchoose.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<InputCut> kInputCutRefresh(kPageInputCut, g_inputcut);
const panel::Tr5 kInputCutTitle{"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"};
} // namespace

InputCut::InputCut(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::InputCut)
{
    ui->setupUi(this);
    language_changed();
}

InputCut::~InputCut() { delete ui; }

void InputCut::language_changed() { ui->label_title->setText(panel::text(kInputCutTitle)); }

void InputCut::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void InputCut::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_inputcut, g_inputchoose, g_imagelayout, g_option); });
}

void InputCut::slot_Button_back_clicked()
{
    if (g_inputchoose)
        panel::go_back(this, g_inputcut, g_inputchoose, kPageInputChoose);
    else
        panel::go_back(this, g_inputcut, g_option, kPageOption);
}
