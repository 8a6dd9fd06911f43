// Simulated shell: records every command and carries out the file commands
// inside the root. Nothing here ever starts a process.
#include "platform/shell.h"
#include "platform/platform.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <glob.h>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace platform {

Shell& linuxShell();

Shell& shell()
{
    if (isDevice())
        return linuxShell();
    return simShell();
}

SimShell& simShell()
{
    static SimShell instance;
    return instance;
}

std::vector<std::string> shellWords(const std::string& command)
{
    std::vector<std::string> words;
    std::string cur;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                cur += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(cur);
            cur.clear();
            inWord = false;
            continue;
        }
        cur += c;
        inWord = true;
    }
    if (inWord)
        words.push_back(cur);

    std::vector<std::string> kept;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool redirect = w.find('>') != std::string::npos || w == "<";
        if (!redirect) {
            kept.push_back(w);
            continue;
        }
        // ">" or "2>" alone takes the next word as its target.
        if (w == ">" || w == ">>" || w == "2>" || w == "&>" || w == "<")
            ++i;
    }
    return kept;
}

namespace {

// Resolves an absolute path inside the root; empty when it is relative or
// would leave the root.
std::string inRoot(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return std::string();
    fs::path p(path);
    for (const auto& part : p)
        if (part == "..")
            return std::string();
    p = p.lexically_normal();
    if (p == "/")
        return std::string(); // never the whole root
    return sysPath(p.string());
}

std::vector<std::string> expand(const std::string& path)
{
    std::vector<std::string> out;
    std::string mapped = inRoot(path);
    if (mapped.empty())
        return out;
    if (mapped.find_first_of("*?[") == std::string::npos) {
        out.push_back(mapped);
        return out;
    }
    glob_t g{};
    if (::glob(mapped.c_str(), 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i)
            out.emplace_back(g.gl_pathv[i]);
    globfree(&g);
    return out;
}

void splitOptions(const std::vector<std::string>& words, std::string* opts, std::vector<std::string>* args)
{
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i].size() > 1 && words[i][0] == '-')
            *opts += words[i].substr(1);
        else
            args->push_back(words[i]);
    }
}

void copyInto(const std::string& src, const std::string& dst, bool move)
{
    std::error_code ec;
    fs::path target(dst);
    if (fs::is_directory(target, ec))
        target /= fs::path(src).filename();
    if (move) {
        fs::rename(src, target, ec);
        return;
    }
    if (fs::is_directory(src, ec))
        fs::copy(src, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    else
        fs::copy_file(src, target, fs::copy_options::overwrite_existing, ec);
}

} // namespace

void SimShell::carryOut(const std::string& command)
{
    std::vector<std::string> words = shellWords(command);
    if (words.empty())
        return;
    std::string opts;
    std::vector<std::string> args;
    splitOptions(words, &opts, &args);
    const std::string& tool = words[0];
    std::error_code ec;

    if (tool == "rm") {
        for (const auto& a : args)
            for (const auto& p : expand(a))
                fs::remove_all(p, ec);
    } else if (tool == "mkdir") {
        for (const auto& a : args) {
            std::string p = inRoot(a);
            if (!p.empty())
                fs::create_directories(p, ec);
        }
    } else if (tool == "cp" || tool == "mv") {
        if (args.size() < 2)
            return;
        std::string dst = inRoot(args.back());
        if (dst.empty())
            return;
        for (size_t i = 0; i + 1 < args.size(); ++i)
            for (const auto& src : expand(args[i]))
                copyInto(src, dst, tool == "mv");
    } else if (tool == "chmod") {
        if (args.size() < 2)
            return;
        const std::string& mode = args[0];
        for (size_t i = 1; i < args.size(); ++i)
            for (const auto& p : expand(args[i])) {
                if (mode.find_first_not_of("01234567") == std::string::npos)
                    fs::permissions(p, static_cast<fs::perms>(std::stoul(mode, nullptr, 8)), ec);
                else if (mode.find('x') != std::string::npos)
                    fs::permissions(p, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                                    fs::perm_options::add, ec);
            }
    }
    // chattr and sync change nothing a host could observe; everything else
    // (network, clock, WiFi, reboot, kill) is only recorded.
}

void SimShell::appendToLogFile(const std::string& command)
{
    const std::string file = sysPath("/sim/shell.log");
    struct stat st;
    if (::stat(file.c_str(), &st) == 0 && st.st_size >= kLogFileLimit)
        std::rename(file.c_str(), (file + ".1").c_str());
    if (FILE* f = std::fopen(file.c_str(), "a")) {
        std::fprintf(f, "%s\n", command.c_str());
        std::fclose(f);
    }
}

int SimShell::execute(const std::string& command, std::string* output)
{
    std::function<void(const std::string&)> observer;
    std::function<void()> reboot;
    int status = 0;
    unsigned int delay;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_log.size() >= kLogLimit)
            m_log.pop_front();
        m_log.push_back(command);
        if (m_logFile)
            appendToLogFile(command);
        for (const Rule& r : m_rules)
            if (command.compare(0, r.prefix.size(), r.prefix) == 0) {
                status = r.rawStatus;
                if (output)
                    *output = r.output;
            }
        observer = m_observer;
        reboot = m_reboot;
        delay = m_delayMs;
    }
    if (delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));

    // Compound commands: carry out each part.
    size_t start = 0;
    while (start <= command.size()) {
        size_t semi = command.find(';', start);
        size_t amp = command.find("&&", start);
        size_t end = std::min(semi, amp);
        std::string part = command.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::vector<std::string> words = shellWords(part);
        if (!words.empty() && words[0] == "reboot") {
            if (reboot)
                reboot();
        } else if (status == 0) {
            carryOut(part);
        }
        if (end == std::string::npos)
            break;
        start = end + (end == amp ? 2 : 1);
    }
    if (observer)
        observer(command);
    return status;
}

int SimShell::run(const std::string& command) { return execute(command, nullptr); }

std::string SimShell::capture(const std::string& command, int size, bool* started)
{
    if (started)
        *started = true;
    std::string out;
    execute(command, &out);
    return out;
}

std::vector<std::string> SimShell::log() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<std::string>(m_log.begin(), m_log.end());
}

void SimShell::clearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

void SimShell::script(const std::string& prefix, int rawStatus, const std::string& output)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.push_back(Rule{prefix, rawStatus, output});
}

void SimShell::clearScript()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.clear();
    m_delayMs = 0;
}

void SimShell::setDelayMs(unsigned int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = ms;
}

void SimShell::setRebootHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reboot = std::move(handler);
}

void SimShell::setLogFile(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_logFile = on;
}

void SimShell::setObserver(std::function<void(const std::string&)> observer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

} // namespace platform
