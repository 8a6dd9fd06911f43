#include "platform/video_sim.h"
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

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
    m_haveStamp = false;
    m_stampNs = 0;
    m_stampSize = -1;
    m_lastLookMs = -1000;
}

void VideoSources::pollFile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t now = nowMs();
    if (now - m_lastLookMs < 50)
        return;
    m_lastLookMs = now;

    const std::string file = sysPath(kSourcesFile);
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        // A template shows a person what to write. It appears whole and
        // only where there is no file, so one written at the same moment
        // is left as it is.
        std::string tmp = file + ".new" + std::to_string(::getpid());
        {
            std::ofstream out(tmp, std::ios::trunc);
            out << kTemplate;
        }
        if (::link(tmp.c_str(), file.c_str()) != 0 && errno != EEXIST)
            std::rename(tmp.c_str(), file.c_str());
        ::unlink(tmp.c_str());
        return;
    }
    int64_t stampNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (m_haveStamp && stampNs == m_stampNs && st.st_size == m_stampSize)
        return;
    m_haveStamp = true;
    m_stampNs = stampNs;
    m_stampSize = st.st_size;
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    applyFile(text.str());
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
