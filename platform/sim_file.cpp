#include "platform/sim_file.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

SimFileWatch::SimFileWatch(const char* absPath, const char* templ, std::chrono::milliseconds every)
    : m_path(absPath)
    , m_template(templ)
    , m_every(every)
{
}

void SimFileWatch::forget()
{
    m_looked = false;
    m_haveStamp = false;
    m_stampNs = 0;
    m_size = -1;
}

bool SimFileWatch::poll(std::string* text)
{
    auto now = std::chrono::steady_clock::now();
    if (m_looked && now - m_lastLook < m_every)
        return false;
    m_looked = true;
    m_lastLook = now;
    const std::string file = sysPath(m_path);
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        // The template appears whole and only where there is no file, so one
        // written at the same moment is left as it is.
        std::string tmp = file + ".new" + std::to_string(::getpid());
        {
            std::ofstream out(tmp, std::ios::trunc);
            if (!out)
                return false;
            out << m_template;
        }
        if (::link(tmp.c_str(), file.c_str()) != 0 && errno != EEXIST)
            std::rename(tmp.c_str(), file.c_str());
        ::unlink(tmp.c_str());
        return false;
    }
    int64_t stampNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (m_haveStamp && stampNs == m_stampNs && st.st_size == m_size)
        return false;
    m_haveStamp = true;
    m_stampNs = stampNs;
    m_size = st.st_size;
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

} // namespace platform
