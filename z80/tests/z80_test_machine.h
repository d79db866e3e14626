// A bare test machine for the core: 64 KB of RAM mapped for fetch, read and
// write, port handlers that log every access, and helpers to place code.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "z80/z80.h"

struct PortAccess {
    int port;
    int value;  // -1 for a read
};

struct TestMachine {
    uint8_t ram[0x10000];
    std::vector<PortAccess> ports;
    int port_in_value;
};

inline TestMachine test_machine;

inline int test_port_in(int port)
{
    test_machine.ports.push_back({port, -1});
    return test_machine.port_in_value;
}

inline void test_port_out(int port, int value)
{
    test_machine.ports.push_back({port, value});
}

class Z80Test : public ::testing::Test {
protected:
    static constexpr uint32_t CODE = 0x1000;
    static constexpr uint32_t STACK = 0x8000;

    void SetUp() override
    {
        std::memset(test_machine.ram, 0, sizeof test_machine.ram);
        test_machine.ports.clear();
        test_machine.port_in_value = 0xFF;
        Z80_BeginMemoryMap();
        Z80_MapFetch(0x0000, 0xFFFF, test_machine.ram);
        Z80_MapReadDirect(0x0000, 0xFFFF, test_machine.ram);
        Z80_MapWriteDirect(0x0000, 0xFFFF, test_machine.ram);
        Z80_EndMemoryMap();
        Z80_SetPortInHandler(test_port_in);
        Z80_SetPortOutHandler(test_port_out);
        Z80_Reset();
        Z80_SetRegister(Z80_REG_PC, CODE);
        Z80_SetRegister(Z80_REG_SP, STACK);
    }

    static uint8_t* ram()
    {
        return test_machine.ram;
    }

    // Places bytes at address; returns the address after them.
    static uint32_t poke(uint32_t address, std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            test_machine.ram[address++ & 0xFFFF] = b;
        return address;
    }

    static void code(std::initializer_list<uint8_t> bytes)
    {
        poke(CODE, bytes);
    }

    static uint32_t reg(Z80Register index)
    {
        return Z80_GetRegister(index);
    }
    static void set(Z80Register index, uint32_t value)
    {
        Z80_SetRegister(index, value);
    }
    static uint32_t a()
    {
        return reg(Z80_REG_AF) >> 8;
    }
    static uint32_t f()
    {
        return reg(Z80_REG_AF) & 0xFF;
    }
    static uint32_t pc()
    {
        return reg(Z80_REG_PC);
    }
    // F as the program sees it, bits 3 and 5 from the XY byte.
    static uint32_t full_f()
    {
        return (f() & 0xD7) | (z80.xy & 0x28);
    }
};
