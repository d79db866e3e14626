// The instruction set, as templates over the opcode byte, for the dispatch
// loop in z80_execute.cpp. Each exec_ function does an instruction's work
// and returns the cycles to charge; the dispatcher charges them and tests
// the budget. Opcode fields follow the usual x/y/z split of the byte
// (x = bits 7-6, y = bits 5-3, z = bits 2-0, p = y >> 1, q = y & 1).
//
// Everything here is forced inline into Z80_Execute: the working registers
// live in a Z80Cpu local whose address must never escape, so that the
// compiler can keep them in host registers.
#pragma once

#include "z80/z80_flags.h"
#include "z80/z80_internal.h"

#define Z80_INLINE [[gnu::always_inline]] inline

// The working registers of a running Z80_Execute. F includes bits 3 and 5
// (its own copy of the XY byte). IX and IY stay in the record; a DD or FD
// prefix points idx at the one it selects.
struct Z80Cpu {
    uint32_t a, f, bc, de, hl, pc, sp;
    int32_t rem;
    uint32_t* idx;
    uint32_t ea;  // effective address of a DD CB / FD CB instruction
};

// Callbacks may read or change anything in the record, so the working
// registers and the counter go back before every callback and are reloaded
// after it.
Z80_INLINE void cpu_store(const Z80Cpu& s)
{
    z80.af = s.a | (s.f << 8);
    z80.xy = uint8_t(s.f & Z80_FLAGS_XY);
    z80.bc = s.bc;
    z80.de = s.de;
    z80.hl = s.hl;
    z80.pc = s.pc;
    z80.sp = s.sp;
    z80_remaining = s.rem;
}

Z80_INLINE void cpu_load(Z80Cpu& s)
{
    s.a = z80.af & 0xFF;
    s.f = ((z80.af >> 8) & 0xFF & ~Z80_FLAGS_XY) | (z80.xy & Z80_FLAGS_XY);
    s.bc = z80.bc & 0xFFFF;
    s.de = z80.de & 0xFFFF;
    s.hl = z80.hl & 0xFFFF;
    s.pc = z80.pc & 0xFFFF;
    s.sp = z80.sp & 0xFFFF;
    s.rem = z80_remaining;
}

// ---- Memory and ports ----

Z80_INLINE uint32_t cpu_fetch(Z80Cpu& s)
{
    const uint32_t value = *reinterpret_cast<const uint8_t*>(z80.fetch[s.pc >> 8] + s.pc);
    s.pc = (s.pc + 1) & 0xFFFF;
    return value;
}

Z80_INLINE uint32_t cpu_fetch16(Z80Cpu& s)
{
    const uint32_t low = cpu_fetch(s);
    return low | (cpu_fetch(s) << 8);
}

Z80_INLINE uint32_t cpu_read(Z80Cpu& s, uint32_t address)
{
    const Z80PageEntry<Z80ReadHandler>& page = z80.read[address >> 8];
    if (const Z80ReadHandler handler = page.handler) [[unlikely]] {
        cpu_store(s);
        const uint32_t value = uint32_t(handler(int(address))) & 0xFF;
        cpu_load(s);
        return value;
    }
    return *reinterpret_cast<const uint8_t*>(page.base + address);
}

Z80_INLINE void cpu_write(Z80Cpu& s, uint32_t address, uint32_t value)
{
    const Z80PageEntry<Z80WriteHandler>& page = z80.write[address >> 8];
    if (const Z80WriteHandler handler = page.handler) [[unlikely]] {
        cpu_store(s);
        handler(int(address), int(value));
        cpu_load(s);
        return;
    }
    *reinterpret_cast<uint8_t*>(page.base + address) = uint8_t(value);
}

Z80_INLINE uint32_t cpu_read16(Z80Cpu& s, uint32_t address)
{
    const uint32_t low = cpu_read(s, address);
    return low | (cpu_read(s, (address + 1) & 0xFFFF) << 8);
}

Z80_INLINE void cpu_write16(Z80Cpu& s, uint32_t address, uint32_t value)
{
    cpu_write(s, address, value & 0xFF);
    cpu_write(s, (address + 1) & 0xFFFF, value >> 8);
}

Z80_INLINE void cpu_push(Z80Cpu& s, uint32_t value)
{
    s.sp = (s.sp - 1) & 0xFFFF;
    cpu_write(s, s.sp, value >> 8);
    s.sp = (s.sp - 1) & 0xFFFF;
    cpu_write(s, s.sp, value & 0xFF);
}

Z80_INLINE uint32_t cpu_pop(Z80Cpu& s)
{
    const uint32_t low = cpu_read(s, s.sp);
    s.sp = (s.sp + 1) & 0xFFFF;
    const uint32_t high = cpu_read(s, s.sp);
    s.sp = (s.sp + 1) & 0xFFFF;
    return low | (high << 8);
}

// Port accesses happen `at` cycles into their instruction, when the I/O
// cycle puts the port on the bus: the handlers see that point through
// Z80_GetElapsedCycles, as the chips behind the ports need it to the cycle.
// The budget carries the offset, so that a handler that ends or clears the
// slice still leaves the whole instruction charged.
Z80_INLINE uint32_t cpu_in(Z80Cpu& s, uint32_t port, int32_t at)
{
    cpu_store(s);
    z80_budget += at;
    const uint32_t value = uint32_t(z80.port_in(int(port))) & 0xFF;
    z80_budget -= at;
    cpu_load(s);
    return value;
}

Z80_INLINE void cpu_out(Z80Cpu& s, uint32_t port, uint32_t value, int32_t at)
{
    cpu_store(s);
    z80_budget += at;
    z80.port_out(int(port), int(value));
    z80_budget -= at;
    cpu_load(s);
}

// ---- Register operands ----

// 8-bit register by its opcode field: B C D E H L - A. With XY, H and L name
// the halves of the selected index register.
template <unsigned R, bool XY>
Z80_INLINE uint32_t get_r(const Z80Cpu& s)
{
    static_assert(R != 6, "(HL) is a memory operand");
    if constexpr (R == 0)
        return s.bc >> 8;
    else if constexpr (R == 1)
        return s.bc & 0xFF;
    else if constexpr (R == 2)
        return s.de >> 8;
    else if constexpr (R == 3)
        return s.de & 0xFF;
    else if constexpr (R == 4)
        return (XY ? *s.idx : s.hl) >> 8;
    else if constexpr (R == 5)
        return (XY ? *s.idx : s.hl) & 0xFF;
    else
        return s.a;
}

Z80_INLINE uint32_t with_high(uint32_t pair, uint32_t value)
{
    return (pair & 0xFF) | (value << 8);
}
Z80_INLINE uint32_t with_low(uint32_t pair, uint32_t value)
{
    return (pair & 0xFF00) | value;
}

template <unsigned R, bool XY>
Z80_INLINE void set_r(Z80Cpu& s, uint32_t value)
{
    static_assert(R != 6, "(HL) is a memory operand");
    if constexpr (R == 0)
        s.bc = with_high(s.bc, value);
    else if constexpr (R == 1)
        s.bc = with_low(s.bc, value);
    else if constexpr (R == 2)
        s.de = with_high(s.de, value);
    else if constexpr (R == 3)
        s.de = with_low(s.de, value);
    else if constexpr (R == 4 && XY)
        *s.idx = with_high(*s.idx, value);
    else if constexpr (R == 4)
        s.hl = with_high(s.hl, value);
    else if constexpr (R == 5 && XY)
        *s.idx = with_low(*s.idx, value);
    else if constexpr (R == 5)
        s.hl = with_low(s.hl, value);
    else
        s.a = value;
}

// 16-bit pair by its opcode field: BC DE HL SP, or with AF in place of SP
// for PUSH and POP. With XY, HL is the selected index register.
template <unsigned P, bool XY, bool WITH_AF = false>
Z80_INLINE uint32_t get_rp(const Z80Cpu& s)
{
    if constexpr (P == 0)
        return s.bc;
    else if constexpr (P == 1)
        return s.de;
    else if constexpr (P == 2)
        return XY ? *s.idx : s.hl;
    else if constexpr (WITH_AF)
        return (s.a << 8) | s.f;
    else
        return s.sp;
}

template <unsigned P, bool XY, bool WITH_AF = false>
Z80_INLINE void set_rp(Z80Cpu& s, uint32_t value)
{
    if constexpr (P == 0)
        s.bc = value;
    else if constexpr (P == 1)
        s.de = value;
    else if constexpr (P == 2 && XY)
        *s.idx = value;
    else if constexpr (P == 2)
        s.hl = value;
    else if constexpr (WITH_AF) {
        s.a = value >> 8;
        s.f = value & 0xFF;
    } else
        s.sp = value;
}

// The address of the memory operand: (HL), or (IX+d) / (IY+d) with the
// displacement fetched now.
template <bool XY>
Z80_INLINE uint32_t operand_address(Z80Cpu& s)
{
    if constexpr (XY)
        return (*s.idx + uint32_t(int8_t(cpu_fetch(s)))) & 0xFFFF;
    else
        return s.hl;
}

// Condition by its opcode field: NZ Z NC C PO PE P M.
template <unsigned Y>
Z80_INLINE bool condition(const Z80Cpu& s)
{
    constexpr uint32_t flag[4] = {Z80_FLAG_Z, Z80_FLAG_C, Z80_FLAG_PV, Z80_FLAG_S};
    const bool set = s.f & flag[Y >> 1];
    return (Y & 1) ? set : !set;
}

// ---- Arithmetic and logic ----

// ADD ADC SUB SBC AND XOR OR CP by the opcode field.
template <unsigned OPERATION>
Z80_INLINE void alu(Z80Cpu& s, uint32_t value)
{
    const auto& t = z80_flags;
    if constexpr (OPERATION <= 1) {
        const uint32_t carry = OPERATION == 1 ? (s.f & Z80_FLAG_C) : 0;
        const uint32_t r = s.a + value + carry;
        s.f = t.sz53[r & 0xFF] | ((r >> 8) & Z80_FLAG_C) | ((s.a ^ value ^ r) & Z80_FLAG_H)
            | (((s.a ^ r) & (value ^ r) & 0x80) >> 5);
        s.a = r & 0xFF;
    } else if constexpr (OPERATION == 2 || OPERATION == 3 || OPERATION == 7) {
        const uint32_t carry = OPERATION == 3 ? (s.f & Z80_FLAG_C) : 0;
        const uint32_t r = s.a - value - carry;
        const uint32_t f = t.sz53[r & 0xFF] | ((r >> 8) & Z80_FLAG_C) | Z80_FLAG_N | ((s.a ^ value ^ r) & Z80_FLAG_H)
            | (((s.a ^ value) & (s.a ^ r) & 0x80) >> 5);
        if constexpr (OPERATION == 7) {
            // CP takes bits 3 and 5 from the operand, not from the result.
            s.f = (f & ~Z80_FLAGS_XY) | (value & Z80_FLAGS_XY);
        } else {
            s.f = f;
            s.a = r & 0xFF;
        }
    } else if constexpr (OPERATION == 4) {
        s.a &= value;
        s.f = t.sz53p[s.a] | Z80_FLAG_H;
    } else if constexpr (OPERATION == 5) {
        s.a ^= value;
        s.f = t.sz53p[s.a];
    } else {
        s.a |= value;
        s.f = t.sz53p[s.a];
    }
}

Z80_INLINE uint32_t inc8(Z80Cpu& s, uint32_t value)
{
    s.f = (s.f & Z80_FLAG_C) | z80_flags.inc[value];
    return (value + 1) & 0xFF;
}

Z80_INLINE uint32_t dec8(Z80Cpu& s, uint32_t value)
{
    s.f = (s.f & Z80_FLAG_C) | z80_flags.dec[value];
    return (value - 1) & 0xFF;
}

// The CB rotates and shifts by the opcode field: RLC RRC RL RR SLA SRA SLL SRL.
template <unsigned OPERATION>
Z80_INLINE uint32_t rotate(Z80Cpu& s, uint32_t value)
{
    uint32_t r, carry;
    if constexpr (OPERATION == 0)
        carry = value >> 7, r = (value << 1) | carry;
    else if constexpr (OPERATION == 1)
        carry = value & 1, r = (value >> 1) | (carry << 7);
    else if constexpr (OPERATION == 2)
        carry = value >> 7, r = (value << 1) | (s.f & Z80_FLAG_C);
    else if constexpr (OPERATION == 3)
        carry = value & 1, r = (value >> 1) | ((s.f & Z80_FLAG_C) << 7);
    else if constexpr (OPERATION == 4)
        carry = value >> 7, r = value << 1;
    else if constexpr (OPERATION == 5)
        carry = value & 1, r = (value >> 1) | (value & 0x80);
    else if constexpr (OPERATION == 6)
        carry = value >> 7, r = (value << 1) | 1;
    else
        carry = value & 1, r = value >> 1;
    r &= 0xFF;
    s.f = z80_flags.sz53p[r] | carry;
    return r;
}

// BIT leaves bits 3 and 5 as they were.
template <unsigned BIT>
Z80_INLINE void bit(Z80Cpu& s, uint32_t value)
{
    const uint32_t kept = s.f & (Z80_FLAG_C | Z80_FLAGS_XY);
    if (value & (1u << BIT))
        s.f = kept | Z80_FLAG_H | (BIT == 7 ? Z80_FLAG_S : 0);
    else
        s.f = kept | Z80_FLAG_H | Z80_FLAG_Z | Z80_FLAG_PV;
}

template <bool XY>
Z80_INLINE void add16(Z80Cpu& s, uint32_t value)
{
    const uint32_t hl = get_rp<2, XY>(s);
    const uint32_t r = hl + value;
    s.f = (s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_PV)) | ((r >> 16) & Z80_FLAG_C)
        | (((hl ^ value ^ r) >> 8) & Z80_FLAG_H) | ((r >> 8) & Z80_FLAGS_XY);
    set_rp<2, XY>(s, r & 0xFFFF);
}

// ADC HL,rr and SBC HL,rr.
template <bool SUBTRACT>
Z80_INLINE void adc16(Z80Cpu& s, uint32_t value)
{
    const uint32_t hl = s.hl, carry = s.f & Z80_FLAG_C;
    const uint32_t r = SUBTRACT ? hl - value - carry : hl + value + carry;
    const uint32_t overflow = SUBTRACT ? (hl ^ value) & (hl ^ r) : (hl ^ r) & (value ^ r);
    s.f = ((r >> 8) & (Z80_FLAG_S | Z80_FLAGS_XY)) | ((r & 0xFFFF) ? 0 : Z80_FLAG_Z) | ((r >> 16) & Z80_FLAG_C)
        | (((hl ^ value ^ r) >> 8) & Z80_FLAG_H) | ((overflow >> 13) & Z80_FLAG_PV) | (SUBTRACT ? Z80_FLAG_N : 0);
    s.hl = r & 0xFFFF;
}

// ---- Unprefixed instructions and their DD / FD forms ----

template <unsigned OP, bool XY>
Z80_INLINE int exec_main(Z80Cpu& s)
{
    [[maybe_unused]] constexpr unsigned x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    // The prefix's own fetch; forms through (IX+d) cost more, set per group.
    [[maybe_unused]] constexpr int prefix = XY ? 4 : 0;

    if constexpr (x == 0) {
        if constexpr (OP == 0x00) {
            return 4;
        } else if constexpr (OP == 0x08) {
            const uint32_t other = z80.af2;
            z80.af2 = s.a | (s.f << 8);
            s.a = other & 0xFF;
            s.f = (other >> 8) & 0xFF;
            return 4;
        } else if constexpr (OP == 0x10) {
            const uint32_t d = uint32_t(int8_t(cpu_fetch(s)));
            const uint32_t b = ((s.bc >> 8) - 1) & 0xFF;
            s.bc = with_high(s.bc, b);
            if (!b)
                return 8;
            s.pc = (s.pc + d) & 0xFFFF;
            return 13;
        } else if constexpr (z == 0) {
            const uint32_t d = uint32_t(int8_t(cpu_fetch(s)));
            if constexpr (OP != 0x18) {
                if (!condition<y - 4>(s))
                    return 7;
            }
            s.pc = (s.pc + d) & 0xFFFF;
            return 12;
        } else if constexpr (z == 1 && q == 0) {
            set_rp<p, XY>(s, cpu_fetch16(s));
            return 10 + prefix;
        } else if constexpr (z == 1) {
            add16<XY>(s, get_rp<p, XY>(s));
            return 11 + prefix;
        } else if constexpr (z == 2 && p < 2) {
            const uint32_t address = p == 0 ? s.bc : s.de;
            if constexpr (q == 0)
                cpu_write(s, address, s.a);
            else
                s.a = cpu_read(s, address);
            return 7;
        } else if constexpr (z == 2 && p == 2) {
            const uint32_t address = cpu_fetch16(s);
            if constexpr (q == 0)
                cpu_write16(s, address, get_rp<2, XY>(s));
            else
                set_rp<2, XY>(s, cpu_read16(s, address));
            return 16 + prefix;
        } else if constexpr (z == 2) {
            const uint32_t address = cpu_fetch16(s);
            if constexpr (q == 0)
                cpu_write(s, address, s.a);
            else
                s.a = cpu_read(s, address);
            return 13;
        } else if constexpr (z == 3) {
            set_rp<p, XY>(s, (get_rp<p, XY>(s) + (q == 0 ? 1 : 0xFFFF)) & 0xFFFF);
            return 6 + prefix;
        } else if constexpr ((z == 4 || z == 5) && y == 6) {
            const uint32_t address = operand_address<XY>(s);
            const uint32_t value = cpu_read(s, address);
            cpu_write(s, address, z == 4 ? inc8(s, value) : dec8(s, value));
            return XY ? 23 : 11;
        } else if constexpr (z == 4 || z == 5) {
            const uint32_t value = get_r<y, XY>(s);
            set_r<y, XY>(s, z == 4 ? inc8(s, value) : dec8(s, value));
            return 4 + prefix;
        } else if constexpr (z == 6 && y == 6) {
            const uint32_t address = operand_address<XY>(s);
            cpu_write(s, address, cpu_fetch(s));
            return XY ? 19 : 10;
        } else if constexpr (z == 6) {
            set_r<y, XY>(s, cpu_fetch(s));
            return 7 + prefix;
        } else if constexpr (y <= 3) {
            // RLCA RRCA RLA RRA: S, Z and P/V survive.
            const uint32_t a = s.a, old_carry = s.f & Z80_FLAG_C;
            uint32_t carry;
            if constexpr (y == 0)
                carry = a >> 7, s.a = ((a << 1) | carry) & 0xFF;
            else if constexpr (y == 1)
                carry = a & 1, s.a = (a >> 1) | (carry << 7);
            else if constexpr (y == 2)
                carry = a >> 7, s.a = ((a << 1) | old_carry) & 0xFF;
            else
                carry = a & 1, s.a = (a >> 1) | (old_carry << 7);
            s.f = (s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_PV)) | carry | (s.a & Z80_FLAGS_XY);
            return 4;
        } else if constexpr (y == 4) {
            const uint32_t index
                = ((s.f & Z80_FLAG_H) << 6) | ((s.f & Z80_FLAG_N) << 8) | ((s.f & Z80_FLAG_C) << 8) | s.a;
            s.a = z80_flags.daa[index][0];
            s.f = z80_flags.daa[index][1];
            return 4;
        } else if constexpr (y == 5) {
            s.a ^= 0xFF;
            s.f = (s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_PV | Z80_FLAG_C)) | Z80_FLAG_H | Z80_FLAG_N
                | (s.a & Z80_FLAGS_XY);
            return 4;
        } else if constexpr (y == 6) {
            s.f = (s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_PV)) | Z80_FLAG_C | (s.a & Z80_FLAGS_XY);
            return 4;
        } else {
            // CCF: H takes the old carry.
            s.f = ((s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_PV | Z80_FLAG_C)) | ((s.f & Z80_FLAG_C) << 4)
                      | (s.a & Z80_FLAGS_XY))
                ^ Z80_FLAG_C;
            return 4;
        }
    } else if constexpr (OP == 0x76) {
        // HALT spends the rest of the budget in whole 4-cycle steps and
        // stays on its opcode, so every later run repeats it until an
        // interrupt steps past it.
        s.rem = (s.rem & 3) - 4;
        s.pc = (s.pc - 1) & 0xFFFF;
        return 0;
    } else if constexpr (x == 1 && y == 6) {
        const uint32_t address = operand_address<XY>(s);
        cpu_write(s, address, get_r<z, false>(s));
        return XY ? 19 : 7;
    } else if constexpr (x == 1 && z == 6) {
        set_r<y, false>(s, cpu_read(s, operand_address<XY>(s)));
        return XY ? 19 : 7;
    } else if constexpr (x == 1) {
        set_r<y, XY>(s, get_r<z, XY>(s));
        return 4 + prefix;
    } else if constexpr (x == 2 && z == 6) {
        alu<y>(s, cpu_read(s, operand_address<XY>(s)));
        return XY ? 19 : 7;
    } else if constexpr (x == 2) {
        alu<y>(s, get_r<z, XY>(s));
        return 4 + prefix;
    } else if constexpr (z == 0) {
        if (!condition<y>(s))
            return 5;
        s.pc = cpu_pop(s);
        return 11;
    } else if constexpr (z == 1 && q == 0) {
        set_rp<p, XY, true>(s, cpu_pop(s));
        return 10 + prefix;
    } else if constexpr (OP == 0xC9) {
        s.pc = cpu_pop(s);
        return 10;
    } else if constexpr (OP == 0xD9) {
        const uint32_t bc = z80.bc2, de = z80.de2, hl = z80.hl2;
        z80.bc2 = s.bc;
        z80.de2 = s.de;
        z80.hl2 = s.hl;
        s.bc = bc & 0xFFFF;
        s.de = de & 0xFFFF;
        s.hl = hl & 0xFFFF;
        return 4;
    } else if constexpr (OP == 0xE9) {
        s.pc = get_rp<2, XY>(s);
        return 4 + prefix;
    } else if constexpr (OP == 0xF9) {
        s.sp = get_rp<2, XY>(s);
        return 6 + prefix;
    } else if constexpr (z == 2) {
        const uint32_t target = cpu_fetch16(s);
        if (condition<y>(s))
            s.pc = target;
        return 10;
    } else if constexpr (OP == 0xC3) {
        s.pc = cpu_fetch16(s);
        return 10;
    } else if constexpr (OP == 0xD3) {
        const uint32_t port = (s.a << 8) | cpu_fetch(s);
        cpu_out(s, port, s.a, 8);
        return 11;
    } else if constexpr (OP == 0xDB) {
        const uint32_t port = (s.a << 8) | cpu_fetch(s);
        s.a = cpu_in(s, port, 8);
        return 11;
    } else if constexpr (OP == 0xE3) {
        const uint32_t low = cpu_read(s, s.sp);
        const uint32_t high = cpu_read(s, (s.sp + 1) & 0xFFFF);
        const uint32_t hl = get_rp<2, XY>(s);
        cpu_write(s, (s.sp + 1) & 0xFFFF, hl >> 8);
        cpu_write(s, s.sp, hl & 0xFF);
        set_rp<2, XY>(s, low | (high << 8));
        return 19 + prefix;
    } else if constexpr (OP == 0xEB) {
        const uint32_t de = s.de;
        s.de = s.hl;
        s.hl = de;
        return 4;
    } else if constexpr (OP == 0xF3) {
        z80.iff1 = z80.iff2 = 0;
        return 4;
    } else if constexpr (OP == 0xFB) {
        // The interrupt waits for the instruction after EI: the instruction
        // loop arranges that (see ei_delay in z80_execute.cpp).
        z80.iff1 = z80.iff2 = Z80_FLAG_PV;
        return 4;
    } else if constexpr (z == 4) {
        const uint32_t target = cpu_fetch16(s);
        if (!condition<y>(s))
            return 10;
        cpu_push(s, s.pc);
        s.pc = target;
        return 17;
    } else if constexpr (z == 5 && q == 0) {
        cpu_push(s, get_rp<p, XY, true>(s));
        return 11 + prefix;
    } else if constexpr (OP == 0xCD) {
        const uint32_t target = cpu_fetch16(s);
        cpu_push(s, s.pc);
        s.pc = target;
        return 17;
    } else if constexpr (z == 6) {
        alu<y>(s, cpu_fetch(s));
        return 7;
    } else if constexpr (z == 7) {
        cpu_push(s, s.pc);
        s.pc = y * 8;
        return 11;
    } else {
        static_assert(OP == 0xCB || OP == 0xDD || OP == 0xED || OP == 0xFD, "prefixes are dispatched, not executed");
        return 0;
    }
}

// Whether a DD or FD prefix changes the meaning of the opcode that follows:
// every instruction naming H, L, (HL) or HL, except EX DE,HL, and except
// LD H,H and LD L,L, whose plain forms do the same as the IXH and IXL ones.
constexpr bool has_xy_form(unsigned op)
{
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1;
    const auto names_hl = [](unsigned r) { return r >= 4 && r <= 6; };
    if (op == 0xCB)
        return true;
    if (op == 0x64 || op == 0x6D || op == 0x76)
        return false;
    switch (x) {
    case 0:
        if (z == 1)
            return (y & 1) || p == 2;
        if (z == 2 || z == 3)
            return p == 2;
        if (z >= 4 && z <= 6)
            return names_hl(y);
        return false;
    case 1:
        return names_hl(y) || names_hl(z);
    case 2:
        return names_hl(z);
    default:
        return op == 0xE1 || op == 0xE3 || op == 0xE5 || op == 0xE9 || op == 0xF9;
    }
}

// ---- CB, and DD CB / FD CB on the effective address in s.ea ----

template <unsigned OP, bool XY>
Z80_INLINE int exec_cb(Z80Cpu& s)
{
    [[maybe_unused]] constexpr unsigned x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7;
    constexpr bool in_memory = XY || z == 6;
    uint32_t address = 0, value;
    if constexpr (in_memory) {
        address = XY ? s.ea : s.hl;
        value = cpu_read(s, address);
    } else {
        value = get_r<z, false>(s);
    }

    if constexpr (x == 1) {
        bit<y>(s, value);
        return XY ? 20 : in_memory ? 12 : 8;
    } else {
        uint32_t r;
        if constexpr (x == 0)
            r = rotate<y>(s, value);
        else if constexpr (x == 2)
            r = value & ~(1u << y);
        else
            r = value | (1u << y);
        if constexpr (in_memory)
            cpu_write(s, address, r);
        // The indexed forms also copy the result into the register named by
        // the low bits.
        if constexpr (z != 6)
            set_r<z, false>(s, r);
        return XY ? 23 : in_memory ? 15 : 8;
    }
}

// ---- ED ----

// LDI LDD CPI CPD INI IND OUTI OUTD and their repeats.
template <unsigned OP>
Z80_INLINE int exec_block(Z80Cpu& s)
{
    constexpr bool decrement = OP & 0x08, repeat = OP & 0x10;
    constexpr unsigned kind = OP & 3;  // LD CP IN OUT
    constexpr uint32_t step = decrement ? 0xFFFF : 1;
    for (;;) {
        bool finished;
        if constexpr (kind == 0) {
            const uint32_t value = cpu_read(s, s.hl);
            cpu_write(s, s.de, value);
            s.hl = (s.hl + step) & 0xFFFF;
            s.de = (s.de + step) & 0xFFFF;
            s.bc = (s.bc - 1) & 0xFFFF;
            const uint32_t n = value + s.a;
            s.f = (s.f & (Z80_FLAG_S | Z80_FLAG_Z | Z80_FLAG_C)) | (s.bc ? Z80_FLAG_PV : 0) | (n & Z80_FLAG_3)
                | ((n << 4) & Z80_FLAG_5);
            finished = !s.bc;
        } else if constexpr (kind == 1) {
            const uint32_t value = cpu_read(s, s.hl);
            s.hl = (s.hl + step) & 0xFFFF;
            s.bc = (s.bc - 1) & 0xFFFF;
            const uint32_t r = (s.a - value) & 0xFF;
            const uint32_t half = (s.a ^ value ^ r) & Z80_FLAG_H;
            const uint32_t n = r - (half >> 4);
            s.f = (s.f & Z80_FLAG_C) | Z80_FLAG_N | (z80_flags.sz53[r] & (Z80_FLAG_S | Z80_FLAG_Z)) | half
                | (s.bc ? Z80_FLAG_PV : 0) | (n & Z80_FLAG_3) | ((n << 4) & Z80_FLAG_5);
            finished = !s.bc || r == 0;
        } else {
            const uint32_t c = s.bc & 0xFF;
            uint32_t value;
            if constexpr (kind == 2) {
                value = cpu_in(s, c, 10);
                s.bc = (s.bc - 0x100) & 0xFFFF;
                cpu_write(s, s.hl, value);
            } else {
                value = cpu_read(s, s.hl);
                s.bc = (s.bc - 0x100) & 0xFFFF;
                cpu_out(s, c, value, 13);
            }
            s.hl = (s.hl + step) & 0xFFFF;
            const uint32_t b = s.bc >> 8;
            const uint32_t k = value + ((kind == 2 && decrement ? c - 1 : c + 1) & 0xFF);
            s.f = z80_flags.sz53p[b] | ((value >> 6) & Z80_FLAG_N) | (k > 0xFF ? Z80_FLAG_H | Z80_FLAG_C : 0);
            finished = !b;
        }
        if (!repeat || finished)
            return 16;

        // The repeat runs on while the budget lasts; when it is spent the
        // instruction stops on its own ED prefix and the next run resumes it.
        s.rem -= 21;
        if (s.rem <= 0) {
            if constexpr (kind >= 2) {
                s.f = (s.f & (Z80_FLAG_H | Z80_FLAG_C | Z80_FLAG_N)) | ((s.bc >> 8) & (Z80_FLAG_S | Z80_FLAGS_XY));
            }
            s.pc = (s.pc - 2) & 0xFFFF;
            return 0;
        }
    }
}

template <unsigned OP>
Z80_INLINE int exec_ed(Z80Cpu& s)
{
    [[maybe_unused]] constexpr unsigned x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    if constexpr (x == 1 && z == 0) {
        // IN r,(C); y == 6 is IN (C), which keeps only the flags.
        const uint32_t value = cpu_in(s, s.bc, 9);
        if constexpr (y != 6)
            set_r<y, false>(s, value);
        s.f = (s.f & Z80_FLAG_C) | z80_flags.sz53p[value];
        return 12;
    } else if constexpr (x == 1 && z == 1) {
        uint32_t value = 0;
        if constexpr (y != 6)
            value = get_r<y, false>(s);
        cpu_out(s, s.bc, value, 9);
        return 12;
    } else if constexpr (x == 1 && z == 2) {
        adc16<q == 0>(s, get_rp<p, false>(s));
        return 15;
    } else if constexpr (x == 1 && z == 3) {
        const uint32_t address = cpu_fetch16(s);
        if constexpr (q == 0)
            cpu_write16(s, address, get_rp<p, false>(s));
        else
            set_rp<p, false>(s, cpu_read16(s, address));
        return 20;
    } else if constexpr (x == 1 && z == 4) {
        const uint32_t value = s.a;
        s.a = 0;
        alu<2>(s, value);
        return 8;
    } else if constexpr (x == 1 && z == 5) {
        // RETN and its copies, and RETI (y == 1), which also tells the
        // machine.
        s.pc = cpu_pop(s);
        z80.iff1 = z80.iff2;
        if constexpr (y == 1) {
            cpu_store(s);
            z80.reti();
            cpu_load(s);
        }
        return 14;
    } else if constexpr (x == 1 && z == 6) {
        constexpr uint8_t mode[8] = {0, 1, 1, 2, 0, 1, 1, 2};
        z80.im = mode[y];
        return 8;
    } else if constexpr (OP == 0x47) {
        z80.i = uint8_t(s.a);
        return 9;
    } else if constexpr (OP == 0x4F) {
        z80.r = z80.r7 = s.a;
        return 9;
    } else if constexpr (OP == 0x57 || OP == 0x5F) {
        if constexpr (OP == 0x57) {
            s.a = z80.i;
        } else {
            // R is not counted per fetch; it is derived from the cycles left,
            // one step every 4 cycles.
            z80.r = (~uint32_t(s.rem + z80_ei_held) >> 2) & 0x7F;
            s.a = z80.r | (z80.r7 & 0x80);
        }
        s.f = (s.f & Z80_FLAG_C) | z80_flags.sz53[s.a] | (z80.iff2 ? Z80_FLAG_PV : 0);
        return 9;
    } else if constexpr (OP == 0x67 || OP == 0x6F) {
        const uint32_t value = cpu_read(s, s.hl);
        uint32_t memory;
        if constexpr (OP == 0x67) {
            memory = ((s.a << 4) | (value >> 4)) & 0xFF;
            s.a = (s.a & 0xF0) | (value & 0x0F);
        } else {
            memory = ((value << 4) | (s.a & 0x0F)) & 0xFF;
            s.a = (s.a & 0xF0) | (value >> 4);
        }
        cpu_write(s, s.hl, memory);
        s.f = (s.f & Z80_FLAG_C) | z80_flags.sz53p[s.a];
        return 18;
    } else if constexpr (x == 2 && y >= 4 && z <= 3) {
        return exec_block<OP>(s);
    } else {
        return 8;
    }
}
