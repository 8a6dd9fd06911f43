#pragma once
// Code a test runs in a child process: a fresh start of this same test
// program that runs one registered function instead of the tests. For what
// ends the process on purpose, such as a power cut in the middle of a save.
//
//     static ChildMain save("save", [] { ...; return 0; });
//     int code = runChild("save", {{"VYX_TEST_ROOT", dir}});

#include <QByteArray>
#include <map>
#include <string>

class ChildMain {
public:
    using Main = int (*)();
    ChildMain(const char* name, Main main);
};

// Runs the child called `name` with `env` added to its environment and
// returns its exit code; -1 when it crashed or ran for more than 30 s. Its
// output, merged, goes to *output when given.
int runChild(const char* name, const std::map<std::string, std::string>& env, QByteArray* output = nullptr);

// In a child: the value of `name` in its environment ("" when unset).
std::string childEnv(const char* name);

// Called by the test main: runs the child named by VYX_TEST_CHILD, if any.
// False when this process is no child.
bool runChildIfAsked(int* exitCode);
