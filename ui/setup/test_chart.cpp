#include "ui/setup/test_chart.h"
#include "ui_test_chart.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/shell/option.h"

namespace {
const panel::PageRefresh<test_chart> kTestchartRefresh(kPageTestChart, g_test_chart);
const panel::Tr5 kTestchartTitle{"测试画面", "Test pattern", "Тестовое изображение", "Mẫu kiểm tra", "測試畫面"};
// In picture order; in Russian and Vietnamese the pictures are numbered.
const panel::Tr5 kTestchartCaptions[test_chart::kPictures] = {
    {"红色", "Red", "Тест 1", "Kiểm tra 1", "紅色"},
    {"绿色", "Green", "Тест 2", "Kiểm tra 2", "綠色"},
    {"蓝色", "Blue", "Тест 3", "Kiểm tra 3", "藍色"},
    {"白色", "White", "Тест 4", "Kiểm tra 4", "白色"},
    {"黑色", "Black", "Тест 5", "Kiểm tra 5", "黑色"},
    {"彩条", "Colour bar", "Тест 6", "Kiểm tra 6", "彩條"},
    {"竖线", "Vertical line", "Тест 7", "Kiểm tra 7", "豎線"},
    {"横线", "Horizontal line", "Тест 8", "Kiểm tra 8", "橫線"},
};
const panel::Tr5 kTestchartClose{"关闭", "Close", "Закрыть", "Đóng", "關閉"};
} // namespace

test_chart::test_chart(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::test_chart)
    , m_pictureStyle("color: rgb(255, 255, 255);")
    , m_pictureFocused("border:1px solid rgb(255,171,84);")
    , m_closeStyle("color: rgb(255, 255, 255);background-color:rgb(0,0,0);border:1px solid rgb(255,255,255);")
    , m_closeFocused("color: rgb(255, 255, 255); background-color:rgb(0,0,0);border:1px solid rgb(255,171,84);")
    , m_ring(ui_select)
{
    ui->setupUi(this);
    QLabel* const pictures[kPictures] = {ui->label_test1, ui->label_test2, ui->label_test3, ui->label_test4,
                                         ui->label_test5, ui->label_test6, ui->label_test7, ui->label_test8};
    for (int i = 0; i < kPictures; ++i) {
        panel::set_picture(pictures[i], panel::png_plain(QStringLiteral("img_test%1").arg(i + 1)));
        // Drawn at its own size, centred: the focus border then stands
        // apart from the picture's edge, also on the red one.
        pictures[i]->setScaledContents(false);
    }
    menulist_init();
    language_changed();
}

test_chart::~test_chart() { delete ui; }

void test_chart::menulist_init()
{
    m_ring.set({ui->label_test1, ui->label_test2, ui->label_test3, ui->label_test4, ui->label_test5, ui->label_test6,
                   ui->label_test7, ui->label_test8, ui->Button_closetest},
        [this](int index, bool focused) {
            if (index == kCloseItem)
                return focused ? m_closeFocused : m_closeStyle;
            return focused ? m_pictureFocused : m_pictureStyle;
        });
    m_ring.start(0);
}

void test_chart::language_changed()
{
    QLabel* const captions[kPictures] = {ui->label_text1, ui->label_text2, ui->label_text3, ui->label_text4,
                                         ui->label_text5, ui->label_text6, ui->label_text7, ui->label_text8};
    ui->label_testimage->setText(panel::text(kTestchartTitle));
    for (int i = 0; i < kPictures; ++i)
        captions[i]->setText(panel::text(kTestchartCaptions[i]));
    ui->Button_closetest->setText(panel::text(kTestchartClose));
}

void test_chart::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void test_chart::slot_Button_on_clicked()
{
    const uint8_t pattern = ui_select < kPictures ? uint8_t(ui_select + 1) : 0;
    panel::scaler_write([pattern](panel::ScalerWrite& w) { w.put8(ram::kTestPattern, pattern); });
}

void test_chart::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &m_ring,
        [this](int item) {
            if (item == kCloseItem)
                slot_Button_back_clicked();
            else
                slot_Button_on_clicked();
        },
        [this] { slot_Button_back_clicked(); }, [this] { return leave_by_mode_key(); });
}

void test_chart::slot_Button_back_clicked()
{
    panel::scaler_write([](panel::ScalerWrite& w) { w.put8(ram::kTestPattern, 0); });
    leave_to_menu();
}

void test_chart::leave_to_menu() { panel::go_back(this, g_test_chart, g_option, kPageOption); }

bool test_chart::leave_by_mode_key() { return panel::mode_key_chain(this, g_test_chart, g_option); }
