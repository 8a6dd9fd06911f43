#include "platform/video_sim.h"
#include "platform/platform.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace {
const char* const kSourcesFile = "/sim/sources";
const char* const kErrorsFile = "/sim/sources.errors";

// Names no source, so reading it changes nothing.
const char* const kTemplate =
    "# Simulated video sources, reread while the program runs.\n"
    "# One line per input: <input 0..3> <WIDTHxHEIGHT@RATE | WIDTHxHEIGHTi@RATE | none>\n"
    "# then, if wanted, the sync polarities: +hsync -hsync +vsync -vsync.\n"
    "# Inputs as the panel names them: 0 DVI, 1 HDMI1, 2 HDMI2 (HDMI 1.4 receivers),\n"
    "# 3 HDMI3 (the HDMI 2.0 input, V-by-One), e.g.\n"
    "#   1 1920x1080@60\n"
    "#   2 720x576i@50\n"
    "#   0 1920x1080@60 -hsync -vsync\n"
    "#   3 4096x2160@60\n"
    "#   1 none\n"
    "# A line that cannot be read is named in sources.errors next to this file.\n";
} // namespace

VideoSources::VideoSources()
    : m_file(kSourcesFile, kTemplate)
{
}

VideoSources& videoSources()
{
    static VideoSources instance;
    return instance;
}

void VideoSources::setLocked(int input, bool signal, const VideoTiming& timing)
{
    SimSource& s = m_src[input];
    if (s.signal == signal && (!signal || s.timing == timing))
        return;
    s.signal = signal;
    s.timing = signal ? timing : VideoTiming();
    ++s.generation;
}

void VideoSources::set(int input, const VideoTiming& timing)
{
    if (input < 0 || input >= kInputs)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    setLocked(input, true, timing);
}

void VideoSources::unplug(int input)
{
    if (input < 0 || input >= kInputs)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    setLocked(input, false, VideoTiming());
}

SimSource VideoSources::get(int input)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return input >= 0 && input < kInputs ? m_src[input] : SimSource();
}

void VideoSources::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (SimSource& s : m_src) {
        uint32_t g = s.generation + 1;
        s = SimSource();
        s.generation = g;
    }
    m_file.forget();
}

void VideoSources::lookAgain()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file.forget();
}

void VideoSources::pollFile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (m_file.poll(&text))
        applyFile(text);
}

bool parseSourceLine(const std::string& line, int* input, bool* signal, VideoTiming* timing, std::string* why)
{
    std::istringstream words(line);
    std::string first, what, option;
    if (!(words >> first) || first[0] == '#')
        return false;
    if (first.size() != 1 || first[0] < '0' || first[0] >= char('0' + VideoSources::kInputs)) {
        *why = "the input is 0, 1, 2 or 3";
        return false;
    }
    *input = first[0] - '0';
    if (!(words >> what)) {
        *why = "a timing (e.g. 1920x1080@60) or none follows the input";
        return false;
    }
    *signal = what != "none";
    if (*signal && !parseTimingText(what, timing)) {
        *why = "\"" + what + "\" is no timing this simulation knows (WIDTHxHEIGHT@RATE, or WIDTHxHEIGHTi@RATE " +
               "for 720x480i@60, 720x576i@50, 1920x1080i@50 and 1920x1080i@60)";
        return false;
    }
    while (words >> option) {
        if (option[0] == '#')
            break;
        if (!*signal) {
            *why = "none takes nothing after it";
            return false;
        }
        if (option == "+hsync" || option == "-hsync")
            timing->hpol = option[0] == '+';
        else if (option == "+vsync" || option == "-vsync")
            timing->vpol = option[0] == '+';
        else {
            *why = "\"" + option + "\" is not +hsync, -hsync, +vsync or -vsync";
            return false;
        }
    }
    return true;
}

void VideoSources::applyFile(const std::string& text)
{
    std::istringstream lines(text);
    std::string line, errors;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        int input = 0;
        bool signal = false;
        VideoTiming t;
        std::string why;
        if (parseSourceLine(line, &input, &signal, &t, &why))
            setLocked(input, signal, signal ? t : VideoTiming());
        else if (!why.empty())
            errors += "line " + std::to_string(number) + ": " + line + ": " + why + "\n";
    }
    reportErrors(errors);
}

void VideoSources::reportErrors(const std::string& errors)
{
    const std::string file = sysPath(kErrorsFile);
    if (errors.empty()) {
        ::unlink(file.c_str());
        return;
    }
    std::fprintf(stderr, "%s: lines not read:\n%s", sysPath(kSourcesFile).c_str(), errors.c_str());
    // Written aside and renamed: a reader never sees half a file.
    const std::string tmp = file + ".new";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << errors;
    }
    std::rename(tmp.c_str(), file.c_str());
}

} // namespace platform
