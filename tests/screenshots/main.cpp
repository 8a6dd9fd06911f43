// The screenshot program: runs every registered scene in every language
// and writes one PNG per screen, state and language, then a contact sheet
// of them all. Run it under a display of the panel's size (see
// scripts/screenshots.sh); it also runs offscreen, where the stacked
// windows are composed by hand.
//
// At every shot it also checks that each text of the shown windows fits
// its widget (tests/screenshots/text_fit.h), lists those that do not and
// then exits with 1. --check-only runs the scenes and the check without
// writing pictures.
//
//     vyx_screenshots [OUTDIR] [--only SCREEN] [--check-only]
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
#include <set>
#include <string>
#include <vector>

#include "core/shutdown.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "scaler/c331_manage.h"
#include "tests/screenshots/text_fit.h"
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

QString rectText(const QRect& r)
{
    return QStringLiteral("%1x%2 at (%3,%4)").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

class Run : public Shot {
public:
    // Without `dir` no pictures are written.
    Run(const QString& dir, const std::string& screen, int language)
        : m_dir(dir)
        , m_screen(screen)
        , m_language(language)
    {
    }
    void take(const char* state) override
    {
        const QString name = QStringLiteral("%1-%2-%3")
                                 .arg(QString::fromStdString(m_screen), QLatin1String(state),
                                     QLatin1String(kLanguageNames[m_language]));
        if (m_dir.isEmpty()) {
            // Nothing is read from the display: the widgets need only their
            // pending events.
            QCoreApplication::processEvents();
        } else {
            if (!screenImage().save(m_dir + '/' + name + QStringLiteral(".png")))
                std::fprintf(stderr, "cannot write %s.png\n", qPrintable(name));
            saved.push_back(name + QStringLiteral(".png"));
        }
        ++shots;
        // A text that stays cut over several states is told once.
        for (const Misfit& misfit : misfits()) {
            if (!m_told.insert(misfit.widget + QLatin1Char('\0') + misfit.text).second)
                continue;
            QString line = QStringLiteral("%1: %2 \"%3\" needs %4, room %5")
                               .arg(name, misfit.widget, misfit.text, rectText(misfit.needed), rectText(misfit.room));
            if (!misfit.under.isEmpty())
                line += QStringLiteral(", under the border of ") + misfit.under;
            misfitLines.push_back(line);
        }
    }
    int language() const override { return m_language; }
    std::vector<QString> saved;
    std::vector<QString> misfitLines;
    int shots = 0;

private:
    QString m_dir;
    std::string m_screen;
    int m_language;
    std::set<QString> m_told;
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
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--only") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--check-only"))
            checkOnly = true;
        else
            dir = arg;
    }
    if (checkOnly) {
        dir.clear();
    } else {
        QDir().mkpath(dir);
        dir = QDir(dir).absolutePath();
    }
    const QString root
        = QDir::tempPath() + QStringLiteral("/vyx-screenshots-%1").arg(QCoreApplication::applicationPid());

    std::vector<QString> saved;
    std::vector<QString> misfits;
    int shotCount = 0;
    for (const auto& scene : shots::scenes()) {
        if (!only.isEmpty() && only != QString::fromStdString(scene.first))
            continue;
        for (int language = 0; language < 5; ++language) {
            shots::prepare(root, language);
            shots::Run run(dir, scene.first, language);
            scene.second(run);
            shots::finish();
            saved.insert(saved.end(), run.saved.begin(), run.saved.end());
            misfits.insert(misfits.end(), run.misfitLines.begin(), run.misfitLines.end());
            shotCount += run.shots;
        }
    }
    stopAllForExit();
    QDir(root).removeRecursively();
    if (checkOnly) {
        std::printf("%d screens checked\n", shotCount);
    } else {
        shots::contactSheet(dir, saved);
        std::printf("%zu screenshots and contact-sheet.png in %s\n", saved.size(), qPrintable(dir));
    }
    for (const QString& line : misfits)
        std::printf("text does not fit: %s\n", qPrintable(line));
    if (!misfits.empty())
        std::printf("%zu texts do not fit their widgets\n", misfits.size());
    return shotCount == 0 || !misfits.empty() ? 1 : 0;
}
