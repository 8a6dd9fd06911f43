// Device back-end of the shell: the real system() and popen().
#include "platform/shell.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform {

namespace {
class LinuxShell : public Shell {
public:
    int run(const std::string& command) override { return ::system(command.c_str()); }

    std::string capture(const std::string& command, int size, bool* started) override
    {
        std::string result;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (started)
            *started = pipe != nullptr;
        if (!pipe)
            return result;
        std::vector<char> buf(size > 1 ? size : 2);
        while (std::fgets(buf.data(), static_cast<int>(buf.size()), pipe))
            result += buf.data();
        ::pclose(pipe);
        return result;
    }
};
} // namespace

Shell& linuxShell()
{
    static LinuxShell instance;
    return instance;
}

} // namespace platform
