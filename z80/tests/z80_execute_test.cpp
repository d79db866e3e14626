// Instruction execution: cycle counts, the budget rule for block repeats,
// the DD/FD fall-back, flags the core defines, R and the port numbers.
#include <bit>
#include <set>
#include <string>
#include <vector>

#include "z80/tests/z80_test_machine.h"

namespace {

constexpr uint32_t C = 0x01, N = 0x02, PV = 0x04, X3 = 0x08, H = 0x10, X5 = 0x20, Z = 0x40, S = 0x80;

using ExecuteTest = Z80Test;

struct CycleCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int cycles;
    uint8_t f = 0;
    uint16_t bc = 0x0101;
};

// Published T-states, prefixes included; the operands point at 0x4000.
const CycleCase cycle_cases[] = {
    {"NOP", {0x00}, 4},
    {"LD BC,nn", {0x01, 0, 0}, 10},
    {"LD (BC),A", {0x02}, 7},
    {"INC BC", {0x03}, 6},
    {"INC B", {0x04}, 4},
    {"LD B,n", {0x06, 0}, 7},
    {"RLCA", {0x07}, 4},
    {"EX AF,AF'", {0x08}, 4},
    {"ADD HL,BC", {0x09}, 11},
    {"LD A,(DE)", {0x1A}, 7},
    {"DJNZ, B becomes 0", {0x10, 0}, 8, 0, 0x0100},
    {"DJNZ taken", {0x10, 0}, 13, 0, 0x0200},
    {"JR", {0x18, 0}, 12},
    {"JR NZ taken", {0x20, 0}, 12},
    {"JR NZ not taken", {0x20, 0}, 7, Z},
    {"JR C taken", {0x38, 0}, 12, C},
    {"LD (nn),HL", {0x22, 0, 0x40}, 16},
    {"LD HL,(nn)", {0x2A, 0, 0x40}, 16},
    {"LD (nn),A", {0x32, 0, 0x40}, 13},
    {"LD A,(nn)", {0x3A, 0, 0x40}, 13},
    {"INC (HL)", {0x34}, 11},
    {"DEC (HL)", {0x35}, 11},
    {"LD (HL),n", {0x36, 0}, 10},
    {"DAA", {0x27}, 4},
    {"CPL", {0x2F}, 4},
    {"SCF", {0x37}, 4},
    {"CCF", {0x3F}, 4},
    {"LD B,C", {0x41}, 4},
    {"LD B,(HL)", {0x46}, 7},
    {"LD (HL),B", {0x70}, 7},
    {"ADD A,B", {0x80}, 4},
    {"SUB (HL)", {0x96}, 7},
    {"CP n", {0xFE, 0}, 7},
    {"RET NZ not taken", {0xC0}, 5, Z},
    {"RET NZ taken", {0xC0}, 11},
    {"RET M taken", {0xF8}, 11, S},
    {"POP BC", {0xC1}, 10},
    {"POP AF", {0xF1}, 10},
    {"JP NZ taken", {0xC2, 0, 0}, 10},
    {"JP Z not taken", {0xCA, 0, 0}, 10},
    {"JP PE taken", {0xEA, 0, 0}, 10, PV},
    {"JP nn", {0xC3, 0, 0}, 10},
    {"CALL NZ taken", {0xC4, 0, 0}, 17},
    {"CALL NZ not taken", {0xC4, 0, 0}, 10, Z},
    {"PUSH BC", {0xC5}, 11},
    {"PUSH AF", {0xF5}, 11},
    {"ADD A,n", {0xC6, 0}, 7},
    {"RST 0", {0xC7}, 11},
    {"RET", {0xC9}, 10},
    {"CALL nn", {0xCD, 0, 0}, 17},
    {"OUT (n),A", {0xD3, 0}, 11},
    {"EXX", {0xD9}, 4},
    {"IN A,(n)", {0xDB, 0}, 11},
    {"EX (SP),HL", {0xE3}, 19},
    {"JP (HL)", {0xE9}, 4},
    {"EX DE,HL", {0xEB}, 4},
    {"DI", {0xF3}, 4},
    {"LD SP,HL", {0xF9}, 6},
    {"EI, and the NOP it always runs before stopping", {0xFB}, 4 + 4},

    {"RLC B", {0xCB, 0x00}, 8},
    {"RLC (HL)", {0xCB, 0x06}, 15},
    {"SLL A", {0xCB, 0x37}, 8},
    {"SLL (HL)", {0xCB, 0x36}, 15},
    {"BIT 0,B", {0xCB, 0x40}, 8},
    {"BIT 7,(HL)", {0xCB, 0x7E}, 12},
    {"RES 0,(HL)", {0xCB, 0x86}, 15},
    {"SET 7,A", {0xCB, 0xFF}, 8},

    {"IN B,(C)", {0xED, 0x40}, 12},
    {"OUT (C),B", {0xED, 0x41}, 12},
    {"SBC HL,BC", {0xED, 0x42}, 15},
    {"ADC HL,SP", {0xED, 0x7A}, 15},
    {"LD (nn),BC", {0xED, 0x43, 0, 0x40}, 20},
    {"LD BC,(nn)", {0xED, 0x4B, 0, 0x40}, 20},
    {"LD (nn),HL, ED form", {0xED, 0x63, 0, 0x40}, 20},
    {"LD HL,(nn), ED form", {0xED, 0x6B, 0, 0x40}, 20},
    {"LD (nn),SP", {0xED, 0x73, 0, 0x40}, 20},
    {"NEG", {0xED, 0x44}, 8},
    {"NEG copy", {0xED, 0x4C}, 8},
    {"RETN", {0xED, 0x45}, 14},
    {"RETN copy", {0xED, 0x7D}, 14},
    {"RETI", {0xED, 0x4D}, 14},
    {"IM 0", {0xED, 0x46}, 8},
    {"IM copy", {0xED, 0x6E}, 8},
    {"LD I,A", {0xED, 0x47}, 9},
    {"LD R,A", {0xED, 0x4F}, 9},
    {"LD A,I", {0xED, 0x57}, 9},
    {"LD A,R", {0xED, 0x5F}, 9},
    {"RRD", {0xED, 0x67}, 18},
    {"RLD", {0xED, 0x6F}, 18},
    {"IN (C)", {0xED, 0x70}, 12},
    {"OUT (C),0", {0xED, 0x71}, 12},
    {"LDI", {0xED, 0xA0}, 16},
    {"CPI", {0xED, 0xA1}, 16},
    {"INI", {0xED, 0xA2}, 16},
    {"OUTI", {0xED, 0xA3}, 16},
    {"LDD", {0xED, 0xA8}, 16},
    {"CPD", {0xED, 0xA9}, 16},
    {"IND", {0xED, 0xAA}, 16},
    {"OUTD", {0xED, 0xAB}, 16},
    {"LDIR, last step", {0xED, 0xB0}, 16, 0, 0x0001},
    {"CPDR, last step", {0xED, 0xB9}, 16, 0, 0x0001},
    {"INIR, last step", {0xED, 0xB2}, 16, 0, 0x0100},
    {"OTDR, last step", {0xED, 0xBB}, 16, 0, 0x0100},
    {"undefined ED 00", {0xED, 0x00}, 8},
    {"undefined ED 77", {0xED, 0x77}, 8},
    {"undefined ED 80", {0xED, 0x80}, 8},
    {"undefined ED FF", {0xED, 0xFF}, 8},

    {"LD IX,nn", {0xDD, 0x21, 0, 0}, 14},
    {"ADD IX,BC", {0xDD, 0x09}, 15},
    {"ADD IY,SP", {0xFD, 0x39}, 15},
    {"LD (nn),IX", {0xDD, 0x22, 0, 0x40}, 20},
    {"LD IY,(nn)", {0xFD, 0x2A, 0, 0x40}, 20},
    {"INC IX", {0xDD, 0x23}, 10},
    {"DEC IY", {0xFD, 0x2B}, 10},
    {"INC IXH", {0xDD, 0x24}, 8},
    {"DEC IYL", {0xFD, 0x2D}, 8},
    {"LD IXH,n", {0xDD, 0x26, 0}, 11},
    {"INC (IX+d)", {0xDD, 0x34, 1}, 23},
    {"DEC (IY+d)", {0xFD, 0x35, 1}, 23},
    {"LD (IX+d),n", {0xDD, 0x36, 1, 0}, 19},
    {"LD B,(IX+d)", {0xDD, 0x46, 1}, 19},
    {"LD (IY+d),L", {0xFD, 0x75, 1}, 19},
    {"LD B,IXH", {0xDD, 0x44}, 8},
    {"LD IYL,A", {0xFD, 0x6F}, 8},
    {"ADD A,(IX+d)", {0xDD, 0x86, 1}, 19},
    {"CP IYH", {0xFD, 0xBC}, 8},
    {"POP IX", {0xDD, 0xE1}, 14},
    {"PUSH IY", {0xFD, 0xE5}, 15},
    {"EX (SP),IX", {0xDD, 0xE3}, 23},
    {"JP (IX)", {0xDD, 0xE9}, 8},
    {"LD SP,IY", {0xFD, 0xF9}, 10},
    {"RLC (IX+d)", {0xDD, 0xCB, 1, 0x06}, 23},
    {"SLL (IY+d) and copy to B", {0xFD, 0xCB, 1, 0x30}, 23},
    {"BIT 0,(IX+d)", {0xDD, 0xCB, 1, 0x46}, 20},
    {"BIT 7,(IY+d), low bits 1", {0xFD, 0xCB, 1, 0x79}, 20},
    {"RES 0,(IX+d)", {0xDD, 0xCB, 1, 0x86}, 23},
    {"SET 7,(IX+d) and copy to A", {0xDD, 0xCB, 1, 0xFF}, 23},
};

TEST_F(ExecuteTest, CycleCounts)
{
    for (const CycleCase& c : cycle_cases) {
        SetUp();
        for (size_t i = 0; i < c.bytes.size(); ++i)
            ram()[CODE + i] = c.bytes[i];
        set(Z80_REG_AF, c.f);
        set(Z80_REG_BC, c.bc);
        set(Z80_REG_DE, 0x4000);
        set(Z80_REG_HL, 0x4000);
        set(Z80_REG_IX, 0x4000);
        set(Z80_REG_IY, 0x4000);
        EXPECT_EQ(Z80_Execute(1), c.cycles) << c.name;
    }
}

TEST_F(ExecuteTest, NegativeBudgetStillRunsOnlyOneInstruction)
{
    code({0x00, 0x00, 0x00});
    EXPECT_EQ(Z80_Execute(-8), 4);
    EXPECT_EQ(pc(), CODE + 1);
}

// ---- DD and FD ----

// The opcodes that have an IX/IY form (besides CB).
const std::set<int> indexed_forms = {0x09, 0x19, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E,
    0x34, 0x35, 0x36, 0x39, 0x44, 0x45, 0x46, 0x4C, 0x4D, 0x4E, 0x54, 0x55, 0x56, 0x5C, 0x5D, 0x5E, 0x60, 0x61, 0x62,
    0x63, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x77, 0x7C,
    0x7D, 0x7E, 0x84, 0x85, 0x86, 0x8C, 0x8D, 0x8E, 0x94, 0x95, 0x96, 0x9C, 0x9D, 0x9E, 0xA4, 0xA5, 0xA6, 0xAC, 0xAD,
    0xAE, 0xB4, 0xB5, 0xB6, 0xBC, 0xBD, 0xBE, 0xE1, 0xE3, 0xE5, 0xE9, 0xF9};

TEST_F(ExecuteTest, PrefixWithoutIndexedFormCostsFourAndStopsAtTheBudget)
{
    for (uint8_t prefix : {0xDD, 0xFD}) {
        for (int op = 0; op < 256; ++op) {
            if (op == 0xCB)
                continue;
            SetUp();
            code({prefix, uint8_t(op), 0, 0, 0});
            const int32_t cycles = Z80_Execute(0);
            const bool prefix_only = cycles == 4 && pc() == CODE + 1;
            EXPECT_EQ(prefix_only, !indexed_forms.count(op)) << std::hex << int(prefix) << " " << op;
        }
    }
}

TEST_F(ExecuteTest, PrefixFallBackRunsThePlainInstruction)
{
    code({0xDD, 0x00});
    EXPECT_EQ(Z80_Execute(5), 8);
    EXPECT_EQ(pc(), CODE + 2);

    SetUp();
    code({0xDD, 0xDD, 0x21, 0x34, 0x12});
    EXPECT_EQ(Z80_Execute(5), 18);
    EXPECT_EQ(reg(Z80_REG_IX), 0x1234u);

    SetUp();
    code({0xDD, 0xFD, 0x21, 0x34, 0x12});  // the last prefix decides
    EXPECT_EQ(Z80_Execute(5), 18);
    EXPECT_EQ(reg(Z80_REG_IY), 0x1234u);
    EXPECT_EQ(reg(Z80_REG_IX), 0xFFFFu);

    SetUp();
    set(Z80_REG_HL, 0x1111);
    code({0xFD, 0xEB});  // EX DE,HL has no IY form
    EXPECT_EQ(Z80_Execute(5), 8);
    EXPECT_EQ(reg(Z80_REG_DE), 0x1111u);
    EXPECT_EQ(reg(Z80_REG_IY), 0xFFFFu);
}

TEST_F(ExecuteTest, IndexHalvesAndHlInIndexedForms)
{
    set(Z80_REG_HL, 0xABCD);
    set(Z80_REG_IX, 0x4000);
    poke(0x4002, {0x77});
    code({0xDD, 0x26, 0x12,  // LD IXH,0x12
        0xDD, 0x2C,  // INC IXL
        0xDD, 0x7C,  // LD A,IXH
        0xDD, 0x65,  // LD IXH,IXL
        0xFD, 0x21, 0x00, 0x40,  // LD IY,0x4000
        0xFD, 0x66, 0x02,  // LD H,(IY+2): the real H
        0xFD, 0x75, 0x03});  // LD (IY+3),L
    Z80_Execute(11 + 8 + 8 + 8 + 14 + 19 + 19);
    EXPECT_EQ(reg(Z80_REG_IX), 0x0101u);
    EXPECT_EQ(a(), 0x12u);
    EXPECT_EQ(reg(Z80_REG_HL), 0x77CDu);
    EXPECT_EQ(ram()[0x4003], 0xCD);
}

TEST_F(ExecuteTest, IndexedBitOperationsCopyTheResultIntoARegister)
{
    set(Z80_REG_IX, 0x4000);
    poke(0x4005, {0x81});
    code({0xDD, 0xCB, 0x05, 0x00});  // RLC (IX+5) and copy to B
    EXPECT_EQ(Z80_Execute(1), 23);
    EXPECT_EQ(ram()[0x4005], 0x03);
    EXPECT_EQ(reg(Z80_REG_BC) >> 8, 0x03u);
    EXPECT_EQ(f() & C, C);

    SetUp();
    set(Z80_REG_IY, 0x4010);
    poke(0x400E, {0x00});
    code({0xFD, 0xCB, 0xFE, 0xFF});  // SET 7,(IY-2) and copy to A
    Z80_Execute(1);
    EXPECT_EQ(ram()[0x400E], 0x80);
    EXPECT_EQ(a(), 0x80u);
}

// ---- Block repeats ----

TEST_F(ExecuteTest, LdirStopsAtTheBudgetAndResumes)
{
    for (int i = 0; i < 10; ++i)
        ram()[0x4000 + i] = uint8_t(i + 1);
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_DE, 0x5000);
    set(Z80_REG_BC, 10);
    code({0xED, 0xB0});
    EXPECT_EQ(Z80_Execute(50), 63);  // three steps of 21
    EXPECT_EQ(pc(), CODE);
    EXPECT_EQ(reg(Z80_REG_BC), 7u);
    EXPECT_EQ(reg(Z80_REG_HL), 0x4003u);
    EXPECT_EQ(reg(Z80_REG_DE), 0x5003u);
    EXPECT_EQ(f() & PV, PV);
    EXPECT_EQ(ram()[0x5002], 3);
    EXPECT_EQ(ram()[0x5003], 0);

    EXPECT_EQ(Z80_Execute(6 * 21 + 16), 6 * 21 + 16);
    EXPECT_EQ(pc(), CODE + 2);
    EXPECT_EQ(reg(Z80_REG_BC), 0u);
    EXPECT_EQ(f() & PV, 0u);
    EXPECT_EQ(ram()[0x5009], 10);
}

TEST_F(ExecuteTest, LdirOfOneByte)
{
    ram()[0x4000] = 0x5A;
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_DE, 0x5000);
    set(Z80_REG_BC, 1);
    set(Z80_REG_AF, 0x00FF);
    code({0xED, 0xB0});
    EXPECT_EQ(Z80_Execute(1), 16);
    EXPECT_EQ(ram()[0x5000], 0x5A);
    EXPECT_EQ(f() & (PV | H | N), 0u);
    EXPECT_EQ(f() & (S | Z | C), S | Z | C);  // untouched
}

TEST_F(ExecuteTest, CpirStopsOnAMatchOrAtTheBudget)
{
    poke(0x4000, {0x11, 0x22, 0x33, 0x44});
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_BC, 10);
    set(Z80_REG_AF, 0x3300);
    code({0xED, 0xB1});
    EXPECT_EQ(Z80_Execute(21 + 21 + 16), 58);
    EXPECT_EQ(pc(), CODE + 2);
    EXPECT_EQ(f() & (Z | PV | N), Z | PV | N);
    EXPECT_EQ(reg(Z80_REG_BC), 7u);
    EXPECT_EQ(reg(Z80_REG_HL), 0x4003u);

    SetUp();
    poke(0x4000, {0x11, 0x22, 0x33, 0x44});
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_BC, 10);
    set(Z80_REG_AF, 0x3300);
    code({0xED, 0xB1});
    EXPECT_EQ(Z80_Execute(30), 42);
    EXPECT_EQ(pc(), CODE);
    EXPECT_EQ(f() & (Z | PV), PV);
    EXPECT_EQ(Z80_Execute(16), 16);
    EXPECT_EQ(f() & Z, Z);
}

TEST_F(ExecuteTest, OtirFlagsWhenStoppedAndWhenDone)
{
    poke(0x4000, {0x90, 0x90, 0x90});
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_BC, 0x037F);
    code({0xED, 0xB3});
    EXPECT_EQ(Z80_Execute(30), 42);
    EXPECT_EQ(pc(), CODE);
    // Stopped with B = 1: S from B, Z and P/V clear; N from bit 7 of the
    // byte, H and C from 0x90 + 0x80 > 0xFF; bits 3 and 5 from B.
    EXPECT_EQ(full_f(), uint32_t(N | H | C));
    EXPECT_EQ(Z80_Execute(1), 16);
    EXPECT_EQ(full_f(), uint32_t(Z | PV | N | H | C));
    ASSERT_EQ(test_machine.ports.size(), 3u);
    for (const PortAccess& access : test_machine.ports) {
        EXPECT_EQ(access.port, 0x007F);
        EXPECT_EQ(access.value, 0x90);
    }
}

TEST_F(ExecuteTest, BlockInputCarryUsesCPlusOneOrCMinusOneForInd)
{
    test_machine.port_in_value = 0x01;
    set(Z80_REG_HL, 0x4000);
    set(Z80_REG_BC, 0x0500);
    code({0xED, 0xAA});  // IND: k = 1 + 0xFF
    Z80_Execute(1);
    EXPECT_EQ(f() & (H | C), H | C);
    SetUp();
    test_machine.port_in_value = 0x01;
    set(Z80_REG_BC, 0x05FF);
    code({0xED, 0xA2});  // INI: k = 1 + 0x00
    Z80_Execute(1);
    EXPECT_EQ(f() & (H | C), 0u);
    EXPECT_EQ(reg(Z80_REG_BC), 0x04FFu);
}

// ---- Ports ----

TEST_F(ExecuteTest, PortNumbersOfEachInputOutputForm)
{
    set(Z80_REG_AF, 0x1200);
    set(Z80_REG_BC, 0x01CD);
    set(Z80_REG_HL, 0x4000);
    code({0xD3, 0x7F,  // OUT (0x7F),A
        0xDB, 0xFE,  // IN A,(0xFE) with A = 0x12
        0xED, 0x50,  // IN D,(C)
        0xED, 0x59,  // OUT (C),E
        0xED, 0x70,  // IN (C)
        0xED, 0x71,  // OUT (C),0
        0xED, 0xA2,  // INI
        0xED, 0x41});  // OUT (C),B with B = 0
    Z80_Execute(11 + 11 + 12 * 4 + 16 + 12);
    const std::vector<std::pair<int, int>> expected = {
        {0x127F, 0x12}, {0x12FE, -1}, {0x01CD, -1}, {0x01CD, 0}, {0x01CD, -1}, {0x01CD, 0}, {0x00CD, -1}, {0x00CD, 0}};
    ASSERT_EQ(test_machine.ports.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(test_machine.ports[i].port, expected[i].first) << i;
        EXPECT_EQ(test_machine.ports[i].value, expected[i].second) << i;
    }

    for (uint8_t op : {0xA3, 0xAA, 0xAB, 0xB2, 0xB3, 0xBA, 0xBB}) {
        SetUp();
        set(Z80_REG_BC, 0x01CD);
        code({0xED, op});
        Z80_Execute(1);
        ASSERT_EQ(test_machine.ports.size(), 1u);
        EXPECT_EQ(test_machine.ports[0].port, 0x00CD) << std::hex << int(op);
    }
}

// ---- Flags the core defines ----

TEST_F(ExecuteTest, EightBitArithmeticAndLogicFlags)
{
    const struct {
        uint8_t opcode, a, operand;
        bool carry;
        uint8_t result;
        uint32_t flags;
    } cases[] = {
        {0xC6, 0x0F, 0x01, false, 0x10, H},  // ADD: half carry
        {0xC6, 0x7F, 0x01, false, 0x80, S | H | PV},  // ADD: overflow
        {0xCE, 0xFF, 0x00, true, 0x00, Z | H | C},  // ADC: the carry in carries out
        {0xD6, 0x10, 0x01, false, 0x0F, H | X3 | N},  // SUB: half borrow
        {0xDE, 0x80, 0x00, true, 0x7F, X5 | H | X3 | PV | N},  // SBC: the carry in overflows
        {0xE6, 0xF0, 0x3C, false, 0x30, X5 | H | PV},  // AND: H always, parity
        {0xE6, 0x01, 0x02, true, 0x00, Z | H | PV},  // AND: carry cleared
        {0xEE, 0xFF, 0x0F, true, 0xF0, S | X5 | PV},  // XOR: H and carry cleared
        {0xF6, 0x01, 0x02, true, 0x03, PV},  // OR
        {0xFE, 0x28, 0x30, false, 0x28, S | X5 | N | C},  // CP: bits 3 and 5 of the operand
        {0xFE, 0x30, 0x30, true, 0x30, Z | X5 | N},  // CP: equal
    };
    for (const auto& c : cases) {
        SetUp();
        set(Z80_REG_AF, uint32_t(c.a) << 8 | (c.carry ? C : 0));
        code({c.opcode, c.operand});
        Z80_Execute(1);
        EXPECT_EQ(a(), c.result) << std::hex << int(c.opcode) << " " << int(c.a) << " " << int(c.operand);
        EXPECT_EQ(full_f(), c.flags) << std::hex << int(c.opcode) << " " << int(c.a) << " " << int(c.operand);
    }
}

TEST_F(ExecuteTest, BitSetsFlagsButLeavesBitsThreeAndFive)
{
    set(Z80_REG_AF, 0x8000);
    z80.xy = 0x28;
    code({0xCB, 0x7F});  // BIT 7,A
    Z80_Execute(1);
    EXPECT_EQ(full_f(), uint32_t(S | H | X5 | X3));
    SetUp();
    set(Z80_REG_AF, 0x0001);
    z80.xy = 0;
    code({0xCB, 0x47});  // BIT 0,A on 0
    Z80_Execute(1);
    EXPECT_EQ(full_f(), uint32_t(Z | PV | H | C));
}

TEST_F(ExecuteTest, PushAfShowsTheXyByte)
{
    set(Z80_REG_AF, 0x2800);
    code({0x37, 0xF5});  // SCF; PUSH AF
    Z80_Execute(15);
    EXPECT_EQ(ram()[STACK - 2], C | X5 | X3);
    EXPECT_EQ(z80.xy & 0x28, 0x28);

    SetUp();
    code({0xFE, 0x28, 0xF5});  // CP 0x28 with A = 0; PUSH AF
    Z80_Execute(18);
    EXPECT_EQ(ram()[STACK - 2] & 0x28, 0x28);
    EXPECT_EQ(ram()[STACK - 2] & (S | N | C | H), S | N | C | H);
}

TEST_F(ExecuteTest, ExAfKeepsTheCompleteFlags)
{
    code({0xFE, 0x28, 0x08, 0x08});  // CP 0x28; EX AF,AF'; EX AF,AF'
    Z80_Execute(11);
    EXPECT_EQ(reg(Z80_REG_AF2) & 0x28, 0x28u);
    EXPECT_EQ(z80.xy & 0x28, 0x00);
    Z80_Execute(1);
    EXPECT_EQ(z80.xy & 0x28, 0x28);
}

TEST_F(ExecuteTest, DaaAfterAddition)
{
    code({0x3E, 0x15, 0xC6, 0x27, 0x27});  // LD A,0x15; ADD A,0x27; DAA
    Z80_Execute(18);
    EXPECT_EQ(a(), 0x42u);
    EXPECT_EQ(f() & (H | C | N), H);
    SetUp();
    code({0x3E, 0x15, 0xD6, 0x27, 0x27});  // LD A,0x15; SUB 0x27; DAA: 15 - 27 = 88 borrow 1
    Z80_Execute(18);
    EXPECT_EQ(a(), 0x88u);
    EXPECT_EQ(f() & (C | N), C | N);
}

TEST_F(ExecuteTest, SixteenBitArithmeticFlags)
{
    set(Z80_REG_AF, 0);
    set(Z80_REG_HL, 0x0FFF);
    set(Z80_REG_BC, 0x2801);
    code({0x09});  // ADD HL,BC = 0x3800: H from bit 11, bits 3 and 5 from the high byte
    Z80_Execute(1);
    EXPECT_EQ(reg(Z80_REG_HL), 0x3800u);
    EXPECT_EQ(full_f(), uint32_t(H | X5 | X3));

    SetUp();
    set(Z80_REG_HL, 0x8000);
    set(Z80_REG_DE, 0x0001);
    code({0xED, 0x52});  // SBC HL,DE = 0x7FFF: overflow
    Z80_Execute(1);
    EXPECT_EQ(reg(Z80_REG_HL), 0x7FFFu);
    EXPECT_EQ(full_f(), uint32_t(PV | N | H | X5 | X3));
}

TEST_F(ExecuteTest, RComesFromTheRemainingCycles)
{
    set(Z80_REG_IR, 0x0080);
    code({0xED, 0x5F});  // LD A,R with 100 cycles left
    Z80_Execute(100);
    EXPECT_EQ(a(), 0x80u | 0x66u);
    EXPECT_EQ(reg(Z80_REG_IR) & 0xFF, 0xE6u);

    SetUp();
    code({0x3E, 0x3F, 0xED, 0x4F, 0x00, 0xED, 0x5F});  // LD A,0x3F; LD R,A; NOP; LD A,R
    Z80_Execute(7 + 9 + 4 + 1);  // LD A,R with 1 cycle left
    EXPECT_EQ(a(), ((~uint32_t(1)) >> 2) & 0x7F);
}

TEST_F(ExecuteTest, InterruptModeDecoding)
{
    const std::pair<uint8_t, int> modes[]
        = {{0x46, 0}, {0x66, 0}, {0x56, 1}, {0x76, 1}, {0x4E, 1}, {0x6E, 1}, {0x5E, 2}, {0x7E, 2}};
    for (const auto& [op, mode] : modes) {
        SetUp();
        set(Z80_REG_IM, 3);
        code({0xED, op});
        Z80_Execute(1);
        EXPECT_EQ(reg(Z80_REG_IM), uint32_t(mode)) << std::hex << int(op);
    }
}

// ---- Input, output and the digit rotates ----

// Even parity, counted here rather than taken from the core's tables.
uint32_t parity_flag(uint32_t value)
{
    return std::popcount(value & 0xFF) % 2 == 0 ? PV : 0;
}

// S, Z, bits 5 and 3 and P/V of a byte, as IN r,(C), RLD and RRD set them.
uint32_t sz53p(uint32_t value)
{
    return (value & (S | X5 | X3)) | (value == 0 ? Z : 0) | parity_flag(value);
}

// A game reads its pads, the counters and the VDP status through IN r,(C)
// and tests the result by the flags: S, Z and P/V from the byte read, H and
// N cleared, C kept, bits 3 and 5 from the byte. IN (C) (ED 70) sets the
// flags alone.
TEST_F(ExecuteTest, InputThroughCSetsTheRegisterAndTheFlags)
{
    const Z80Register pairs[] = {Z80_REG_BC, Z80_REG_DE, Z80_REG_HL};
    for (int y = 0; y < 8; ++y) {
        for (uint8_t value : {0x00, 0x80, 0x28, 0x01, 0x03, 0xFF, 0x7F, 0xD6}) {
            for (uint32_t flags_before : {0xFFu, 0x00u, 0xD7u & ~C}) {
                SetUp();
                test_machine.port_in_value = value;
                set(Z80_REG_AF, 0xA500 | flags_before);
                z80.xy = uint8_t(~value & 0x28);
                set(Z80_REG_BC, 0x1234);
                set(Z80_REG_DE, 0x5678);
                set(Z80_REG_HL, 0x9ABC);
                code({0xED, uint8_t(0x40 | y << 3)});
                EXPECT_EQ(Z80_Execute(1), 12);

                // B C D E H L - A, by the opcode's y field.
                uint8_t expected[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0xA5};
                if (y != 6)
                    expected[y] = value;
                const std::string what = "IN " + std::to_string(y) + " of " + std::to_string(value) + ", F was "
                    + std::to_string(flags_before);
                for (int p = 0; p < 3; ++p)
                    EXPECT_EQ(reg(pairs[p]), uint32_t(expected[2 * p] << 8 | expected[2 * p + 1])) << what;
                EXPECT_EQ(a(), expected[7]) << what;
                EXPECT_EQ(full_f(), sz53p(value) | (flags_before & C)) << what;
                ASSERT_EQ(test_machine.ports.size(), 1u) << what;
                EXPECT_EQ(test_machine.ports[0].port, 0x1234) << what;
            }
        }
    }
}

// OUT (C),r sends the register its opcode names (0 for ED 71), and neither
// it nor IN A,(n) touches the flags: code that writes to the VDP or reads a
// pad between a compare and its jump relies on both.
TEST_F(ExecuteTest, OutputThroughCSendsItsRegisterAndPortAccessesKeepTheFlags)
{
    for (int y = 0; y < 8; ++y) {
        SetUp();
        set(Z80_REG_AF, 0xA5D7);
        z80.xy = 0x28;
        set(Z80_REG_BC, 0x1234);
        set(Z80_REG_DE, 0x5678);
        set(Z80_REG_HL, 0x9ABC);
        code({0xED, uint8_t(0x41 | y << 3)});
        EXPECT_EQ(Z80_Execute(1), 12);
        const int sent[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0xA5};
        ASSERT_EQ(test_machine.ports.size(), 1u) << y;
        EXPECT_EQ(test_machine.ports[0].port, 0x1234) << y;
        EXPECT_EQ(test_machine.ports[0].value, sent[y]) << y;
        EXPECT_EQ(full_f(), 0xFFu) << y;
    }

    for (uint32_t flags : {0x00u, 0xFFu}) {
        SetUp();
        test_machine.port_in_value = flags ^ 0x80;
        set(Z80_REG_AF, 0x1200 | flags);
        z80.xy = uint8_t(flags & 0x28);
        code({0xDB, 0xDC, 0xD3, 0xBE});  // IN A,(0xDC); OUT (0xBE),A
        EXPECT_EQ(Z80_Execute(22), 22);
        EXPECT_EQ(a(), flags ^ 0x80);
        EXPECT_EQ(full_f(), flags);
    }
}

// One step of INI, IND, OUTI or OUTD as the core defines it: B counts down,
// HL steps, the byte goes between port C and (HL); S, Z, P/V and bits 5 and
// 3 come from the new B, N is bit 7 of the byte, and H and C are set
// together when the byte plus (C + 1) AND 0xFF, or (C - 1) AND 0xFF for
// IND, exceeds 0xFF.
TEST_F(ExecuteTest, BlockInputAndOutputSteps)
{
    const struct {
        uint8_t op;
        uint8_t b, c, value;
        uint32_t flags_before;
        uint8_t new_b;
        uint32_t flags;
    } cases[] = {
        {0xA2, 0x01, 0x7F, 0x80, 0x00, 0x00, Z | PV | N | H | C},  // INI: 0x80 + 0x80
        {0xA2, 0x81, 0xFF, 0x02, 0xFF, 0x80, S},  // INI: 0x02 + 0x00
        {0xA2, 0x2A, 0x00, 0xFF, 0x00, 0x29, X5 | X3 | N | H | C},  // INI: 0xFF + 0x01
        {0xAA, 0x81, 0xFF, 0x02, 0x00, 0x80, S | H | C},  // IND: 0x02 + 0xFE
        {0xAA, 0x04, 0x01, 0xFF, 0xFF, 0x03, PV | N},  // IND: 0xFF + 0x00
        {0xA3, 0x2A, 0x80, 0x7F, 0xFF, 0x29, X5 | X3 | H | C},  // OUTI: 0x7F + 0x81
        {0xA3, 0x01, 0x10, 0x90, 0x00, 0x00, Z | PV | N},  // OUTI: 0x90 + 0x11
        {0xAB, 0x04, 0xFF, 0x02, 0xFF, 0x03, PV},  // OUTD: 0x02 + 0x00, C + 1 as for OUTI
        {0xAB, 0x00, 0x00, 0xFF, 0x00, 0xFF, S | X5 | X3 | PV | N | H | C},  // OUTD: B wraps
    };
    for (const auto& c : cases) {
        SetUp();
        const bool input = (c.op & 1) == 0, decrement = c.op & 0x08;
        const std::string what = std::to_string(c.op) + " B " + std::to_string(c.b) + " C " + std::to_string(c.c);
        set(Z80_REG_AF, 0x5A00 | c.flags_before);
        z80.xy = uint8_t(~c.new_b & 0x28);
        set(Z80_REG_BC, uint32_t(c.b) << 8 | c.c);
        set(Z80_REG_HL, 0x4000);
        test_machine.port_in_value = c.value;
        ram()[0x4000] = input ? 0x33 : c.value;
        code({0xED, c.op});
        EXPECT_EQ(Z80_Execute(1), 16) << what;
        EXPECT_EQ(reg(Z80_REG_BC), uint32_t(c.new_b) << 8 | c.c) << what;
        EXPECT_EQ(reg(Z80_REG_HL), decrement ? 0x3FFFu : 0x4001u) << what;
        EXPECT_EQ(a(), 0x5Au) << what;
        EXPECT_EQ(full_f(), c.flags) << what;
        ASSERT_EQ(test_machine.ports.size(), 1u) << what;
        EXPECT_EQ(test_machine.ports[0].port, int(c.c)) << what;
        EXPECT_EQ(test_machine.ports[0].value, input ? -1 : int(c.value)) << what;
        EXPECT_EQ(ram()[0x4000], c.value) << what;
    }
}

// RLD and RRD move BCD digits between A and (HL): games use them to print
// scores. The low digit of A and the two of (HL) rotate; the high digit of A
// stays; S, Z, P/V and bits 5 and 3 come from the new A, H and N are cleared
// and C is kept.
TEST_F(ExecuteTest, DigitRotatesRldAndRrd)
{
    const struct {
        uint8_t op, a, memory, new_a, new_memory;
    } cases[] = {
        {0x6F, 0x7A, 0x31, 0x73, 0x1A},  // RLD
        {0x6F, 0x05, 0x0A, 0x00, 0xA5},  // RLD: A becomes 0
        {0x6F, 0x28, 0x91, 0x29, 0x18},  // RLD: bits 5 and 3 of the new A, odd parity
        {0x67, 0x84, 0x20, 0x80, 0x42},  // RRD
        {0x67, 0xF0, 0x5F, 0xFF, 0x05},  // RRD: even parity
        {0x67, 0x03, 0x30, 0x00, 0x33},  // RRD: A becomes 0
    };
    for (const auto& c : cases) {
        for (uint32_t flags_before : {0xFFu, 0x00u, 0xFEu}) {
            SetUp();
            const std::string what = std::to_string(c.op) + " A " + std::to_string(c.a) + " (HL) "
                + std::to_string(c.memory) + ", F was " + std::to_string(flags_before);
            set(Z80_REG_AF, uint32_t(c.a) << 8 | flags_before);
            z80.xy = uint8_t(~c.new_a & 0x28);
            set(Z80_REG_HL, 0x4321);
            ram()[0x4321] = c.memory;
            code({0xED, c.op});
            EXPECT_EQ(Z80_Execute(1), 18) << what;
            EXPECT_EQ(a(), c.new_a) << what;
            EXPECT_EQ(ram()[0x4321], c.new_memory) << what;
            EXPECT_EQ(reg(Z80_REG_HL), 0x4321u) << what;
            EXPECT_EQ(full_f(), sz53p(c.new_a) | (flags_before & C)) << what;
        }
    }
}

TEST_F(ExecuteTest, UndefinedEdOpcodesChangeNothing)
{
    set(Z80_REG_AF, 0x12D7);
    set(Z80_REG_BC, 0x3456);
    set(Z80_REG_HL, 0x789A);
    code({0xED, 0x00, 0xED, 0x77, 0xED, 0xC0});
    EXPECT_EQ(Z80_Execute(24), 24);
    EXPECT_EQ(reg(Z80_REG_AF) & 0xFFD7, 0x12D7u);
    EXPECT_EQ(reg(Z80_REG_BC), 0x3456u);
    EXPECT_EQ(reg(Z80_REG_HL), 0x789Au);
    EXPECT_EQ(pc(), CODE + 6);
}

}  // namespace
