// Figures of the scaler's flash and OSD on the simulated chip: the SPI
// frames (each one two-byte transfer on the board's bus) and the host time
// of each operation, printed next to a reference measured in the same run,
// one contrast change (a batch of picture registers).
//   - reading the four font headers and 16 KB of the flash;
//   - erasing and programming 16 KB (the PC's and the upgrade's unit);
//   - copying the four fonts into chip memory (bring-up, font update);
//   - drawing the sample OSD menu, and a full text store (63 lines of 60
//     32-dot characters, of which the 1080 lines of the panel hold 33).
#include <QApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "core/globals.h"
#include "core/vyxrampara.h"
#include "platform/c331_sim.h"
#include "platform/platform.h"
#include "platform/spi.h"
#include "scaler/c331_manage.h"
#include "scaler/omenu.h"

namespace {
struct Figure {
    uint64_t frames;
    double ms;
};

Figure measure(const std::function<void()>& what)
{
    platform::SimScalerChip& chip = platform::simScaler();
    const uint64_t f0 = chip.frames();
    const auto t0 = std::chrono::steady_clock::now();
    what();
    const auto t1 = std::chrono::steady_clock::now();
    return {chip.frames() - f0, std::chrono::duration<double, std::milli>(t1 - t0).count()};
}

void print(const char* name, const Figure& f, const Figure& ref)
{
    std::printf("%-44s %9llu frames (%7.1f x reference) %9.2f ms on this host\n", name, (unsigned long long)f.frames,
                ref.frames ? double(f.frames) / double(ref.frames) : 0.0, f.ms);
}
} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/vyx-bench-XXXXXX";
    const char* root = mkdtemp(tmpl);
    if (!root)
        return 1;
    platform::initForTest(root);
    platform::setPauseScale(0);
    g_debugSwitch = 0; // quiet
    platform::simSpiBus().map();
    platform::simSpiBus().setJournalLimit(0);
    platform::simScaler().setJournalLimit(0);

    VyxRamPara::pInstance();
    c331_manage* m = c331_manage::createForTest();
    for (int turn = 0; turn < 20 && m->setup_stage < 8; ++turn)
        m->runTurn();
    const int fd = m->c331_fd;

    const Figure ref = measure([&] { m->c331_SetContrast(70); });
    std::printf("%-44s %9llu frames %30.2f ms on this host\n", "reference: one contrast change",
                (unsigned long long)ref.frames, ref.ms);

    std::vector<uint8_t> buf(16384);
    print("read the four font headers (35 bytes each)", measure([&] { m->read_c331_font(fd); }), ref);
    print("read 16 KB of the flash", measure([&] { m->read_flash(fd, 0x200000, 16384, buf.data()); }), ref);
    for (size_t i = 0; i < buf.size(); ++i)
        buf[i] = uint8_t(i * 7);
    print("erase and program 16 KB", measure([&] {
              m->erase_flash(fd, 0x200, 4, 0);
              m->write_flash(fd, 0x200000, 16384, buf.data());
          }),
          ref);
    print("copy the four fonts into chip memory", measure([&] { m->update_font(fd); }), ref);

    QFile sample(QStringLiteral(VYX_SOURCE_DIR "/resources/omenu.json"));
    if (sample.open(QIODevice::ReadOnly)) {
        QFile out(QString::fromStdString(platform::sysPath(kOsdMenuFile)));
        if (out.open(QIODevice::WriteOnly))
            out.write(sample.readAll());
    }
    char path[] = "/data/configs/omenu.json";
    print("draw the sample OSD menu (2 lines)", measure([&] {
              get_json_omenu_para(path, &g_osd_list);
              set_OSD_para(&g_osd_list);
              m->update_osd(fd);
          }),
          ref);
    static unsigned int lines[64][128];
    std::vector<int> lengths(63, 60);
    for (auto& line : lines)
        for (int k = 0; k < 60; ++k)
            line[k] = 'A' + unsigned(k % 26);
    m->vyxApi_OsdSet(14, 0); // 32-dot characters
    m->vyxApi_OsdSetUnicode(63, lengths.data(), lines);
    print("draw 63 lines of 60 characters (33 fit)", measure([&] { m->update_osd(fd); }), ref);
    c331_manage::destroyForTest();
    return 0;
}
