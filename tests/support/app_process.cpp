#include "tests/support/app_process.h"

#include <QElapsedTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <utility>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

AppProcess::AppProcess(const QString& program, const QStringList& args, const QStringList& setEnv,
                       const QStringList& unsetEnv, Channels channels)
{
    // Everything the child needs is prepared before fork: after it, the child
    // only calls what is safe in a copy of a threaded process.
    std::vector<std::string> argStore{program.toStdString()};
    for (const QString& a : args)
        argStore.push_back(a.toStdString());
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        QString entry = QString::fromLocal8Bit(*e);
        QString name = entry.section(QLatin1Char('='), 0, 0);
        bool replaced = unsetEnv.contains(name);
        for (const QString& s : setEnv)
            replaced = replaced || s.section(QLatin1Char('='), 0, 0) == name;
        if (!replaced)
            envStore.push_back(*e);
    }
    for (const QString& s : setEnv)
        envStore.push_back(s.toStdString());
    std::vector<char*> argv, envp;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2] = {-1, -1}, err[2] = {-1, -1}, execError[2] = {-1, -1};
    auto closeAll = [&] {
        for (int fd : {out[0], out[1], err[0], err[1], execError[0], execError[1]})
            if (fd >= 0)
                ::close(fd);
    };
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(execError, O_CLOEXEC) != 0 ||
        (channels == Separate && ::pipe2(err, O_CLOEXEC) != 0)) {
        closeAll();
        return;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(channels == Separate ? err[1] : out[1], STDERR_FILENO);
        ::execvpe(argv[0], argv.data(), envp.data());
        int err = errno;
        if (::write(execError[1], &err, sizeof err) < 0) {
            // Nobody to tell.
        }
        ::_exit(127);
    }
    if (pid < 0) {
        closeAll();
        return;
    }
    ::close(out[1]);
    ::close(execError[1]);
    if (err[1] >= 0)
        ::close(err[1]);
    m_pid = pid;
    m_out = out[0];
    m_err = err[0];
    m_execError = execError[0];
    ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    if (m_err >= 0)
        ::fcntl(m_err, F_SETFL, O_NONBLOCK);
    m_reader = std::thread([this] { drain(); });
}

AppProcess::~AppProcess()
{
    kill();
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
    for (int fd : {m_out, m_err, m_execError})
        if (fd >= 0)
            ::close(fd);
}

bool AppProcess::waitForStarted(int ms)
{
    if (m_execError < 0)
        return m_started;
    // The pipe closes on a successful exec and carries errno otherwise.
    pollfd p{m_execError, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return false;
    int err = 0;
    ssize_t n = ::read(m_execError, &err, sizeof err);
    ::close(m_execError);
    m_execError = -1;
    m_started = n == 0;
    return m_started;
}

void AppProcess::drain()
{
    char buf[4096];
    while (!m_stop && (m_out >= 0 || m_err >= 0)) {
        pollfd p[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        // poll skips a negative descriptor; the timeout lets a stop through.
        if (::poll(p, 2, 50) <= 0)
            continue;
        for (auto [fd, into] : {std::pair<int*, QByteArray*>{&m_out, &m_output}, {&m_err, &m_errors}}) {
            while (*fd >= 0) {
                ssize_t n = ::read(*fd, buf, sizeof buf);
                if (n > 0) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    into->append(buf, int(n));
                    m_arrived.notify_all();
                    continue;
                }
                if (n == 0) {
                    // Every writer is gone.
                    ::close(*fd);
                    *fd = -1;
                }
                break;
            }
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_drained = true;
    m_arrived.notify_all();
}

bool AppProcess::reap(bool block)
{
    if (m_finished || m_pid <= 0)
        return m_finished;
    int status = 0;
    pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (r == m_pid) {
        m_finished = true;
        m_status = status;
    }
    return m_finished;
}

bool AppProcess::waitForFinished(int ms)
{
    if (m_pid <= 0)
        return false;
    QElapsedTimer t;
    t.start();
    while (!reap(false)) {
        if (t.elapsed() >= ms)
            return false;
        ::usleep(10000);
    }
    // What the child wrote last is in the buffers once its pipes are closed.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_arrived.wait_for(lock, std::chrono::milliseconds(1000), [this] { return m_drained; });
    return true;
}

bool AppProcess::waitForReadyRead(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_output.isEmpty() || m_drained; }) &&
           !m_output.isEmpty();
}

QByteArray AppProcess::readAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray all;
    all.swap(m_output);
    return all;
}

QByteArray AppProcess::readAllStandardError()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray all;
    all.swap(m_errors);
    return all;
}

void AppProcess::kill()
{
    if (m_pid <= 0 || m_finished)
        return;
    ::kill(m_pid, SIGKILL);
    reap(true);
}

int AppProcess::exitCode() const
{
    return m_finished && WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

AppProcess::ExitStatus AppProcess::exitStatus() const
{
    return m_finished && WIFEXITED(m_status) ? NormalExit : CrashExit;
}
