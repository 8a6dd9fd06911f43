#pragma once
// Checks of the values and texts the PC sends. Whatever passes here is
// well-formed by construction: addresses are rebuilt from their bytes,
// texts hold only the characters allowed, names stay plain file names.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

namespace pc_values {

using Ipv4 = uint8_t[4];
using Mac = uint8_t[6];

// "a.b.c.d" from four bytes.
QString ipText(const uint8_t ip[4]);
// Four decimal parts 0..255 without leading zeros (except "0"), nothing else.
bool parseIp(const QByteArray& text, uint8_t out[4]);
uint32_t ipValue(const uint8_t ip[4]);

// A host address (1..223 first byte, not 127) that is neither the network
// nor the broadcast address of its subnet.
bool hostAddress(const uint8_t ip[4], const uint8_t mask[4]);
// A subnet mask of 8..30 leading one bits.
bool subnetMask(const uint8_t mask[4]);

// "xx:xx:xx:xx:xx:xx", lower case.
QString macText(const uint8_t mac[6]);
// Six two-digit hexadecimal parts separated by ':' or '-', either case.
bool parseMac(const QByteArray& text, uint8_t out[6]);
// A unicast address that is not all zero.
bool unicastMac(const uint8_t mac[6]);
// The hardware address in the output of "ifconfig eth0" ("HWaddr" or
// "ether" followed by the address); false when there is none.
bool macFromIfconfig(const std::string& output, uint8_t out[6]);

// 1..max bytes of printable ASCII (0x20..0x7E).
bool printableAscii(const QByteArray& text, int max);
// 1..max bytes of UTF-8 without control characters.
bool plainUtf8(const QByteArray& text, int max);
// A host name or dotted address: 1..253 bytes of letters, digits, '.', '-'.
bool hostName(const QByteArray& text);
// A plain file name for a directory of the controller: 1..100 bytes of
// UTF-8, no control characters, none of / \ : * ? " < > |, not starting
// with '.' or a blank, not ending with a blank, and ending with `suffix`
// (which must not be all of it).
bool fileName(const QByteArray& name, const char* suffix);

} // namespace pc_values
