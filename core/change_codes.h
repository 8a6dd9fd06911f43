#pragma once
// The numbers every subsystem uses to announce a change and to name the
// screen on top.

// Change codes of VyxRamPara::test_signal and SyncUpdate::para_sync.
enum ChangeCode : int {
    kChangeRefresh = 1,
    kChangeModeSync = 2,
    kChangeNetworkReset = 3,
    kChangePortState = 11,
    kChangeInputTiming = 12,
    kChangeRecovery = 99,
    kChangeDeviceAdded = 100,
    kChangeDeviceRemoved = 101,
    kChangeStorageReady = 102,
    kChangeTransferEnd = 103,
    kChangeUsbUpgrade = 104,
    kChangeKeyLedsStart = 105,
    kChangeKeyLedsEnd = 106,
};

// Page codes (g_page_focus) of the screens.
enum PageCode : int {
    kPageLockWindow = 0,
    kPageMainWindow = 1,
    kPageMachineState = 2,
    kPageInputChoose = 3,
    kPageCustomMode = 4,
    kPageOption = 5,
    kPageOutputSet = 6,
    kPageInputCut = 7,
    kPageEDIDset = 8,
    kPageImageLayout = 9,
    kPageLinkOption = 10,
    kPageImageQuality = 11,
    kPageAdvancedOption = 12,
    kPageLedset = 13,
    kPageNetset = 14,
    kPageLcdshow = 15,
    kPageTestChart = 16,
    kPageOthersetup = 17,
    kPageFactory = 18,
    kPageQuality = 19,
    kPageTemperature = 20,
    kPageLinkcom = 21,
    kPageLinkwlan = 22,
    kPageFactoryage = 23,
    kPageSmartMapping = 24,
    kPageRcvRecovery = 25,
    kPageFirmwareUsbgrade = 26,
    kPageCount = 27,
};
