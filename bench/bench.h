#pragma once
// The benchmark program: its figures (bench/run), the soak run (bench/soak)
// and the reference programs they measure against.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/process.h"

namespace bench {

struct Options {
    std::string app;  // the application binary
    std::string self; // this program, for the reference programs
    double idleSeconds = 30;
    int roundTrips = 2000;
    double soakMinutes = 10;
};

// One line of the table: a figure of the application and the reference
// measured in the same run. A row without a reference name is a part of
// the figure above it: its ratio is its share of that figure's reference
// (none when the reference is 0).
struct Row {
    std::string name;
    double value;
    std::string referenceName;
    double reference;
    std::string unit; // "s", "us", "%", "MiB"
};

// What the figures share within one run: the application under
// measurement and the bare Qt window, each started once and kept running
// (the first figure that needs one starts it).
struct Run {
    Options options;
    std::string scratch;
    Child app;
    double appStarted = 0; // now() when it was started
    std::string appRoot;
    int portOffset = 0;
    Child bare;
};

// A figure measures and adds its rows; false (after saying why on standard
// error) when it could not.
struct Figure {
    const char* name;
    std::function<bool(Run&, std::vector<Row>*)> measure;
};
const std::vector<Figure>& figures();

// ---- shared steps ----
// Starts the application on `root` (a fresh one under the run's scratch
// directory when empty) with a free port offset; `pauseScale` as VYX_PAUSE_SCALE ("" for the
// device's pauses). Returns the seconds until its first PC answer (or -1).
double startApp(Run& run, Child* app, std::string* root, int* portOffset, const std::string& pauseScale);
// Starts the bare Qt window; the seconds until its first timer tick (or -1).
double startBare(Run& run, Child* bare);

int figuresMain(const Options& options);
int soakMain(const Options& options);
// The reference programs.
int bareWindowMain(int argc, char** argv);
int echoServerMain();

} // namespace bench
