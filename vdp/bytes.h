// Byte-wise helpers shared by the sprite evaluation and the renderer: VRAM
// words read in the console's byte order, and eight bytes worked on at once
// in one 64-bit word.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The bytes at `bytes` as one word, byte k in bits 8k to 8k + 7.
template <typename Word>
Word little_endian(const uint8_t* bytes)
{
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        static_assert(sizeof word == 2 || sizeof word == 8);
        if constexpr (sizeof word == 2)
            word = __builtin_bswap16(word);
        else
            word = __builtin_bswap64(word);
    }
    return word;
}

constexpr uint64_t BYTES = 0x0101010101010101;  // times a byte: eight copies
constexpr uint64_t BYTE_TOPS = 0x8080808080808080;

// Each byte of a less the same byte of b, modulo 256, with no borrow from
// one byte into the next.
inline uint64_t bytewise_difference(uint64_t a, uint64_t b)
{
    return ((a | BYTE_TOPS) - (b & ~BYTE_TOPS)) ^ ((a ^ ~b) & BYTE_TOPS);
}

// Bit 7 of each byte that is zero, nothing else.
inline uint64_t zero_bytes(uint64_t v)
{
    constexpr uint64_t LOW_BITS = ~BYTE_TOPS;
    return ~(((v & LOW_BITS) + LOW_BITS) | v | LOW_BITS);
}
