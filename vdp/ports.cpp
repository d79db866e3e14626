// The chip's ports as the CPU sees them: the two-byte control word, the data
// port with its read-ahead buffer, the status byte and the counters.
#include "vdp/vdp.h"
#include "z80/z80.h"

namespace {

void advance_address()
{
    vdp.address = (vdp.address + 1) & VDP_VRAM_MASK;
}

}  // namespace

void vdp_control_write(uint8_t value)
{
    if (!vdp.latch_pending) {
        // The first byte lands in the address at once: a game that sends
        // only one byte between two data accesses moves within the page.
        vdp.address = (vdp.address & 0x3F00) | value;
        vdp.latch_low = value;
        vdp.latch_pending = true;
        return;
    }
    vdp.latch_pending = false;
    vdp.address = ((value & 0x3F) << 8) | vdp.latch_low;
    vdp.code = value >> 6;
    if (vdp.code == VDP_CODE_VRAM_READ) {
        vdp.read_buffer = vdp.vram[vdp.address];
        advance_address();
    } else if (vdp.code == VDP_CODE_REGISTER) {
        vdp_register_write(value & 0x0F, vdp.latch_low);
        // An enable bit may uncover a pending flag, or hide it.
        if ((value & 0x0F) <= 1)
            vdp_irq_update();
    }
}

void vdp_data_write(uint8_t value)
{
    vdp.latch_pending = false;
    // Whatever the code, a write also fills the read-ahead buffer.
    vdp.read_buffer = value;
    if (vdp.code == VDP_CODE_CRAM_WRITE)
        vdp_cram_write(vdp.address, value);
    else
        vdp_vram_write(vdp.address, value);
    advance_address();
}

uint8_t vdp_data_read()
{
    const uint8_t result = vdp.read_buffer;
    vdp.latch_pending = false;
    // Reads come from VRAM whatever the code, CRAM set-ups included.
    vdp.read_buffer = vdp.vram[vdp.address];
    advance_address();
    return result;
}

uint8_t vdp_status_read()
{
    vdp.latch_pending = false;
    const uint8_t result = vdp.status;
    vdp.status = 0;
    vdp.line_irq = false;
    Z80_LowerIRQ();
    return result;
}

uint8_t vdp_hcounter_read()
{
    return vdp.hcounter_latch;
}
