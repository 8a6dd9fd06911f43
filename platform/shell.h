#pragma once
// Shell commands. The device runs them; the simulation records them and
// carries out only the file commands, inside the root.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Runs the command; returns the raw wait status, as the C library does.
    virtual int run(const std::string& command) = 0;
    // Runs the command and collects its standard output, reading in pieces
    // of at most `size` bytes. `started` is false when it could not start.
    virtual std::string capture(const std::string& command, int size, bool* started) = 0;
};

// The back-end chosen by platform::init.
Shell& shell();

// The recording shell of the simulation.
class SimShell : public Shell {
public:
    struct Rule {
        std::string prefix; // matched against the start of the command
        int rawStatus;
        std::string output;
    };

    int run(const std::string& command) override;
    std::string capture(const std::string& command, int size, bool* started) override;

    // The newest commands in order, verbatim: at most kLogLimit, so a long
    // run does not grow with its commands. "<root>/sim/shell.log" has them
    // too; past kLogFileLimit bytes it moves to "shell.log.1" and starts
    // afresh.
    std::vector<std::string> log() const;
    static constexpr size_t kLogLimit = 4096;
    static constexpr long kLogFileLimit = 1 << 20;
    void clearLog();
    // Later rules win over earlier ones; commands no rule matches succeed
    // with no output.
    void script(const std::string& prefix, int rawStatus, const std::string& output = std::string());
    void clearScript();
    // Makes every command take this long (to show commands never overlap).
    void setDelayMs(unsigned int ms);
    // Called (from the thread that ran it) when "reboot" is run.
    void setRebootHandler(std::function<void()> handler);
    // Test hook: called after each command is logged.
    void setObserver(std::function<void(const std::string&)> observer);
    // Whether commands also go to "<root>/sim/shell.log" (they do unless
    // turned off): a program that runs thousands a second and reads only
    // log() spares the file.
    void setLogFile(bool on);

private:
    int execute(const std::string& command, std::string* output);
    void carryOut(const std::string& command);
    void appendToLogFile(const std::string& command);

    mutable std::mutex m_mutex;
    std::deque<std::string> m_log;
    std::vector<Rule> m_rules;
    unsigned int m_delayMs = 0;
    bool m_logFile = true;
    std::function<void()> m_reboot;
    std::function<void(const std::string&)> m_observer;
};

SimShell& simShell();

// Splits a command line into words, honouring single and double quotes and
// dropping redirections (">/dev/null", "2>&1", "&>/dev/null").
std::vector<std::string> shellWords(const std::string& command);

} // namespace platform
