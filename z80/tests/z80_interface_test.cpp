// The core's interface: memory map, register interface, cycle counters,
// callbacks and interrupts.
#include "z80/tests/z80_test_machine.h"

namespace {

using InterfaceTest = Z80Test;

// ---- Memory map ----

int callback_reads;
int last_callback_address;
int counting_read(int address)
{
    ++callback_reads;
    last_callback_address = address;
    return 0x5A;
}

int last_write_address, last_write_value;
void logging_write(int address, int value)
{
    last_write_address = address;
    last_write_value = value;
}

// LD A,(nn) at 0x1000 and a HALT after it.
uint32_t load_a_from(uint32_t address)
{
    Z80_SetRegister(Z80_REG_PC, 0x1000);
    Z80_SetRegister(Z80_REG_AF, 0);
    test_machine.ram[0x1000] = 0x3A;
    test_machine.ram[0x1001] = address & 0xFF;
    test_machine.ram[0x1002] = address >> 8;
    Z80_Execute(1);
    return Z80_GetRegister(Z80_REG_AF) >> 8;
}

void store_a_to(uint32_t address, uint32_t value)
{
    Z80_SetRegister(Z80_REG_PC, 0x1000);
    Z80_SetRegister(Z80_REG_AF, value << 8);
    test_machine.ram[0x1000] = 0x32;
    test_machine.ram[0x1001] = address & 0xFF;
    test_machine.ram[0x1002] = address >> 8;
    Z80_Execute(1);
}

TEST_F(InterfaceTest, UnmappedPagesReadIdleBusAndDropWrites)
{
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_MapReadDirect(0x0000, 0x7FFF, ram());
    Z80_MapWriteDirect(0x0000, 0x7FFF, ram());
    Z80_EndMemoryMap();
    ram()[0x9000] = 0x12;
    EXPECT_EQ(load_a_from(0x9000), 0xFFu);
    store_a_to(0x9000, 0x34);
    EXPECT_EQ(ram()[0x9000], 0x12);
    EXPECT_EQ(load_a_from(0x7000), 0u);
}

TEST_F(InterfaceTest, DirectMappingsOffsetTheHostPointerAndLastMappingWins)
{
    static uint8_t bank_a[0x4000], bank_b[0x4000];
    bank_a[0x0123] = 0xAA;
    bank_b[0x0123] = 0xBB;
    Z80_MapReadDirect(0x8000, 0xBFFF, bank_a);
    EXPECT_EQ(load_a_from(0x8123), 0xAAu);
    Z80_MapReadDirect(0x8000, 0xBFFF, bank_b);
    EXPECT_EQ(load_a_from(0x8123), 0xBBu);
    // Only the read side moved.
    store_a_to(0x8123, 0x77);
    EXPECT_EQ(ram()[0x8123], 0x77);
    EXPECT_EQ(bank_b[0x0123], 0xBB);
}

TEST_F(InterfaceTest, FetchesUseOnlyTheFetchPages)
{
    static uint8_t code_page[0x100];
    code_page[0] = 0x3E;  // LD A,0x42
    code_page[1] = 0x42;
    Z80_MapFetch(0x1000, 0x10FF, code_page);
    ram()[0x1000] = 0x00;
    ram()[0x1001] = 0x00;
    EXPECT_EQ(Z80_Execute(1), 7);
    EXPECT_EQ(a(), 0x42u);
}

TEST_F(InterfaceTest, PartialPageRangeServesOnlyItsAddresses)
{
    static uint8_t window[0x100];
    window[0] = 0x11;
    window[0xDF] = 0x22;
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_MapReadDirect(0x0000, 0x0FFF, ram());
    Z80_AddReadRange(0x1010, 0x10EF, Z80_RANGE_DIRECT, reinterpret_cast<uintptr_t>(window));
    Z80_AddWriteRange(0x1010, 0x10EF, Z80_RANGE_DIRECT, reinterpret_cast<uintptr_t>(window));
    Z80_EndMemoryMap();
    EXPECT_EQ(load_a_from(0x1010), 0x11u);
    EXPECT_EQ(load_a_from(0x10EF), 0x22u);
    EXPECT_EQ(load_a_from(0x1008), 0xFFu);  // same page, outside the range: the closing entry
    EXPECT_EQ(load_a_from(0x10F0), 0xFFu);
    store_a_to(0x1020, 0x99);
    EXPECT_EQ(window[0x10], 0x99);
}

TEST_F(InterfaceTest, RangeWholePagesAndPartialPagesAgree)
{
    static uint8_t host[0x300];
    for (int i = 0; i < 0x300; ++i)
        host[i] = uint8_t(i * 7);
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_AddReadRange(0x2080, 0x237F, Z80_RANGE_DIRECT, reinterpret_cast<uintptr_t>(host));
    Z80_EndMemoryMap();
    EXPECT_NE(z80.read[0x20].handler, nullptr);  // partial: through the list
    EXPECT_EQ(z80.read[0x21].handler, nullptr);  // whole: direct
    EXPECT_NE(z80.read[0x23].handler, nullptr);
    for (uint32_t address : {0x2080u, 0x20FFu, 0x2100u, 0x21FFu, 0x2280u, 0x237Fu})
        EXPECT_EQ(load_a_from(address), host[address - 0x2080]) << std::hex << address;
}

TEST_F(InterfaceTest, CallbackRangesGetFullAddressesAndEarliestEntryWins)
{
    callback_reads = 0;
    static uint8_t host[0x100];
    host[0x60] = 0x33;
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_AddReadRange(0x3040, 0x305F, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(counting_read));
    Z80_AddReadRange(0x3000, 0x30BF, Z80_RANGE_DIRECT, reinterpret_cast<uintptr_t>(host));
    Z80_AddWriteRange(0x4000, 0x43FF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(logging_write));
    Z80_EndMemoryMap();
    EXPECT_EQ(load_a_from(0x3050), 0x5Au);
    EXPECT_EQ(last_callback_address, 0x3050);
    EXPECT_EQ(load_a_from(0x3060), 0x33u);  // past the callback: the second entry
    EXPECT_EQ(callback_reads, 1);
    store_a_to(0x4321, 0xC4);
    EXPECT_EQ(last_write_address, 0x4321);
    EXPECT_EQ(last_write_value, 0xC4);
}

TEST_F(InterfaceTest, RangesAddedAfterTheClosingEntryWorkOnlyOnWholePages)
{
    static uint8_t host[0x200];
    host[0x10] = 0x44;
    host[0x110] = 0x55;
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_EndMemoryMap();
    Z80_AddReadRange(0x5080, 0x527F, Z80_RANGE_DIRECT, reinterpret_cast<uintptr_t>(host));
    EXPECT_EQ(load_a_from(0x5090), 0xFFu);
    EXPECT_EQ(load_a_from(0x5190), 0x55u);
}

TEST_F(InterfaceTest, RangeListWithoutClosingEntryStillEndsItsSearch)
{
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_AddReadRange(0x6010, 0x601F, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(counting_read));
    EXPECT_EQ(load_a_from(0x6000), 0xFFu);
}

TEST_F(InterfaceTest, BeginMemoryMapResetsHandlers)
{
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_EndMemoryMap();
    code({0xDB, 0x10, 0xD3, 0x10});  // IN A,(0x10); OUT (0x10),A
    Z80_Execute(1);
    EXPECT_EQ(a(), 0xFFu);
    Z80_Execute(1);
    EXPECT_TRUE(test_machine.ports.empty());
}

// ---- Register interface and context ----

TEST_F(InterfaceTest, ResetValues)
{
    Z80_SetRegister(Z80_REG_IM, 2);
    Z80_SetRegister(Z80_REG_IFF1, 1);
    Z80_SetRegister(Z80_REG_IRQ_LINE, 1);
    Z80_Reset();
    EXPECT_EQ(reg(Z80_REG_AF), 0x0040u);
    EXPECT_EQ(reg(Z80_REG_IX), 0xFFFFu);
    EXPECT_EQ(reg(Z80_REG_IY), 0xFFFFu);
    EXPECT_EQ(reg(Z80_REG_PC), 0u);
    EXPECT_EQ(reg(Z80_REG_SP), 0u);
    EXPECT_EQ(reg(Z80_REG_IR), 0u);
    EXPECT_EQ(reg(Z80_REG_IM), 0u);
    EXPECT_EQ(reg(Z80_REG_IFF1), 0u);
    EXPECT_EQ(reg(Z80_REG_IRQ_LINE), 0u);
    EXPECT_EQ(z80.af, 0x4000u);
}

TEST_F(InterfaceTest, RegisterInterfaceLayout)
{
    z80.xy = 0x28;
    set(Z80_REG_AF, 0x12D7);
    EXPECT_EQ(z80.af, 0xD712u);  // A low, F high in the slot
    EXPECT_EQ(reg(Z80_REG_AF), 0x12D7u);
    EXPECT_EQ(z80.xy, 0x28);  // the XY byte is not touched
    set(Z80_REG_AF2, 0x3456);
    EXPECT_EQ(reg(Z80_REG_AF2), 0x3456u);

    set(Z80_REG_IFF1, 1);
    EXPECT_EQ(z80.iff1, 4u);
    EXPECT_EQ(reg(Z80_REG_IFF1), 1u);
    set(Z80_REG_IFF2, 0);
    EXPECT_EQ(reg(Z80_REG_IFF2), 0u);

    set(Z80_REG_IR, 0x12F5);
    EXPECT_EQ(z80.i, 0x12);
    EXPECT_EQ(z80.r, 0x75u);
    EXPECT_EQ(reg(Z80_REG_IR), 0x12F5u);
    EXPECT_EQ(Z80_GetRegister(99), 0x12F5u);  // unknown indices act as I and R
    Z80_SetRegister(-1, 0x3401);
    EXPECT_EQ(reg(Z80_REG_IR), 0x3401u);

    set(Z80_REG_IRQ_VECTOR, 0x1CF);
    EXPECT_EQ(reg(Z80_REG_IRQ_VECTOR), 0xCFu);
    set(Z80_REG_IRQ_LINE, 7);
    EXPECT_EQ(reg(Z80_REG_IRQ_LINE), 1u);
}

TEST_F(InterfaceTest, SetIff2ThenLdAIShowsItInParity)
{
    set(Z80_REG_IFF2, 1);
    set(Z80_REG_AF, 0x0001);  // carry set
    code({0xED, 0x57});
    EXPECT_EQ(Z80_Execute(1), 9);
    EXPECT_EQ(f() & 0x05, 0x05u);  // P/V from IFF2, C kept
}

TEST_F(InterfaceTest, ContextRoundTrip)
{
    EXPECT_EQ(Z80_GetContextSize(), int(sizeof(Z80Context)) + 4);
    std::vector<uint8_t> saved(Z80_GetContextSize());
    set(Z80_REG_HL, 0x1234);
    Z80_GetContext(saved.data());
    set(Z80_REG_HL, 0x5678);
    Z80_SetContext(saved.data());
    EXPECT_EQ(reg(Z80_REG_HL), 0x1234u);
}

// ---- Running and the cycle counters ----

TEST_F(InterfaceTest, ZeroBudgetRunsExactlyOneInstruction)
{
    code({0x01, 0x34, 0x12, 0x00});  // LD BC,0x1234; NOP
    EXPECT_EQ(Z80_Execute(0), 10);
    EXPECT_EQ(pc(), CODE + 3);
    EXPECT_EQ(Z80_GetElapsedCycles(), 10);
}

TEST_F(InterfaceTest, LastInstructionOvershootIsReturned)
{
    uint32_t address = CODE;
    for (int i = 0; i < 52; ++i)
        address = poke(address, {0x00});  // NOP x 52: 208
    address = poke(address, {0x3E, 0x00});  // LD A,n: 215
    address = poke(address, {0x21, 0x00, 0x00});  // LD HL,nn: 225, 3 left
    poke(address, {0xC5});  // PUSH BC: 11
    EXPECT_EQ(Z80_Execute(228), 236);
    EXPECT_EQ(Z80_GetElapsedCycles(), 236);
}

int32_t elapsed_in_callback;
void record_elapsed(int, int)
{
    elapsed_in_callback = Z80_GetElapsedCycles();
}
void end_slice(int, int)
{
    Z80_EndTimeslice();
}
void clear_remaining(int, int)
{
    Z80_ClearRemainingCycles();
}

// A port handler sees the cycles up to the OUT's I/O cycle, 8 into it.
TEST_F(InterfaceTest, PortCallbacksSeeTheCycleOfTheirAccess)
{
    Z80_SetPortOutHandler(record_elapsed);
    code({0x00, 0x3E, 0x05, 0xD3, 0x10, 0x00});  // NOP; LD A,5; OUT (0x10),A; NOP
    Z80_Execute(1000);
    EXPECT_EQ(elapsed_in_callback, 11 + 8);
}

TEST_F(InterfaceTest, EndTimesliceFromCallbackStopsAfterThatInstruction)
{
    Z80_SetPortOutHandler(end_slice);
    code({0x00, 0xD3, 0x10, 0x00, 0x00});  // NOP; OUT (0x10),A
    EXPECT_EQ(Z80_Execute(1000), 15);
    EXPECT_EQ(pc(), CODE + 3);
    EXPECT_EQ(Z80_GetElapsedCycles(), 15);
}

TEST_F(InterfaceTest, ClearRemainingReportsTheWholeBudgetPlusTheInstruction)
{
    Z80_SetPortOutHandler(clear_remaining);
    code({0x00, 0xD3, 0x10, 0x00});
    EXPECT_EQ(Z80_Execute(1000), 1011);
    EXPECT_EQ(pc(), CODE + 3);
}

struct Snapshot {
    uint32_t af, bc, de, hl, pc, sp, ix;
};
Snapshot seen;
void snapshot_registers(int, int)
{
    seen = {Z80_GetRegister(Z80_REG_AF), Z80_GetRegister(Z80_REG_BC), Z80_GetRegister(Z80_REG_DE),
        Z80_GetRegister(Z80_REG_HL), Z80_GetRegister(Z80_REG_PC), Z80_GetRegister(Z80_REG_SP),
        Z80_GetRegister(Z80_REG_IX)};
    // Changes made by a callback hold when the instruction goes on.
    Z80_SetRegister(Z80_REG_DE, 0xBEEF);
}

TEST_F(InterfaceTest, CallbacksSeeAndChangeCurrentRegisters)
{
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, ram());
    Z80_MapReadDirect(0x0000, 0xFFFF, ram());
    Z80_MapWriteDirect(0x0000, 0xFFFF, ram());
    Z80_AddWriteRange(0xC000, 0xC0FF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(snapshot_registers));
    Z80_EndMemoryMap();
    code({0x01, 0x22, 0x11,  // LD BC,0x1122
        0x11, 0x44, 0x33,  // LD DE,0x3344
        0x21, 0x00, 0xC0,  // LD HL,0xC000
        0xDD, 0x21, 0x66, 0x55,  // LD IX,0x5566
        0x3E, 0x99,  // LD A,0x99
        0xB7,  // OR A: S and P set
        0x77,  // LD (HL),A
        0x13,  // INC DE
        0x76});
    Z80_Execute(1000);
    EXPECT_EQ(seen.af & 0xFFD7, 0x9984u);
    EXPECT_EQ(seen.bc, 0x1122u);
    EXPECT_EQ(seen.de, 0x3344u);
    EXPECT_EQ(seen.hl, 0xC000u);
    EXPECT_EQ(seen.pc, CODE + 17);
    EXPECT_EQ(seen.sp, STACK);
    EXPECT_EQ(seen.ix, 0x5566u);
    EXPECT_EQ(reg(Z80_REG_DE), 0xBEF0u);
}

uint8_t bank0[0x100], bank1[0x100];
void switch_bank(int, int value)
{
    Z80_MapFetch(0x2000, 0x20FF, value ? bank1 : bank0);
}

TEST_F(InterfaceTest, RemappingFromAWriteCallbackTakesEffectAtTheNextFetch)
{
    bank0[0] = 0x3E, bank0[1] = 0x01;  // LD A,1
    bank1[0] = 0x3E, bank1[1] = 0x02;  // LD A,2
    Z80_AddWriteRange(0xFF00, 0xFFFF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(switch_bank));
    Z80_MapFetch(0x2000, 0x20FF, bank0);
    code({0x3E, 0x01, 0x32, 0xFF, 0xFF, 0xC3, 0x00, 0x20});  // LD A,1; LD (0xFFFF),A; JP 0x2000
    Z80_Execute(7 + 13 + 10 + 7);
    EXPECT_EQ(a(), 2u);
}

// ---- HALT and interrupts ----

TEST_F(InterfaceTest, HaltConsumesTheBudgetInFourCycleSteps)
{
    code({0x76});
    EXPECT_EQ(Z80_Execute(100), 104);
    EXPECT_EQ(pc(), CODE);
    EXPECT_EQ(Z80_Execute(101), 104);
    EXPECT_EQ(pc(), CODE);
    // Reached mid-run: the cycles left at the HALT decide.
    code({0x00, 0x76});
    EXPECT_EQ(Z80_Execute(104), 108);  // 100 left at the HALT
    EXPECT_EQ(pc(), CODE + 1);
    set(Z80_REG_PC, CODE);
    EXPECT_EQ(Z80_Execute(105), 108);  // 101 left
}

TEST_F(InterfaceTest, MaskableInterruptModes)
{
    struct Case {
        uint8_t mode;
        uint32_t target;
    };
    for (const Case& c : {Case {0, 0x0038}, Case {1, 0x0038}, Case {2, 0x5634}}) {
        SetUp();
        poke(0x12FF, {0x34});
        poke(0x1300, {0x56});
        set(Z80_REG_IR, 0x1200);
        set(Z80_REG_IM, c.mode);
        set(Z80_REG_IFF1, 1);
        set(Z80_REG_IFF2, 1);
        Z80_RaiseIRQ(0xFF);
        EXPECT_EQ(pc(), c.target) << int(c.mode);
        EXPECT_EQ(reg(Z80_REG_SP), STACK - 2);
        EXPECT_EQ(ram()[STACK - 1], CODE >> 8);
        EXPECT_EQ(ram()[STACK - 2], CODE & 0xFF);
        EXPECT_EQ(reg(Z80_REG_IFF1), 0u);
        EXPECT_EQ(reg(Z80_REG_IFF2), 0u);
        EXPECT_EQ(reg(Z80_REG_IRQ_LINE), 1u);  // level-sensitive: stays until lowered
    }
    Z80_LowerIRQ();
    EXPECT_EQ(reg(Z80_REG_IRQ_LINE), 0u);
    // Mode 0 executes the data-bus byte as an RST.
    SetUp();
    set(Z80_REG_IFF1, 1);
    Z80_RaiseIRQ(0xD7);
    EXPECT_EQ(pc(), 0x0010u);
}

TEST_F(InterfaceTest, InterruptWithInterruptsDisabledWaitsForTheInstructionAfterEi)
{
    set(Z80_REG_IM, 1);
    Z80_RaiseIRQ(0xFF);
    EXPECT_EQ(pc(), CODE);
    EXPECT_EQ(reg(Z80_REG_IRQ_LINE), 1u);
    code({0x00, 0xFB, 0x3C, 0x3C});  // NOP; EI; INC A; INC A
    // EI ends the budget, yet the run stretches over the INC A after it.
    EXPECT_EQ(Z80_Execute(5), 12);
    EXPECT_EQ(pc(), 0x0038u);
    EXPECT_EQ(a(), 1u);
    EXPECT_EQ(ram()[STACK - 2], (CODE + 3) & 0xFF);
}

TEST_F(InterfaceTest, EiThenDiTakesNoInterrupt)
{
    set(Z80_REG_IM, 1);
    set(Z80_REG_IRQ_LINE, 1);
    code({0xFB, 0xF3, 0x3C});  // EI; DI; INC A
    EXPECT_EQ(Z80_Execute(100), 100);  // the rest runs NOPs after the code
    EXPECT_EQ(reg(Z80_REG_SP), STACK);
    EXPECT_EQ(a(), 1u);
}

TEST_F(InterfaceTest, EiBeforeHaltReturnsPastTheHalt)
{
    set(Z80_REG_IM, 1);
    set(Z80_REG_IRQ_LINE, 1);
    code({0xFB, 0x76, 0x3C});  // EI; HALT; INC A
    poke(0x0038, {0xFB, 0xC9});  // EI; RET
    EXPECT_EQ(Z80_Execute(1), 8);  // the HALT's first step runs before the interrupt
    EXPECT_EQ(pc(), 0x0038u);
    EXPECT_EQ(ram()[STACK - 2], (CODE + 2) & 0xFF);
    Z80_LowerIRQ();
    Z80_Execute(4 + 10 + 4);
    EXPECT_EQ(a(), 1u);
}

// The usual handler ending: with the next interrupt already waiting, EI; RETI
// returns first, and the interrupt then comes in from the interrupted code,
// so the stack does not grow however long the line stays asserted.
TEST_F(InterfaceTest, HandlerEndingInEiRetiReturnsBeforeTheNextInterrupt)
{
    set(Z80_REG_IM, 1);
    set(Z80_REG_IFF1, 1);
    set(Z80_REG_IFF2, 1);
    code({0x18, 0xFE});  // JR $
    poke(0x0038, {0x23, 0xFB, 0xED, 0x4D});  // INC HL; EI; RETI
    Z80_RaiseIRQ(0xFF);
    for (int slice = 0; slice < 100; ++slice) {
        Z80_Execute(228);
        EXPECT_GE(reg(Z80_REG_SP), STACK - 2) << slice;
        Z80_RaiseIRQ(0xFF);
    }
    EXPECT_GT(reg(Z80_REG_HL), 100u);
}

// An interrupt raised by a port write in the instruction after EI is taken
// once that instruction ends.
void raise_on_write(int, int)
{
    Z80_RaiseIRQ(0xFF);
}

TEST_F(InterfaceTest, InterruptRaisedRightAfterEiWaitsForTheInstructionToEnd)
{
    set(Z80_REG_IM, 1);
    Z80_SetPortOutHandler(raise_on_write);
    code({0xFB, 0xD3, 0x10, 0x3C});  // EI; OUT (0x10),A; INC A
    EXPECT_EQ(Z80_Execute(100), 103);  // then NOPs from 0x0038
    EXPECT_EQ(ram()[STACK - 2], (CODE + 3) & 0xFF);
    EXPECT_EQ(a(), 0u);
}

TEST_F(InterfaceTest, AcceptanceStepsOverAHaltAtPc)
{
    code({0x76});
    Z80_Execute(50);
    set(Z80_REG_IFF1, 1);
    set(Z80_REG_IM, 1);
    Z80_RaiseIRQ(0xFF);
    EXPECT_EQ(ram()[STACK - 2], (CODE + 1) & 0xFF);
    Z80_NMI();
    EXPECT_EQ(pc(), 0x0066u);
    EXPECT_EQ(ram()[STACK - 4], 0x38);  // 0x0038 is no HALT: pushed as it is
}

int reti_calls;
void count_reti()
{
    ++reti_calls;
}

TEST_F(InterfaceTest, NmiKeepsIff2AndRetnRestoresIff1)
{
    set(Z80_REG_IFF1, 1);
    set(Z80_REG_IFF2, 1);
    Z80_NMI();
    EXPECT_EQ(pc(), 0x0066u);
    EXPECT_EQ(reg(Z80_REG_IFF1), 0u);
    EXPECT_EQ(reg(Z80_REG_IFF2), 1u);
    poke(0x0066, {0xED, 0x45});
    EXPECT_EQ(Z80_Execute(1), 14);
    EXPECT_EQ(pc(), CODE);
    EXPECT_EQ(reg(Z80_REG_IFF1), 1u);

    // RETI also tells the machine, and never looks at the line.
    reti_calls = 0;
    Z80_SetRetiHandler(count_reti);
    set(Z80_REG_IFF1, 0);
    set(Z80_REG_IRQ_LINE, 1);
    code({0xED, 0x4D});
    set(Z80_REG_SP, STACK - 2);
    EXPECT_EQ(Z80_Execute(1), 14);
    EXPECT_EQ(reti_calls, 1);
    EXPECT_EQ(reg(Z80_REG_IFF1), 1u);
    EXPECT_EQ(pc(), CODE);
}

}  // namespace
