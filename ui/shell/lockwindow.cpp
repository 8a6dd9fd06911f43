#include "ui/shell/lockwindow.h"
#include "ui_lockwindow.h"

#include <QDebug>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/image/alias.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

using namespace ram;

namespace {
const panel::PageRefresh<LockWindow> kLockWindowRefresh(kPageLockWindow, g_lockwindow);

const panel::Tr5 kStandbyLedSize{"LED屏:%d x %d", "LED size:%d x %d", "Размер LED:%d x %d", "Led:%d x %d", "LED屏:%d x %d"};
const panel::Tr5 kStandbyNoSignal{"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};
const panel::Tr5 kStandbyBlack{"黑屏", "Black", "Черный", "Quay lại", "黑屏"};
const panel::Tr5 kStandbyClosed{"未开启", "Close", "Откл", "Đóng", "未開啟"};

const char* const kTileColour[4] = {"background-color: #867AE9;font: 20px", "background-color: #EBA83A;font: 20px",
    "background-color: #005A8D;font: 20px", "background-color: #FF96AD;font: 20px"};
constexpr const char* kTileText = "color: rgb(255, 255, 255)";
constexpr const char* kTileStatus = "color: rgb(255, 255, 255);";
// The tiles show images 1-4.
constexpr int kTiles = 4;

// The audio image: byte 2112, taken as image 1 (index 0) when 6 or more.
int standbyAudioImage()
{
    const int k = panel::img8(kAudioImage);
    return k >= kWindowImages ? 0 : k;
}

QString standbySizeText(const panel::Tr5& format, int width, int height)
{
    return QString::asprintf(panel::text(format).toUtf8().constData(), width, height);
}

// A label of the tile grid, named "tile<image 1-4>_<part>".
QLabel* tileLabel(QWidget* parent, int image, const char* part, const QRect& at, const char* sheet)
{
    QLabel* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("tile%1_%2").arg(image + 1).arg(QLatin1String(part)));
    label->setGeometry(at);
    label->setStyleSheet(QLatin1String(sheet));
    return label;
}

void tileMark(QLabel* number, int image, const char* part, const QRect& at, const char* picture)
{
    QLabel* mark = tileLabel(number, image, part, at, "");
    panel::set_picture(mark, panel::png_plain(QLatin1String(picture)));
}
} // namespace

LockWindow::LockWindow(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LockWindow)
{
    ui->setupUi(this);
    ui->widget->installEventFilter(this);
    // The touch surface covers the whole screen but lies beneath the row of
    // brightness, contrast and sound: a touch there stays on this screen.
    for (QWidget* w : {ui->label_bright_icon, ui->label_bright, ui->label_contrast_icon, ui->label_contrast,
             ui->label_volume_icon, ui->label_volume})
        w->raise();
    panel::set_icon(ui->main_Button, panel::png_plain("menu_status"), QSize(20, 20));
    ui->main_Button->hide();
    panel::set_picture(ui->label_ip, panel::png_plain("ip"));
    panel::set_picture(ui->label_LED_icon, panel::png_plain("LED"));
    panel::set_picture(ui->label_bright_icon, panel::png_plain("bright"));
    panel::set_picture(ui->label_contrast_icon, panel::png_plain("contrast"));
    ui->label_volume->hide();

    para_init();
    image_init();
    ip_changed();
    language_changed();
    VYX_DEBUG("\n LockWindow::LockWindow ");
}

LockWindow::~LockWindow()
{
    // A newer standby screen may hold the pointer by now.
    if (g_lockwindow == this)
        g_lockwindow = nullptr;
    delete ui;
}

// ------------------------------------------------------------ the values

void LockWindow::ledSizeText()
{
    ui->label_input->setText(standbySizeText(kStandbyLedSize, panel::img16(kLedWidth), panel::img16(kLedHeight)));
    panel::fit_label(ui->label_input);
}

void LockWindow::volumePicture()
{
    panel::set_picture(ui->label_volume_icon, panel::png_plain(volume_check() ? "volume_open" : "volume_close"));
}

void LockWindow::para_init()
{
    ledSizeText();
    ui->label_bright->setText(QString::number(panel::img16(kBrightness)));
    ui->label_contrast->setText(QString::number(panel::img16(kContrast)));
    volumePicture();
}

bool LockWindow::volume_check() { return panel::img16(imageRecord(standbyAudioImage()) + kImgAudio) & 0x8000; }

void LockWindow::ip_changed() { ui->label_IPaddr->setText(g_str_ip.get()); }

void LockWindow::language_changed()
{
    ledSizeText();
    image_init();
}

void LockWindow::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    if (panel::changed16(kLedWidth) || panel::changed16(kLedHeight))
        ledSizeText();
    if (panel::changed16(kBrightness))
        ui->label_bright->setText(QString::number(panel::img16(kBrightness)));
    if (panel::changed16(kContrast))
        ui->label_contrast->setText(QString::number(panel::img16(kContrast)));
    if (panel::changed16(imageRecord(standbyAudioImage()) + kImgAudio))
        volumePicture();
    image_init();
    ip_changed();
}

// ------------------------------------------------------------- the tiles

void LockWindow::image_init()
{
    // Deleted here and now: the filter on the frame takes every event it
    // sees, so the frame must not wait for one to go.
    delete m_imageFrame;
    m_imageFrame = new QFrame(this);
    m_imageFrame->setObjectName(QStringLiteral("frame_image"));
    m_imageFrame->setGeometry(0, 74, 320, 160);
    m_imageFrame->installEventFilter(this);
    QFont font = this->font();
    font.setPixelSize(10);
    const uint16_t ledOff = panel::img16(kLedOff);
    for (int i = 0; i < kTiles; ++i)
        imageTile(i, ledOff, font);
    m_imageFrame->show();
}

void LockWindow::imageTile(int image, uint16_t ledOff, const QFont& font)
{
    const int dx = 155 * (image % 2), dy = 50 * (image / 2);
    QLabel* number = tileLabel(m_imageFrame, image, "number", QRect(10 + dx, 10 + dy, 40, 40), kTileColour[image]);
    number->setAlignment(Qt::AlignCenter);
    number->setText(QString::number(image + 1));
    QLabel* name = tileLabel(m_imageFrame, image, "name", QRect(55 + dx, 13 + dy, 100, 15), kTileText);
    name->setFont(font);
    // Display names are the user's text, never markup.
    name->setTextFormat(Qt::PlainText);
    if (g_image_current.load() == image)
        tileMark(number, image, "current", QRect(28, 0, 12, 12), "osd_yes");

    const int record = imageRecord(image);
    const bool open = image == 0 || panel::img16(record + kImgEnable) == 1;
    if (!open) {
        QLabel* status = tileLabel(m_imageFrame, image, "status", QRect(55 + dx, 20 + dy, 40, 15), kTileText);
        status->setFont(font);
        status->setText(panel::text(kStandbyClosed));
        return;
    }

    VyxRamPara* store = VyxRamPara::pInstance();
    short isCrop = 0;
    char cropIndex = 0;
    const int source = store->VyxGetImageSource(store->ram_para, uint8_t(image), &isCrop, &cropIndex, 0) & 0xFF;
    const QString builtIn = sourceinfo::get_source_name_by_sourceid(uint8_t(source));
    int width = panel::img16(inputTiming(source) + kTimingWidth);
    int height = panel::img16(inputTiming(source) + kTimingHeight);
    const int rate = panel::img16(inputTiming(source) + kTimingRate);
    if (!isCrop) {
        ALIAS_PARA alias;
        if (get_json_alias_para(&alias, kAliasSource, source)) {
            const QFontMetrics metrics(font);
            // Shortened to the label, so a long name ends in an ellipsis
            // rather than mid-letter.
            name->setText(metrics.elidedText(QString::fromStdString(alias.name), Qt::ElideRight,
                name->contentsRect().width(),
                Qt::TextShowMnemonic));
        } else {
            name->setText(builtIn);
        }
    } else {
        // The crop the image's source word names, read from its own entry
        // (one in use: any other shows as the whole DVI input): its number
        // and size.
        const int entry = uint8_t(cropIndex);
        const uint16_t id = panel::img16(cropEntry(entry) + kCropId);
        name->setText(builtIn + QStringLiteral("_Crop%1").arg(((id >> kCropNumberShift) & kCropNumberMask) + 1));
        width = panel::img16(cropEntry(entry) + kCropW);
        height = panel::img16(cropEntry(entry) + kCropH);
    }

    QLabel* status = tileLabel(m_imageFrame, image, "status", QRect(55 + dx, 28 + dy, 100, 12), kTileStatus);
    status->setFont(font);
    const uint16_t output = panel::img16(record + kImgOutput);
    if (ledOff == 1)
        status->setText(panel::text(kStandbyBlack));
    else if (output & kOutBlack)
        status->setText(panel::text(kStandbyBlack));
    else if (width == 0 || height == 0 || rate == 0)
        status->setText(panel::text(kStandbyNoSignal));
    else
        status->setText(QStringLiteral("%1x%2@%3Hz").arg(width).arg(height).arg(rate));
    if (ledOff == 2 || (output & kOutFreeze))
        tileMark(number, image, "freeze", QRect(0, 0, 16, 16), "freeze");
}

// --------------------------------------------------------------- leaving

bool LockWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->widget && watched != m_imageFrame)
        return QDialog::eventFilter(watched, event);
    // The touch surface and the tile frame draw nothing of their own and
    // act on nothing but a touch; their deletion still goes through.
    if (event->type() == QEvent::DeferredDelete)
        return false;
    if (event->type() == QEvent::MouseButtonRelease)
        leave();
    return true;
}

void LockWindow::on_main_Button_clicked() { leave(); }

void LockWindow::leave()
{
    panel::close_screen(this);
    if (g_lockwindow == this)
        g_lockwindow = nullptr;
    g_page_focus = kPageMainWindow;
    if (g_mainwindow) {
        g_mainwindow->language_changed();
        panel::hand_keys_back(g_mainwindow);
    }
}

void LockWindow::keyPressEvent(QKeyEvent* event)
{
    // No key closes the screen but through leave(); a press only writes its
    // line, for the function codes of OK and back alone.
    if (event->key() == panel::kKeyOk)
        qDebug("this is OK button[LockWindow], addr = (g_page_focus) %p\n", static_cast<const void*>(&g_page_focus));
    else if (event->key() == panel::kKeyBack)
        qDebug("this is back button[LockWindow][Press]\n");
}

void LockWindow::keyReleaseEvent(QKeyEvent* event)
{
    qDebug("in LockWindow keyReleaseEvent event %#x", event->key());
    switch (panel::key_role(event->key())) {
    case panel::KeyRole::Ok:
        qDebug("this is ok button[LockWindow][Release]");
        break;
    case panel::KeyRole::Mode:
        qDebug("this is mode-code [LockWindow][Release]");
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button[LockWindow][Release]");
        break;
    case panel::KeyRole::Left:
        qDebug("this is left-code [LockWindow][Release]");
        break;
    case panel::KeyRole::Right:
        qDebug("this is right-code [LockWindow][Release]");
        break;
    case panel::KeyRole::None:
        break;
    }
    panel::ring_keys(
        event->key(), keyboard, nullptr,
        [this](int) {
            leave();
            panel::show_window(g_mainwindow);
        },
        nullptr, [this] { return panel::mode_key_chain(this, g_lockwindow); });
}
