#pragma once
// The simulated video sources plugged into the four inputs. A test sets
// them through this API; a person edits "<root>/sim/sources", which the
// simulation rereads whenever it changes, one line per input:
//
//     0 1920x1080@60
//     1 none
//     3 3840x2160@60
//
// Inputs are 0..3 (0..2 HDMI 1.4, 3 HDMI 2.0); an input the file does not
// name keeps what it had. Lines starting with '#' are comments.

#include "platform/sim_file.h"
#include "video_io/video_timing.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace platform {

struct SimSource {
    bool signal = false;
    VideoTiming timing;
    uint32_t generation = 0; // changes whenever this input's source changes
};

class VideoSources {
public:
    static constexpr int kInputs = 4;

    VideoSources();

    void set(int input, const VideoTiming& timing);
    void unplug(int input);
    SimSource get(int input);

    // Rereads the sources file when it changed since the last look (at most
    // every 50 ms). Creates a template of comments when there is none.
    void pollFile();
    // No source anywhere; the file is looked at afresh.
    void reset();

private:
    void applyFile(const std::string& text);
    void setLocked(int input, bool signal, const VideoTiming& timing);

    std::mutex m_mutex;
    SimSource m_src[kInputs];
    SimFileWatch m_file;
};

VideoSources& videoSources();

} // namespace platform
