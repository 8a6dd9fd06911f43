#include <gtest/gtest.h>

#include "core/globals.h"
#include "core/md5.h"
#include "core/utils.h"

#include <cstring>
#include <string>

namespace {
const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
}

TEST(Checksums, KnownVectors)
{
    EXPECT_EQ(Utils::BCC(bytes("abc"), 3), 0x60);
    EXPECT_EQ(Utils::calcCRC16(bytes("abc"), 3), 0x9738);
    EXPECT_EQ(Utils::zizoCalcCRC16(bytes("abc"), 3), 0x61DA);
    EXPECT_EQ(Utils::jtc1CRC16Code(bytes("abc"), 3), 0x9DD6);
    // The catalogue check values pin the polynomials and initial values.
    EXPECT_EQ(Utils::calcCRC16(bytes("123456789"), 9), 0xBB3D);
    EXPECT_EQ(Utils::zizoCalcCRC16(bytes("123456789"), 9), 0x6F91);
    EXPECT_EQ(Utils::jtc1CRC16Code(bytes("123456789"), 9), 0x31C3);
    EXPECT_EQ(Utils::crc16_tabel[1], 0xC0C1);
    EXPECT_EQ(Utils::crc16_tabel[128], 0xA001);
    EXPECT_EQ(Utils::zizoCrc16_tabel[1], 0x1189);
}

TEST(Checksums, EmptyAndSelfChecking)
{
    EXPECT_EQ(Utils::BCC(nullptr, 0), 0);
    EXPECT_EQ(Utils::calcCRC16(nullptr, 0), 0);
    EXPECT_EQ(Utils::zizoCalcCRC16(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Utils::jtc1CRC16Code(nullptr, 0), 0);

    unsigned char frame[] = {0x00, 0xF1, 0x10, 0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x60, 0xA5, 0x00};
    frame[sizeof frame - 1] = Utils::BCC(frame, sizeof frame - 1);
    EXPECT_EQ(Utils::BCC(frame, sizeof frame), 0);
}

TEST(TimeBase, ElapsedTicksAcrossTheWrap)
{
    G_timeTicks = 100;
    EXPECT_EQ(Utils::getTimeSpace(40), 60u);
    G_timeTicks = 5;
    EXPECT_EQ(Utils::getTimeSpace(0xFFFFFFFBu), 9u); // one short of the modular difference
    G_timeTicks = 0;
    EXPECT_EQ(Utils::getTimeSpace(1), 4294967294u); // a stamp newer than the reading has expired
    G_timeTicks = 0;
}

TEST(StringHelpers, ParseAndPrint)
{
    EXPECT_EQ(Utils::stringToInt("0x1F"), 31u);
    EXPECT_EQ(Utils::stringToInt("0xff"), 255u);
    EXPECT_EQ(Utils::stringToInt("0x"), 0u);
    EXPECT_EQ(Utils::stringToInt("12"), 12u);
    EXPECT_EQ(Utils::stringToInt(""), 0u);
    EXPECT_EQ(Utils::upper("ab\xe9z"), "AB\xe9Z");
    EXPECT_EQ(Utils::intToString(-42), "-42");
}

TEST(Md5, Rfc1321Vectors)
{
    EXPECT_EQ(MD5("", 0).toString(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5("abc", 3).toString(), "900150983cd24fb0d6963f7d28e17f72");
    std::string alpha = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    EXPECT_EQ(MD5(alpha.data(), alpha.size()).toString(), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, ByteByByteAndContinuedAfterDigest)
{
    MD5 md5;
    for (char c : std::string("abc"))
        md5.update(&c, 1);
    EXPECT_EQ(md5.toString(), "900150983cd24fb0d6963f7d28e17f72");

    // Continue the same message after a digest, across a block boundary.
    std::string tail(70, 'x');
    md5.update(tail.data(), tail.size());
    std::string whole = "abc" + tail;
    EXPECT_EQ(md5.toString(), MD5(whole.data(), whole.size()).toString());

    md5.reset();
    md5.update(reinterpret_cast<const unsigned char*>("a"), 1);
    EXPECT_EQ(md5.toString(), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(Md5, HexHelper)
{
    const unsigned char b[] = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(MD5::bytesToHexString(b, 4), "000fa0ff");
}
