#pragma once
// The parameter store: the 4096-byte parameter image every subsystem reads
// and writes by byte offset, its snapshot, the user-mode slots and the local
// register file.

#include <QObject>
#include <cstdint>
#include <pthread.h>

constexpr int kImageSize = 4096;
constexpr int kPersistStart = 768;  // bytes 768..4095 are stored
constexpr int kModeStart = 896;     // bytes 896..4095 are what a user mode keeps
constexpr int kModeSlots = 16;
constexpr int kModeSlotSize = 4098;
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

    // 1 when an enabled image shows the given input device (1..3).
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
