#include "bench/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <QDir>

namespace bench {

bool Child::start(const std::vector<std::string>& argv, const Env& env, const std::string& logFile, bool pipeOut)
{
    int out[2] = {-1, -1};
    if (pipeOut && ::pipe2(out, O_CLOEXEC) != 0)
        return false;
    int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0)
        return false;
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::dup2(pipeOut ? out[1] : log, 1);
        ::dup2(log, 2);
        for (const auto& [key, value] : env)
            ::setenv(key.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(log);
    if (pipeOut) {
        ::close(out[1]);
        m_out = out[0];
    }
    m_pid = pid;
    return true;
}

bool Child::running()
{
    if (m_pid < 0)
        return false;
    int status;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool Child::readLine(std::string* line, int ms)
{
    double until = now() + ms / 1000.0;
    for (;;) {
        size_t nl = m_pending.find('\n');
        if (nl != std::string::npos) {
            *line = m_pending.substr(0, nl);
            m_pending.erase(0, nl + 1);
            return true;
        }
        int left = int((until - now()) * 1000);
        pollfd p{m_out, POLLIN, 0};
        if (m_out < 0 || left <= 0 || ::poll(&p, 1, left) <= 0)
            return false;
        char buf[512];
        ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0)
            return false;
        m_pending.append(buf, size_t(n));
    }
}

int Child::stop(int ms)
{
    if (m_out >= 0) {
        ::close(m_out);
        m_out = -1;
    }
    if (m_pid < 0)
        return -1;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    double until = now() + ms / 1000.0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
        if (now() > until) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
            return -1;
        }
        ::usleep(10000);
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double now()
{
    timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The name may hold blanks; the fields after it are plain numbers.
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::stoull(f);
        if (i == 15)
            stime = std::stoull(f);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

namespace {
double schedstatSeconds(const std::string& path)
{
    std::ifstream in(path);
    unsigned long long ns = 0;
    in >> ns;
    return double(ns) / 1e9;
}
} // namespace

double cpuSecondsFine(pid_t pid, pid_t tid)
{
    const std::string task = "/proc/" + std::to_string(pid) + "/task";
    if (tid)
        return schedstatSeconds(task + "/" + std::to_string(tid) + "/schedstat");
    double sum = 0;
    for (const QString& t : QDir(QString::fromStdString(task)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        sum += schedstatSeconds(task + "/" + t.toStdString() + "/schedstat");
    return sum;
}

long rssKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

std::string freshDir(const std::string& parent, const char* tag)
{
    std::string pattern = parent + "/" + tag + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const char* dir = ::mkdtemp(buf.data());
    return dir ? dir : "";
}

void removeTree(const std::string& dir)
{
    if (!dir.empty())
        QDir(QString::fromStdString(dir)).removeRecursively();
}

} // namespace bench
