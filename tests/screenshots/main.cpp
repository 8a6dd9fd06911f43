// The screenshot program: runs every registered scene in every language
// and writes one PNG per screen, state and language, then a contact sheet
// of them all. Run it under a display of the panel's size (see
// scripts/screenshots.sh); it also runs offscreen, where the stacked
// windows are composed by hand.
//
//     vyx_screenshots [OUTDIR] [--only SCREEN]
#include "tests/screenshots/scenes.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/shutdown.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "scaler/c331_manage.h"
#include "ui/shell/mainwindow.h"

namespace shots {

namespace {

std::vector<std::pair<std::string, Scene>>& scenes()
{
    static std::vector<std::pair<std::string, Scene>> list;
    return list;
}

const char* const kLanguageNames[] = {"zh", "en", "ru", "vn", "tw"};
constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Lets the windows paint and the display catch up.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

QImage screenImage()
{
    settle();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QPixmap whole = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, kWidth, kHeight);
        if (!whole.isNull())
            return whole.toImage();
    }
    // Offscreen there is no screen to read: the visible windows, painted in
    // the order they were shown.
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible())
            continue;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->windowHandle() == window)
                painter.drawPixmap(widget->pos(), widget->grab());
    }
    return image;
}

class Run : public Shot {
public:
    Run(const QString& dir, const std::string& screen, int language)
        : m_dir(dir)
        , m_screen(screen)
        , m_language(language)
    {
    }
    void take(const char* state) override
    {
        const QString name = QStringLiteral("%1-%2-%3.png")
                                 .arg(QString::fromStdString(m_screen), QLatin1String(state),
                                     QLatin1String(kLanguageNames[m_language]));
        if (!screenImage().save(m_dir + '/' + name))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        saved.push_back(name);
    }
    int language() const override { return m_language; }
    std::vector<QString> saved;

private:
    QString m_dir;
    std::string m_screen;
    int m_language;
};

// A fresh simulated device for one scene.
void prepare(const QString& root, int language)
{
    stopAllForExit();
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    platform::initForTest(root.toStdString());
    platform::setPauseScale(0);
    resetGlobalsForTest();
    VyxRamPara* store = VyxRamPara::pInstance();
    g_language = uint8_t(language);
    g_lcd_lang_valid = 0x1F;
    g_str_ip = QStringLiteral("192.168.0.199");
    putLe16(store->ram_para + ram::kLanguage, uint16_t(language));
    copyShared(store->ram_para_bak, store->ram_para, ram::kImageSize);
    c331_manage::createForTest();
    QObject::connect(store, &VyxRamPara::sig_update_para, SyncUpdate::pInstance(), &SyncUpdate::para_sync);
    g_mainwindow = new MainWindow(nullptr);
    g_page_focus = kPageMainWindow;
    g_mainwindow->move(0, 0);
    g_mainwindow->show();
}

void finish()
{
    closeAllScreens();
    paneltest::flushDeferredDeletes();
    delete g_mainwindow;
    g_mainwindow = nullptr;
    paneltest::flushDeferredDeletes();
}

// All shots at half size, one row per screen and state, one column per
// language, with their names.
void contactSheet(const QString& dir, const std::vector<QString>& files)
{
    std::map<QString, std::map<QString, QString>> rows; // "screen-state" -> language -> file
    for (const QString& file : files) {
        const int cut = file.lastIndexOf('-');
        rows[file.left(cut)][file.mid(cut + 1).chopped(4)] = file;
    }
    const int cellW = kWidth / 2, cellH = kHeight / 2, label = 14, left = 130;
    QImage sheet(left + 5 * (cellW + 4), label + int(rows.size()) * (cellH + 4), QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 60));
    QPainter painter(&sheet);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (int l = 0; l < 5; ++l)
        painter.drawText(left + l * (cellW + 4), 11, QLatin1String(kLanguageNames[l]));
    int y = label;
    for (const auto& row : rows) {
        painter.drawText(QRect(2, y, left - 4, cellH), Qt::AlignVCenter | Qt::TextWordWrap, row.first);
        for (int l = 0; l < 5; ++l) {
            auto at = row.second.find(QLatin1String(kLanguageNames[l]));
            if (at == row.second.end())
                continue;
            QImage shot(dir + '/' + at->second);
            painter.drawImage(QRect(left + l * (cellW + 4), y, cellW, cellH), shot);
        }
        y += cellH + 4;
    }
    painter.end();
    sheet.save(dir + QStringLiteral("/contact-sheet.png"));
}

} // namespace

Registrar::Registrar(const char* screen, Scene scene) { scenes().emplace_back(screen, std::move(scene)); }

} // namespace shots

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString dir = QStringLiteral("screenshots");
    QString only;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--only") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else
            dir = arg;
    }
    QDir().mkpath(dir);
    dir = QDir(dir).absolutePath();
    const QString root
        = QDir::tempPath() + QStringLiteral("/vyx-screenshots-%1").arg(QCoreApplication::applicationPid());

    std::vector<QString> saved;
    for (const auto& scene : shots::scenes()) {
        if (!only.isEmpty() && only != QString::fromStdString(scene.first))
            continue;
        for (int language = 0; language < 5; ++language) {
            shots::prepare(root, language);
            shots::Run run(dir, scene.first, language);
            scene.second(run);
            shots::finish();
            saved.insert(saved.end(), run.saved.begin(), run.saved.end());
        }
    }
    stopAllForExit();
    QDir(root).removeRecursively();
    shots::contactSheet(dir, saved);
    std::printf("%zu screenshots and contact-sheet.png in %s\n", saved.size(), qPrintable(dir));
    return saved.empty() ? 1 : 0;
}
