#pragma once
// What the benchmarks need of the programs they measure: start one, read
// its CPU time and resident memory from /proc, stop it.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

using Env = std::vector<std::pair<std::string, std::string>>;

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }

    // Starts argv[0] with `env` added to this environment. Its output goes
    // to `logFile`, or, with `pipeOut`, its standard output into a pipe read
    // through readLine() and its standard error to `logFile`.
    bool start(const std::vector<std::string>& argv, const Env& env, const std::string& logFile,
               bool pipeOut = false);
    pid_t pid() const { return m_pid; }
    bool running();
    // A line of its standard output (pipeOut), waiting at most `ms`.
    bool readLine(std::string* line, int ms);
    // SIGTERM, SIGKILL after `ms`; its exit code, or -1 when it did not
    // end by itself.
    int stop(int ms = 5000);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_pending;
};

// Monotonic seconds.
double now();
// User and system CPU seconds of every thread of `pid` so far.
double cpuSeconds(pid_t pid);
// The same to the nanosecond (the scheduler's own count) for the threads
// alive now, or for thread `tid` alone (the main thread's id is `pid`).
double cpuSecondsFine(pid_t pid, pid_t tid = 0);
// Resident memory of `pid`, KiB.
long rssKb(pid_t pid);
// A fresh directory "<parent>/<tag>-XXXXXX".
std::string freshDir(const std::string& parent, const char* tag);
void removeTree(const std::string& dir);

} // namespace bench
