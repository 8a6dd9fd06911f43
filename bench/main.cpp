// vyx_bench figures --app PATH [--idle-seconds S] [--round-trips N]
// vyx_bench soak --app PATH [--minutes M]
// vyx_bench bare | echo          (the reference programs)
#include "bench/bench.h"


#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
int usage()
{
    std::fprintf(stderr, "usage: vyx_bench figures --app PATH [--idle-seconds S] [--round-trips N]\n"
                         "       vyx_bench soak --app PATH [--minutes M]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    if (mode == "bare")
        return bench::bareWindowMain(argc, argv);
    if (mode == "echo")
        return bench::echoServerMain();

    bench::Options options;
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    options.self = n > 0 ? std::string(self, size_t(n)) : argv[0];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--app")
            options.app = value;
        else if (key == "--idle-seconds")
            options.idleSeconds = std::atof(value);
        else if (key == "--round-trips")
            options.roundTrips = std::atoi(value);
        else if (key == "--minutes")
            options.soakMinutes = std::atof(value);
        else
            return usage();
    }
    if (options.app.empty() || options.roundTrips < 1 || options.idleSeconds <= 0 || options.soakMinutes <= 0)
        return usage();
    if (mode == "figures")
        return bench::figuresMain(options);
    if (mode == "soak")
        return bench::soakMain(options);
    return usage();
}
