#pragma once
// A child process for the black-box tests (the application, the PC-side
// tools): its standard output and error merged into one pipe, or apart.
//
// Not QProcess: Qt 5 starts children with clone(CLONE_PIDFD), which qemu-user
// 7.2 refuses; QProcess then takes the failure for a child with pid -1, and
// its kill() becomes kill(-1, SIGKILL), every process of the user. The armhf
// tests run under qemu-user, so the tests start the application themselves.

#include <QByteArray>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

class AppProcess {
public:
    enum Channels { Merged, Separate };
    enum ExitStatus { NormalExit, CrashExit };
    // Starts `program` (found on PATH when it has no slash) with `args` and
    // the current environment changed by `setEnv` ("NAME=value") and
    // `unsetEnv` (names).
    AppProcess(const QString& program, const QStringList& args, const QStringList& setEnv = {},
               const QStringList& unsetEnv = {}, Channels channels = Merged);
    // Kills and reaps a child that still runs.
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // True once the program was executed (at most `ms` to find out).
    bool waitForStarted(int ms = 30000);
    // True when the child has ended within `ms`; its output is kept.
    bool waitForFinished(int ms = 30000);
    // True when output is waiting to be read or arrives within `ms`.
    bool waitForReadyRead(int ms = 30000);
    // The output collected so far (with Separate, the standard output only),
    // then forgotten.
    QByteArray readAll();
    QByteArray readAllStandardError();
    void kill();
    // The exit code of a child that ended by exit(); -1 otherwise.
    int exitCode() const;
    ExitStatus exitStatus() const;
    // 0 when it could not be started.
    qint64 processId() const { return m_pid > 0 ? m_pid : 0; }

private:
    // The reader thread: moves what the pipes hold into the buffers at once,
    // as QProcess does, so that a chatty child never blocks on a full pipe.
    void drain();
    bool reap(bool block);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    int m_execError = -1;
    bool m_started = false;
    bool m_finished = false;
    int m_status = 0;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    QByteArray m_output;
    QByteArray m_errors;
    bool m_drained = false;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};
