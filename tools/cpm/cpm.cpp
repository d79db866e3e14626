#include "tools/cpm/cpm.h"

#include <cstring>

#include "z80/z80.h"

CpmMachine cpm;

namespace {

// The program reaches the harness through OUT instructions to two ports of
// its own, placed in small trap sequences: warm boot at 0x0000 and the BDOS
// behind the jump at 0x0005.
constexpr int PORT_WARM_BOOT = 0xFE;
constexpr int PORT_BDOS = 0xFF;
constexpr uint32_t BDOS_TRAP = 0xFF00;
constexpr uint32_t TPA_START = 0x0100;
// The stack starts just below the BDOS trap with a return address of 0x0000
// on it, so a program may also end with RET.
constexpr uint32_t STACK_TOP = BDOS_TRAP - 2;

void emit(char c)
{
    cpm.output += c;
    if (cpm.echo) {
        std::fputc(c, cpm.echo);
        if (c == '\n')
            std::fflush(cpm.echo);
    }
}

void finish()
{
    cpm.finished = true;
    Z80_EndTimeslice();
}

void bdos_call()
{
    const uint32_t function = Z80_GetRegister(Z80_REG_BC) & 0xFF;
    const uint32_t de = Z80_GetRegister(Z80_REG_DE);
    switch (function) {
    case 0:
        finish();
        break;
    case 2:
        emit(char(de & 0xFF));
        break;
    case 9:
        // A string that never ends stops after one lap of memory.
        for (uint32_t n = 0; n < 0x10000; ++n) {
            const char c = char(cpm.ram[(de + n) & 0xFFFF]);
            if (c == '$')
                break;
            emit(c);
        }
        break;
    default:
        break;  // nothing else is served
    }
}

void cpm_port_out(int port, int)
{
    switch (port & 0xFF) {
    case PORT_WARM_BOOT:
        finish();
        break;
    case PORT_BDOS:
        bdos_call();
        break;
    default:
        break;
    }
}

}  // namespace

bool cpm_load(const char* path, FILE* echo)
{
    std::memset(cpm.ram, 0, sizeof cpm.ram);
    cpm.output.clear();
    cpm.echo = echo;
    cpm.finished = false;
    cpm.cycles = 0;

    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    const size_t room = STACK_TOP - TPA_START;
    const size_t size = std::fread(cpm.ram + TPA_START, 1, room, file);
    const bool too_big = std::fgetc(file) != EOF;
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (too_big || failed || size == 0)
        return false;

    // 0x0000: OUT (PORT_WARM_BOOT),A; HALT
    const uint8_t warm_boot[] = {0xD3, PORT_WARM_BOOT, 0x76};
    // 0x0005: JP BDOS_TRAP; programs read the top of their memory from 0x0006.
    const uint8_t bdos_entry[] = {0xC3, BDOS_TRAP & 0xFF, BDOS_TRAP >> 8};
    // BDOS_TRAP: OUT (PORT_BDOS),A; RET
    const uint8_t bdos[] = {0xD3, PORT_BDOS, 0xC9};
    std::memcpy(cpm.ram, warm_boot, sizeof warm_boot);
    std::memcpy(cpm.ram + 5, bdos_entry, sizeof bdos_entry);
    std::memcpy(cpm.ram + BDOS_TRAP, bdos, sizeof bdos);

    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, cpm.ram);
    Z80_MapReadDirect(0x0000, 0xFFFF, cpm.ram);
    Z80_MapWriteDirect(0x0000, 0xFFFF, cpm.ram);
    Z80_EndMemoryMap();
    Z80_SetPortOutHandler(cpm_port_out);
    Z80_Reset();
    Z80_SetRegister(Z80_REG_PC, TPA_START);
    Z80_SetRegister(Z80_REG_SP, STACK_TOP);
    return true;
}

bool cpm_run(uint64_t max_cycles, int32_t slice)
{
    if (slice < 1)
        slice = 1;
    while (!cpm.finished && cpm.cycles < max_cycles)
        cpm.cycles += uint64_t(Z80_Execute(slice));
    return cpm.finished;
}
