#pragma once
// A window layout as a PC writes it into the parameter image (panel words,
// layer priorities, image records), what the LED screen should then show,
// and the comparison with the composition read back from the scaler chip.
// Shared by the scaler tests and the end-to-end tests of the PC link.

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/c331_screen.h"

namespace layout {

using platform::c331screen::Composition;
using platform::c331screen::Rect;

struct Win {
    int x = 0, y = 0, w = 0, h = 0;
    int priority = 0;
    bool enabled = true;
    uint16_t source = 0;
    uint16_t output = 0;
    uint16_t attribute = 0;
};

struct Request {
    int splice = 0;
    int ledW = 1920, ledH = 1080;
    int out1w = -1, out1h = -1; // -1: the LED size
    std::vector<Win> wins;      // image 0, 1, ... (at most 6)
};

// Parameter-image bytes of a request: (first address, bytes), in the order
// a PC writes them.
inline std::vector<std::pair<int, std::vector<uint8_t>>> imageChunks(const Request& r)
{
    auto le = [](std::vector<uint8_t>& b, int v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    std::vector<uint8_t> panel, out1, priorities, records;
    le(panel, r.splice);
    le(panel, r.ledW);
    le(panel, r.ledH);
    le(out1, r.out1w < 0 ? r.ledW : r.out1w);
    le(out1, r.out1h < 0 ? r.ledH : r.out1h);
    for (int i = 0; i < 6; ++i) {
        const Win w = i < int(r.wins.size()) ? r.wins[size_t(i)] : Win{0, 0, 0, 0, i, false};
        le(priorities, w.priority);
        le(records, w.enabled ? 1 : 0); // +0 enable
        le(records, 0);
        le(records, w.attribute); // +4
        le(records, 0);
        le(records, w.source); // +8
        le(records, w.x);      // +10
        le(records, w.y);
        le(records, w.w);
        le(records, w.h);
        le(records, w.output); // +18
        le(records, 0);
        le(records, 0);
        le(records, 0);
    }
    return {{1376, panel}, {1412, out1}, {2208, priorities}, {2272, records}};
}

inline void writeImage(const Request& r, uint8_t* image)
{
    for (const auto& chunk : imageChunks(r))
        std::copy(chunk.second.begin(), chunk.second.end(), image + chunk.first);
}

struct Expected {
    Rect rect;
    int layer = 0; // as loaded: a priority above 5 wraps, a taken one moves to the lowest free
    int image = 0;
};

// What the screen shows when every window fits its channels: each enabled
// image clipped to the LED screen, in front of the images with larger layers.
inline std::vector<Expected> expected(const Request& r)
{
    std::vector<Expected> out;
    unsigned used = 0;
    for (size_t i = 0; i < r.wins.size() && i < 6; ++i) {
        const Win& w = r.wins[i];
        if (!w.enabled)
            continue;
        int layer = w.priority > 5 ? w.priority % 6 : w.priority;
        if (used & (1u << layer)) {
            layer = 0;
            while (used & (1u << layer))
                ++layer;
        }
        used |= 1u << layer;
        const Rect rect = Rect{w.x, w.y, w.w, w.h}.intersected(Rect{0, 0, r.ledW, r.ledH});
        if (!rect.empty())
            out.push_back(Expected{rect, layer, int(i)});
    }
    return out;
}

inline std::string str(const Rect& r)
{
    std::ostringstream s;
    s << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
    return s.str();
}

// Empty when the screen shows exactly the expected windows, stacked as
// their layers say wherever two share a channel cell; else what differs.
inline std::string compare(const Composition& screen, std::vector<Expected> want)
{
    std::ostringstream diff;
    if (!screen.layersConsistent)
        diff << "mixers stack windows in contradicting orders\n";
    std::vector<size_t> got(screen.windows.size());
    for (size_t i = 0; i < got.size(); ++i)
        got[i] = i;
    std::sort(got.begin(), got.end(), [&](size_t a, size_t b) {
        const auto& wa = screen.windows[a];
        const auto& wb = screen.windows[b];
        return wa.screen < wb.screen || (wa.screen == wb.screen && wa.layer < wb.layer);
    });
    // Same rectangle: the back one (larger layer) first, as decoded.
    std::sort(want.begin(), want.end(), [](const Expected& a, const Expected& b) {
        return a.rect < b.rect || (a.rect == b.rect && a.layer > b.layer);
    });
    if (got.size() != want.size())
        diff << "windows: " << got.size() << " shown, " << want.size() << " asked for\n";
    const size_t n = std::min(got.size(), want.size());
    for (size_t i = 0; i < n; ++i)
        if (screen.windows[got[i]].screen != want[i].rect)
            diff << "image " << want[i].image << ": " << str(want[i].rect) << " asked, "
                 << str(screen.windows[got[i]].screen) << " shown\n";
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) {
            const int s = screen.stacking(got[i], got[j]);
            if (s == 0)
                continue;
            const int wantFront = want[i].layer < want[j].layer ? 1 : -1;
            if (s != wantFront)
                diff << "image " << want[i].image << " is " << (s > 0 ? "in front of" : "behind") << " image "
                     << want[j].image << "\n";
        }
    if (!diff.str().empty())
        diff << "read back:\n" << screen.describe();
    return diff.str();
}

// A random rectangle inside w x h, now and then empty.
inline Win randomWin(std::mt19937& rng, int ledW, int ledH)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Win w;
    w.x = pick(0, ledW - 1);
    w.y = pick(0, ledH - 1);
    w.w = pick(0, 19) == 0 ? 0 : pick(1, ledW - w.x);
    w.h = pick(1, ledH - w.y);
    w.priority = pick(0, 7);
    w.enabled = pick(0, 7) != 0;
    return w;
}

// 1-6 random windows on the request's LED screen, image 0 always shown.
inline void randomWindows(std::mt19937& rng, Request& r)
{
    r.wins.clear();
    const int n = std::uniform_int_distribution<int>(1, 6)(rng);
    for (int i = 0; i < n; ++i)
        r.wins.push_back(randomWin(rng, r.ledW, r.ledH));
    r.wins[0].enabled = true;
}

// A screen the panel can set (no splicing, at most 6,553,600 pixels) or,
// `large`, one only a PC can (two channels per output), with 1-6 windows.
inline Request randomRequest(std::mt19937& rng, bool large)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Request r;
    if (large) {
        r.ledW = pick(3200, 8000);
        r.ledH = pick(9800000 / r.ledW + 1, 16000000 / r.ledW);
    } else {
        r.ledW = pick(64, 4096);
        r.ledH = pick(64, std::min(4096, 6553600 / r.ledW));
    }
    randomWindows(rng, r);
    return r;
}

// Output channels the request needs when each window takes one per cell it
// covers on a row of cells `cell` wide.
inline int channelsNeeded(const Request& r, int cell)
{
    int n = 0;
    for (const Win& w : r.wins)
        if (w.enabled && cell > 0)
            n += (w.x + w.w) / cell - w.x / cell + ((w.x + w.w) % cell == 0 && w.w > 0 ? 0 : 1);
    return n;
}

} // namespace layout
