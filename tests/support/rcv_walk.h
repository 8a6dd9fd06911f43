#pragma once
// Walks a recovery file or a scan file through rcvRecovery in the order the
// recovery and scan jobs do (every screen, its parameter block, every port,
// every card's operations and their data in 1000-byte packets), stopping at
// the first read that fails as a job ends on an error. Tests and the fuzz
// target compare what it saw with what the file should hold.

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <vector>

#include "ui/rcvtools/rcvrecovery.h"

namespace rcvwalk {

struct OpSeen {
    RCV_OPERATE_PARA rec;
    uint32_t data_at = 0;
    QByteArray data;
};
struct PortSeen {
    RCV_NET_PARA rec;
    std::vector<std::vector<OpSeen>> cards;
};
struct ScreenSeen {
    RCV_SCREEN_ID_INFO rec;
    std::vector<OpSeen> para;
    std::vector<PortSeen> ports;
};

// What a walk in the recovery job's order saw; `failed` is the first
// non-zero result and `why` the reader's message for it; `cut` says the
// walk stopped after its budget of reads with every read so far a success.
struct Walk {
    uint32_t failed = 0;
    QString why;
    int reads = 0;
    bool cut = false;
    std::vector<RCV_PACKED_FILE_INFO> entries;
    std::vector<ScreenSeen> screens;
};

class Walker {
public:
    // A `budget` above 0 stops the walk after that many reads.
    Walker(rcvRecovery& r, const QString& file, Walk& w, int budget = 0) : r(r), file(file), w(w), budget(budget) {}

    bool step(uint32_t result)
    {
        ++w.reads;
        if (result != RCV_READ_OK) {
            w.failed = result;
            w.why = r.error_text();
            return false;
        }
        if (budget > 0 && w.reads >= budget) {
            w.cut = true;
            return false;
        }
        return true;
    }

    // The data of the current record, in the job's 1000-byte packets.
    bool data(OpSeen& op, bool xy, bool scan)
    {
        op.rec = r.operate_para;
        if (!step(xy ? r.set_xy_operate_data_offset() : r.set_para_operate_data_offset(scan)))
            return false;
        op.data_at = r.operate_data_offset;
        uint8_t packet[1000];
        for (uint32_t done = 0; done < op.rec.dataLen;) {
            uint16_t n = uint16_t(std::min<uint32_t>(1000, op.rec.dataLen - done));
            if (!step(r.update_rcvOperatedata(file, op.data_at + done, packet, n)))
                return false;
            op.data.append(reinterpret_cast<const char*>(packet), n);
            done += n;
        }
        return true;
    }

    bool block(std::vector<OpSeen>& ops, bool scan)
    {
        if (!step(r.update_smartDebugingOperateTimes(file, scan)))
            return false;
        for (uint16_t k = 0; k < r.rcv_operate_times; ++k) {
            OpSeen op;
            if (!step(r.update_smartDebugingOperatepara(file, k, scan)) || !data(op, false, scan))
                return false;
            ops.push_back(op);
        }
        return true;
    }

    void recovery()
    {
        if (!step(r.get_rcvPackedFileNum(file)))
            return;
        for (int i = 0; i < r.packed_file_num() && i < rcvRecovery::kPackedFiles; ++i) {
            if (!step(r.get_rcvPackedFileInfo(file, uint8_t(i))))
                return;
            w.entries.push_back(r.packed_file[i]);
        }
        if (!step(r.update_rcvScreenHead(file)))
            return;
        for (int s = 0; s < r.screen_head.screen_num; ++s) {
            ScreenSeen screen;
            if (!step(r.update_rcvScreenIDinfo(file, uint8_t(s))))
                return;
            screen.rec = r.screen_info;
            if (r.screen_info.rcv_para_len != 0 && !block(screen.para, false))
                return;
            if (r.screen_info.rcv_xy_len != 0) {
                if (!step(r.update_rcvXYscreenNetnum(file)))
                    return;
                for (uint16_t j = 0; j < r.screen_net_num; ++j) {
                    PortSeen port;
                    if (!step(r.update_rcvXYscreenNetpara(file, j)))
                        return;
                    port.rec = r.net_para;
                    for (uint16_t c = 0; c < r.net_para.net_rcv_num; ++c) {
                        if (!step(r.update_rcvXYrcvOperateTimes(file, c, false)))
                            return;
                        std::vector<OpSeen> ops;
                        for (uint16_t k = 0; k < r.rcv_operate_times; ++k) {
                            OpSeen op;
                            if (!step(r.update_rcvXYrcvOperatepara(file, k, false)) || !data(op, true, false))
                                return;
                            ops.push_back(op);
                        }
                        port.cards.push_back(ops);
                    }
                    screen.ports.push_back(port);
                }
            }
            w.screens.push_back(screen);
        }
    }

    void scan()
    {
        r.init_para();
        std::vector<OpSeen> ops;
        block(ops, true);
        ScreenSeen s;
        s.para = ops;
        w.screens.push_back(s);
    }

private:
    rcvRecovery& r;
    QString file;
    Walk& w;
    int budget;
};

inline Walk walkRecovery(rcvRecovery& r, const QString& file, int budget = 0)
{
    Walk w;
    r.file_name = file;
    Walker(r, file, w, budget).recovery();
    return w;
}

inline Walk walkScan(rcvRecovery& r, const QString& file, int budget = 0)
{
    Walk w;
    r.file_name = file;
    Walker(r, file, w, budget).scan();
    return w;
}

// Every data range handed on lies inside a file of `size` bytes, and every
// port exists.
inline bool withinFile(const Walk& w, uint64_t size)
{
    auto inside = [size](const OpSeen& op) { return op.rec.dataLen == 0 || uint64_t(op.data_at) + op.rec.dataLen <= size; };
    for (const ScreenSeen& s : w.screens) {
        if (!std::all_of(s.para.begin(), s.para.end(), inside))
            return false;
        for (const PortSeen& port : s.ports) {
            if (port.rec.net_ledx > 19)
                return false;
            for (const auto& card : port.cards)
                if (!std::all_of(card.begin(), card.end(), inside))
                    return false;
        }
    }
    return true;
}

} // namespace rcvwalk
