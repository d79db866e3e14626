// Z80 flag bits and the precomputed flag tables, built at compile time from
// the rules they encode.
#pragma once

#include <cstdint>

constexpr uint32_t Z80_FLAG_C = 0x01;
constexpr uint32_t Z80_FLAG_N = 0x02;
constexpr uint32_t Z80_FLAG_PV = 0x04;
constexpr uint32_t Z80_FLAG_3 = 0x08;
constexpr uint32_t Z80_FLAG_H = 0x10;
constexpr uint32_t Z80_FLAG_5 = 0x20;
constexpr uint32_t Z80_FLAG_Z = 0x40;
constexpr uint32_t Z80_FLAG_S = 0x80;
constexpr uint32_t Z80_FLAGS_XY = Z80_FLAG_5 | Z80_FLAG_3;

struct Z80FlagTables {
    uint8_t sz53[256];  // S, Z and bits 5 and 3 of a result
    uint8_t sz53p[256];  // the same plus even parity in P/V
    uint8_t inc[256];  // all flags but C of INC, by the old value
    uint8_t dec[256];  // all flags but C of DEC, by the old value
    uint8_t daa[2048][2];  // new A and F, by H * 1024 + N * 512 + C * 256 + A
};

constexpr Z80FlagTables z80_make_flag_tables()
{
    Z80FlagTables t {};
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t sz53 = (v & (Z80_FLAG_S | Z80_FLAGS_XY)) | (v == 0 ? Z80_FLAG_Z : 0);
        uint32_t parity = v;
        parity ^= parity >> 4;
        parity ^= parity >> 2;
        parity ^= parity >> 1;
        t.sz53[v] = uint8_t(sz53);
        t.sz53p[v] = uint8_t(sz53 | ((parity & 1) ? 0 : Z80_FLAG_PV));
    }
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t up = (v + 1) & 0xFF, down = (v - 1) & 0xFF;
        t.inc[v] = uint8_t(t.sz53[up] | ((up & 0x0F) == 0 ? Z80_FLAG_H : 0) | (up == 0x80 ? Z80_FLAG_PV : 0));
        t.dec[v] = uint8_t(
            t.sz53[down] | ((down & 0x0F) == 0x0F ? Z80_FLAG_H : 0) | (down == 0x7F ? Z80_FLAG_PV : 0) | Z80_FLAG_N);
    }
    for (uint32_t index = 0; index < 2048; ++index) {
        const uint32_t a = index & 0xFF;
        const bool carry = index & 0x100, subtract = index & 0x200, half = index & 0x400;
        const uint32_t low = a & 0x0F;
        uint32_t correction = (half || low > 9) ? 0x06 : 0;
        bool new_carry = false;
        if (carry || a > 0x99) {
            correction |= 0x60;
            new_carry = true;
        }
        const uint32_t result = (subtract ? a - correction : a + correction) & 0xFF;
        const bool new_half = subtract ? (half && low < 6) : low > 9;
        t.daa[index][0] = uint8_t(result);
        t.daa[index][1] = uint8_t(
            t.sz53p[result] | (new_half ? Z80_FLAG_H : 0) | (subtract ? Z80_FLAG_N : 0) | (new_carry ? Z80_FLAG_C : 0));
    }
    return t;
}

inline constexpr Z80FlagTables z80_flags = z80_make_flag_tables();
