// The Z80 processor core: one global CPU over a paged memory map.
//
// Memory is seen through three tables of 256 pages of 256 bytes: opcode
// fetches (always direct host memory), data reads and data writes (direct
// memory or a handler). Partially covered pages are served by range lists.
// The core runs for a cycle budget per Z80_Execute call; interrupts are
// sampled only by Z80_RaiseIRQ and after the instruction that follows EI, so
// a quiet interrupt line costs nothing while instructions run.
#pragma once

#include <cstddef>
#include <cstdint>

// Callbacks take and return plain integers; the core always passes full
// 16-bit Z80 addresses and ports.
using Z80ReadHandler = int (*)(int address);
using Z80WriteHandler = void (*)(int address, int value);
using Z80PortInHandler = int (*)(int port);
using Z80PortOutHandler = void (*)(int port, int value);
using Z80RetiHandler = void (*)();

// One 256-byte page of the read or write map. A non-null handler takes
// precedence over the base; otherwise the host byte for Z80 address a is at
// base + a (base is the host address of the mapping minus its Z80 start).
template <typename Handler>
struct Z80PageEntry {
    Handler handler;
    uintptr_t base;
};

enum Z80RangeKind : uint32_t {
    Z80_RANGE_DIRECT = 0,
    Z80_RANGE_CALLBACK = 1,
};

// One entry of a range list. A free entry has low == 0xFFFFFFFF. For direct
// ranges pointer is the host address minus low; for callbacks it is the
// callback itself.
struct Z80MemoryRange {
    uint32_t low;
    uint32_t high;
    uint32_t kind;
    uintptr_t pointer;
};

constexpr int Z80_RANGE_SLOTS = 64;

// The live context. Register slots are 32 bits wide and only their low 16
// bits are used. AF keeps A in bits 0-7 and F in bits 8-15. F's bits 3 and 5
// are authoritative only in `xy`.
struct Z80Context {
    uint32_t af, bc, de, hl, ix, iy, pc, sp;
    uint32_t af2, bc2, de2, hl2;
    uint32_t iff1, iff2;  // 0 when clear, 4 (F's P/V bit) when set
    uint32_t r;  // low seven bits of R as last computed or written
    uint32_t r7;  // last value written to R; only bit 7 is used
    uint8_t i;
    uint8_t xy;  // current bits 3 and 5 of F
    uint8_t im;
    uint8_t irq_vector;
    uint32_t irq_line;  // nonzero while the maskable interrupt is asserted
    uintptr_t fetch[256];
    Z80PageEntry<Z80ReadHandler> read[256];
    Z80PageEntry<Z80WriteHandler> write[256];
    Z80PortInHandler port_in;
    Z80PortOutHandler port_out;
    Z80RetiHandler reti;
    Z80MemoryRange read_ranges[Z80_RANGE_SLOTS];
    Z80MemoryRange write_ranges[Z80_RANGE_SLOTS];
};

// The one CPU. Tests may set fields directly; the machine goes through the
// operations below.
extern Z80Context z80;

// Indices for Z80_GetRegister / Z80_SetRegister (the save-state order).
enum Z80Register {
    Z80_REG_AF = 0,
    Z80_REG_BC,
    Z80_REG_DE,
    Z80_REG_HL,
    Z80_REG_IX,
    Z80_REG_IY,
    Z80_REG_PC,
    Z80_REG_SP,
    Z80_REG_AF2,
    Z80_REG_BC2,
    Z80_REG_DE2,
    Z80_REG_HL2,
    Z80_REG_IFF1,
    Z80_REG_IFF2,
    Z80_REG_IR,
    Z80_REG_IM,
    Z80_REG_IRQ_VECTOR,
    Z80_REG_IRQ_LINE,
};

// Memory map set-up, in calling order.
void Z80_BeginMemoryMap();
void Z80_MapFetch(int low, int high, const uint8_t* host);
void Z80_MapReadDirect(int low, int high, const uint8_t* host);
void Z80_MapWriteDirect(int low, int high, uint8_t* host);
void Z80_AddReadRange(int low, int high, Z80RangeKind kind, uintptr_t pointer);
void Z80_AddWriteRange(int low, int high, Z80RangeKind kind, uintptr_t pointer);
void Z80_EndMemoryMap();
void Z80_SetPortInHandler(Z80PortInHandler handler);
void Z80_SetPortOutHandler(Z80PortOutHandler handler);
void Z80_SetRetiHandler(Z80RetiHandler handler);
int Z80_GetContextSize();

// Running.
void Z80_Reset();
int32_t Z80_Execute(int32_t budget);
int32_t Z80_GetElapsedCycles();
void Z80_EndTimeslice();
void Z80_ClearRemainingCycles();
void Z80_RaiseIRQ(int vector);
void Z80_LowerIRQ();
void Z80_NMI();
void Z80_GetContext(void* buffer);
void Z80_SetContext(const void* buffer);
uint32_t Z80_GetRegister(int index);
void Z80_SetRegister(int index, uint32_t value);
