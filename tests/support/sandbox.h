#pragma once
// Test support: every test gets a fresh root directory, the simulated
// back-end with empty logs, start-up values in every global and no
// singletons left over from an earlier test.

#include <gtest/gtest.h>

#include "tests/support/app_process.h"

#include <QByteArray>
#include <memory>
#include <functional>
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

    std::string root;
};

// Stops every singleton's threads and deletes it.
void destroySingletonsForTest();

// Delivers queued events for about `ms` milliseconds.
void pumpEvents(int ms = 0);

// Pumps events until `done` holds or `ms` milliseconds have passed.
bool waitFor(const std::function<bool()>& done, int ms = 2000);

// Starts the application binary on simulated hardware under `root`
// (offscreen, no start-up pauses), its output merged into one channel.
std::unique_ptr<AppProcess> startApp(const std::string& root);
