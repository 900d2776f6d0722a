#include "base/tools/CMD5Digest.h"

#include <bit>
#include <cstring>

namespace {

const unsigned char kPadding[64] = {0x80};

// Native-order load; memcpy keeps it legal for unaligned input and compiles
// to a plain load (or a memory operand of the add).
inline uint32_t Load32(const unsigned char* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

}  // namespace

// F selects c or d by b with one operation fewer than the textbook form.
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))

#define MD5_STEP(f, a, b, c, d, k, t, s)              \
    do {                                              \
        (a) += f((b), (c), (d)) + X(k) + (uint32_t)(t); \
        (a) = std::rotl((a), (s));                    \
        (a) += (b);                                   \
    } while (0)

// G = (b & d) | (c & ~d). The two halves share no bit, so they can be added
// separately, and c & ~d does not wait for b, the value just computed: this
// shortens the dependency chain of round 2 by one operation.
#define MD5_STEP_G(a, b, c, d, k, t, s)             \
    do {                                            \
        (a) += X(k) + (uint32_t)(t) + (~(d) & (c)); \
        (a) += (d) & (b);                           \
        (a) = std::rotl((a), (s));                  \
        (a) += (b);                                 \
    } while (0)

CMD5Digest::CMD5Digest()
{
    Init();
}

void CMD5Digest::MD5String(unsigned char* digest, const void* data, long length)
{
    if (!digest)
        return;
    size_t size = 0;
    if (data)
        size = length < 0 ? std::strlen(static_cast<const char*>(data)) : static_cast<size_t>(length);
    CMD5Digest md5;
    md5.Update(data, size);
    md5.Final(digest);
    digest[16] = 0;
}

void CMD5Digest::Init()
{
    m_count[0] = m_count[1] = 0;
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
}

void CMD5Digest::Update(const void* data, size_t length)
{
    if (!data || length == 0)
        return;
    auto* input = static_cast<const unsigned char*>(data);
    size_t index = (m_count[0] >> 3) & 0x3F;

    uint32_t lowBits = static_cast<uint32_t>(length << 3);
    m_count[0] += lowBits;
    if (m_count[0] < lowBits)
        m_count[1]++;
    m_count[1] += static_cast<uint32_t>(length >> 29);

    size_t i = 0;
    size_t partLength = 64 - index;
    if (length >= partLength) {
        if (index != 0) {
            MD5_memcpy(&m_buffer[index], input, partLength);
            MD5Transform(m_state, m_buffer);
            i = partLength;
        }
        size_t blocks = (length - i) / 64;
        TransformBlocks(m_state, input + i, blocks);
        i += blocks * 64;
        index = 0;
    }
    MD5_memcpy(&m_buffer[index], input + i, length - i);
}

void CMD5Digest::Final(unsigned char* digest)
{
    unsigned char bits[8];
    Encode(bits, m_count, 8);

    size_t index = (m_count[0] >> 3) & 0x3F;
    size_t padLength = index < 56 ? 56 - index : 120 - index;
    Update(kPadding, padLength);
    Update(bits, 8);

    if (digest)
        Encode(digest, m_state, 16);
    // Nothing of the message stays behind in the object.
    MD5_memset(m_state, 0, sizeof(m_state));
    MD5_memset(m_count, 0, sizeof(m_count));
    MD5_memset(m_buffer, 0, sizeof(m_buffer));
}

void CMD5Digest::MD5Transform(uint32_t state[4], const unsigned char block[64])
{
    TransformBlocks(state, block, 1);
}

void CMD5Digest::TransformBlocks(uint32_t state[4], const unsigned char* data, size_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks != 0; --blocks, data += 64) {
        const unsigned char* p = data;
        [[maybe_unused]] uint32_t words[16];
        if constexpr (std::endian::native != std::endian::little) {
            Decode(words, data, 64);
            p = reinterpret_cast<const unsigned char*>(words);
        }
#define X(k) Load32(p + 4 * (k))
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(MD5_F, a, b, c, d, 0, 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, 1, 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, 2, 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, 3, 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, 4, 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, 5, 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, 6, 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, 7, 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, 8, 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, 9, 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, 10, 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, 11, 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, 12, 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, 13, 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, 14, 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, 15, 0x49b40821, 22);

        MD5_STEP_G(a, b, c, d, 1, 0xf61e2562, 5);
        MD5_STEP_G(d, a, b, c, 6, 0xc040b340, 9);
        MD5_STEP_G(c, d, a, b, 11, 0x265e5a51, 14);
        MD5_STEP_G(b, c, d, a, 0, 0xe9b6c7aa, 20);
        MD5_STEP_G(a, b, c, d, 5, 0xd62f105d, 5);
        MD5_STEP_G(d, a, b, c, 10, 0x02441453, 9);
        MD5_STEP_G(c, d, a, b, 15, 0xd8a1e681, 14);
        MD5_STEP_G(b, c, d, a, 4, 0xe7d3fbc8, 20);
        MD5_STEP_G(a, b, c, d, 9, 0x21e1cde6, 5);
        MD5_STEP_G(d, a, b, c, 14, 0xc33707d6, 9);
        MD5_STEP_G(c, d, a, b, 3, 0xf4d50d87, 14);
        MD5_STEP_G(b, c, d, a, 8, 0x455a14ed, 20);
        MD5_STEP_G(a, b, c, d, 13, 0xa9e3e905, 5);
        MD5_STEP_G(d, a, b, c, 2, 0xfcefa3f8, 9);
        MD5_STEP_G(c, d, a, b, 7, 0x676f02d9, 14);
        MD5_STEP_G(b, c, d, a, 12, 0x8d2a4c8a, 20);

        MD5_STEP(MD5_H, a, b, c, d, 5, 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, 8, 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, 11, 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, 14, 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, 1, 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, 4, 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, 7, 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, 10, 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, 13, 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, 0, 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, 3, 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, 6, 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, 9, 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, 12, 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, 15, 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, 2, 0xc4ac5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, 0, 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, 7, 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, 14, 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, 5, 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, 12, 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, 3, 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, 10, 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, 1, 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, 8, 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, 15, 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, 6, 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, 13, 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, 4, 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, 11, 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, 2, 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, 9, 0xeb86d391, 21);
#undef X

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

void CMD5Digest::Encode(unsigned char* output, const uint32_t* input, size_t length)
{
    for (size_t i = 0, j = 0; j < length; i++, j += 4) {
        output[j] = static_cast<unsigned char>(input[i] & 0xff);
        output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xff);
        output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xff);
        output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xff);
    }
}

void CMD5Digest::Decode(uint32_t* output, const unsigned char* input, size_t length)
{
    for (size_t i = 0, j = 0; j < length; i++, j += 4)
        output[i] = static_cast<uint32_t>(input[j]) | (static_cast<uint32_t>(input[j + 1]) << 8) |
                    (static_cast<uint32_t>(input[j + 2]) << 16) | (static_cast<uint32_t>(input[j + 3]) << 24);
}

void CMD5Digest::MD5_memcpy(void* output, const void* input, size_t length)
{
    if (length != 0)
        std::memcpy(output, input, length);
}

void CMD5Digest::MD5_memset(void* output, int value, size_t length)
{
    // volatile so the wipe at the end of Final is not optimised away.
    auto* p = static_cast<volatile unsigned char*>(output);
    for (size_t i = 0; i < length; i++)
        p[i] = static_cast<unsigned char>(value);
}
