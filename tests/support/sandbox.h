#pragma once
// Test support: every test gets a fresh root directory, the simulated
// back-end with empty logs, start-up values in every global and no
// singletons left over from an earlier test.

#include <gtest/gtest.h>

#include "tests/support/app_process.h"

#include <QByteArray>
#include <memory>
#include <functional>
#include <initializer_list>
#include <string>

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "<root><absPath>"
    std::string path(const std::string& absPath) const;
    QByteArray readFile(const std::string& absPath) const;
    void writeFile(const std::string& absPath, const QByteArray& data) const;
    bool exists(const std::string& absPath) const;
    // PC port `port` as this test's links and applications open it.
    uint16_t pcPort(int port) const { return uint16_t(port + portOffset); }

    std::string root;
    // Free on this machine when the test began and held for it until it
    // ends (see freePortOffset); the in-process links use it too, so tests
    // pass beside a running program.
    int portOffset = 0;
};

// pc::freePortOffset (bench/pc_client.h), failing the test when there is
// none; its ports are released when the test ends.
int freePortOffset(std::initializer_list<int> extra = {});

// Stops every singleton's threads and deletes it.
void destroySingletonsForTest();

// Delivers queued events for about `ms` milliseconds.
void pumpEvents(int ms = 0);

// Pumps events until `done` holds or `ms` milliseconds have passed. The
// default is generous: under a sanitizer or an emulator on a busy machine a
// worker's next look can come seconds late.
bool waitFor(const std::function<bool()>& done, int ms = 5000);

// Reads the application's output into `seen` until it holds `text`, for at
// most `ms` milliseconds.
bool outputHas(AppProcess& app, QByteArray& seen, const QByteArray& text, int ms = 2000);

// Starts the application binary on simulated hardware under `root` with
// its PC ports moved by `portOffset` (offscreen, no start-up pauses), its
// output merged into one channel.
std::unique_ptr<AppProcess> startApp(const std::string& root, int portOffset);

// Starts the application binary with `args` alone (no root and no port
// offset from the environment), in the directory `workDir`, offscreen and
// without start-up pauses, its environment further changed by `setEnv`
// ("NAME=value"), through the command `wrapper` when one is given (e.g.
// {"unshare", "--net"}); output merged.
std::unique_ptr<AppProcess> startAppWith(const QStringList& args, const std::string& workDir,
                                         const QStringList& setEnv = {}, const QStringList& wrapper = {});
