// The receiving-card recovery screen: empty, a card found, a card that
// cannot be restored, a query running.
#include "tests/screenshots/scenes.h"

#include <QCoreApplication>

#include "core/change_codes.h"
#include "core/screen_hooks.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/rcvtools/rcv_recovery.h"

namespace {

// What the FPGA worker reports at the end of a query.
void rcvrecoveryReport(const QStringList& lines, uint16_t result)
{
    screen_hooks::post(ScreenListHook::RcvRecoveryList, lines);
    QCoreApplication::processEvents();
    g_send_para.result = result;
    VyxRamPara::pInstance()->test_signal(kChangeRefresh);
}

} // namespace

VYX_SCREENSHOTS(rcv_recovery)
{
    ModalDriver drive;
    drive.then([&] {
        rcv_recovery* screen = g_rcv_recovery;
        shot.take("empty");
        rcvrecoveryReport({"01/02/03/04"}, 2);
        paneltest::key(screen, panel::kKeyRight);
        shot.take("found");
        rcvrecoveryReport({"01/03/05/04"}, 4);
        shot.take("refused");
        paneltest::key(screen, panel::kKeyLeft);
        paneltest::key(screen, panel::kKeyOk);
        emit screen->sig_qround_bar_update(45);
        shot.take("query");
        emit screen->sig_qround_bar_update(100);
        g_send_para.job = 0;
        paneltest::key(screen, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_rcv_recovery, kPageRcvRecovery); });
}
