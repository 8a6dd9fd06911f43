// The parameter-difference dispatcher: one pass per request applies what
// changed in the parameter image, then the per-turn input upkeep.
//
// A word counts as changed when the image differs from what this thread
// applied last, not from the stored snapshot: a change that a save swallowed
// into the snapshot before it reached the chip is still applied, and one a
// pass has applied is not sent again by the next request because the save
// has not been made yet.
#include "scaler/c331_manage.h"

#include <QMutexLocker>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "video_io/zevlosource.h"

using namespace ram;

namespace {
// The FPGA worker's LED set-up sequence takes 42 ticks; a pass waits for it
// at most three seconds.
constexpr unsigned kLedWaitTicks = 300;
// ... and at most this many 1 ms polls when the ticks stand still.
constexpr unsigned kLedWaitPolls = 10000;
constexpr int kRecordFirst = kImageRecords;
constexpr int kRecordLast = kImageRecords + kImageRecordSize * c331_manage::kWindows - 2; // 2426

// A diagnostic register the PC sets at any moment: cleared once its request
// has run, unless the PC has written it again meanwhile (then the next pass
// runs that).
void clearRequest(uint8_t* reg, uint8_t seen)
{
    __atomic_compare_exchange_n(reg, &seen, uint8_t(0), false, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
}

bool isRelayoutField(int field)
{
    return field == kImgEnable || field == kImgX || field == kImgY || field == kImgWidth || field == kImgHeight;
}
} // namespace

void c331_manage::c331managerdeal(void* arg)
{
    c331_manage* self = static_cast<c331_manage*>(arg);
    if (!self)
        return;
    if (self->para_changed.load())
        self->dispatchPass();
    self->inputUpkeep();
}

bool c331_manage::waiting_for_led() const { return g_led_size_waiting.load(); }

void c331_manage::waitLedHandshake()
{
    // Said before the look: a handshake that ends meanwhile knows that a
    // new LED size (and FPGA 0's restart) follows it.
    g_led_size_waiting = true;
    if (g_set_led_para != 1) {
        g_led_size_waiting = false;
        return;
    }
    // A writer on the GUI thread must not block behind a wait that only the
    // GUI thread's own tick can end.
    pthread_mutex_unlock(&para_mutex);
    const uint32_t stamp = G_timeTicks;
    unsigned polls = 0;
    while (g_set_led_para == 1 && !m_worker.stopRequested()) {
        if (Utils::getTimeSpace(stamp) >= kLedWaitTicks || ++polls > kLedWaitPolls) {
            VYX_DEBUG("\n [c331_main] LED parameter set-up still running after %u ticks, panel set up anyway\n",
                      Utils::getTimeSpace(stamp));
            break;
        }
        usleep(1000);
    }
    g_led_size_waiting = false;
    pthread_mutex_lock(&para_mutex);
}

void c331_manage::dispatchPass()
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store)
        return;
    const int fd = c331_fd;
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    zevlosource* sources = zevlosource::p_zevlo_source;

    pthread_mutex_lock(&para_mutex);
    uint8_t seen[kImageSize];
    // Other threads write the image meanwhile: a copy caught in the middle
    // of a write at worst makes a word look changed.
    copyShared(seen, store->ram_para, kImageSize);

    auto now = [&](int off) { return le16(seen + off); };
    auto changed = [&](int off) { return le16(seen + off) != le16(applied + off); };
    // The value the comparison found different.
    auto old = [&](int off) { return le16(applied + off); };

    // 1-2. Panel: one re-initialisation for any of its words.
    bool panelChanged = false, relaidOut = false;
    if (changed(kSpliceMode) || changed(kLedWidth) || changed(kLedHeight) || changed(kOutput1 + 4) ||
        changed(kOutput1 + 6)) {
        waitLedHandshake();
        // Writers had the image meanwhile: compare what stands now.
        copyShared(seen, store->ram_para, kImageSize);
        traceOp("vyxApi_PnlInit2(%d,%d,%d,%d,%d)", now(kLedWidth), now(kLedHeight), now(kOutput1 + 4),
                now(kOutput1 + 6), now(kSpliceMode));
        vyxApi_PnlInit2(now(kLedWidth), now(kLedHeight), now(kOutput1 + 4), now(kOutput1 + 6), now(kSpliceMode));
        panelChanged = true;
        {
            QMutexLocker lock(&Utils::_led_para_init_mutex);
            g_set_led_para = 2;
        }
        fpga_manage::wake();
        if (now(kOsdOn) != 0)
            g_osd_update = 1;
    }

    // 3. Picture controls.
    if (changed(kBrightness)) {
        // The LED brightness is the sending FPGAs'; the scaler stays neutral.
        traceOp("c331_SetBrightness(50)");
        c331_SetBrightness(50);
        QMutexLocker lock(&Utils::_bri_set_mutex);
        if (fpga) {
            traceOp("brightness flag");
            fpga->bri_set_flag = 1;
            fpga_manage::wake();
        }
    }
    if (changed(kContrast)) {
        traceOp("c331_SetContrast(%d)", now(kContrast));
        c331_SetContrast(now(kContrast));
    }
    if (changed(kSharpness)) {
        traceOp("c331_SetSharpness(%d)", now(kSharpness));
        c331_SetSharpness(now(kSharpness));
    }
    if (changed(kSaturation)) {
        traceOp("c331_SetSaturation(%d)", now(kSaturation));
        c331_SetSaturation(now(kSaturation));
    }
    if (changed(kColourTempType) || changed(kColourTempRed) || changed(kColourTempGreen) ||
        changed(kColourTempBlue)) {
        uint32_t word = uint32_t(seen[kColourTempType]) | uint32_t(seen[kColourTempBlue]) << 8 |
                        uint32_t(seen[kColourTempGreen]) << 16 | uint32_t(seen[kColourTempRed]) << 24;
        traceOp("c331_SetColorTemp(0x%08x)", unsigned(word));
        c331_SetColorTemp(int(word));
    }

    // 4. Window priorities.
    for (int w = 0; w < kWindows; ++w) {
        int off = kLayerPriority + 2 * w;
        if (!changed(off))
            continue;
        VYX_DEBUG("DIFF REG CUSTOM_INFO_IMAGE%d_PRIORITY %04x==>%04x\n", w + 1, old(off), now(off));
        traceOp("c331_SetWinPriority(%d,%d)", w, now(off));
        c331_SetWinPriority(w, now(off));
        traceOp("c331_SetWinPriority1()");
        c331_SetWinPriority1(fd);
    }

    // The rectangle of the crop a source word shows, changed since applied
    // (the crop screen edits a crop in place).
    auto cropRectMoved = [&](uint16_t word) {
        const ShownSource shown = shownSource(seen, word);
        if (shown.crop < 0)
            return false;
        const int entry = cropEntry(shown.crop);
        return std::memcmp(seen + entry + kCropX, applied + entry + kCropX, kCropH + 2 - kCropX) != 0;
    };

    // 5. Image records, in address order; a relayout ends the compare.
    for (int off = kRecordFirst; off <= kRecordLast; off += 2) {
        const int w = (off - kRecordFirst) / kImageRecordSize;
        const int field = (off - kRecordFirst) % kImageRecordSize;
        // A source word left as it was still shows something else once the
        // crop entry it names is freed, taken by another source's crop or
        // given another rectangle.
        const bool sourceMoved = field == kImgSource && (shownSource(applied, old(off)) != shownSource(seen, now(off)) ||
                                                         cropRectMoved(now(off)));
        if (!changed(off) && !sourceMoved)
            continue;
        const uint16_t value = now(off);
        VYX_DEBUG("DIFF REG win[%#x] reg:%x %04x==>%04x\n", w, off - kBrightness, old(off), value);
        if (isRelayoutField(field)) {
            traceOp("vyxApi_initEnvC331()");
            vyxApi_initEnvC331();
            traceOp("vyxApi_MultiWinChAlloc(1)");
            vyxApi_MultiWinChAlloc(1);
            traceOp("vyxApi_MultiWinChInit()");
            vyxApi_MultiWinChInit();
            traceOp("set_output()");
            set_output(fd);
            relaidOut = true;
            break;
        }
        if (field == kImgMirror) {
            traceOp("c331_SetWinAttr(%d,%d)", w, value);
            c331_SetWinAttr(char(w), value);
        } else if (field == kImgSource) {
            const ShownSource shown = shownSource(seen, value);
            if (shown.crop >= 0) {
                const int entry = cropEntry(shown.crop);
                ST_RECT rect{le16(seen + entry + kCropX), le16(seen + entry + kCropY), le16(seen + entry + kCropW),
                             le16(seen + entry + kCropH)};
                int source = shown.source & 0x0F;
                traceOp("c331_SetInputsourceCrop(%d,0x%04x)", w, value);
                c331_SetInputsourceCrop(w, value);
                traceOp("c331_SetCrop(%d,1,%d,%d,%d,%d)", w, rect.x, rect.y, rect.w, rect.h);
                c331_SetCrop(char(w), 1, &rect);
                traceOp("c331_SetInputsource(%d,%d)", w, source);
                c331_SetInputsource(w, source);
            } else {
                if (shownSource(applied, old(off)).crop >= 0) {
                    // Leaving a crop: the rectangle is not used with enable 0.
                    const int r0 = imageRecord(0);
                    ST_RECT rect{now(r0 + kImgX), now(r0 + kImgY), now(r0 + kImgWidth), now(r0 + kImgHeight)};
                    traceOp("c331_SetCrop(%d,0,%d,%d,%d,%d)", w, rect.x, rect.y, rect.w, rect.h);
                    c331_SetCrop(char(w), 0, &rect);
                }
                int source = value;
                if (value & kSourceIsCrop) {
                    // A crop word naming no used entry: the whole DVI input.
                    VYX_DEBUG("\t win:%d crop %d is not in use: the whole DVI input\n", w, value & 0xFF);
                    source = 0;
                }
                traceOp("c331_SetInputsource(%d,%d)", w, source);
                c331_SetInputsource(w, source);
            }
            if (w == (now(kAudioImage) & 0xFF) && sources) {
                traceOp("audio route flag");
                sources->request_audio_route();
            }
        } else if (field == kImgOutput) {
            traceOp("c331_SetWinOutput(%d,0x%04x)", w, value);
            c331_SetWinOutput(fd, char(w), value);
        } else if (field == kImgDotMode) {
            traceOp("c331_SetWinDbdMode(%d,%d)", w, value);
            c331_SetWinDbdMode(fd, char(w), value);
        }
    }

    // The new panel rewrote every channel's raster: the windows it reloaded
    // are programmed onto it, or the channels would show the raster alone.
    if (panelChanged && !relaidOut) {
        traceOp("set_output()");
        set_output(fd);
    }

    // 6. Fade times, kept for the window programming.
    for (int w = 0; w < kWindows; ++w) {
        const int in = kFadeIn + kFadeStride * w, out = kFadeOut + kFadeStride * w;
        if (changed(in)) {
            VYX_DEBUG("DIFF REG win[%#x] reg:%x(%04x) %04x==>%04x\n", w, in - kFadeIn, kFadeIn, old(in), now(in));
            PM_WIN_FADE_IN[w] = now(in);
        }
        if (changed(out)) {
            VYX_DEBUG("DIFF REG win[%#x] reg:%x(%04x) %04x==>%04x\n", w, out - kFadeIn, kFadeIn, old(out), now(out));
            PM_WIN_FADE_OUT[w] = now(out);
        }
    }

    // 7. Test pattern (one byte).
    if (seen[kTestPattern] != applied[kTestPattern]) {
        traceOp("c331_SetPattern(%d)", seen[kTestPattern]);
        c331_SetPattern(seen[kTestPattern]);
    }

    // 8. EDID requests of inputs 0..3: every input whose request changed or
    // whose EDID comes from a stored table, so one never hides another.
    for (int i = 0; i < zevlosource::kInputs; ++i) {
        const int r = edidRequest(i);
        if (changed(r) || changed(r + 2) || changed(r + 4) || edid_ram_table_from[i]) {
            if (sources) {
                traceOp("edid refresh %d", i);
                sources->set_edid_refresh(i);
            }
        }
    }

    // 9. Audio: the audio image or a window's sound bit.
    bool audio = changed(kAudioImage);
    for (int w = 0; w < kWindows && !audio; ++w)
        audio = changed(imageRecord(w) + kImgAudio);
    if (audio && sources) {
        traceOp("audio route flag");
        sources->request_audio_route();
    }

    // 10. LED screen on/off.
    if (changed(kLedOff) && fpga) {
        traceOp("output status flag");
        fpga->output_status_flag = 1;
        fpga_manage::wake();
    }

    // 11. OSD on/off.
    if (changed(kOsdOn)) {
        traceOp("vyxApi_OsdSet(0,%d)", now(kOsdOn));
        vyxApi_OsdSet(0, now(kOsdOn));
        if (now(kOsdOn) != 0)
            g_osd_update = 1;
    }

    // 12. Announce and clear the request.
    const uint8_t code = para_changed.load();
    traceOp("test_signal(%d)", code);
    store->test_signal(code);
    para_changed = 0;

    // 13. OSD menu.
    if (g_osd_update == 1) {
        g_osd_update = 0;
        reloadOsdMenu();
    }

    // 14. Diagnostic commands of the local registers.
    debugRegisters();

    std::memcpy(applied, seen, kImageSize);
    ++pass_count;
    pthread_mutex_unlock(&para_mutex);
}

void c331_manage::debugRegisters()
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    uint8_t* r = store->local_reg;
    const int fd = c331_fd;

    if (uint8_t v = loadShared(r + 34)) {
        // Only the lowest set bit acts.
        if (v & 0x01) {
            traceOp("input_slidebar()");
            input_slidebar(fd);
        } else if (v & 0x02) {
            traceOp("output_slidebar()");
            output_slidebar(fd);
        } else if (v & 0x04) {
            traceOp("disable_slidebar()");
            disable_slidebar(fd);
        } else if (v & 0x08) {
            traceOp("vbyone_rx_ch1_seq()");
            vbyone_rx_ch1_seq(fd);
        } else if (v & 0x10) {
            traceOp("vbyone_rx_ch2_seq()");
            vbyone_rx_ch2_seq(fd);
        } else if (v & 0x20) {
            traceOp("read_c331_b174bug()");
            read_c331_b174bug(fd);
        } else if (v & 0x40) {
            // The whole bring-up again, from the identity polls.
            traceOp("restart bring-up");
            setup_stage = 0;
        } else {
            traceOp("write_read_c331_b80_iacthstch5()");
            write_read_c331_b80_iacthstch5(fd);
        }
        clearRequest(r + 34, v);
    }
    if (uint8_t n = loadShared(r + 35)) {
        traceOp("vyxDbg_c331_param(%d)", n - 1);
        vyxDbg_c331_param(n - 1);
        clearRequest(r + 35, n);
    }
    if (uint8_t g = loadShared(r + 36)) {
        if (g & 0x01) {
            traceOp("vyxDbg_c331_print_regGrp(0)");
            vyxDbg_c331_print_regGrp(0);
        }
        clearRequest(r + 36, g);
    }
    // A value without any of bits 0..3 is left as it is.
    const uint8_t test = loadShared(r + 33);
    if (uint8_t t = test & 0x0F) {
        if (t & 0x01) {
            traceOp("sync_c331_device_test_input()");
            sync_c331_device_test_input(fd);
        } else if (t & 0x02) {
            traceOp("sync_c331_device_test_frame_lock()");
            sync_c331_device_test_frame_lock(fd);
        } else if (t & 0x04) {
            traceOp("sync_c331_device_test_frame_lock_vbyrx2()");
            sync_c331_device_test_frame_lock_vbyrx2(fd);
        } else {
            traceOp("sync_c331_device_test_frame_lock_vbyrx3()");
            sync_c331_device_test_frame_lock_vbyrx3(fd);
        }
        clearRequest(r + 33, test);
    }
}

void c331_manage::inputUpkeep()
{
    if (vyxApi_IsPatternGen())
        return;
    const int fd = c331_fd;
    traceOp("load_hdmi()");
    load_hdmi();
    traceOp("check_port_valid()");
    check_port_valid(fd);
    // Taken before the work: a request raised meanwhile is kept for the
    // next turn.
    if (osd_update_pending.exchange(0)) {
        traceOp("update_osd()");
        update_osd(fd);
    } else if (osd_set_pending.exchange(0)) {
        traceOp("set_osd(1)");
        set_osd(fd, 1);
        traceOp("set_scroll()");
        set_scroll(fd);
    }
    traceOp("check_input_port()");
    check_input_port(fd);
    for (int p = 0; p < kPorts; ++p) {
        for (int w = 0; w < kWindows; ++w) {
            if (PM_INPUT[w] != p || (!PI_UPDATE[p] && !g_chg_hdmi[p]))
                continue;
            std::printf("\n [c331_main]PI_UPDATE[%d]=%d   g_chg_hdmi[%d]=%d   PI_ACT  HST=%4d  HW=%4d  VST=%4d  "
                        "VW=%4d\n",
                        p, PI_UPDATE[p], p, g_chg_hdmi[p], PI_ACT[p].hst, PI_ACT[p].hw, PI_ACT[p].vst,
                        PI_ACT[p].vw);
            g_chg_input[w] = 3;
            traceOp("set_output() for input %d", p);
            set_output(fd);
            g_c331_source_online = 1;
        }
        PI_UPDATE[p] = 0;
        g_chg_hdmi[p] = 0;
    }
}
