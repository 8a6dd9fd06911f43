#pragma once
// Incremental MD5 (RFC 1321).

#include <cstddef>
#include <cstdint>
#include <string>

class MD5 {
public:
    MD5();
    MD5(const void* input, size_t length);
    void update(const void* input, size_t length);
    void update(const unsigned char* input, size_t length);
    // The digest of everything fed so far; later updates continue the same
    // message.
    const unsigned char* digest();
    std::string toString();
    void reset();
    static std::string bytesToHexString(const unsigned char* data, size_t length);

private:
    void final();
    void transform(const unsigned char block[64]);
    static void encode(const uint32_t* input, unsigned char* output, size_t length);
    static void decode(const unsigned char* input, uint32_t* output, size_t length);

    uint32_t _state[4];
    uint32_t _count[2]; // length in bits, low word first
    unsigned char _buffer[64];
    unsigned char _digest[16];
    bool _finished;

    static const unsigned char PADDING[64];
    static const char HEX[16];
};
