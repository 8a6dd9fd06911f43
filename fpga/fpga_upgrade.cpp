// Firmware upgrades from a USB stick, run by the worker instead of its
// normal turn while g_usb_grade is set: the packages of the stick's upgrade
// directory are listed and each child written where it belongs (the FPGA
// bitstreams to their configuration flashes, the application to
// "/data/app/vyxQ58N2", the OSD font to the scaler's flash). A new
// application is installed and the device rebooted; new bitstreams restart
// the FPGAs; a new font is reloaded by the scaler.
#include "fpga/fpga_manage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/upgrade_package.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "scaler/c331_manage.h"
#include "ui/shell/mainwindow.h"

std::function<void(const char*, uint32_t, uint32_t, const uint8_t*)> fpga_manage::scaler_flash_hook;

namespace {

const char* const kStagedApp = "/data/app/vyxQ58N2";
constexpr uint32_t kSector = 4096;
constexpr uint32_t kBlock = 32768;          // 32 KB erase block
constexpr uint32_t kBitstreamChunk = 32768;
constexpr uint32_t kFontChunk = 16384;
constexpr uint32_t kReadBackBlock = 1024;
constexpr uint8_t kLastStep = 3;

void sync() { Utils::system_mutex(QStringLiteral("sync")); }

QString clockText(const TimeRealType& t)
{
    return QStringLiteral("%1:%2:%3").arg(t.hour).arg(t.minute).arg(t.second);
}

// Erases [base, base + len): a 32 KB block where one starts on a 32 KB
// boundary and still lies wholly inside, else a 4 KB sector. `erase(addr,
// mode)` erases one (mode 0 sector, 1 block); false when one failed, and
// then nothing more is asked of a flash that may take its full time limit
// to fail each time.
template <class Erase>
bool eraseRange(uint32_t base, uint32_t len, Erase erase)
{
    const uint64_t end = uint64_t(base) + len;
    for (uint64_t addr = base; addr < end;) {
        const bool block = (addr / kSector) % 8 == 0 && addr + kBlock <= end;
        if (!erase(uint32_t(addr), block ? 1 : 0))
            return false;
        addr += block ? kBlock : kSector;
        platform::pause_ms(1);
    }
    return true;
}

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

} // namespace

// ---------------------------------------------------------------------------
// The step machine

void fpga_manage::usb_upgrade_manage_deal(void*) { usb_upgrade_deal(); }

void fpga_manage::usb_upgrade_deal()
{
    const uint8_t step = g_send_para.step.load();
    switch (step) {
    case 0: {
        if (g_update_flag.load() == 0)
            MainWindow::post_update_start();
        TimeRealType t;
        IT8563WE_Get(&t);
        {
            std::lock_guard<std::mutex> lock(usb.text_mutex);
            usb.time_text = clockText(t);
            usb.report.clear();
            usb.failed = false;
        }
        g_update_flag = 1;
        usb.found = 0;
        g_send_para.step = 1;
        return;
    }
    case 1:
        get_usb_file_list_path();
        g_send_para.step = 2;
        return;
    case 2:
        usb_upgrade_main_deal();
        g_send_para.step = kLastStep;
        return;
    default:
        break;
    }

    // Step 3 ends the upgrade. So does a step no upgrade has: it would
    // otherwise keep the worker from its normal turn for good.
    if (step != kLastStep)
        std::printf("USB upgrade: step %u is none of its own: the upgrade ends\n", unsigned(step));
    TimeRealType t;
    IT8563WE_Get(&t);
    {
        std::lock_guard<std::mutex> lock(usb.text_mutex);
        usb.time_text += QStringLiteral("    ") + clockText(t);
    }
    if (g_update_flag.load() != 0)
        MainWindow::post_update_over();
    if (VyxRamPara::p_vyxrampara_config)
        VyxRamPara::p_vyxrampara_config->test_signal(kChangeUsbUpgrade);
    g_update_flag = 0;
    g_send_para.step = 0;
    g_usb_grade = 0;
}

QString fpga_manage::usb_grade_time() const
{
    std::lock_guard<std::mutex> lock(usb.text_mutex);
    return usb.time_text;
}

QStringList fpga_manage::usb_grade_report() const
{
    std::lock_guard<std::mutex> lock(usb.text_mutex);
    return usb.report;
}

bool fpga_manage::usb_grade_failed() const
{
    std::lock_guard<std::mutex> lock(usb.text_mutex);
    return usb.failed;
}

void fpga_manage::usb_report(const QString& text)
{
    std::printf("USB upgrade: %s\n", qPrintable(text));
    std::lock_guard<std::mutex> lock(usb.text_mutex);
    usb.report << text;
}

void fpga_manage::usb_fail(const QString& text)
{
    usb_report(text);
    std::lock_guard<std::mutex> lock(usb.text_mutex);
    usb.failed = true;
}

bool fpga_manage::usb_pause(unsigned ms)
{
    // In slices short enough that Ctrl+C or kill on a host, which asks the
    // worker to stop, ends the program within moments of any pause.
    constexpr unsigned kSlice = 10;
    for (unsigned left = ms;; left -= std::min(left, kSlice)) {
        if (m_worker.stopRequested())
            return false;
        if (left == 0)
            return true;
        platform::pause_ms(std::min(left, kSlice));
    }
}

void fpga_manage::get_usb_file_list_path()
{
    usb.packages = upgrade::list_packages(g_usb_grade_path);
    usb.found = usb.packages.size();
    VYX_DEBUG("USB upgrade: %d packages in %s\n", usb.found, qPrintable(upgrade::package_dir(g_usb_grade_path)));
}

// ---------------------------------------------------------------------------
// Applying the packages

void fpga_manage::usb_upgrade_main_deal()
{
    if (usb.found == 0)
        return;
    usb.app_written = usb.font_written = 0;
    usb.fpga_written[0] = usb.fpga_written[1] = 0;

    for (int p = 0; p < usb.found && p < usb.packages.size() && !m_worker.stopRequested(); ++p) {
        const QString path = usb.packages[p];
        upgrade::Installed installed;
        for (uint8_t f = 0; f < kFpgas; ++f) {
            for (uint8_t r = 28; r <= 31; ++r) {
                read_from_register(r, f);
                installed.fpga_reg[f][r - 28] = shadow(r, f);
            }
        }
        if (VyxRamPara::p_vyxrampara_config)
            installed.local_reg43 = loadShared(VyxRamPara::p_vyxrampara_config->local_reg + 43);

        upgrade::Package pkg;
        const int read = upgrade::read_package(path, installed, &pkg);
        sync();
        platform::pause_ms(1);
        if (read != upgrade::kReadOk) {
            usb_fail(pkg.message.isEmpty() ? fileName(path) + QStringLiteral(": cannot be read: passed over")
                                           : pkg.message);
            sync();
            usb_pause(100);
            continue;
        }

        for (const upgrade::Child& c : pkg.children) {
            sync();
            if (!usb_pause(100))
                break;
            const uint8_t type = c.header.file_type;
            if (c.verdict != upgrade::Verdict::Write) {
                // A child passed over leaves what an earlier package wrote
                // to be installed. One that cannot be read fails the upgrade.
                const QString why = fileName(path) + QStringLiteral(": ") + c.message;
                if (c.verdict == upgrade::Verdict::Malformed)
                    usb_fail(why);
                else if (c.verdict != upgrade::Verdict::Ignored)
                    usb_report(why);
                continue;
            }
            switch (type) {
            case upgrade::kApplication:
                // A staged application that failed its check is gone, and
                // with it what an earlier package staged.
                usb.app_written = update_muc_file(path, c.data_offset, c.data_len) ? 1 : 0;
                break;
            case upgrade::kFpga0Bitstream:
            case upgrade::kFpga1Bitstream: {
                const int f = type - upgrade::kFpga0Bitstream;
                usb.fpga_written[f] = update_txc_file(path, fpga_drv::kFlashSel0 + f, c.data_offset, c.data_len) ? 1 : 0;
                break;
            }
            case upgrade::kOsdFont:
                usb.font_written = update_c331_osd_font_file(path, c.data_offset, c.data_len, c.flash_addr) ? 1 : 0;
                break;
            default:
                break;
            }
        }
    }
    std::vector<uint8_t>().swap(usb.buffer);
    if (m_worker.stopRequested()) {
        // The program ends: what was written stays, nothing is installed or
        // restarted from it.
        usb_fail(QStringLiteral("stopped before its end"));
        return;
    }

    if (!usb.app_written) {
        for (uint8_t f = 0; f < kFpgas; ++f)
            if (usb.fpga_written[f])
                reset_fpga_rst(f);
        c331_manage* scaler = c331_manage::p_c331_manage;
        if (usb.font_written && scaler) {
            scaler->update_font(scaler->c331_fd);
            scaler->read_c331_font(scaler->c331_fd);
        }
        return;
    }
    if (g_app_reset_flag.load() != 0)
        return;
    install_application();
}

// The staged application replaces the running one, the loader is pointed
// at it and the device reboots 3 s later (the main window's tick).
void fpga_manage::install_application()
{
    Utils::system_mutex(QStringLiteral("chmod 777 -R /data/app"));
    platform::pause_ms(10);
    if (Utils::system_mutex(QStringLiteral("mv /data/app/vyxQ58N2  /data/app/vyxQ58N")) != 0) {
        usb_fail(QStringLiteral("the new application could not be moved into place: not installed"));
        return;
    }
    if (g_update_status.load() == 0 && !ConfigEngine::pointLoaderAtApp())
        usb_fail(QStringLiteral("the start-up loader could not be pointed at the new application"));
    sync();
    platform::pause_ms(10);
    sync();
    platform::pause_ms(10);
    platform::pause_ms(10);
    platform::pause_ms(1000);
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
}

// ---------------------------------------------------------------------------
// Writers

bool fpga_manage::update_muc_file(const QString& path, uint32_t offset, uint32_t len)
{
    const QString staged = platform::sysPath(QString::fromLatin1(kStagedApp));
    if (len == 0 || len > upgrade::kTransferBufferSize) {
        usb_fail(QStringLiteral("%1: an application of %2 bytes does not fit the transfer buffer: passed over")
                     .arg(fileName(path))
                     .arg(len));
        return false;
    }
    uint8_t* buf = usb_read_child(path, offset, len, 0);
    if (!buf) {
        usb_fail(QStringLiteral("%1: the application cannot be read whole: not installed").arg(fileName(path)));
        return false;
    }

    auto drop = [&](const QString& why) {
        {
            QMutexLocker lock(&Utils::_file_deal_mutex);
            QFile::remove(staged);
        }
        usb_fail(QStringLiteral("%1: the application %2: not installed").arg(fileName(path), why));
        return false;
    };

    bool written;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        QDir().mkpath(QFileInfo(staged).absolutePath());
        // Replaced whole (platform/safe_file.h): a power cut never leaves a
        // torn application to be moved into place.
        written = platform::replaceFile(kStagedApp, buf, len);
    }
    if (!written)
        return drop(QStringLiteral("could not be written whole (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    sync();
    platform::pause_ms(10);

    // Read back what reached the file and compare it with what was meant.
    QString differs;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        QFile in(staged);
        if (!in.open(QIODevice::ReadOnly)) {
            differs = QStringLiteral("cannot be read back");
        } else {
            char block[kReadBackBlock];
            for (uint32_t done = 0; done < len && differs.isEmpty();) {
                const uint32_t n = std::min(kReadBackBlock, len - done);
                if (in.read(block, n) != qint64(n)) {
                    differs = QStringLiteral("reads back short (%1 of %2 bytes)").arg(done).arg(len);
                    break;
                }
                if (std::memcmp(block, buf + done, n) != 0) {
                    uint32_t at = 0;
                    while (at < n && uint8_t(block[at]) == buf[done + at])
                        ++at;
                    differs = QStringLiteral("reads back different at byte %1").arg(done + at);
                }
                done += n;
            }
            if (differs.isEmpty() && !in.atEnd())
                differs = QStringLiteral("reads back longer than %1 bytes").arg(len);
        }
    }
    if (!differs.isEmpty())
        return drop(differs);
    VYX_DEBUG("USB upgrade: application of %u bytes staged and read back\n", len);
    return true;
}

uint8_t* fpga_manage::usb_read_child(const QString& path, uint32_t offset, uint32_t len, uint32_t at)
{
    if (uint64_t(at) + len > upgrade::kTransferBufferSize)
        return nullptr;
    usb.buffer.assign(upgrade::kTransferBufferSize, 0);
    uint8_t* buf = usb.buffer.data();
    // Checked against the package as it is now: a stick pulled since its
    // headers were read gives a short package or none.
    if (upgrade::read_package_data(path, offset, buf + at, len) != upgrade::kReadOk) {
        sync();
        platform::pause_ms(100);
        return nullptr;
    }
    return buf;
}

bool fpga_manage::update_txc_file(const QString& path, int sel, uint32_t offset, uint32_t len)
{
    if (len == 0)
        return false;
    const int fpga = sel == fpga_drv::kFlashSel0 ? 0 : 1;
    // Read whole before the flash is erased: a bitstream that cannot be
    // leaves the FPGA its old one, where a flash erased and half written
    // would load a cut one at the next power-up. The page writer puts each
    // page's command in the four bytes in front of its data, so the data
    // starts that far into the buffer.
    uint8_t* buf = usb_read_child(path, offset, len, fpga_drv::kWriteHead);
    if (!buf) {
        usb_fail(QStringLiteral("%1: FPGA %2 bitstream cannot be read whole: its flash is left as it was")
                     .arg(fileName(path))
                     .arg(fpga));
        return false;
    }
    bool ok = eraseRange(0, len, [&](uint32_t addr, int mode) {
        return p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(sel, addr / kSector, mode, 1) == 1;
    });
    for (uint32_t done = 0; done < len && ok;) {
        const uint32_t n = std::min(kBitstreamChunk, len - done);
        platform::pause_ms(1);
        // The bytes in front of this chunk's data, which its first page's
        // command overwrites, are the last chunk's, already on the flash.
        ok = p_fpga_drv->FPGA_SPI_FLASH_VBYONE_WRITE(sel, done, buf + done, n) == 1;
        done += n;
    }
    if (!ok)
        usb_fail(QStringLiteral("%1: FPGA %2's flash did not take the bitstream").arg(fileName(path)).arg(fpga));
    else
        VYX_DEBUG("USB upgrade: FPGA %d bitstream of %u bytes written\n", fpga, len);
    return ok;
}

bool fpga_manage::update_c331_osd_font_file(const QString& path, uint32_t offset, uint32_t len, uint32_t addr)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (len == 0)
        return false;
    if (!scaler) {
        usb_fail(QStringLiteral("%1: no scaler to take the font: not written").arg(fileName(path)));
        return false;
    }
    if (len > upgrade::kTransferBufferSize) {
        usb_fail(QStringLiteral("%1: a font of %2 bytes does not fit the transfer buffer: passed over")
                     .arg(fileName(path))
                     .arg(len));
        return false;
    }
    // Read whole before its area is erased, as a bitstream is.
    uint8_t* buf = usb_read_child(path, offset, len, 0);
    if (!buf) {
        usb_fail(QStringLiteral("%1: the font cannot be read whole: its flash is left as it was").arg(fileName(path)));
        return false;
    }
    const int fd = scaler->c331_fd;
    // One flash operation from the first erase to the last write: nothing
    // else may use the scaler's flash in between.
    std::lock_guard<std::recursive_mutex> flash(scaler->flash_mutex);
    const bool ok = eraseRange(addr, len, [&](uint32_t at, int mode) {
        if (scaler_flash_hook)
            scaler_flash_hook("erase", at, mode == 1 ? kBlock : kSector, nullptr);
        return scaler->erase_flash(fd, int(at / kSector), 1, mode) == 0;
    });
    if (!ok) {
        usb_fail(QStringLiteral("%1: the scaler's flash could not be erased for the font: not written").arg(fileName(path)));
        return false;
    }
    for (uint32_t done = 0; done < len;) {
        const uint32_t n = std::min(kFontChunk, len - done);
        if (scaler_flash_hook)
            scaler_flash_hook("write", addr + done, n, buf + done);
        if (scaler->write_flash(fd, int(addr + done), int(n), buf + done) != 0) {
            usb_fail(QStringLiteral("%1: the scaler's flash did not take the font at %2: not written")
                         .arg(fileName(path))
                         .arg(addr + done, 0, 16));
            return false;
        }
        platform::pause_ms(1);
        done += n;
    }
    VYX_DEBUG("USB upgrade: font of %u bytes written at %#x\n", len, addr);
    return true;
}
