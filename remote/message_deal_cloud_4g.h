#pragma once
// Commands of the cloud and of the 4G modem. The cloud sends JSON commands
// in cloud frames (protocol_phy_cloud_4g); the modem sends PC-control frames
// whose command byte belongs to the 4G group below, one of which relays the
// same JSON commands. docs/cloud-4g-wifi.md lists both.

#include <QByteArray>
#include <QJsonObject>
#include <cstdint>
#include <vector>

// The JSON commands and the 4G command group.
class message_deal_4g {
public:
    // "result" of every JSON answer.
    enum Result : int {
        RESULT_OK = 0,
        RESULT_BAD_VALUE = 1, // a value of the wrong type or out of range; nothing changed
        RESULT_UNKNOWN = 2,   // no command of that "name"
        RESULT_MALFORMED = 3, // not a JSON object with a text "name"
        RESULT_FAILED = 4,    // valid, but could not be carried out
    };
    // The 4G group's command bytes (PC-control frames to the controller,
    // on the 4G link only), clear of every message_deal command so that
    // the PC's commands work on the 4G link as well.
    enum Command : uint8_t {
        CMD_CLOUD_JSON = 0xE0,       // data: one JSON command; reply: status, JSON answer
        CMD_CLOUD_SETUP_READ = 0xE1, // data: file id, offset (u16 LE); reply: status, total (u16 LE), bytes
        CMD_CLOUD_SETUP_CHANGED = 0xE2, // controller -> modem; the modem's answer ends here
    };
    // The modem's address in the controller's notifications.
    static constexpr uint16_t kModemAddress = 0xF200;
    // Bytes of a set-up file per read.
    static constexpr int kSetupChunk = 1024;

    static bool is_group_command(uint8_t command);

    // One JSON command -> its JSON answer ("name" and "result" always).
    static QByteArray deal_json(const QByteArray& command);

    // "setProperty": stores "barcode" the way the PC's barcode setter does
    // (configuration key Barcode, read back into g_str_barcode, and the
    // cloud barcode file).
    static int cloudSetProperty(const QJsonObject& command, QJsonObject* answer);

    // A decoded 4G frame to the controller whose command is in the group,
    // in place like message_deal::message_group_deal. Returns the reply
    // length without checksum, 0 when nothing is answered.
    int message_group_deal(uint8_t* body, int length, int capacity);

    // The encoded frame that tells the modem its cloud set-up changed;
    // `out` needs kNoticeMax bytes. Returns its length.
    static constexpr int kNoticeMax = 24;
    static int setup_changed_notice(uint8_t* out);
};

// Cloud frames the controller sends.
class message_deal_cloud_4g {
public:
    // The answer to the cloud's command `sequence`.
    static std::vector<uint8_t> Cloud_MSG_ACK(uint8_t sequence, const QByteArray& answer);
    // A command of the controller's own (login, heartbeat).
    static std::vector<uint8_t> msg_to_cloud(uint8_t sequence, const QByteArray& command);
};

// The content of a stored cloud set-up file (file_transfer::CloudFile: 0xAA,
// the content length u16 big-endian, the content); false when it is
// missing, cut short or not in that form.
bool readCloudFile(uint8_t kind, QByteArray* content);
