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

// One entry of the crop table: the source id and the rectangle.
struct Crop {
    int entry = 0; // 0..39
    int source = 0;
    int x = 0, y = 0, w = 0, h = 0;
};

struct Request {
    int splice = 0;
    int ledW = 1920, ledH = 1080;
    int out1w = -1, out1h = -1; // -1: the LED size
    std::vector<Win> wins;      // image 0, 1, ... (at most 6)
};

// What a simulated source sends into one input, as the sources file says it.
struct Source {
    std::string text = "none"; // "none", "1920x1080@60", "720x576i@50", ...
    bool signal() const { return text != "none"; }
    int width() const { return signal() ? std::stoi(text) : 0; }
    int height() const { return signal() ? std::stoi(text.substr(text.find('x') + 1)) : 0; }
    bool interlaced() const { return text.find("i@") != std::string::npos; }
};

// Parameter-image bytes of a request and the crop-table entries its windows
// may name: (first address, bytes), in the order a PC writes them.
inline std::vector<std::pair<int, std::vector<uint8_t>>> imageChunks(const Request& r,
                                                                     const std::vector<Crop>& crops = {})
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
    std::vector<std::pair<int, std::vector<uint8_t>>> chunks = {
        {1376, panel}, {1412, out1}, {2208, priorities}, {2272, records}};
    // The crops first: a window's source word names them.
    for (const Crop& c : crops) {
        std::vector<uint8_t> entry;
        le(entry, 0x8000 | (c.entry % 40) << 8 | c.source);
        le(entry, c.x);
        le(entry, c.y);
        le(entry, c.w);
        le(entry, c.h);
        chunks.insert(chunks.begin(), {1472 + 10 * c.entry, entry});
    }
    return chunks;
}

inline void writeImage(const Request& r, uint8_t* image, const std::vector<Crop>& crops = {})
{
    for (const auto& chunk : imageChunks(r, crops))
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

// Random inputs for the windows of a request: each shows one of the four
// sources, plainly or through one of the few random crops returned.
inline std::vector<Crop> randomInputs(std::mt19937& rng, Request& r)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Crop> crops;
    for (int i = 0; i < 4; ++i) {
        Crop c;
        bool taken;
        do {
            c.entry = pick(0, 39);
            taken = false;
            for (const Crop& other : crops)
                taken |= other.entry == c.entry;
        } while (taken);
        c.source = pick(0, 3);
        c.x = pick(0, 1900);
        c.y = pick(0, 1000);
        c.w = pick(1, 2000);
        c.h = pick(1, 1200);
        crops.push_back(c);
    }
    for (Win& w : r.wins)
        w.source = pick(0, 2) == 0 ? uint16_t(0x8000 | crops[size_t(pick(0, 3))].entry) : uint16_t(pick(0, 3));
    return crops;
}

// Random sources for the four inputs: none, progressive and interlaced
// timings, and (input 3, the V-by-One path) a 4K one.
inline std::vector<Source> randomSources(std::mt19937& rng)
{
    static const char* const kAny[] = {"none", "1920x1080@60", "1280x720@50", "720x576i@50", "1920x1080i@60"};
    std::vector<Source> out(4);
    for (int i = 0; i < 4; ++i) {
        const int n = std::uniform_int_distribution<int>(0, i == 3 ? 5 : 4)(rng);
        out[size_t(i)].text = n == 5 ? "3840x2160@30" : kAny[n];
    }
    return out;
}

// The sources file for them.
inline std::string sourcesFile(const std::vector<Source>& sources)
{
    std::string text;
    for (size_t i = 0; i < sources.size(); ++i)
        text += std::to_string(i) + " " + sources[i].text + "\n";
    return text;
}

// Empty when every shown window of the request captures its source's port,
// shows its background exactly when that source has no signal, and shows
// the crop it names (the rectangle held to the picture: the whole of an
// axis it reaches past), within what a shrink lets be read back.
inline std::string compareInputs(const Composition& screen, const Request& r, const std::vector<Crop>& crops,
                                 const std::vector<Source>& sources)
{
    static const int kPortOf[4] = {2, 1, 0, 5};
    std::ostringstream diff;
    for (const Expected& e : expected(r)) {
        const Win& win = r.wins[size_t(e.image)];
        const platform::c331screen::Window* shown = nullptr;
        int same = 0;
        for (const auto& w : screen.windows)
            if (w.screen == e.rect) {
                shown = &w;
                ++same;
            }
        if (same != 1)
            continue; // none (a layout the channels cannot show) or not told apart
        const Crop* crop = nullptr;
        int source = win.source & 7;
        if (win.source & 0x8000) {
            for (const Crop& c : crops)
                if (c.entry == (win.source & 0xFF))
                    crop = &c;
            source = crop ? crop->source : 0;
        }
        const Source& s = sources[size_t(source)];
        std::ostringstream who;
        who << "image " << e.image << " on source " << source << " (" << s.text << ")";
        // Without an input channel (more needed than there are) a window
        // shows its background.
        const bool noPicture = !s.signal() || shown->inputChannel < 0;
        if (shown->background != noPicture)
            diff << who.str() << (shown->background ? ": background shown\n" : ": no background\n");
        if (shown->inputChannel < 0)
            continue;
        if (shown->port != kPortOf[source])
            diff << who.str() << ": port " << shown->port << "\n";
        // Interlaced fields on a channel that does not deinterlace are
        // shown as fields while a crop counts frame lines; the V-by-One port
        // (source 3) takes fields as pictures of their own.
        if (!s.signal() || (s.interlaced() && source != 3 && shown->inputChannel >= 4))
            continue;
        // Per axis: the crop's span when it fits the picture; else the whole
        // picture (a crop set on a source change) or what lies inside it (a
        // crop taken over by a new layout or a new timing).
        const Rect& got = shown->shown;
        auto axisOk = [](int gotAt, int gotLen, int at, int len, int whole, int window) {
            std::vector<std::pair<int, int>> ok;
            if (at + len <= whole)
                ok.push_back({at, len});
            else
                ok = {{0, whole}, {at < whole ? at : 0, at < whole ? whole - at : whole}};
            // A shrink is read back to within its step (none to one pixel).
            if (ok[0].second > window && window <= 1)
                return true;
            const int tol = ok[0].second > window ? ok[0].second / (window - 1) + 2 : 0;
            for (const auto& o : ok)
                if (std::abs(gotAt - o.first) <= tol && std::abs(gotLen - o.second) <= tol)
                    return true;
            return false;
        };
        const int W = s.width(), H = s.interlaced() && source == 3 ? s.height() / 2 : s.height();
        const Rect want = crop ? Rect{crop->x, crop->y, crop->w, crop->h} : Rect{0, 0, W, H};
        if (!axisOk(got.x, got.w, want.x, want.w, W, win.w) || !axisOk(got.y, got.h, want.y, want.h, H, win.h))
            diff << who.str() << ": shows " << str(got) << " of " << str(shown->source) << ", " << str(want)
                 << " asked\n";
    }
    if (!diff.str().empty())
        diff << "read back:\n" << screen.describe();
    return diff.str();
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
