// Read-back of the scaler chip's composition and the picture of the screen.
#include "platform/c331_screen.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace platform {
namespace c331screen {

uint32_t RegisterFile::value(uint32_t code, int bankOffset) const
{
    const int bank = int((code >> 16) & 0xFF) + bankOffset;
    if (!m_bytes || bank < 0 || bank >= kBanks)
        return 0;
    const int addr = int((code >> 8) & 0x7F);
    const int count = std::min(4, int(code & 0xFF));
    uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v |= uint32_t(m_bytes[bank * kBankBytes + ((addr + i) & 0x7F)]) << (8 * i);
    return v;
}

Rect Rect::intersected(const Rect& o) const
{
    const int x1 = std::max(x, o.x), y1 = std::max(y, o.y);
    const int x2 = std::min(x + w, o.x + o.w), y2 = std::min(y + h, o.y + o.h);
    if (x2 <= x1 || y2 <= y1)
        return Rect{};
    return Rect{x1, y1, x2 - x1, y2 - y1};
}

Rect Rect::united(const Rect& o) const
{
    if (o.empty())
        return *this;
    if (empty())
        return o;
    const int x1 = std::min(x, o.x), y1 = std::min(y, o.y);
    const int x2 = std::max(x + w, o.x + o.w), y2 = std::max(y + h, o.y + o.h);
    return Rect{x1, y1, x2 - x1, y2 - y1};
}

bool Rect::operator<(const Rect& o) const { return std::tie(x, y, w, h) < std::tie(o.x, o.y, o.w, o.h); }

ScreenLayout ScreenLayout::fromPublished(const uint8_t* record)
{
    auto word = [record](int i) { return int(record[2 * i] | record[2 * i + 1] << 8); };
    ScreenLayout l;
    l.ledWidth = word(1);
    l.ledHeight = word(2);
    l.offsetX = word(3);
    l.offsetY = word(4);
    l.across = word(5);
    l.down = word(6);
    l.cellWidth = word(7);
    l.cellHeight = word(8);
    return l;
}

namespace {

int signed16(uint32_t v) { return int(int16_t(uint16_t(v))); }

// The window (index into `windows`) each channel belongs to, -1 none.
std::array<int, kChannels> ownerOf(const std::vector<Window>& windows)
{
    std::array<int, kChannels> owner;
    owner.fill(-1);
    for (size_t i = 0; i < windows.size(); ++i)
        for (int k : windows[i].channels)
            if (k >= 0 && k < kChannels)
                owner[size_t(k)] = int(i);
    return owner;
}

// The input size that a 16.16 zoom step `z` from it to `out` pixels came
// from: ((in - 1) << 16) / (out - 1) + 1 = z.
int unzoom(int64_t z, int64_t out)
{
    if (out <= 1 || z <= 0)
        return int(out);
    const int64_t in = ((z - 1) * (out - 1) + 0xFFFF) / 0x10000 + 1;
    return int(in);
}

// The input sizes a shrink step `f` to `out` pixels can have come from:
// ((out - 1) << 16) / (in - 1) + 1 = f. `prefer` when it is one of them,
// else the smallest.
int unshrink(int64_t f, int64_t out, int64_t prefer)
{
    if (out <= 1 || f <= 1)
        return int(out);
    auto step = [out](int64_t in) { return in > 1 ? ((out - 1) << 16) / (in - 1) + 1 : 0; };
    if (prefer > 1 && step(prefer) == f)
        return int(prefer);
    int64_t in = ((out - 1) << 16) / f + 1;
    while (in < 0x10000 && step(in) > f)
        ++in;
    return int(in);
}

// Memory pixel of byte offset `bytes` in a line of memory format `mode`
// (the inverse of the writer's 16/5, 8/3, 2 and 4 bytes a pixel).
int64_t memPixel(int64_t bytes, int mode)
{
    switch (mode) {
    case 1: return (bytes * 5 + 15) / 16;
    case 2: return (bytes * 3 + 7) / 8;
    case 3: return bytes / 2;
    default: return bytes / 4;
    }
}

// Bytes a line of n memory pixels takes in memory format `mode` (16 bytes
// for 5 pixels, 8 for 3, 2 or 4 a pixel).
int64_t memLineBytes(int64_t n, int mode)
{
    switch (mode) {
    case 1: return (n / 5) * 16 + (n % 5) * 3;
    case 2: return (n + 2) / 3 * 8;
    case 3: return 2 * n;
    default: return 4 * n;
    }
}

// Memory pixels a path writes of `width` captured pixels shrunk by step
// `f` (0 or 1.0 and above: not shrunk): the outputs whose source pixel lies
// inside the capture.
int64_t pathPixels(int64_t width, int64_t f)
{
    if (width <= 0)
        return 0;
    return f > 0 && f < 0x10000 ? ((width - 1) * f >> 16) + 1 : width;
}

// The first source pixel that a shrink by step `f` puts at memory pixel
// `mem`: floor(x * f / 65536) = mem; 0 when it can be.
int64_t unshrinkPos(int64_t mem, int64_t f)
{
    if (f <= 0 || f >= 0x10000)
        return mem;
    int64_t x = (mem * 0x10000 + f - 1) / f;
    while (x > 0 && ((x - 1) * f >> 16) == mem)
        --x;
    return x;
}

int formatMode(uint32_t code)
{
    switch (code) {
    case 0x80: return 1;
    case 0x01: return 2;
    case 0x11: return 3;
    default: return 0;
    }
}

// Port, picture and shown part of a window, from its input channel and its
// first output channel; `out` is its output rectangle on the canvas.
void readInput(const RegisterFile& regs, const Rect& out, Window* w)
{
    const int ic = w->inputChannel;
    if (ic < 0 || ic >= kChannels || w->head < 0)
        return;
    const int k = w->head, ioff = 16 * ic, ooff = 16 * k;
    const int sel = int(regs.value(0x001001 + 0x100u * unsigned(ic)));
    w->port = sel < 8 ? ((sel & 1) ? -1 : sel / 2) : sel < 12 ? 4 : sel < 16 ? 5 : -1;

    const unsigned pair = unsigned(ic / 2);
    int width = int(regs.value(0x101902, ioff));
    w->split = regs.value(0x030801 + 0x900u * pair) == 3;
    if (w->split)
        width = int(regs.value(0x030B02 + 0x900u * pair));
    int height = int(regs.value(0x101D02, ioff));
    if (regs.value(0x165B01, ioff) & 1)
        height *= 2;
    // Nothing captured (a port without signal): no picture to show part of.
    if (width <= 0 || height <= 0)
        return;
    w->source = Rect{0, 0, width, height};

    const int64_t hz = regs.value(0x0A4902, ooff), vz = regs.value(0x0A4E02, ooff);
    const int64_t hf = regs.value(0x114702, ioff), vf = regs.value(0x114C02, ioff);
    const bool hShrink = hf > 0 && hf < 0x10000, vShrink = vf > 0 && vf < 0x10000;
    w->scaled = hz || vz || hShrink || vShrink;
    Rect shown;
    shown.w = hz ? unzoom(hz, out.w) : hShrink ? unshrink(hf, out.w, width) : out.w;
    shown.h = vz ? unzoom(vz, out.h) : vShrink ? unshrink(vf, out.h, height) : out.h;

    // Where the window starts reading its frame memory, against where its
    // input channel writes: lines of the pitch, then pixels of the format.
    const uint32_t offset = regs.value(0x160804, ooff) - regs.value(0x161C04, ioff);
    int64_t pitch = regs.value(0x163001, ooff);
    if (pitch >= 0x80)
        pitch = 0x100 - pitch; // read upward
    const int mode = formatMode(regs.value(0x006901 + 0x100u * unsigned(k)));
    if (w->split && ic + 1 < kChannels) {
        // Where each half's line lies in memory: the second path's own
        // write address, capture width and shrink.
        const int soff = 16 * (ic + 1);
        const int64_t first = regs.value(0x161C04, ioff), second = regs.value(0x161C04, soff);
        const int64_t firstEnd = first + memLineBytes(pathPixels(regs.value(0x101902, ioff), hf), mode);
        const int64_t secondEnd =
            second + memLineBytes(pathPixels(regs.value(0x101902, soff), regs.value(0x114702, soff)), mode);
        w->halvesOverlap = first < secondEnd && second < firstEnd;
    }
    const int64_t lineBytes = pitch * 1024;
    const int64_t line = lineBytes > 0 ? offset / lineBytes : 0;
    const int64_t pixel = memPixel(lineBytes > 0 ? offset % lineBytes : offset, mode);
    shown.x = int(hShrink ? unshrinkPos(pixel, hf) : pixel);
    shown.y = int(vShrink ? unshrinkPos(line, vf) : line);
    w->shown = shown;
    w->cropped = shown != w->source && !shown.empty();
    if (w->cropped)
        w->crop = shown;
}

} // namespace

Composition decode(const RegisterFile& regs, const ScreenLayout& layout)
{
    Composition c;
    c.layout = layout;
    for (int k = 0; k < kChannels; ++k) {
        OutputChannel& ch = c.channels[size_t(k)];
        const int off = 16 * k;
        ch.htotal = int(regs.value(0x080A02, off)) + 2;
        ch.vtotal = int(regs.value(0x080C02, off)) + 2;
        const int hst = int(regs.value(0x082802, off)), hed = int(regs.value(0x082A02, off));
        const int vst = int(regs.value(0x082C02, off)), ved = int(regs.value(0x082E02, off));
        ch.active = Rect{hst, vst, hed - hst, ved - vst};
        ch.tile = Rect{signed16(regs.value(0x084002, off)) - hst, signed16(regs.value(0x084402, off)) - vst,
                       int(regs.value(0x084202, off)), int(regs.value(0x084602, off))};
        const uint32_t src = regs.value(0x080802, off);
        ch.follower = (src & 0x1000) != 0;
        const int sel = int((src >> 8) & 0xF);
        ch.readFrom = ch.follower ? sel : (sel < kChannels ? sel : -1);
        ch.background = (regs.value(0x084801, off) & 1) != 0;
        ch.hmirror = (regs.value(0x082201, off) & 1) != 0;
        TestPattern& pattern = ch.pattern;
        pattern.kind = int(regs.value(0x085701, off));
        pattern.rgb = regs.value(0x086301, off) << 16 | regs.value(0x086401, off) << 8 | regs.value(0x086501, off);
        pattern.hstep = int(regs.value(0x085F02, off));
        pattern.vstep = int(regs.value(0x086102, off));
    }
    for (int m = 0; m < kChannels; ++m) {
        const uint32_t word = regs.value(0x0E0904, 16 * m);
        for (int i = 0; i < 8; ++i) {
            const int v = int((word >> (4 * i)) & 0xF);
            if (v < 8)
                break;
            OutputChannel& ch = c.channels[size_t(v - 8)];
            if (ch.mixer != 0)
                continue;
            ch.mixer = m + 1;
            ch.depth = i;
            c.mixers[size_t(m)].push_back(v - 8);
        }
    }
    for (OutputChannel& ch : c.channels)
        ch.shown = ch.mixer > 0 && !ch.active.empty() && !ch.tile.intersected(Rect{0, 0, ch.active.w, ch.active.h}).empty();
    if (!layout.valid())
        return c;

    // The tile of channel k on the LED screen.
    const Rect led{0, 0, layout.ledWidth, layout.ledHeight};
    auto onScreen = [&](int k) {
        const OutputChannel& ch = c.channels[size_t(k)];
        const int cell = ch.mixer - 1;
        const int cx = (cell % layout.across) * layout.cellWidth - layout.offsetX;
        const int cy = (cell / layout.across) * layout.cellHeight - layout.offsetY;
        Rect t = ch.tile.intersected(Rect{0, 0, ch.active.w, ch.active.h});
        t.x += cx;
        t.y += cy;
        return t.intersected(led);
    };

    // Windows: a first channel and the channels that follow it.
    std::vector<Window> found;
    std::array<int, kChannels> windowOf;
    windowOf.fill(-1);
    for (int k = 0; k < kChannels; ++k) {
        const OutputChannel& ch = c.channels[size_t(k)];
        if (!ch.shown || ch.follower)
            continue;
        Window w;
        w.head = k;
        w.channels.push_back(k);
        w.inputChannel = ch.readFrom;
        w.background = ch.background;
        w.hmirror = ch.hmirror;
        w.pattern = ch.pattern;
        windowOf[size_t(k)] = int(found.size());
        found.push_back(w);
    }
    for (int k = 0; k < kChannels; ++k) {
        const OutputChannel& ch = c.channels[size_t(k)];
        if (!ch.shown || !ch.follower)
            continue;
        const int lead = ch.readFrom;
        if (lead >= 0 && lead < kChannels && windowOf[size_t(lead)] >= 0) {
            found[size_t(windowOf[size_t(lead)])].channels.push_back(k);
        } else {
            // Following no shown window: shown on its own.
            Window w;
            w.head = k;
            w.channels.push_back(k);
            w.background = ch.background;
            w.hmirror = ch.hmirror;
            found.push_back(w);
        }
    }
    // A channel's whole tile on the canvas, the LED screen's edges ignored.
    auto onCanvas = [&](int k) {
        const OutputChannel& ch = c.channels[size_t(k)];
        const int cell = ch.mixer - 1;
        Rect t = ch.tile.intersected(Rect{0, 0, ch.active.w, ch.active.h});
        t.x += (cell % layout.across) * layout.cellWidth;
        t.y += (cell / layout.across) * layout.cellHeight;
        return t;
    };
    std::vector<Window> visible;
    for (Window& w : found) {
        Rect out;
        for (int k : w.channels) {
            const Rect t = onScreen(k);
            w.tiles.push_back(t);
            w.screen = w.screen.united(t);
            out = out.united(onCanvas(k));
        }
        readInput(regs, out, &w);
        if (!w.screen.empty())
            visible.push_back(w);
    }

    // Stacking: every mixer orders the windows it holds, back to front.
    const size_t n = visible.size();
    const std::array<int, kChannels> owner = ownerOf(visible);
    std::vector<std::vector<bool>> behind(n, std::vector<bool>(n, false)); // behind[a][b]: a behind b
    for (const std::vector<int>& mix : c.mixers)
        for (size_t i = 0; i < mix.size(); ++i)
            for (size_t j = i + 1; j < mix.size(); ++j) {
                const int a = owner[size_t(mix[i])], b = owner[size_t(mix[j])];
                if (a >= 0 && b >= 0 && a != b)
                    behind[size_t(a)][size_t(b)] = true;
            }
    std::vector<size_t> order;
    std::vector<bool> placed(n, false);
    while (order.size() < n) {
        size_t pick = n;
        for (size_t a = 0; a < n && pick == n; ++a) {
            if (placed[a])
                continue;
            bool free = true;
            for (size_t b = 0; b < n && free; ++b)
                free = placed[b] || !behind[b][a];
            if (free)
                pick = a;
        }
        if (pick == n) {
            // Two mixers disagree: take the rest as they come.
            c.layersConsistent = false;
            for (size_t a = 0; a < n && pick == n; ++a)
                if (!placed[a])
                    pick = a;
        }
        placed[pick] = true;
        order.push_back(pick);
    }
    for (size_t i = 0; i < n; ++i) {
        Window w = visible[order[i]];
        w.layer = int(i);
        c.windows.push_back(w);
    }
    return c;
}

std::string TestPattern::describe() const
{
    char text[40];
    switch (kind) {
    case ColourBars: return "colour bars";
    case VerticalLines: return "vertical lines";
    case HorizontalLines: return "horizontal lines";
    case Solid: std::snprintf(text, sizeof text, "solid %06x", unsigned(rgb)); return text;
    default: std::snprintf(text, sizeof text, "kind %d", kind); return text;
    }
}

int Composition::stacking(size_t a, size_t b) const
{
    if (a >= windows.size() || b >= windows.size() || a == b)
        return 0;
    const std::array<int, kChannels> owner = ownerOf(windows);
    for (const std::vector<int>& mix : mixers) {
        int pa = -1, pb = -1;
        for (size_t i = 0; i < mix.size(); ++i) {
            if (owner[size_t(mix[i])] == int(a))
                pa = int(i);
            if (owner[size_t(mix[i])] == int(b))
                pb = int(i);
        }
        if (pa >= 0 && pb >= 0)
            return pa > pb ? 1 : -1;
    }
    return 0;
}

std::string Composition::describe() const
{
    char line[200];
    std::string out;
    std::snprintf(line, sizeof line, "screen %dx%d at %d,%d of the canvas, cells %dx%d of %dx%d\n", layout.ledWidth,
                  layout.ledHeight, layout.offsetX, layout.offsetY, layout.across, layout.down, layout.cellWidth,
                  layout.cellHeight);
    out += line;
    for (const Window& w : windows) {
        std::snprintf(line, sizeof line, "window %dx%d+%d+%d layer %d input channel %d%s%s, output channels", w.screen.w,
                      w.screen.h, w.screen.x, w.screen.y, w.layer, w.inputChannel, w.background ? ", background" : "",
                      w.hmirror ? ", mirrored" : "");
        out += line;
        for (int k : w.channels)
            out += " " + std::to_string(k);
        if (w.port >= 0)
            out += ", port " + std::to_string(w.port);
        if (w.cropped) {
            std::snprintf(line, sizeof line, ", crop %dx%d+%d+%d", w.crop.w, w.crop.h, w.crop.x, w.crop.y);
            out += line;
        }
        if (!w.source.empty()) {
            std::snprintf(line, sizeof line, " of %dx%d%s", w.source.w, w.source.h, w.scaled ? "" : ", 1:1");
            out += line;
        }
        if (w.halvesOverlap)
            out += ", its line halves overlap in memory";
        if (w.pattern.on())
            out += ", test pattern " + w.pattern.describe();
        out += "\n";
    }
    for (int k = 0; k < kChannels; ++k) {
        const OutputChannel& ch = channels[size_t(k)];
        if (!ch.shown)
            continue;
        std::snprintf(line, sizeof line, "channel %d: raster %dx%d active %dx%d, tile %dx%d+%d+%d on mixer %d depth %d\n",
                      k, ch.htotal, ch.vtotal, ch.active.w, ch.active.h, ch.tile.w, ch.tile.h, ch.tile.x, ch.tile.y,
                      ch.mixer, ch.depth);
        out += line;
    }
    return out;
}

std::vector<OsdPortView> decodeOsdPorts(const RegisterFile& regs, const Composition& screen)
{
    std::vector<OsdPortView> ports;
    const ScreenLayout& l = screen.layout;
    if (!l.valid())
        return ports;
    const Rect led{0, 0, l.ledWidth, l.ledHeight};
    for (int k = 0; k < kChannels; ++k) {
        const OutputChannel& ch = screen.channels[size_t(k)];
        const int off = 16 * k;
        const uint32_t control = regs.value(0x090802, off);
        const int w = int(regs.value(0x091402, off)), h = int(regs.value(0x091802, off));
        if (!(control & 3) || w <= 0 || h <= 0 || ch.mixer <= 0)
            continue;
        OsdPortView v;
        v.channel = k;
        const int cell = ch.mixer - 1;
        // The window starts 4 pixels before, 1 line after the active start.
        const int x = int(regs.value(0x091202, off)) + 4 - ch.active.x;
        const int y = int(regs.value(0x091602, off)) - 1 - ch.active.y;
        v.window = Rect{(cell % l.across) * l.cellWidth - l.offsetX + x, (cell / l.across) * l.cellHeight - l.offsetY + y,
                        w, h};
        v.screen = v.window.intersected(led);
        v.source = regs.value(0x091A04, off);
        v.pitch = regs.value(0x091E01, off) * 128 * ((control & 0x2000) ? 4 : 1);
        v.hzoom = (control & 0x1000) != 0;
        v.vzoom = (control & 0x0800) != 0;
        v.bitmap = (control & 3) == 2;
        v.below = (control & 0x8000) != 0;
        if (!v.screen.empty())
            ports.push_back(v);
    }
    return ports;
}

std::vector<Overlay> decodeOverlays(const RegisterFile& regs, const ScreenLayout& layout)
{
    Overlay osd;
    for (const OsdPortView& v : decodeOsdPorts(regs, decode(regs, layout)))
        osd.rect = osd.rect.united(v.screen);
    if (osd.rect.empty())
        return {};
    osd.label = "OSD";
    return {osd};
}

namespace {

QColor rgbColour(uint32_t rgb) { return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)); }

// A test pattern over `area` of the picture; `whole` is the window's whole
// area there, so that bars and lines run on across its tiles.
void paintPattern(QPainter& p, const QRectF& area, const QRectF& whole, const TestPattern& pattern)
{
    p.save();
    p.setClipRect(area);
    switch (pattern.kind) {
    case TestPattern::Solid:
        p.fillRect(area, rgbColour(pattern.rgb));
        break;
    case TestPattern::ColourBars: {
        static const uint32_t kBars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
        const double bar = whole.width() / 8;
        for (int i = 0; i < 8; ++i)
            p.fillRect(QRectF(whole.x() + i * bar, whole.y(), bar + 1, whole.height()), rgbColour(kBars[i]));
        break;
    }
    case TestPattern::VerticalLines:
    case TestPattern::HorizontalLines: {
        // A line every few pixels of the picture: the LED's own single-pixel
        // grid would be a grey blur at this scale.
        constexpr double kPitch = 6;
        p.fillRect(area, Qt::black);
        p.setPen(QPen(Qt::white, 1));
        if (pattern.kind == TestPattern::VerticalLines)
            for (double x = whole.x(); x < whole.right(); x += kPitch)
                p.drawLine(QPointF(x, whole.top()), QPointF(x, whole.bottom()));
        else
            for (double y = whole.y(); y < whole.bottom(); y += kPitch)
                p.drawLine(QPointF(whole.left(), y), QPointF(whole.right(), y));
        break;
    }
    default:
        p.fillRect(area, QBrush(Qt::gray, Qt::Dense4Pattern));
        break;
    }
    p.restore();
}

// Where a window's label stays readable: the window's box less the
// overlays drawn over it later (the OSD bar), as the taller band left above
// or below each one; the whole box when nothing is left.
QRectF labelArea(const QRectF& window, const std::vector<QRectF>& covers)
{
    QRectF area = window;
    for (const QRectF& cover : covers) {
        if (!area.intersects(cover))
            continue;
        const QRectF above(area.left(), area.top(), area.width(), cover.top() - area.top());
        const QRectF below(area.left(), cover.bottom(), area.width(), area.bottom() - cover.bottom());
        area = above.height() >= below.height() ? above : below;
    }
    return area.height() > 0 ? area : window;
}
} // namespace

bool writePicture(const std::string& path, const Composition& screen, const std::vector<Overlay>& overlays)
{
    const ScreenLayout& l = screen.layout;
    if (!l.valid() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const double scale = std::min({1280.0 / l.ledWidth, 720.0 / l.ledHeight, 4.0});
    const int header = 22;
    const int width = std::max(1, int(std::lround(l.ledWidth * scale)));
    const int height = std::max(1, int(std::lround(l.ledHeight * scale)));
    QImage image(width, height + header, QImage::Format_RGB32);
    image.fill(QColor(16, 16, 28));
    QPainter p(&image);
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    p.setFont(font);
    auto box = [&](const Rect& r) {
        return QRectF(r.x * scale, header + r.y * scale, std::max(1.0, r.w * scale), std::max(1.0, r.h * scale));
    };

    p.setPen(QColor(220, 220, 220));
    p.drawText(QRectF(4, 0, width - 8, header), Qt::AlignVCenter | Qt::AlignLeft,
               QString("LED screen %1 x %2, %3 window(s)").arg(l.ledWidth).arg(l.ledHeight).arg(screen.windows.size()));
    p.fillRect(box(Rect{0, 0, l.ledWidth, l.ledHeight}), QColor(40, 40, 48));

    std::vector<QRectF> covers;
    for (const Overlay& o : overlays)
        covers.push_back(box(o.rect));
    static const QColor kColours[] = {QColor(52, 152, 219), QColor(230, 126, 34), QColor(46, 204, 113),
                                      QColor(155, 89, 182), QColor(241, 196, 15), QColor(231, 76, 60)};
    for (size_t i = 0; i < screen.windows.size(); ++i) {
        const Window& w = screen.windows[i];
        QColor fill = w.background ? QColor(0, 0, 0) : kColours[size_t(w.head) % 6];
        fill.setAlpha(w.background ? 255 : 200);
        p.setPen(QPen(QColor(250, 250, 250), 1));
        p.setBrush(fill);
        for (const Rect& t : w.tiles)
            if (!t.empty())
                p.drawRect(box(t));
        QString label = QString("%1 x %2 at %3,%4\nlayer %5, output channel %6")
                            .arg(w.screen.w)
                            .arg(w.screen.h)
                            .arg(w.screen.x)
                            .arg(w.screen.y)
                            .arg(w.layer)
                            .arg(w.head);
        label += w.inputChannel >= 0 ? QString(", input channel %1").arg(w.inputChannel) : QString(", no input channel");
        if (w.port >= 0 && w.port < 6 && kPortInput[w.port] >= 0)
            label += QString("\ninput %1 (port %2), ").arg(kPortInput[w.port]).arg(w.port);
        else if (w.port >= 0)
            label += QString("\nport %1, ").arg(w.port);
        if (w.port >= 0 && w.source.empty())
            label += "no picture";
        else if (w.port >= 0)
            label += QString("%1 x %2").arg(w.source.w).arg(w.source.h);
        if (w.cropped)
            label += QString(", crop %1 x %2 at %3,%4").arg(w.crop.w).arg(w.crop.h).arg(w.crop.x).arg(w.crop.y);
        if (!w.source.empty() && !w.scaled)
            label += ", 1:1";
        if (w.background)
            label += "\nbackground (no signal or black)";
        QColor text(250, 250, 250);
        if (w.pattern.on()) {
            for (const Rect& t : w.tiles)
                if (!t.empty())
                    paintPattern(p, box(t), box(w.screen), w.pattern);
            label += QString("\ntest pattern: %1").arg(QString::fromStdString(w.pattern.describe()));
            // Dark text where the pattern is light (the bars begin with white).
            const QColor under = w.pattern.kind == TestPattern::Solid        ? rgbColour(w.pattern.rgb)
                                 : w.pattern.kind == TestPattern::ColourBars ? QColor(Qt::white)
                                                                             : QColor(Qt::black);
            if (under.lightness() > 140)
                text = QColor(16, 16, 28);
        }
        if (w.halvesOverlap) {
            // The right half of each line lands on the left one: hatched.
            p.setBrush(QBrush(QColor(231, 76, 60), Qt::DiagCrossPattern));
            for (const Rect& t : w.tiles)
                if (!t.empty())
                    p.drawRect(box(t));
            label += "\nline halves overlap in memory: the right half overwrites the left";
        }
        p.setPen(text);
        p.drawText(labelArea(box(w.screen), covers).adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap,
                   label);
    }

    // Channel cells and the channels each mixer stacks there.
    QPen cellPen(QColor(200, 200, 220));
    cellPen.setStyle(Qt::DashLine);
    for (int row = 0; row < l.down; ++row) {
        for (int col = 0; col < l.across; ++col) {
            const int cell = row * l.across + col;
            const Rect r{col * l.cellWidth - l.offsetX, row * l.cellHeight - l.offsetY, l.cellWidth, l.cellHeight};
            p.setPen(cellPen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(box(r));
            QString names;
            if (cell < kChannels)
                for (int k : screen.mixers[size_t(cell)])
                    if (screen.channels[size_t(k)].shown)
                        names += QString(names.isEmpty() ? "%1" : ", %1").arg(k);
            p.drawText(box(r).adjusted(4, 2, -4, -2), Qt::AlignBottom | Qt::AlignRight,
                       QString("cell %1%2").arg(cell).arg(names.isEmpty() ? QString() : " / OCH " + names));
        }
    }

    // Overlays (the OSD) over everything.
    for (const Overlay& o : overlays) {
        const QColor c = rgbColour(o.rgb);
        if (o.filled)
            p.fillRect(box(o.rect), rgbColour(o.fill));
        p.setPen(QPen(c, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box(o.rect));
        if (o.lines.empty()) {
            p.drawText(box(o.rect).adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap,
                       QString::fromStdString(o.label));
            continue;
        }
        // Each line as high as the characters the chip drew, inside the window.
        p.save();
        p.setClipRect(box(o.rect));
        for (const Overlay::Line& line : o.lines) {
            const QRectF at = box(line.rect);
            QFont text(font);
            text.setPixelSize(std::max(6, int(at.height() * 0.8)));
            p.setFont(text);
            p.drawText(at, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip, QString::fromStdString(line.text));
        }
        p.restore();
    }
    p.setPen(QPen(QColor(255, 171, 84), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box(Rect{0, 0, l.ledWidth, l.ledHeight}).adjusted(0, 0, -1, -1));
    p.end();
    return image.save(QString::fromStdString(path), "PNG");
}

} // namespace c331screen
} // namespace platform
