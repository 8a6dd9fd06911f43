#include "platform/uevent.h"
#include "platform/platform.h"
#include "platform/wakeup.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

namespace platform {

namespace {

const char kStickFile[] = "/sim/usb";
const char kStickTemplate[] =
    "# The simulated USB stick: write \"in\" to plug it, \"out\" to pull it.\n"
    "# What it holds is <root>/mnt/usb1.\n"
    "out\n";

// What the kernel announces for a stick with one partition.
const char kStickDevice[] = "/devices/platform/ehci-platform/usb1/1-1";
const char kStickPartition[] =
    "/devices/platform/ehci-platform/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda/sda1";

std::string event(const char* action, const char* devpath, const char* subsystem)
{
    std::string e = std::string(action) + "@" + devpath;
    e += '\0';
    e += std::string("ACTION=") + action;
    e += '\0';
    e += std::string("SUBSYSTEM=") + subsystem;
    e += '\0';
    return e;
}

// 1 for "in", 0 for "out", -1 when the text says neither.
int stickWord(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        if (!(words >> word))
            continue;
        if (word == "in")
            return 1;
        if (word == "out")
            return 0;
        std::fprintf(stderr, "[sim] %s: \"%s\" is neither \"in\" nor \"out\"\n", sysPath(kStickFile).c_str(),
                     word.c_str());
        return -1;
    }
    return -1;
}

} // namespace

SimUevents::SimUevents()
    : m_stickFile(kStickFile, kStickTemplate)
{
}

void SimUevents::lookAtStickFile()
{
    std::string text;
    if (!m_stickFile.poll(&text))
        return;
    const int word = stickWord(text);
    if (word < 0 || (word == 1) == m_stickIn)
        return;
    const bool in = word == 1;
    m_stickIn = in;
    if (in) {
        // The storage driver's directory is there once a stick was seen.
        ::mkdir(sysPath("/proc/scsi").c_str(), 0755);
        ::mkdir(sysPath("/proc/scsi/usb-storage").c_str(), 0755);
        ::mkdir(sysPath("/mnt/usb1").c_str(), 0755);
        m_pending.push_back(event("add", kStickDevice, "usb"));
        m_pending.push_back(event("add", kStickPartition, "block"));
    } else {
        m_pending.push_back(event("remove", kStickPartition, "block"));
        m_pending.push_back(event("remove", kStickDevice, "usb"));
    }
    std::printf("[sim] USB stick %s\n", in ? "plugged in" : "pulled out");
    std::fflush(stdout);
}

Uevents& linuxUevents();

Uevents& uevents()
{
    if (isDevice())
        return linuxUevents();
    return simUevents();
}

SimUevents& simUevents()
{
    static SimUevents instance;
    return instance;
}

void SimUevents::inject(const std::string& datagram)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.push_back(datagram);
    }
    m_cv.notify_all();
}

void SimUevents::setBindFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bindFails = fails;
}

void SimUevents::setReceiveFails(int error)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_receiveError = error;
    }
    m_cv.notify_all();
}

void SimUevents::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
    m_bindFails = false;
    m_receiveError = 0;
    m_interrupted = false;
    m_stickFile.forget();
    m_stickIn = false;
}

bool SimUevents::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bindFails) {
        errno = EADDRINUSE;
        return false;
    }
    m_interrupted = false;
    // A person finds the file's template from the start.
    lookAtStickFile();
    return true;
}

void SimUevents::interrupt()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_interrupted = true;
    }
    m_cv.notify_all();
}

int SimUevents::receive(char* buf, size_t size, int timeoutMs)
{
    IdleSlack slack{std::chrono::milliseconds(timeoutMs)};
    std::unique_lock<std::mutex> lock(m_mutex);
    lookAtStickFile();
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return !m_pending.empty() || m_interrupted || m_receiveError; }) ||
        m_interrupted)
        return 0;
    if (m_receiveError) {
        errno = m_receiveError;
        return -1;
    }
    std::string datagram = std::move(m_pending.front());
    m_pending.pop_front();
    size_t n = datagram.size() < size ? datagram.size() : size;
    std::memcpy(buf, datagram.data(), n);
    return static_cast<int>(n);
}

void SimUevents::close() {}

} // namespace platform
