#pragma once
// A file under "<root>/sim/" through which a person steers the simulation
// while the program runs: looked at no more often than every quarter second
// (a person does not notice; the threads that drive the simulated chips do
// not stat a file on every turn) and read again only when it changed. Where there is no file a template of comments
// is written, which tells a person what to put there and changes nothing.

#include <chrono>
#include <cstdint>
#include <string>

namespace platform {

class SimFileWatch {
public:
    static constexpr std::chrono::milliseconds kLookEvery{250};

    // `absPath` is a system path ("/sim/..."); `templ` the template's text;
    // `every` how often at most it is looked at.
    SimFileWatch(const char* absPath, const char* templ, std::chrono::milliseconds every = kLookEvery);
    // True with the file's text when it changed since the last read.
    bool poll(std::string* text);
    // The next poll looks at once and reads the file as new.
    void forget();

private:
    const char* m_path;
    const char* m_template;
    std::chrono::milliseconds m_every;
    bool m_looked = false;
    std::chrono::steady_clock::time_point m_lastLook;
    bool m_haveStamp = false;
    int64_t m_stampNs = 0;
    int64_t m_size = -1;
};

} // namespace platform
