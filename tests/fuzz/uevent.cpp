// A kernel device event as the USB watcher receives it: a datagram whose
// first text is the header "action@devpath".
#include <QString>
#include <cstring>

#include "core/change_codes.h"
#include "core/usbserver.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    // The watcher's own buffer: one byte short of its size, zero-filled.
    char buf[4096];
    std::memset(buf, 0, sizeof buf);
    size_t n = size < sizeof buf - 1 ? size : sizeof buf - 1;
    std::memcpy(buf, data, n);
    const QString header = QString::fromLatin1(buf);
    const std::vector<int> actions = UsbServer::eventActions(header);

    int storage = 0;
    for (int action : actions) {
        FUZZ_CHECK(action == kChangeDeviceAdded || action == kChangeDeviceRemoved || action == kChangeStorageReady);
        storage += action == kChangeStorageReady;
    }
    // At most one action per path part, a partition only after "block/sda/".
    FUZZ_CHECK(actions.size() <= size_t(header.count(QLatin1Char('/')) + 1));
    FUZZ_CHECK(storage == 0 || header.contains(QLatin1String("block/sda/sda")));
    return 0;
}
