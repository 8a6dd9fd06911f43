#pragma once
// The scaler manager on the simulated chip with OSD fonts in its flash, the
// project's sample OSD menu, and helpers to read what the OSD shows.

#include "tests/scaler/scaler_fixture.h"

#include <QFile>
#include <cstdio>
#include <string>
#include <vector>

#include "scaler/omenu.h"

using Bytes8 = std::vector<uint8_t>;

class OsdTest : public ScalerTest {
protected:
    // Flash layout of the fonts: header, glyph size in bytes, glyph count.
    struct Font {
        uint32_t header;
        int cell;
        int glyphs;
    };
    static constexpr Font k32Ascii{0x000000, 32, 96}, k32Chinese{0x010000, 32, 20992};
    static constexpr Font k64Ascii{0x410000, 64, 96}, k64Chinese{0x450000, 64, 20992};

    // A font block: the 35-byte header ('P', cell width at 17, height at
    // 18) and glyphs of `count` cells, each byte a function of glyph and
    // position so every glyph differs.
    static Bytes8 fontBlock(const Font& f, int count, uint8_t type = 'P')
    {
        Bytes8 b(35 + size_t(count) * size_t(f.cell * f.cell / 8), 0);
        b[0] = type;
        b[17] = uint8_t(f.cell);
        b[18] = uint8_t(f.cell);
        for (size_t i = 35; i < b.size(); ++i) {
            const size_t at = i - 35, g = at / size_t(f.cell * f.cell / 8);
            b[i] = uint8_t(g * 37 + at * 11 + (at >> 8));
        }
        return b;
    }
    static void loadFont(const Font& f, int count, uint8_t type = 'P')
    {
        chip().flashLoad(f.header, fontBlock(f, count, type));
    }
    // Both ASCII fonts whole and the first Chinese glyphs.
    static void loadFonts()
    {
        loadFont(k32Ascii, 96);
        loadFont(k64Ascii, 96);
        loadFont(k32Chinese, 64);
        loadFont(k64Chinese, 64);
    }

    static std::string sampleMenu()
    {
        QFile f(QStringLiteral(VYX_SOURCE_DIR "/resources/omenu.json"));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll().toStdString();
    }
    void placeMenu(const std::string& json, const char* at = kOsdMenuFile)
    {
        writeFile(at, QByteArray::fromStdString(json));
    }

    // Runs fn with standard output captured; returns what it printed.
    template <class Fn>
    static std::string printed(Fn fn)
    {
        std::fflush(stdout);
        testing::internal::CaptureStdout();
        fn();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    static bool contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    using Lines = std::vector<std::string>;
    using Ops = std::vector<std::string>;
};
