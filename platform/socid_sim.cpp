#include "platform/socid.h"
#include "platform/platform.h"

#include <cstdio>

namespace platform {

bool linuxReadSocUniqueId(SocUniqueId* id);

bool readSocUniqueId(SocUniqueId* id)
{
    if (isDevice())
        return linuxReadSocUniqueId(id);
    FILE* f = std::fopen(sysPath(kSimSocIdFile).c_str(), "r");
    if (!f)
        return false;
    unsigned int x = 0, y = 0, z = 0;
    bool ok = std::fscanf(f, "%x %x %x", &x, &y, &z) == 3;
    std::fclose(f);
    if (!ok)
        return false;
    id->x = uint16_t(x);
    id->y = uint16_t(y);
    id->z = uint16_t(z);
    return true;
}

} // namespace platform
