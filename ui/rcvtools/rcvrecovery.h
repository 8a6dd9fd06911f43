#pragma once
// Reader of the files that restore receiving cards: the packed recovery file
// "/data/rcvrecovery/TZFX" the PC stores, and the scan-parameter files
// ("tzfile") of "/data/smartmapping" and the USB stick. The FPGA worker owns
// one reader and walks a file through it one read per step; the reader never
// interprets an operation, it only finds and bounds-checks what the worker
// asks for.
//
// Recovery file: a 4-byte head (byte 3: number of packed files), then one
// 12-byte entry per packed file (type, length, offset from the file's start).
// Screen file (type 10): 32-byte head, 52-byte screen records. Rcv xy file
// (type 11): a 16-byte head, then per screen an XY part (port count, 12-byte
// port records, the card blocks of every port). Rcv para file (type 12): one
// operation block per screen. An operation block is a u16 count, two unused
// bytes and 18-byte operation records. A scan file is a 16-byte head and one
// operation block.
//
// Every reader takes the file's path (a system path, resolved under the
// device root) and returns RCV_READ_OK, RCV_READ_MISSING when the file is
// absent or cannot be opened, or RCV_READ_MALFORMED when the file does not
// hold what is asked for (too short, an offset or count that points past its
// end, a member missing from the pack table, an index beyond a count). A
// failed read leaves the field it was to fill as it was, and says why in
// error_text() and on the warning log; a read the worker asks for again on
// every turn while the same fault lasts (a stick pulled under a load) says
// it there once, and again once the fault has changed or gone. Nothing is
// read outside the file and nothing is written outside the reader's fields
// and the caller's buffer.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "core/repeat_gate.h"

enum : uint32_t {
    RCV_READ_OK = 0,
    RCV_READ_MISSING = 1,   // no such file, or it cannot be opened (also: screen index beyond screen_num)
    RCV_READ_MALFORMED = 2, // the file does not hold what is asked for; reading again will not help
};

// Types of the packed files inside a recovery file.
enum : uint8_t { RCV_SCREEN_FILE = 10, RCV_XY_FILE = 11, RCV_PARA_FILE = 12 };

struct RCV_PACKED_FILE_INFO {
    uint8_t file_type = 0;
    uint32_t length = 0;
    uint32_t offset = 0; // from the start of the recovery file
};

struct RCV_SCREEN_HEAD {
    uint8_t type = 0;
    uint32_t rcv_para_len = 0;
    uint32_t rcv_para_crc32 = 0;
    uint32_t rcv_xy_len = 0;
    uint32_t rcv_xy_crc32 = 0;
    uint8_t screen_num = 0;
};

struct RCV_SCREEN_ID_INFO {
    uint32_t config_id = 0;
    uint32_t net_use = 0;
    uint32_t rcv_para_offset = 0; // from the start of the rcv para file
    uint32_t rcv_para_len = 0;    // non-zero: the screen has a parameter block
    uint32_t rcv_xy_offset = 0;   // from the start of the rcv xy file
    uint32_t rcv_xy_len = 0;      // non-zero: the screen has an XY part
};

struct RCV_NET_PARA {
    uint16_t net_ledx = 0;        // output port 0-19; 10-19 are ports 0-9 of FPGA 1
    uint16_t net_rcv_num = 0;     // cards on the port, one card block each
    uint32_t net_para_offset = 0; // first card block, from the screen's XY part
    uint32_t net_para_len = 0;
};

struct RCV_OPERATE_PARA {
    uint32_t offset = 0;     // the data's place, relative to the block's base
    uint32_t dataLen = 0;
    uint32_t targetAddr = 0;
    uint32_t timeticks = 0;  // milliseconds
    uint8_t type = 0;        // 1 write, 2 ram2flash, 3 active_firmware, 4 upgrade rcv, 5 reconfig, 6 sleep, 7 search rxc, 16 user redefined
    uint8_t target = 0;      // 1 ram, 2 register, 3 flash
};

class rcvRecovery {
public:
    static constexpr int kPackedFiles = 6;      // entries kept of the pack table
    static constexpr uint32_t kScanHeadSize = 16;

    rcvRecovery() = default;
    rcvRecovery(const rcvRecovery&) = delete;
    rcvRecovery& operator=(const rcvRecovery&) = delete;

    // ---- directories (system paths) ----
    // 0 when the directory exists; otherwise creates it: 1 when that worked, else 0.
    uint32_t check_file_dir(const QString& dir);
    // 1 when the directory is missing (both lists left as they were).
    // Otherwise 0, after replacing the recovery list for exactly
    // "/data/rcvrecovery", the scan list for exactly "/data/smartmapping" or
    // "/mnt/usb1/" (file names, sorted by name ignoring case); any other
    // directory changes nothing. Safe from any thread.
    uint32_t get_dir_file(const QString& dir);

    // Copies of the two lists, taken under their lock (the GUI, the PC link
    // and the worker list and read them from different threads).
    QStringList rcv_file_names() const;
    QStringList scan_file_names() const;
    int rcv_file_count() const;
    int scan_file_count() const;
    // Empties the scan list (the PC deleted stored scan files). Safe from
    // any thread.
    void clear_scan_files();

    // ---- recovery file ----
    // The head; also empties the pack table (a new head starts a new table).
    // On failure the head is zeroed too, so no member is found afterwards.
    uint32_t get_rcvPackedFileNum(const QString& file);
    // Entry i (i below the head's count; entries beyond the six kept are refused).
    uint32_t get_rcvPackedFileInfo(const QString& file, uint8_t i);
    uint32_t update_rcvScreenHead(const QString& file);
    // Screen record i; RCV_READ_MISSING without reading when i >= screen_num.
    uint32_t update_rcvScreenIDinfo(const QString& file, uint8_t i);
    uint32_t update_rcvXYHead(const QString& file);
    uint32_t update_rcvXYscreenNetnum(const QString& file);
    // Port record j (j below screen_net_num; a port above 19 is refused).
    uint32_t update_rcvXYscreenNetpara(const QString& file, uint16_t j);
    // Walks the port's card blocks to `card` (below net_rcv_num): sets
    // rcv_offset to the size of the blocks before it and rcv_operate_times to
    // its count. The whole block must lie in the file. `scan` is refused: a
    // scan file has no XY part.
    uint32_t update_rcvXYrcvOperateTimes(const QString& file, uint16_t card, bool scan);
    // Operation record k (below rcv_operate_times) of the card found above.
    uint32_t update_rcvXYrcvOperatepara(const QString& file, uint16_t k, bool scan);

    // ---- operation blocks: a scan file (scan) or the screen's rcv para block ----
    uint32_t update_smartDebugingHead(const QString& file);
    uint32_t update_smartDebugingOperateTimes(const QString& file, bool scan);
    uint32_t update_smartDebugingOperatepara(const QString& file, uint16_t k, bool scan);

    // ---- operation data ----
    // n bytes at the absolute file offset.
    uint32_t update_rcvOperatedata(const QString& file, uint32_t offset, uint8_t* buf, uint16_t n);
    // The current record's dataLen bytes at its offset taken as a file
    // offset. *len is the buffer's capacity on entry and dataLen on success;
    // a record longer than the buffer is refused.
    uint32_t update_rcvDealData(const QString& file, uint8_t* buf, uint32_t* len);

    // Where the current operation's data lies in the file, into
    // operate_data_offset: card operations X + rcv_xy_offset +
    // net_para_offset + offset (the port's first card block is the base for
    // every card); parameter-block operations R + rcv_para_offset + offset;
    // scan files 16 + offset. RCV_READ_MALFORMED when the sum leaves 32 bits.
    uint32_t set_xy_operate_data_offset();
    uint32_t set_para_operate_data_offset(bool scan);

    // Zeroes the screen record's offsets and lengths (before a scan file is walked).
    void init_para();

    // ---- pack table ----
    uint8_t packed_file_num() const { return file_head[3]; }
    // Index of the last kept entry of that type, or -1.
    int find_packed_file(uint8_t type) const;
    // Its offset, 0 when there is none.
    uint32_t packed_file_offset(uint8_t type) const;

    static const char* operate_type_name(uint8_t type);
    static const char* operate_target_name(uint8_t target);

    // Why the last read failed ("" after a success).
    QString error_text() const { return m_error; }

    // ---- the state the worker walks with ----
    uint8_t file_head[4] = {};
    RCV_PACKED_FILE_INFO packed_file[kPackedFiles];
    QString file_name;                 // path of the file being walked (set by the worker)
    uint32_t operate_data_offset = 0;  // absolute offset of the current operation's data
    RCV_SCREEN_HEAD screen_head;
    RCV_SCREEN_ID_INFO screen_info;    // current screen record
    RCV_NET_PARA net_para;             // current port record
    RCV_OPERATE_PARA operate_para;     // current operation record
    uint8_t smart_head[16] = {};
    uint8_t xy_head[16] = {};
    uint16_t screen_net_num = 0;
    uint32_t rcv_offset = 0;           // size of the card blocks before the current card
    uint16_t rcv_operate_times = 0;    // records of the current operation block

private:
    uint32_t fail(uint32_t result, const QString& why);
    uint32_t ok();
    uint32_t member(const QString& file, uint8_t type, uint64_t* offset);
    uint32_t block_base(const QString& file, bool scan, uint64_t* base);
    uint32_t read_field(const QString& file, uint64_t offset, uint32_t n, uint8_t* out, const char* what,
                        bool announce);
    uint32_t set_data_offset(uint64_t at);
    void print_operate_para(const char* title) const;

    mutable QMutex m_list_mutex;
    QStringList m_rcv_files;
    QStringList m_scan_files;
    QString m_error;
    RepeatGate m_warned;
};

// The scan-parameter file chosen on the smart-setup screen (an absolute
// system path; empty: none). The screen sets it while the worker may be
// copying it for a run, so it is only reached through get and set.
class TzFileName {
public:
    QString get() const;
    void set(const QString& path);
    // The file a scan-file load sends: posting the load (SEND_PARA::post)
    // keeps the chosen one, since the screen lists again and chooses its
    // first row on every stick event, which may come while the job waits.
    void keep_for_load();
    QString load_file() const;

private:
    mutable QMutex m_mutex;
    QString m_path;
    QString m_load;
};
extern TzFileName g_tzfile_name;
