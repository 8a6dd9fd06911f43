#include "ui/image/imagelayout.h"
#include "ui_imagelayout.h"

#include <QDebug>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QStringList>

#include "core/change_codes.h"
#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/image/alias.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

using namespace ram;

namespace {
const panel::PageRefresh<ImageLayout> kImageLayoutRefresh(kPageImageLayout, g_imagelayout);

const panel::Tr5 kImageLayoutTitle{"画面布局", "Screen layout", "Расположение", "Bố cục màn hình", "畫麵佈局"};
const panel::Tr5 kLayoutDotByDot{"点对点", "DBD", "Пиксель к пикселю", "Điểm tới điểm", "點對點"};
const panel::Tr5 kLayoutWidth{"宽", "W", "Ширина", "Rộng", "寬"};
const panel::Tr5 kLayoutHeight{"高", "H", "Высота", "Cao", "高"};
const panel::Tr5 kLayoutMirror{"镜像", "mirror", "Отражение", "Ảnh phản chiếu", "鏡像"};
const panel::Tr5 kLayoutStateCaption{"画面状态:", "Image state:", "Состояние:", "Trạng thái:", "畫麵狀態:"};
const panel::Tr5 kLayoutStateOn{"开启", "ON", "Вкл", "Mở", "開啟"};
const panel::Tr5 kLayoutStateOff{"关闭", "OFF", "Откл", "Đóng", "關閉"};
const panel::Tr5 kLayoutNamePrefix{"名称:", "Name:", "Название:", "Tên:", "名稱:"};
const panel::Tr5 kLayoutDefaultName{"画面名称:画面%1", "Name:Image%1", "Название:Канал%1", "Tên:Hình ảnh%1", "畫麵名稱:畫麵%1"};
const panel::Tr5 kLayoutSourceCaption{"信源:", "Source:", "Источник:", "Nguồn tín hiệu:", "信源:"};
const panel::Tr5 kLayoutDotByDotItems[] = {
    {"点对点关闭", "OFF", "Откл", "Đóng", "點對點關閉"},
    {"点对点开启", "ON", "Вкл", "Mở", "點對點開啟"},
    {"HD3,HD4水平拼接", "HD3,HD4 Hor", "Гор HD3,HD4", "Nối ngang HD3,HD4", "HD3,HD4水平拼接"},
    {"HD3,HD4垂直拼接", "HD3,HD4 Ver", "Вер HD3,HD4", "Ghép dọc HD3,HD4", "HD3,HD4垂直拼接"},
};

// Images 1-4 have a tab each.
constexpr int kLayoutImages = 4;
// The two dot-by-dot modes that splice inputs HD3 and HD4.
constexpr uint16_t kLayoutSpliceAcross = 8;
constexpr uint16_t kLayoutSpliceDown = 9;

// The combo's items in a smaller font where they are wider than the room
// it gives its text (it draws no arrow, but the room for one stays).
void layoutFitCombo(QComboBox* combo)
{
    constexpr int kSmallestComboPoint = 6;
    panel::fit_combo(combo, kSmallestComboPoint);
}
} // namespace

ImageLayout::ImageLayout(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::ImageLayout)
{
    ui->setupUi(this);
    ui->label5->hide();
    ui->label6->hide();
    // A viewer worked by the keys: its fields and list take no touch.
    for (QWidget* item : std::initializer_list<QWidget*>{
             ui->comboBox_P2P, ui->lineEdit_X, ui->lineEdit_Y, ui->lineEdit_W, ui->lineEdit_H})
        panel::ignore_touches(item);
    menulist_init();
    for (const panel::Tr5& item : kLayoutDotByDotItems)
        ui->comboBox_P2P->addItem(panel::text(item));
    image_init();
    image_para_update();
    language_changed();
}

ImageLayout::~ImageLayout() { delete ui; }

void ImageLayout::menulist_init()
{
    // The keys only ever choose images 1-4.
    const uint8_t current = g_image_current.load();
    ui_select = current < kLayoutImages ? current : 0;
}

void ImageLayout::image_init()
{
    // The whole enable word counts here, not only its bit 0.
    const bool on = panel::img16(imageRecord(ui_select) + kImgEnable) != 0;
    ui->image_state->setText(panel::text(kLayoutStateCaption) + panel::text(on ? kLayoutStateOn : kLayoutStateOff));
    ui->frame_image->setGeometry(7 + 51 * ui_select, 39, 51, 49);
    ui->frame_image->setStyleSheet(QStringLiteral("#frame_image{border:1px solid;border-left-color:rgb(255,171,84);"
                                                  "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);}"));
}

void ImageLayout::image_para_update()
{
    const int i = ui_select;
    const int record = imageRecord(i);

    ALIAS_PARA alias;
    ui->image_name->setTextFormat(Qt::PlainText);
    if (get_json_alias_para(&alias, kAliasWindow, i)) {
        // The name is cut, the prefix kept; the cut shows inside the label.
        const QFontMetrics metrics(ui->image_name->font());
        const QString prefix = panel::text(kLayoutNamePrefix);
        const QString name = metrics.elidedText(QString::fromStdString(alias.name), Qt::ElideRight,
            ui->image_name->width() - metrics.horizontalAdvance(prefix), Qt::TextShowMnemonic);
        ui->image_name->setText(prefix + name);
    } else {
        ui->image_name->setText(panel::text(kLayoutDefaultName).arg(i + 1));
    }

    VyxRamPara* store = VyxRamPara::pInstance();
    short isCrop = 0;
    char cropIndex = 0;
    const int source = store->VyxGetImageSource(store->ram_para, uint8_t(i), &isCrop, &cropIndex, 0);
    ui->image_source->setText(panel::text(kLayoutSourceCaption) + sourceinfo::get_source_name_by_sourceid(uint8_t(source)));

    ui->lineEdit_X->setText(QString::number(panel::img16(record + kImgX)));
    ui->lineEdit_Y->setText(QString::number(panel::img16(record + kImgY)));
    ui->lineEdit_W->setText(QString::number(panel::img16(record + kImgWidth)));
    ui->lineEdit_H->setText(QString::number(panel::img16(record + kImgHeight)));

    mirror_select(panel::img16(record + kImgMirror));

    if (!(panel::img16(record + kImgOutput) & kOutDotByDot)) {
        ui->comboBox_P2P->setCurrentIndex(0);
    } else {
        const uint16_t mode = panel::img16(record + kImgDotMode);
        if (mode == 0)
            ui->comboBox_P2P->setCurrentIndex(1);
        else if (mode == kLayoutSpliceAcross)
            ui->comboBox_P2P->setCurrentIndex(2);
        else if (mode == kLayoutSpliceDown)
            ui->comboBox_P2P->setCurrentIndex(3);
        // Any other mode leaves the index as it was.
    }
    layoutFitCombo(ui->comboBox_P2P);
    ui->frame->setStyleSheet(QStringLiteral("#frame{border:1px solid rgb(255,171,84);}"));
}

void ImageLayout::mirror_select(int attribute)
{
    if (attribute < 0 || attribute > 3)
        return;
    QLabel* const icons[] = {ui->mirror1, ui->mirror2, ui->mirror3, ui->mirror4};
    for (int k = 0; k < 4; ++k)
        panel::set_picture(icons[k],
            panel::png_plain(QStringLiteral("mirror%1_%2").arg(k + 1).arg(k == attribute ? "on" : "off")));
}

void ImageLayout::language_changed()
{
    ui->label_title->setText(panel::text(kImageLayoutTitle));
    ui->label_P2P->setText(panel::text(kLayoutDotByDot));
    ui->label_W->setText(panel::text(kLayoutWidth));
    ui->label_H->setText(panel::text(kLayoutHeight));
    ui->label_mirror->setText(panel::text(kLayoutMirror));
    for (QLabel* caption : {ui->label_P2P, ui->label_W, ui->label_H, ui->label_mirror})
        panel::fit_label(caption);
}

void ImageLayout::syncUpdate()
{
    if (!VyxRamPara::pInstance()->VyxLanguageChanged())
        return;
    language_changed();
    menulist_init();
    image_init();
    image_para_update();
}

void ImageLayout::keyPressEvent(QKeyEvent* event)
{
    // The function-key codes only, not their letters.
    if (event->key() == panel::kKeyOk)
        qDebug("this is OK ImageLayout(Option)[Press]\n");
    else if (event->key() == panel::kKeyBack)
        qDebug("this is back ImageLayout(Option)[Press]\n");
}

void ImageLayout::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    switch (panel::key_role(key)) {
    case panel::KeyRole::Left:
    case panel::KeyRole::Right:
        ui_select = uint8_t((ui_select + (panel::key_role(key) == panel::KeyRole::Right ? 1 : kLayoutImages - 1)) %
                            kLayoutImages);
        qDebug("this is %s-code [ImageLayout][Release] ui_select=%#x",
            panel::key_role(key) == panel::KeyRole::Right ? "right" : "left", ui_select);
        image_init();
        image_para_update();
        // A closed image can be chosen too: it is the one the keys act on
        // while this screen is open.
        g_image_current = ui_select;
        VyxRamPara::pInstance()->test_signal(kChangeRefresh);
        break;
    case panel::KeyRole::Ok:
        qDebug("this is OK button(ImageLayout)[Release]\n");
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button(ImageLayout)[Release]\n");
        slot_Button_back_clicked();
        break;
    case panel::KeyRole::Mode:
        qDebug("this is mode-code [ImageLayout][Release]");
        if (!panel::mode_key_chain(this, g_imagelayout, g_option))
            return;
        break;
    case panel::KeyRole::None:
        break;
    }
    keyboard.update_usb_keyEvent(key);
}

void ImageLayout::slot_Button_back_clicked() { panel::go_back(this, g_imagelayout, g_option, kPageOption); }
