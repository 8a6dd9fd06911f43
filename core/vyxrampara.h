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

// One input crop. Read back, `source` holds the entry's whole id word.
struct CROP_PARA {
    int source;
    int x;
    int y;
    int w;
    int h;
};

// Crop bitmap: 40 bits per source id 0..5; bit (source * 40 + crop number - 1)
// is set while a used crop entry has that source and number. Rebuilt by
// VyxRamPara::VyxCropSourceInit.
constexpr int kCutSourceStateSize = ram::kCropSourceIds * ram::kCropNumbers / 8;
extern uint8_t g_cut_source_state[kCutSourceStateSize];

class VyxRamPara : public QObject {
    Q_OBJECT
public:
    // Creates and loads the store on the first call.
    static VyxRamPara* pInstance();
    static VyxRamPara* p_vyxrampara_config;

    // Announces a change to the dispatcher (queued from a worker thread,
    // at once from the GUI thread). Returns 1.
    int test_signal(int code);

    // Asks for the parameter file to be saved (change code 1). Returns 1.
    int ram_para_save();
    // Rewrites the parameter file from the default table and reloads it.
    void ram_para_reset();
    // Writes bytes 768..4095 to the parameter file when they differ from
    // the snapshot (then re-takes the snapshot) or when an earlier write
    // failed. Returns 1 when the file was written. GUI thread only.
    int ram_para_persist();

    // PC writes into the image (address < 0x1000) and into the user-mode
    // slots (0x1000..0x10FFF); 0 done, 1 refused.
    unsigned int VyxRamParaDeal(unsigned char* data, unsigned short length, unsigned int address);
    unsigned int VyxModeUserRamParaDeal(unsigned char* data, unsigned short length, unsigned int address);

    // ---- user modes (slot k holds mode k + 1) ----
    // op 1 deletes the mode's files first; every op then loads the slot from
    // its file (1) or marks it empty when the file is missing (0).
    int mode_file_deal(int slot, int op);
    // Marks the slot saved and writes its file; op 1 first copies the live
    // settings into it, op 0 also copies the OSD menu when the OSD is on.
    // 1 written, 0 not.
    int mode_file_write(int slot, int op);
    int VyxUserModeSaved(int n);
    // The saved slot found cyclically from `current` (0 previous, 1 next,
    // 2 this or next); 0x100 when none.
    int VyxUserModeIndex(char current, char direction);
    int VyxGetCurrentModeIndex();

    // ---- accessors ----
    // Source id shown by image `image` of `buffer`: the live image (inSlot 0)
    // or a user-mode slot's data part starting with image byte 896 (inSlot 1).
    // A crop is resolved through the crop table of the same buffer;
    // *isCrop tells which, *cropIndex gets the crop entry. A word naming no
    // used crop entry shows the whole DVI input (ram::shownSource). 0xFF for
    // an image index above 15.
    int VyxGetImageSource(unsigned char* buffer, unsigned char image, short* isCrop, char* cropIndex,
                          unsigned char inSlot);
    int VyxGetSourceNum(int source, int n);
    void VyxSetImageFreeze();
    void VyxSetImageBlack();
    void VyxCropSourceInit();
    int VyxGetCropID(int source, int k);
    int VyxAddCropID(int source);
    void VyxGetCropPara(int source, int k, CROP_PARA* out, int* entryIndex);
    void VyxSetCropPara(char source, char k, CROP_PARA* in);
    void VyxAddNewCrop(int source, CROP_PARA* in);
    // Frees the entry of the source's k-th crop; every image that showed it
    // shows the whole source instead.
    void VyxDeleteCrop(char source, char k);
    // The same two by table entry, for a caller that keeps a crop across
    // changes others make to the table: only while `entry` still holds the
    // id word `id` it was read with (a PC may have freed, renumbered or
    // replaced it since). Checked in the same hold of the scaler's lock as
    // the change; true when changed (and the scaler asked to apply).
    bool VyxSetCropParaAt(int entry, uint16_t id, const CROP_PARA* in);
    bool VyxDeleteCropAt(int entry, uint16_t id);
    void VyxSetImageSource(int k, char source, char image);
    void VyxSetEDIDPara(int input, short width, short height, short rate);
    // 1 when the language word differs from the snapshot (after forcing
    // the language into the offered set), else 0.
    int VyxLanguageChanged();

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
    void load();
    // Sets g_language from image byte 768, replacing a language the panel
    // does not offer by the lowest offered one of 0..4; true when replaced.
    bool forceOfferedLanguage();
    // Index of the used entry holding the source's k-th crop, or -1.
    int findCropEntry(int source, int k);

    // A save that could not reach the file is retried at the next persist.
    bool m_persist_pending = false;
};
