#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ZandrelExport.h"

// MD5 message digest (RFC 1321). For one buffer call MD5String; for data
// that arrives in pieces (files, downloads) call Init, Update as often as
// needed, then Final.
class ZANDREL_API CMD5Digest {
public:
    CMD5Digest();

    // Digest of `length` bytes of `data`; a length of -1 digests up to the
    // first NUL byte. Writes the 16 digest bytes and a NUL into `digest`,
    // which must hold 17 bytes.
    static void MD5String(unsigned char* digest, const void* data, long length);

    // Starts a new digest.
    void Init();
    // Adds `length` bytes of `data`.
    void Update(const void* data, size_t length);
    // Writes the 16 digest bytes and wipes the state; call Init to reuse.
    void Final(unsigned char* digest);

protected:
    // One 64-byte block into the chaining values.
    static void MD5Transform(uint32_t state[4], const unsigned char block[64]);
    // 32-bit words to and from little-endian bytes; `length` is in bytes and
    // a multiple of 4.
    static void Encode(unsigned char* output, const uint32_t* input, size_t length);
    static void Decode(uint32_t* output, const unsigned char* input, size_t length);
    static void MD5_memcpy(void* output, const void* input, size_t length);
    static void MD5_memset(void* output, int value, size_t length);

private:
    // Whole blocks straight from the caller's memory, the hot path.
    static void TransformBlocks(uint32_t state[4], const unsigned char* data, size_t blocks);

    uint32_t m_state[4];
    uint32_t m_count[2];  // bit count modulo 2^64, low word first
    unsigned char m_buffer[64];
};
