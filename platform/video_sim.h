#pragma once
// The simulated video sources plugged into the four inputs. A test sets
// them through this API; a person edits "<root>/sim/sources", which the
// simulation rereads whenever it changes, one line per input:
//
//     0 1920x1080@60
//     1 none
//     2 1920x1080i@60 -hsync -vsync
//     3 4096x2160@60
//
// Inputs are 0..3, the panel's DVI, HDMI1, HDMI2 (HDMI 1.4 receivers) and
// HDMI3 (HDMI 2.0 with its V-by-One output), the source ids; an
// input the file does not name keeps what it had. A timing is
// WIDTHxHEIGHT@RATE (the standard timing, else reduced blanking) or
// WIDTHxHEIGHTi@RATE (720x480i@60, 720x576i@50, 1920x1080i@50 and @60; the
// rate counts fields), optionally followed by the sync polarities +hsync,
// -hsync, +vsync, -vsync. Lines starting with '#' are comments. A line that
// cannot be read changes nothing; it is named on standard error and in
// "<root>/sim/sources.errors" (removed again once every line reads).

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
    // every quarter second). Creates a template of comments when there is
    // none.
    void pollFile();
    // The next pollFile() reads the file at once, as new (tests that edit
    // it).
    void lookAgain();
    // No source anywhere; the file is looked at afresh.
    void reset();

private:
    void applyFile(const std::string& text);
    void reportErrors(const std::string& errors);
    void setLocked(int input, bool signal, const VideoTiming& timing);

    std::mutex m_mutex;
    SimSource m_src[kInputs];
    SimFileWatch m_file;
};

VideoSources& videoSources();

// One line of the sources file: true with the input and what it gets; false
// for a comment or blank line (`why` empty) or a line that cannot be read
// (`why` says what is wrong).
bool parseSourceLine(const std::string& line, int* input, bool* signal, VideoTiming* timing, std::string* why);

} // namespace platform
