#pragma once
// The parameter store: the 4096-byte parameter image every subsystem reads
// and writes by byte offset, its snapshot, the user-mode slots and the local
// register file.

#include <QObject>
#include <cstdint>
#include <pthread.h>

#include "core/ram_map.h"

using ram::kImageSize;
using ram::kModeSlots;
using ram::kModeSlotSize;
using ram::kModeStart;    // bytes 896..4095 are what a user mode keeps
using ram::kPersistStart; // bytes 768..4095 are stored
constexpr int kLocalRegs = 1064;

class VyxRamPara : public QObject {
    Q_OBJECT
public:
    static VyxRamPara* pInstance();
    static VyxRamPara* p_vyxrampara_config;

    // Announces a change to the dispatcher (queued from a worker thread,
    // at once from the GUI thread). Returns 1.
    int test_signal(int code);

    // PC writes into the image (address < 0x1000) and into the user-mode
    // slots (0x1000..0x10FFF); 0 done, 1 refused.
    unsigned int VyxRamParaDeal(unsigned char* data, unsigned short length, unsigned int address);
    unsigned int VyxModeUserRamParaDeal(unsigned char* data, unsigned short length, unsigned int address);

    // Source id shown by image `image` of `buffer`: the live image (inSlot 0)
    // or a user-mode slot's data part starting with image byte 896 (inSlot 1).
    // A crop is resolved through the crop table of the same buffer;
    // *isCrop tells which, *cropIndex gets the crop entry. 0xFF for an image
    // index above 15.
    int VyxGetImageSource(unsigned char* buffer, unsigned char image, short* isCrop, char* cropIndex,
                          unsigned char inSlot);

    // 1 when an enabled image 0..5 shows the given input device: sources
    // 1..3 are devices 1..3, every other source counts as device 0.
    unsigned char VyxSourceId_is_on(unsigned char device);

    pthread_mutex_t store_mutex;            // guards the input timing records (256..291)
    uint8_t ram_para[kImageSize];           // live image
    uint8_t ram_para_bak[kImageSize];       // snapshot of the last persisted state
    uint8_t user_mode[kModeSlots][kModeSlotSize];
    uint8_t local_reg[kLocalRegs];

    // Tests only: drops the instance so the next pInstance() loads afresh.
    static void destroyForTest();

signals:
    void sig_update_para(int code);

private:
    VyxRamPara();
};
