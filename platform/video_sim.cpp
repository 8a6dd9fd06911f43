#include "platform/video_sim.h"
#include "platform/platform.h"

#include <sstream>

namespace platform {

namespace {
const char* const kSourcesFile = "/sim/sources";

// Names no source, so reading it changes nothing.
const char* const kTemplate =
    "# Simulated video sources, reread while the program runs.\n"
    "# One line per input: <input 0..3> <WIDTHxHEIGHT@RATE | none>\n"
    "# Inputs 0..2 are the HDMI 1.4 inputs, 3 the HDMI 2.0 input, e.g.\n"
    "#   1 1920x1080@60\n"
    "#   3 3840x2160@60\n"
    "#   1 none\n";
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

void VideoSources::pollFile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (m_file.poll(&text))
        applyFile(text);
}

void VideoSources::applyFile(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first, what;
        if (!(words >> first) || first[0] == '#' || !(words >> what))
            continue;
        if (first.size() != 1 || first[0] < '0' || first[0] >= char('0' + kInputs))
            continue;
        int input = first[0] - '0';
        VideoTiming t;
        if (what == "none")
            setLocked(input, false, t);
        else if (parseTimingText(what, &t))
            setLocked(input, true, t);
    }
}

} // namespace platform
