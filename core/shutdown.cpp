#include "core/shutdown.h"

#include "core/config_engine.h"
#include "core/syncupdate.h"
#include "core/usbserver.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "remote/networkclient_manage.h"
#include "remote/networkmanage.h"
#include "remote/q58_wifi_config.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "scaler/c331_manage.h"
#include "video_io/zevlosource.h"

void stopAllForExit()
{
    // The FPGA worker before anything: an upgrade it runs writes the font
    // through the scaler manager, which goes before the FPGA manager.
    fpga_manage::stopWorker();
    // Links first (they call into the managers), then the managers, then
    // the core they all use.
    udpnetManage::destroyForTest();
    Q58_WIFI_CONFIG::destroyForTest();
    networkclient_Manage::destroyForTest();
    Tz_uart_inout_4G::destroyForTest();
    networkManage::destroyForTest();
    Tz_uart_inout::destroyForTest();
    UsbServer::destroyForTest();
    c331_manage::destroyForTest();
    fpga_manage::destroyForTest();
    zevlosource::destroyForTest();
    SyncUpdate::destroyForTest();
    VyxRamPara::destroyForTest();
    ConfigEngine::destroyForTest();
}
