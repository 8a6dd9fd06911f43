#include "core/md5.h"

#include <cstring>

const unsigned char MD5::PADDING[64] = {0x80};
const char MD5::HEX[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

namespace {
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
inline void step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t ac)
{
    a = rotl(a + Fn(b, c, d) + x + ac, s) + b;
}
} // namespace

MD5::MD5() { reset(); }

MD5::MD5(const void* input, size_t length)
{
    reset();
    update(input, length);
}

void MD5::reset()
{
    _finished = false;
    _count[0] = _count[1] = 0;
    _state[0] = 0x67452301;
    _state[1] = 0xefcdab89;
    _state[2] = 0x98badcfe;
    _state[3] = 0x10325476;
    std::memset(_buffer, 0, sizeof _buffer);
    std::memset(_digest, 0, sizeof _digest);
}

void MD5::update(const void* input, size_t length) { update(static_cast<const unsigned char*>(input), length); }

void MD5::update(const unsigned char* input, size_t length)
{
    _finished = false;
    uint32_t index = (_count[0] >> 3) & 0x3f;
    uint32_t bits = uint32_t(length << 3);
    if ((_count[0] += bits) < bits)
        ++_count[1];
    _count[1] += uint32_t(uint64_t(length) >> 29);

    size_t partLen = 64 - index;
    size_t i = 0;
    if (length >= partLen) {
        std::memcpy(&_buffer[index], input, partLen);
        transform(_buffer);
        for (i = partLen; i + 63 < length; i += 64)
            transform(&input[i]);
        index = 0;
    }
    std::memcpy(&_buffer[index], &input[i], length - i);
}

void MD5::final()
{
    unsigned char bits[8];
    uint32_t oldState[4];
    uint32_t oldCount[2];
    std::memcpy(oldState, _state, sizeof oldState);
    std::memcpy(oldCount, _count, sizeof oldCount);

    encode(_count, bits, 8);
    uint32_t index = (_count[0] >> 3) & 0x3f;
    uint32_t padLen = (index < 56) ? (56 - index) : (120 - index);
    update(PADDING, padLen);
    update(bits, 8);
    encode(_state, _digest, 16);

    // Restore so that later updates continue the original message.
    std::memcpy(_state, oldState, sizeof oldState);
    std::memcpy(_count, oldCount, sizeof oldCount);
}

const unsigned char* MD5::digest()
{
    if (!_finished) {
        // final() feeds the padding through update(), which touches the
        // buffer; keep the partial block so the message can continue.
        unsigned char saved[64];
        std::memcpy(saved, _buffer, sizeof saved);
        final();
        std::memcpy(_buffer, saved, sizeof saved);
        _finished = true;
    }
    return _digest;
}

std::string MD5::toString() { return bytesToHexString(digest(), 16); }

std::string MD5::bytesToHexString(const unsigned char* data, size_t length)
{
    std::string s;
    s.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        s += HEX[data[i] >> 4];
        s += HEX[data[i] & 0x0f];
    }
    return s;
}

void MD5::encode(const uint32_t* input, unsigned char* output, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[j] = uint8_t(input[i]);
        output[j + 1] = uint8_t(input[i] >> 8);
        output[j + 2] = uint8_t(input[i] >> 16);
        output[j + 3] = uint8_t(input[i] >> 24);
    }
}

void MD5::decode(const unsigned char* input, uint32_t* output, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4)
        output[i] = uint32_t(input[j]) | (uint32_t(input[j + 1]) << 8) | (uint32_t(input[j + 2]) << 16) |
                    (uint32_t(input[j + 3]) << 24);
}

void MD5::transform(const unsigned char block[64])
{
    uint32_t a = _state[0], b = _state[1], c = _state[2], d = _state[3], x[16];
    decode(block, x, 64);

    static const int S[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    static const uint32_t K[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

    for (int i = 0; i < 64; ++i) {
        int round = i / 16;
        int g;
        uint32_t* r[4] = {&a, &d, &c, &b};
        // Rotate roles: a, b, c, d advance one place each step.
        uint32_t& A = *r[i % 4];
        uint32_t B = *r[(i + 3) % 4], C = *r[(i + 2) % 4], D = *r[(i + 1) % 4];
        switch (round) {
        case 0:
            g = i;
            step<F>(A, B, C, D, x[g], S[0][i % 4], K[i]);
            break;
        case 1:
            g = (5 * i + 1) % 16;
            step<G>(A, B, C, D, x[g], S[1][i % 4], K[i]);
            break;
        case 2:
            g = (3 * i + 5) % 16;
            step<H>(A, B, C, D, x[g], S[2][i % 4], K[i]);
            break;
        default:
            g = (7 * i) % 16;
            step<I>(A, B, C, D, x[g], S[3][i % 4], K[i]);
            break;
        }
    }
    _state[0] += a;
    _state[1] += b;
    _state[2] += c;
    _state[3] += d;
    std::memset(x, 0, sizeof x);
}
