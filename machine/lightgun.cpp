#include "machine/lightgun.h"

#include <algorithm>
#include <cstdlib>

#include "host/draw.h"
#include "host/input.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "vdp/render.h"
#include "vdp/vdp.h"

namespace {

constexpr int LEFT_COLUMN = 8;  // the pixels register 0 bit 5 blanks

// The sensor's spot on the screen: a disc of radius 4 pixels, its half
// widths per line away from the centre.
constexpr int SPOT_RADIUS = 4;
constexpr int SPOT_HALF_WIDTH[SPOT_RADIUS + 1] = {4, 4, 3, 3, 0};

// Luma (of 255) at which a pixel is bright enough for the sensor: white,
// yellow, cyan, green and the light greys are; blue, red and the dark
// shades are not.
constexpr uint32_t LIT_LUMA = 96;

constexpr uint8_t TH_INPUT[2] = {0x02, 0x08};  // port 0x3F's direction bits
constexpr uint8_t TH_BIT[2] = {0x40, 0x80};  // in port 0xDD

// On the current line, the cycle at which the beam first draws a lit pixel
// inside the spot; -1 when it draws none. The sensor's output then stays
// active to the line's end: it outlasts the beam's passing, so that a
// game's polling loop, some forty pixels a turn, sees it.
struct Pulse {
    int first = -1;
    bool latched = false;
};

Pulse pulses[2];

bool is_gun(int port)
{
    return !machine.is_gg && machine_controls.devices[port] == PortDevice::lightgun;
}

bool lit(int x, int line)
{
    // The blanked left column is drawn in at the frame's end; the console
    // shows the backdrop there all along.
    const bool blanked = x < LEFT_COLUMN && (vdp.registers[0] & 0x20);
    const uint32_t rgb = blanked ? vid_pixel_xrgb(render_backdrop_colour()) : picture_pixel_xrgb(x, line);
    const uint32_t luma = (77 * (rgb >> 16 & 0xFF) + 150 * (rgb >> 8 & 0xFF) + 29 * (rgb & 0xFF)) >> 8;
    return luma >= LIT_LUMA;
}

Pulse sense(int line)
{
    Pulse pulse;
    const int aim_x = machine_controls.aim_x;
    const int distance = std::abs(line - machine_controls.aim_y);
    const int y = picture_y_offset + line;
    if (distance > SPOT_RADIUS || !video_active || !video_driver.format || !screen_image.pixels || y < 0
        || y >= screen_image.height)
        return pulse;
    // Only what the screen image holds of the picture was drawn.
    const int half = SPOT_HALF_WIDTH[distance];
    const int from = std::max({aim_x - half, 0, -picture_x_offset});
    const int to = std::min({aim_x + half, VDP_PICTURE_WIDTH - 1, screen_image.width - picture_x_offset - 1});
    for (int x = from; x <= to; ++x) {
        if (lit(x, line)) {
            pulse.first = vdp_cycle_of_picture_x(x);
            break;
        }
    }
    return pulse;
}

void latch_passed(int cycle)
{
    for (int port = 0; port < 2; ++port) {
        Pulse& pulse = pulses[port];
        if (pulse.first < 0 || pulse.latched || cycle < pulse.first)
            continue;
        pulse.latched = true;
        if (machine.io_control & TH_INPUT[port])
            vdp_latch_hcounter_at(pulse.first);
    }
}

}  // namespace

void lightgun_line(int line)
{
    latch_passed(VDP_CYCLES_PER_LINE);
    // Only the lines this frame's picture has are drawn.
    const bool seen = line < picture_height;
    for (int port = 0; port < 2; ++port)
        pulses[port] = seen && is_gun(port) ? sense(line) : Pulse {};
}

void lightgun_catch_up()
{
    latch_passed(vdp_line_cycle());
}

uint8_t lightgun_th_low_bits()
{
    lightgun_catch_up();
    const int cycle = vdp_line_cycle();
    uint8_t bits = 0;
    for (int port = 0; port < 2; ++port) {
        const Pulse& pulse = pulses[port];
        if ((machine.io_control & TH_INPUT[port]) && pulse.first >= 0 && pulse.first <= cycle)
            bits |= TH_BIT[port];
    }
    return bits;
}

bool lightgun_trigger()
{
    return mouse_left != 0 && !gui_visible;
}
