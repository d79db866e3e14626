// Shared between the core's interface and its instruction loop; not for
// users of the core.
#pragma once

#include "z80/z80.h"

// The counters beside the record: cycles left in the current Z80_Execute
// call and that call's budget. They are not part of the context, so context
// copies do not move them.
extern int32_t z80_remaining;
extern int32_t z80_budget;

// The Z80 accepts an interrupt only after the instruction that follows EI
// (so that EI; RETI leaves a handler before the next interrupt enters it).
// After EI the loop holds back all but one of the cycles left, so that the
// next instruction ends the run, then gives them back and samples the line.
// z80_ei_pending is true only while that instruction runs; z80_ei_held is
// the count held back (negative when EI itself ended the budget: the run is
// then stretched by one instruction). The counters above stay consistent
// with the hold, so callbacks see the true elapsed cycles.
extern bool z80_ei_pending;
extern int32_t z80_ei_held;

// Data accesses through the record's read and write pages, for the work done
// outside the instruction loop (interrupt acceptance).
uint32_t z80_read_byte(uint32_t address);
void z80_write_byte(uint32_t address, uint32_t value);

// Accepts the maskable interrupt with the record as it stands: IFF1 and
// IFF2 are cleared, a HALT at PC is stepped over, PC is pushed and the mode
// decides the new PC. Charges no cycles.
void z80_accept_irq();
