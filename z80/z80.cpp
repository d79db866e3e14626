// The core's interface: memory map set-up, reset, interrupts, the cycle
// counters and the register interface. Instruction execution lives in
// z80_execute.cpp.
#include <array>
#include <cstddef>
#include <cstring>

#include "z80/z80_internal.h"

int32_t z80_remaining;
int32_t z80_budget;
bool z80_ei_pending;
int32_t z80_ei_held;

namespace {

// Unmapped data reads and unserved ports both read as an idle bus.
int default_read(int)
{
    return 0xFF;
}
void default_write(int, int)
{
}
void default_reti()
{
}

// Fetch pages start out pointing here so that a caller who forgets to map
// one gets 0xFF opcodes rather than a wild host pointer.
constexpr std::array<uint8_t, 256> unmapped_page = [] {
    std::array<uint8_t, 256> bytes {};
    bytes.fill(0xFF);
    return bytes;
}();

constexpr uint32_t FREE_RANGE = 0xFFFFFFFF;

// The handler installed on partially covered pages: the first list entry
// that contains the address serves it. The search is bounded by the list so
// that a map without its closing entry still cannot run off the end.
int range_read(int address)
{
    const uint32_t a = uint32_t(address);
    for (const Z80MemoryRange& range : z80.read_ranges) {
        if (range.low <= a && a <= range.high) {
            if (range.kind == Z80_RANGE_CALLBACK)
                return reinterpret_cast<Z80ReadHandler>(range.pointer)(address);
            return *reinterpret_cast<const uint8_t*>(range.pointer + a);
        }
    }
    return 0xFF;
}

void range_write(int address, int value)
{
    const uint32_t a = uint32_t(address);
    for (const Z80MemoryRange& range : z80.write_ranges) {
        if (range.low <= a && a <= range.high) {
            if (range.kind == Z80_RANGE_CALLBACK) {
                reinterpret_cast<Z80WriteHandler>(range.pointer)(address, value);
            } else {
                *reinterpret_cast<uint8_t*>(range.pointer + a) = uint8_t(value);
            }
            return;
        }
    }
}

int clamp_address(int address)
{
    return address < 0 ? 0 : address > 0xFFFF ? 0xFFFF : address;
}

// Calls visit(page) for each page from the page of low while the address,
// stepped by 0x100 from low, is not above high.
template <typename Visit>
void for_each_page(int low, int high, Visit visit)
{
    low = clamp_address(low);
    high = clamp_address(high);
    for (int address = low; address <= high; address += 0x100)
        visit(address >> 8);
}

template <typename Handler>
void map_direct(Z80PageEntry<Handler> (&pages)[256], int low, int high, uintptr_t host)
{
    const uintptr_t base = host - uintptr_t(low);
    for_each_page(low, high, [&](int page) { pages[page] = {nullptr, base}; });
}

template <typename Handler>
void add_range(Z80MemoryRange (&list)[Z80_RANGE_SLOTS], Z80PageEntry<Handler> (&pages)[256], Handler list_handler,
    Handler default_handler, int low, int high, Z80RangeKind kind, uintptr_t pointer)
{
    low = clamp_address(low);
    high = clamp_address(high);
    const bool callback = kind == Z80_RANGE_CALLBACK;
    if (callback && pointer == 0)
        pointer = reinterpret_cast<uintptr_t>(default_handler);
    const uintptr_t stored = callback ? pointer : pointer - uintptr_t(low);
    for (Z80MemoryRange& range : list) {
        if (range.low == FREE_RANGE) {
            range = {uint32_t(low), uint32_t(high),
                callback ? uint32_t(Z80_RANGE_CALLBACK) : uint32_t(Z80_RANGE_DIRECT), stored};
            break;
        }
    }

    int first = low, last = high;
    if (first & 0xFF) {
        pages[first >> 8].handler = list_handler;
        first = (first | 0xFF) + 1;
    }
    if ((last & 0xFF) != 0xFF) {
        pages[last >> 8].handler = list_handler;
        last = (last & ~0xFF) - 1;
    }
    for (int address = first; address <= last; address += 0x100) {
        Z80PageEntry<Handler>& page = pages[address >> 8];
        if (callback) {
            page.handler = reinterpret_cast<Handler>(pointer);
        } else {
            page = {nullptr, stored};
        }
    }
}

template <typename Handler>
void close_range_list(Z80MemoryRange (&list)[Z80_RANGE_SLOTS], Handler default_handler)
{
    for (Z80MemoryRange& range : list) {
        if (range.low == FREE_RANGE) {
            range = {0x0000, 0xFFFF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(default_handler)};
            return;
        }
    }
}

// Pushes PC, first stepping over a HALT that stands at PC: a halted CPU is
// one whose PC points at a HALT opcode, and an interrupt releases it.
void enter_interrupt()
{
    uint32_t pc = z80.pc & 0xFFFF;
    if (*reinterpret_cast<const uint8_t*>(z80.fetch[pc >> 8] + pc) == 0x76)
        pc = (pc + 1) & 0xFFFF;
    uint32_t sp = (z80.sp - 1) & 0xFFFF;
    z80_write_byte(sp, pc >> 8);
    sp = (sp - 1) & 0xFFFF;
    z80_write_byte(sp, pc & 0xFF);
    z80.sp = sp;
    z80.pc = pc;
}

// A freshly started program has a usable (if empty) map before anyone sets
// one up, so that nothing dereferences a null page.
Z80Context initial_context()
{
    Z80Context context {};
    for (uintptr_t& page : context.fetch)
        page = reinterpret_cast<uintptr_t>(unmapped_page.data());
    for (int page = 0; page < 256; ++page)
        context.fetch[page] -= uintptr_t(page) << 8;
    for (auto& page : context.read)
        page = {default_read, 0};
    for (auto& page : context.write)
        page = {default_write, 0};
    context.port_in = default_read;
    context.port_out = default_write;
    context.reti = default_reti;
    std::memset(context.read_ranges, 0xFF, sizeof context.read_ranges);
    std::memset(context.write_ranges, 0xFF, sizeof context.write_ranges);
    close_range_list(context.read_ranges, Z80ReadHandler(default_read));
    close_range_list(context.write_ranges, Z80WriteHandler(default_write));
    context.af = 0x4000;
    context.ix = context.iy = 0xFFFF;
    return context;
}

uint32_t flag_register(uint32_t slot)
{
    return ((slot & 0xFF) << 8) | ((slot >> 8) & 0xFF);
}
uint32_t flag_slot(uint32_t value)
{
    return ((value >> 8) & 0xFF) | ((value & 0xFF) << 8);
}

}  // namespace

Z80Context z80 = initial_context();

uint32_t z80_read_byte(uint32_t address)
{
    const Z80PageEntry<Z80ReadHandler>& page = z80.read[address >> 8];
    if (page.handler)
        return uint32_t(page.handler(int(address))) & 0xFF;
    return *reinterpret_cast<const uint8_t*>(page.base + address);
}

void z80_write_byte(uint32_t address, uint32_t value)
{
    const Z80PageEntry<Z80WriteHandler>& page = z80.write[address >> 8];
    if (page.handler) {
        page.handler(int(address), int(value));
    } else {
        *reinterpret_cast<uint8_t*>(page.base + address) = uint8_t(value);
    }
}

void z80_accept_irq()
{
    z80.iff1 = z80.iff2 = 0;
    enter_interrupt();
    switch (z80.im) {
    case 0:
        // The data-bus byte is taken as an RST opcode.
        z80.pc = (uint32_t(z80.irq_vector) - 0xC7) & 0xFF;
        break;
    case 1:
        z80.pc = 0x0038;
        break;
    default: {
        const uint32_t table = (uint32_t(z80.i) << 8) | z80.irq_vector;
        const uint32_t low = z80_read_byte(table);
        z80.pc = low | (z80_read_byte((table + 1) & 0xFFFF) << 8);
        break;
    }
    }
}

void Z80_BeginMemoryMap()
{
    z80.port_in = default_read;
    z80.port_out = default_write;
    z80.reti = default_reti;
    std::memset(z80.read_ranges, 0xFF, sizeof z80.read_ranges);
    std::memset(z80.write_ranges, 0xFF, sizeof z80.write_ranges);
    for (auto& page : z80.read)
        page.handler = default_read;
    for (auto& page : z80.write)
        page.handler = default_write;
}

void Z80_MapFetch(int low, int high, const uint8_t* host)
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(host) - uintptr_t(low);
    for_each_page(low, high, [&](int page) { z80.fetch[page] = base; });
}

void Z80_MapReadDirect(int low, int high, const uint8_t* host)
{
    map_direct(z80.read, low, high, reinterpret_cast<uintptr_t>(host));
}

void Z80_MapWriteDirect(int low, int high, uint8_t* host)
{
    map_direct(z80.write, low, high, reinterpret_cast<uintptr_t>(host));
}

void Z80_AddReadRange(int low, int high, Z80RangeKind kind, uintptr_t pointer)
{
    add_range(
        z80.read_ranges, z80.read, Z80ReadHandler(range_read), Z80ReadHandler(default_read), low, high, kind, pointer);
}

void Z80_AddWriteRange(int low, int high, Z80RangeKind kind, uintptr_t pointer)
{
    add_range(z80.write_ranges, z80.write, Z80WriteHandler(range_write), Z80WriteHandler(default_write), low, high,
        kind, pointer);
}

void Z80_EndMemoryMap()
{
    close_range_list(z80.read_ranges, Z80ReadHandler(default_read));
    close_range_list(z80.write_ranges, Z80WriteHandler(default_write));
}

void Z80_SetPortInHandler(Z80PortInHandler handler)
{
    z80.port_in = handler ? handler : default_read;
}
void Z80_SetPortOutHandler(Z80PortOutHandler handler)
{
    z80.port_out = handler ? handler : default_write;
}
void Z80_SetRetiHandler(Z80RetiHandler handler)
{
    z80.reti = handler ? handler : default_reti;
}

// Callers allocate four bytes more than the copy operations move.
int Z80_GetContextSize()
{
    return int(sizeof(Z80Context)) + 4;
}

void Z80_Reset()
{
    std::memset(&z80, 0, offsetof(Z80Context, fetch));
    z80.af = 0x4000;
    z80.ix = z80.iy = 0xFFFF;
}

int32_t Z80_GetElapsedCycles()
{
    return z80_budget - z80_remaining;
}

// Cycles held back after EI are part of what is left, and go with it.
void Z80_EndTimeslice()
{
    z80_budget -= z80_remaining;
    z80_remaining = 0;
    z80_ei_held = 0;
}

void Z80_ClearRemainingCycles()
{
    z80_budget += z80_ei_held;
    z80_ei_held = 0;
    z80_remaining = 0;
}

void Z80_RaiseIRQ(int vector)
{
    z80.irq_line = 1;
    z80.irq_vector = uint8_t(vector);
    // Right after EI the loop samples the line itself, one instruction on.
    if (z80.iff1 && !z80_ei_pending)
        z80_accept_irq();
}

void Z80_LowerIRQ()
{
    z80.irq_line = 0;
}

void Z80_NMI()
{
    z80.iff1 = 0;
    enter_interrupt();
    z80.pc = 0x0066;
}

void Z80_GetContext(void* buffer)
{
    std::memcpy(buffer, &z80, sizeof z80);
}
void Z80_SetContext(const void* buffer)
{
    std::memcpy(&z80, buffer, sizeof z80);
}

uint32_t Z80_GetRegister(int index)
{
    switch (index) {
    case Z80_REG_AF:
        return flag_register(z80.af);
    case Z80_REG_BC:
        return z80.bc;
    case Z80_REG_DE:
        return z80.de;
    case Z80_REG_HL:
        return z80.hl;
    case Z80_REG_IX:
        return z80.ix;
    case Z80_REG_IY:
        return z80.iy;
    case Z80_REG_PC:
        return z80.pc;
    case Z80_REG_SP:
        return z80.sp;
    case Z80_REG_AF2:
        return flag_register(z80.af2);
    case Z80_REG_BC2:
        return z80.bc2;
    case Z80_REG_DE2:
        return z80.de2;
    case Z80_REG_HL2:
        return z80.hl2;
    case Z80_REG_IFF1:
        return z80.iff1 ? 1 : 0;
    case Z80_REG_IFF2:
        return z80.iff2 ? 1 : 0;
    case Z80_REG_IM:
        return z80.im;
    case Z80_REG_IRQ_VECTOR:
        return z80.irq_vector;
    case Z80_REG_IRQ_LINE:
        return z80.irq_line ? 1 : 0;
    default:
        return (uint32_t(z80.i) << 8) | (z80.r & 0x7F) | (z80.r7 & 0x80);
    }
}

void Z80_SetRegister(int index, uint32_t value)
{
    const uint32_t word = value & 0xFFFF;
    switch (index) {
    case Z80_REG_AF:
        z80.af = flag_slot(word);
        break;
    case Z80_REG_BC:
        z80.bc = word;
        break;
    case Z80_REG_DE:
        z80.de = word;
        break;
    case Z80_REG_HL:
        z80.hl = word;
        break;
    case Z80_REG_IX:
        z80.ix = word;
        break;
    case Z80_REG_IY:
        z80.iy = word;
        break;
    case Z80_REG_PC:
        z80.pc = word;
        break;
    case Z80_REG_SP:
        z80.sp = word;
        break;
    case Z80_REG_AF2:
        z80.af2 = flag_slot(word);
        break;
    case Z80_REG_BC2:
        z80.bc2 = word;
        break;
    case Z80_REG_DE2:
        z80.de2 = word;
        break;
    case Z80_REG_HL2:
        z80.hl2 = word;
        break;
    case Z80_REG_IFF1:
        z80.iff1 = value ? 4 : 0;
        break;
    case Z80_REG_IFF2:
        z80.iff2 = value ? 4 : 0;
        break;
    case Z80_REG_IM:
        z80.im = uint8_t(value);
        break;
    case Z80_REG_IRQ_VECTOR:
        z80.irq_vector = uint8_t(value);
        break;
    case Z80_REG_IRQ_LINE:
        z80.irq_line = value ? 1 : 0;
        break;
    default:
        z80.i = uint8_t(value >> 8);
        z80.r = value & 0x7F;
        z80.r7 = value;
        break;
    }
}
