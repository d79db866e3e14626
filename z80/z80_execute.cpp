// The instruction loop: direct-threaded dispatch with GCC's labels as
// values. Every opcode of every table has its own label, stamped out below
// from the templates in z80_ops.h; each handler charges its cycles, tests
// the budget, fetches the next opcode and jumps straight to its handler, so
// nothing else runs between two instructions.
#include "z80/z80_ops.h"

// Stamps m(table, nn) for the 256 two-digit hex opcodes nn.
#define Z80_HEX16(m, t, h)                                                                                             \
    m(t, h##0) m(t, h##1) m(t, h##2) m(t, h##3) m(t, h##4) m(t, h##5) m(t, h##6) m(t, h##7) m(t, h##8) m(t, h##9)      \
        m(t, h##A) m(t, h##B) m(t, h##C) m(t, h##D) m(t, h##E) m(t, h##F)
#define Z80_HEX256(m, t)                                                                                               \
    Z80_HEX16(m, t, 0)                                                                                                 \
    Z80_HEX16(m, t, 1) Z80_HEX16(m, t, 2) Z80_HEX16(m, t, 3) Z80_HEX16(m, t, 4) Z80_HEX16(m, t, 5) Z80_HEX16(m, t, 6)  \
        Z80_HEX16(m, t, 7) Z80_HEX16(m, t, 8) Z80_HEX16(m, t, 9) Z80_HEX16(m, t, A) Z80_HEX16(m, t, B)                 \
            Z80_HEX16(m, t, C) Z80_HEX16(m, t, D) Z80_HEX16(m, t, E) Z80_HEX16(m, t, F)

#define Z80_LABEL_ADDRESS(t, n) &&t##_##n,

// Charges an instruction's cycles; ends the run once the budget is spent,
// else goes straight on to the next opcode.
#define Z80_CHARGE(cycles)                                                                                             \
    do {                                                                                                               \
        s.rem -= (cycles);                                                                                             \
        if (s.rem <= 0) [[unlikely]]                                                                                   \
            goto out;                                                                                                  \
        goto* main_table[cpu_fetch(s)];                                                                                \
    } while (0)

// Prefixes charge nothing and do no budget test: the prefixed handler
// charges the whole instruction.
#define Z80_MAIN_HANDLER(t, n)                                                                                         \
    t##_##n:                                                                                                           \
    {                                                                                                                  \
        constexpr unsigned op = 0x##n;                                                                                 \
        if constexpr (op == 0xCB) {                                                                                    \
            goto* cb_table[cpu_fetch(s)];                                                                              \
        } else if constexpr (op == 0xED) {                                                                             \
            goto* ed_table[cpu_fetch(s)];                                                                              \
        } else if constexpr (op == 0xDD || op == 0xFD) {                                                               \
            s.idx = op == 0xDD ? &z80.ix : &z80.iy;                                                                    \
            goto* xy_table[cpu_fetch(s)];                                                                              \
        } else if constexpr (op == 0xFB) {                                                                             \
            s.rem -= exec_main<op, false>(s);                                                                          \
            goto ei_delay;                                                                                             \
        } else {                                                                                                       \
            Z80_CHARGE((exec_main<op, false>(s)));                                                                     \
        }                                                                                                              \
    }

// One table serves DD and FD; s.idx says which index register it acts on.
// An opcode without an indexed form costs the prefix 4 cycles and is then
// decoded afresh, as if the prefix had not been there.
#define Z80_XY_HANDLER(t, n)                                                                                           \
    t##_##n:                                                                                                           \
    {                                                                                                                  \
        constexpr unsigned op = 0x##n;                                                                                 \
        if constexpr (op == 0xCB) {                                                                                    \
            s.ea = (*s.idx + uint32_t(int8_t(cpu_fetch(s)))) & 0xFFFF;                                                 \
            goto* xycb_table[cpu_fetch(s)];                                                                            \
        } else if constexpr (has_xy_form(op)) {                                                                        \
            Z80_CHARGE((exec_main<op, true>(s)));                                                                      \
        } else {                                                                                                       \
            s.pc = (s.pc - 1) & 0xFFFF;                                                                                \
            Z80_CHARGE(4);                                                                                             \
        }                                                                                                              \
    }

#define Z80_CB_HANDLER(t, n) t##_##n : Z80_CHARGE((exec_cb<0x##n, false>(s)));
#define Z80_XYCB_HANDLER(t, n) t##_##n : Z80_CHARGE((exec_cb<0x##n, true>(s)));
#define Z80_ED_HANDLER(t, n) t##_##n : Z80_CHARGE((exec_ed<0x##n>(s)));

int32_t Z80_Execute(int32_t budget)
{
    static const void* const main_table[256] = {Z80_HEX256(Z80_LABEL_ADDRESS, main)};
    static const void* const xy_table[256] = {Z80_HEX256(Z80_LABEL_ADDRESS, xy)};
    static const void* const cb_table[256] = {Z80_HEX256(Z80_LABEL_ADDRESS, cb)};
    static const void* const xycb_table[256] = {Z80_HEX256(Z80_LABEL_ADDRESS, xycb)};
    static const void* const ed_table[256] = {Z80_HEX256(Z80_LABEL_ADDRESS, ed)};

    // A negative budget is no request to run for billions of cycles: like a
    // budget of 0 it runs exactly one instruction.
    if (budget < 0)
        budget = 0;
    z80_budget = budget;
    z80_remaining = budget;
    Z80Cpu s;
    cpu_load(s);
    s.idx = &z80.ix;
    s.ea = 0;
    goto* main_table[cpu_fetch(s)];

    Z80_HEX256(Z80_MAIN_HANDLER, main)
    Z80_HEX256(Z80_XY_HANDLER, xy)
    Z80_HEX256(Z80_CB_HANDLER, cb)
    Z80_HEX256(Z80_XYCB_HANDLER, xycb)
    Z80_HEX256(Z80_ED_HANDLER, ed)

    // EI: hold back all but one of the cycles left, so that the next
    // instruction (whatever the budget) ends the run; an EI right after EI
    // first takes back the earlier hold.
ei_delay:
    s.rem += z80_ei_held;
    z80_budget += z80_ei_held;
    z80_ei_held = s.rem - 1;
    z80_budget -= z80_ei_held;
    s.rem = 1;
    z80_ei_pending = true;
    goto* main_table[cpu_fetch(s)];

out:
    if (z80_ei_pending) [[unlikely]] {
        z80_ei_pending = false;
        s.rem += z80_ei_held;
        z80_budget += z80_ei_held;
        z80_ei_held = 0;
        if (z80.iff1 && z80.irq_line) {
            cpu_store(s);
            z80_accept_irq();
            cpu_load(s);
        }
        if (s.rem > 0)
            goto* main_table[cpu_fetch(s)];
    }
    cpu_store(s);
    return z80_budget - s.rem;
}
