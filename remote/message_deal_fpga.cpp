// Commands that reach the sending FPGAs and the scaler chip: the FPGA
// images of the RAM commands, the FPGA registers, saving an FPGA's
// parameter RAM, the LED screen size from the port layout, the LED-parameter
// handshake, the scaler's serial flash and fonts, and the versions.
// docs/pc-protocol.md gives the layouts.
#include "remote/message_deal.h"

#include <QMutexLocker>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_manage.h"
#include "remote/protocol_phy.h"
#include "scaler/c331_manage.h"

namespace {
constexpr int kFpgaAt = protocol_phy::kDataAt;
constexpr uint32_t kImage = fpga_manage::kRamImage;

// FPGA RAM ids the images mirror.
constexpr int kRamDefault = 33; // default image; the zoom images follow it
constexpr int kRamTransmit = 50;
constexpr int kNoRam = -1;
// The last byte of the command image reads as whether the start-up loader
// starts this application (g_update_status). Only the reply says so: the
// image itself holds the PC's commands and is left as written.
constexpr uint32_t kCmdUpdateStatus = kImage - 1;
// Registers an FPGA write does nothing to.
constexpr int kRegsIgnoredFirst = 97, kRegsIgnoredLast = 127;
constexpr int kRegState = 80;     // 3 = running
constexpr int kRegVersion = 28;   // 28..31
// The LED screen sizes the panel can drive.
constexpr int kLedMin = 64, kLedMax = 8188;
constexpr uint32_t kLedMaxArea = 6553600;

// One FPGA image a RAM request names.
struct Image {
    uint8_t* bytes = nullptr; // from the image's first byte
    int fpga = 0;
    int ram = kNoRam;         // FPGA RAM it mirrors
    bool parameters = false;  // the parameter RAM: its layout fields feed the layout block
    bool extension = false;   // the extension image (guarded by the register-shadow mutex)
    bool fromFpga = false;    // reads come from the FPGA, which fills it
};

// The image of `target` (1 FPGA 0, 2 FPGA 1) by address class and sub-id,
// with `address` made relative to it; a status.
int resolve(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t* address, uint16_t length, Image* out)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if ((target != message_deal::kTargetFpga0 && target != message_deal::kTargetFpga1) || !fpga)
        return message_deal::STATUS_REFUSED;
    const int f = target - message_deal::kTargetFpga0;
    Image im;
    im.fpga = f;
    switch (addressClass) {
    case 0:
        if (*address < message_deal::kExtensionBase) {
            im.bytes = fpga_manage::MCU_RAM_PARA_func[f];
            im.ram = fpga_layout::kParamRam;
            im.parameters = true;
        } else {
            *address -= message_deal::kExtensionBase;
            im.bytes = fpga_manage::MCU_RAM_EXTEND;
            im.extension = true;
        }
        break;
    case 1:
        // Odd sub-ids are the FPGA's receive RAMs, even ones its transmit RAMs.
        if (sub > 254)
            return message_deal::STATUS_REFUSED;
        im.bytes = (sub & 1) ? fpga_manage::MCU_RAM_RX_func[f] : fpga_manage::MCU_RAM_TX_func[f];
        im.ram = sub + 1;
        im.fromFpga = sub & 1;
        break;
    case 2:
        if (sub > 255 - kRamDefault)
            return message_deal::STATUS_REFUSED;
        im.bytes = sub == 0 ? fpga_manage::MCU_RAM_DEFAULT : fpga_manage::MCU_RAM_ZOOM;
        im.ram = kRamDefault + sub;
        break;
    case 4:
        im.bytes = fpga_manage::MCU_RAM_TX_func[f];
        im.ram = kRamTransmit;
        break;
    case 5:
        im.bytes = fpga_manage::MCU_RAM_CMD;
        break;
    case 6:
        im.bytes = fpga_manage::MCU_RAM_EXTEND;
        im.extension = true;
        break;
    default:
        return message_deal::STATUS_REFUSED;
    }
    if (!im.bytes || uint64_t(*address) + length > kImage)
        return message_deal::STATUS_REFUSED;
    *out = im;
    return message_deal::STATUS_DONE;
}

// Where byte `offset` of the parameter RAM lives in the layout block, or -1
// when it is not a layout field.
int layoutBlockOffset(int offset)
{
    using namespace fpga_layout;
    for (int s = 0; s < kSlots; ++s)
        if (offset >= rectBase(s) && offset < rectBase(s) + 8)
            return blockRect(s) + offset - rectBase(s);
    if (offset >= kOriginX && offset < kOriginX + 4)
        return kBlockOriginX + offset - kOriginX;
    if (offset >= kScreenW && offset < kScreenW + 4)
        return kBlockW + offset - kScreenW;
    return -1;
}

// The parameter RAM as it is kept in flash: the layout fields as the PC
// sent them (the layout block), not with the global picture offset that the
// running FPGA 0 has, which its start-up adds again.
void flashImage(int f, uint8_t out[kImage])
{
    fpga_manage::p_fpga_manage->ram_para_read(uint8_t(f), 0, out, kImage);
    const uint8_t* block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[f];
    for (int at = 0; at < int(kImage); ++at) {
        int b = layoutBlockOffset(at);
        if (b >= 0)
            out[at] = block[b];
    }
}

uint8_t ledSizeStatus(uint32_t w, uint32_t h)
{
    bool fits = w >= uint32_t(kLedMin) && w <= uint32_t(kLedMax) && h >= uint32_t(kLedMin) &&
                h <= uint32_t(kLedMax) && w * h <= kLedMaxArea;
    return fits ? message_deal::STATUS_DONE : message_deal::STATUS_REFUSED;
}
} // namespace

// ---- RAM images ----

int message_deal::fpga_ram_write(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address,
                                 const uint8_t* data, uint16_t length)
{
    Image im;
    int code = resolve(target, addressClass, sub, &address, length, &im);
    if (code != STATUS_DONE || length == 0)
        return code;
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (im.extension) {
        pthread_mutex_lock(&fpga->reg_mutex);
        std::memcpy(im.bytes + address, data, length);
        pthread_mutex_unlock(&fpga->reg_mutex);
        // A PC that writes the extension image has taken over the FPGAs'
        // outputs from a multicast of its own.
        QMutexLocker lock(&Utils::_fpga_multicast_mutex);
        fpga->multicast = 0;
        return STATUS_DONE;
    }
    if (!im.parameters) {
        std::memcpy(im.bytes + address, data, length);
    } else {
        // The panel reads port rectangles meanwhile: one guarded copy.
        fpga->ram_para_write(uint8_t(im.fpga), address, data, length);
        // The layout block keeps the port layout as the PC sent it.
        uint8_t* block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[im.fpga];
        for (uint32_t i = 0; i < length; ++i) {
            int b = layoutBlockOffset(int(address + i));
            if (b >= 0)
                block[b] = data[i];
        }
    }
    if (im.ram != kNoRam && fpga->write_fpga_ram(im.bytes + address, address, length, uint8_t(im.ram),
                                                  uint8_t(im.fpga)) != 0)
        return STATUS_STORAGE;
    return STATUS_DONE;
}

int message_deal::fpga_ram_read(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address, uint8_t* out,
                                uint16_t length)
{
    Image im;
    int code = resolve(target, addressClass, sub, &address, length, &im);
    if (code != STATUS_DONE || length == 0)
        return code;
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (im.fromFpga) {
        // What the FPGA received; the image keeps it too. The receive poll
        // works on the same RAMs and image under the receive mutex.
        pthread_mutex_lock(&fpga->rcv_mutex);
        bool read = fpga->read_fpga_ram(out, address, length, uint8_t(im.ram), uint8_t(im.fpga)) == 0;
        if (read)
            std::memcpy(im.bytes + address, out, length);
        pthread_mutex_unlock(&fpga->rcv_mutex);
        return read ? STATUS_DONE : STATUS_STORAGE;
    }
    if (im.parameters) {
        fpga->ram_para_read(uint8_t(im.fpga), address, out, length);
    } else {
        if (im.extension)
            pthread_mutex_lock(&fpga->reg_mutex);
        std::memcpy(out, im.bytes + address, length);
        if (im.extension)
            pthread_mutex_unlock(&fpga->reg_mutex);
    }
    if (im.bytes == fpga_manage::MCU_RAM_CMD && address + length > kCmdUpdateStatus)
        out[kCmdUpdateStatus - address] = g_update_status.load();
    return STATUS_DONE;
}

// ---- registers ----

int message_deal::fpga_register_write(uint8_t target, int reg, uint8_t mask, uint8_t value)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if ((target != kTargetFpga0 && target != kTargetFpga1) || !fpga || reg >= fpga_manage::kRegs ||
        (reg >= kRegsIgnoredFirst && reg <= kRegsIgnoredLast))
        return STATUS_REFUSED;
    // Register 2 bit 2 stores the command image's table in FPGA 0's flash.
    return fpga->write_to_register(uint8_t(reg), mask, value, uint8_t(target - kTargetFpga0)) ? STATUS_DONE
                                                                                               : STATUS_STORAGE;
}

int message_deal::fpga_register_read(uint8_t target, int first, int count, uint8_t* out)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if ((target != kTargetFpga0 && target != kTargetFpga1) || !fpga || first + count > fpga_manage::kRegs)
        return STATUS_REFUSED;
    const uint8_t f = uint8_t(target - kTargetFpga0);
    for (int i = 0; i < count; ++i) {
        // Registers the FPGA holds are read first; the others live only in
        // the shadow.
        fpga->read_from_register(uint8_t(first + i), f);
        out[i] = fpga->shadow(uint8_t(first + i), f);
    }
    return STATUS_DONE;
}

// ---- commands ----

// 10 target (1 FPGA 0, 2 FPGA 1). The parameter RAM goes to the FPGA's
// configuration flash, where its start-up finds it: the 1024 bytes first,
// then the marker that makes them valid, then everything is read back.
int message_deal::param_save(uint8_t* body, int dataLength, int)
{
    if (dataLength < 1)
        return status(body, STATUS_MALFORMED);
    const uint8_t target = body[kFpgaAt];
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if ((target != kTargetFpga0 && target != kTargetFpga1) || !fpga)
        return status(body, STATUS_REFUSED);
    const int f = target - kTargetFpga0;
    const int sel = f == 0 ? fpga_drv::kFlashSel0 : fpga_drv::kFlashSel0 + 1;
    uint8_t image[kImage];
    flashImage(f, image);
    const uint8_t marker = fpga_layout::kMarker;
    fpga_drv* drv = fpga->p_fpga_drv;
    bool ok = drv->FPGA_SPI_FLASH_VBYONE_ERASE(sel, fpga_layout::kFlashParamMarker / 4096, 0, 1) == 1 &&
              drv->flash_write_copy(sel, fpga_layout::kFlashParam, image, kImage) == 1 &&
              drv->flash_write_copy(sel, fpga_layout::kFlashParamMarker, &marker, 1) == 1;
    if (ok) {
        uint8_t back[kImage + 1];
        ok = drv->FPGA_SPI_FLASH_VBYONE_READ(sel, fpga_layout::kFlashParamMarker, kImage + 1, back) == 1 &&
             back[0] == marker && std::memcmp(back + 1, image, kImage) == 0;
    }
    return status(body, ok ? STATUS_DONE : STATUS_STORAGE);
}

// The LED screen size from the port layout: from the smallest x and y to
// the farthest right and bottom border of the ports of FPGA 0, and of FPGA 1
// once it has a screen. The reply is the status, then the width and height
// found (u16 each); a size the panel cannot drive is not stored (status 1).
int message_deal::set_para_sync(uint8_t* body, int, int)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!fpga || !store) {
        std::memset(body + kFpgaAt + 1, 0, 4);
        return status(body, STATUS_REFUSED) + 4;
    }
    uint32_t left = 0xFFFF, top = 0xFFFF, right = 0, bottom = 0;
    for (uint8_t f = 0; f < fpga_manage::kFpgas; ++f) {
        unsigned short w = 0, h = 0;
        fpga->get_eth_lcd_w_h(f, &w, &h);
        if (f > 0 && (w == 0 || h == 0))
            continue;
        unsigned short x = 0, y = 0, r = 0, b = 0;
        fpga->get_eth_min_x_y(f, &x, &y);
        fpga->get_eth_max_border(f, &r, &b);
        left = std::min<uint32_t>(left, x);
        top = std::min<uint32_t>(top, y);
        right = std::max<uint32_t>(right, r);
        bottom = std::max<uint32_t>(bottom, b);
    }
    const uint32_t width = right > left ? right - left : 0, height = bottom > top ? bottom - top : 0;
    putLe16(body + kFpgaAt + 1, uint16_t(width));
    putLe16(body + kFpgaAt + 3, uint16_t(height));
    const uint8_t code = ledSizeStatus(width, height);
    if (code == STATUS_DONE) {
        c331_manage* scaler = c331_manage::p_c331_manage;
        if (scaler)
            pthread_mutex_lock(&scaler->para_mutex);
        putLe16(store->ram_para + ram::kLedWidth, uint16_t(width));
        putLe16(store->ram_para + ram::kLedHeight, uint16_t(height));
        if (scaler)
            pthread_mutex_unlock(&scaler->para_mutex);
    }
    return status(body, code) + 4;
}

int message_deal::start_led_handshake()
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return STATUS_REFUSED;
    if (fpga->shadow(kRegState, 0) != 3)
        return STATUS_NOT_READY;
    {
        QMutexLocker lock(&Utils::_led_para_init_mutex);
        // A new LED size the scaler has just applied still needs its FPGA
        // restart, which alone lights the LED screen again: it is not
        // overwritten.
        if (g_set_led_para.load() == 2)
            return STATUS_BUSY;
        g_set_led_para = 1;
        g_set_led_setup = 0;
    }
    fpga_manage::wake();
    return STATUS_DONE;
}

int message_deal::REG_mcu_flag(uint8_t* body, int, int) { return status(body, uint8_t(start_led_handshake())); }

int message_deal::RegUpdate10(uint8_t* body, int, int) { return status(body, uint8_t(start_led_handshake())); }

// New fonts in the scaler's flash: copied into the chip's memory and
// examined; the reply is the status and the font bits (local register 43).
int message_deal::RegUpdate0E(uint8_t* body, int, int)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    body[kFpgaAt + 1] = 0;
    if (!scaler || !store)
        return status(body, STATUS_REFUSED) + 1;
    {
        // Nothing else reaches the flash between the copy and the look.
        std::lock_guard<std::recursive_mutex> flash(scaler->flash_mutex);
        scaler->update_font(scaler->c331_fd);
        scaler->read_c331_font(scaler->c331_fd);
    }
    bool stored = true;
    if (g_update_status.load() == 0 && (stored = ConfigEngine::pointLoaderAtApp()))
        g_update_status = 1; // the loader now starts this application
    body[kFpgaAt + 1] = __atomic_load_n(store->local_reg + 43, __ATOMIC_RELAXED);
    return status(body, stored ? STATUS_DONE : STATUS_STORAGE) + 1;
}

// 10-13 first 4 KB unit (u32), 14-15 count (u16), 16 mode (0 4 KB, 1 32 KB,
// 2 64 KB blocks). The first unit must start a block, and the blocks must
// lie inside the flash: nothing outside what the PC names is erased.
int message_deal::cmd_erase_flash(uint8_t* body, int dataLength, int)
{
    if (dataLength < 7)
        return status(body, STATUS_MALFORMED);
    const uint32_t unit = le32(body + kFpgaAt);
    const uint32_t count = le16(body + kFpgaAt + 4);
    const uint8_t mode = body[kFpgaAt + 6];
    static const uint32_t kBlockUnits[3] = {1, 8, 16};
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (mode > 2 || !scaler || unit % kBlockUnits[mode] != 0 ||
        (uint64_t(unit) + uint64_t(count) * kBlockUnits[mode]) * 4096 > kScalerFlashSize)
        return status(body, STATUS_REFUSED);
    int rc = scaler->erase_flash(scaler->c331_fd, int(unit), int(count), mode);
    return status(body, rc == 0 ? STATUS_DONE : STATUS_STORAGE);
}

// 10-13 address (u32), 14-15 length n (1..16384), 16.. n bytes. The flash
// must have been erased there: programming only clears bits, so a write
// over old data is found by reading it back.
int message_deal::cmd_write_flash(uint8_t* body, int dataLength, int)
{
    if (dataLength < 6 || dataLength < 6 + le16(body + kFpgaAt + 4))
        return status(body, STATUS_MALFORMED);
    const uint32_t address = le32(body + kFpgaAt);
    const int n = le16(body + kFpgaAt + 4);
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (n < 1 || n > kMaxFlashBlock || !scaler || uint64_t(address) + uint64_t(n) > kScalerFlashSize)
        return status(body, STATUS_REFUSED);
    std::vector<unsigned char> data(body + kFpgaAt + 6, body + kFpgaAt + 6 + n);
    std::vector<unsigned char> back(data.size());
    bool stored = scaler->write_flash(scaler->c331_fd, int(address), n, data.data()) == 0 &&
                  scaler->read_flash(scaler->c331_fd, int(address), n, back.data()) == 0 && back == data;
    return status(body, stored ? STATUS_DONE : STATUS_STORAGE);
}

// 10-13 address, 14-15 length n (1..16384); the reply is the status and the
// n bytes.
int message_deal::cmd_read_flash(uint8_t* body, int dataLength, int capacity)
{
    if (dataLength < 6)
        return status(body, STATUS_MALFORMED);
    const uint32_t address = le32(body + kFpgaAt);
    const int n = le16(body + kFpgaAt + 4);
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (n < 1 || n > kMaxFlashBlock || kFpgaAt + 1 + n + 1 > capacity)
        return status(body, STATUS_TOO_LARGE);
    if (!scaler || uint64_t(address) + uint64_t(n) > kScalerFlashSize)
        return status(body, STATUS_REFUSED);
    int rc = scaler->read_flash(scaler->c331_fd, int(address), n, body + kFpgaAt + 1);
    return rc == 0 ? status(body, STATUS_DONE) + n : status(body, STATUS_STORAGE);
}

// The reply is the status, the controller's version (4 bytes), the versions
// of FPGA 0 and FPGA 1 (registers 28..31 each, zeros without the FPGA
// manager) and whether the start-up loader starts this application (1) or
// another one (0).
int message_deal::get_card_version(uint8_t* body, int, int)
{
    uint8_t* reply = body + kFpgaAt + 1;
    std::memcpy(reply, fpga_manage::kControllerVersion, 4);
    std::memset(reply + 4, 0, 8);
    if (fpga_manage* fpga = fpga_manage::p_fpga_manage) {
        for (uint8_t f = 0; f < fpga_manage::kFpgas; ++f)
            for (uint8_t i = 0; i < 4; ++i) {
                fpga->read_from_register(uint8_t(kRegVersion + i), f);
                reply[4 + 4 * f + i] = fpga->shadow(uint8_t(kRegVersion + i), f);
            }
    }
    reply[12] = g_update_status.load();
    return status(body, STATUS_DONE) + 13;
}
