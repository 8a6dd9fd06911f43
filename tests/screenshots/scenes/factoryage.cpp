// The ageing monitor: waiting for its first sample, then a log of two days
// with a few failed checks, on its first and its last page.
#include "tests/screenshots/scenes.h"

#include "ui/setup/factoryage.h"

VYX_SCREENSHOTS(factoryage)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("empty");
        paneltest::key(g_factoryage, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_factoryage, kPageFactoryage); });

    // 20 samples an hour for a day, register 42 counting 3 a sample; the
    // video signal lost now and then, one DDR fault.
    int count = 0;
    for (int i = 0; i < 40; ++i) {
        const int checks = i == 13 ? 0x1E : (i % 9 == 4 ? 0x03 : 0x1F);
        factoryage_log << QStringLiteral("03-%1 %2:%3 %4 %5 %6")
                              .arg(14 + i / 20)
                              .arg(8 + (i % 20) * 3 / 60, 2, 10, QLatin1Char('0'))
                              .arg((i % 20) * 3 % 60, 2, 10, QLatin1Char('0'))
                              .arg(count)
                              .arg(checks)
                              .arg(40 + i % 7);
        count = (count + (i % 11 == 10 ? 12 : 3)) % 256;
    }
    factoryage_log_diff5 = 36;
    factoryage_log_diff20 = 3;
    ModalDriver log;
    log.then([&] {
        shot.take("log");
        paneltest::key(g_factoryage, panel::kKeyRight);
        paneltest::key(g_factoryage, panel::kKeyOk);
        shot.take("last-page");
        paneltest::key(g_factoryage, panel::kKeyBack);
    });
    log.run([] { panel::open_modal(g_factoryage, kPageFactoryage); });
}
