#include "machine/scheduler.h"

#include <algorithm>

#include "host/draw.h"
#include "host/input.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/lightgun.h"
#include "machine/machine.h"
#include "machine/rewind.h"
#include "machine/savestate.h"
#include "machine/settings.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "vdp/render.h"
#include "vdp/sprites.h"
#include "vdp/tms.h"
#include "vdp/vdp.h"
#include "z80/z80.h"

int16_t line_budget = CYCLES_PER_LINE;
bool gui_visible = false;
bool quit_run = false;
int32_t state_slot = 0;
int32_t slot_popup_until = 0;
std::string message;
int32_t message_until = 0;
int32_t frame_count = 0;
int32_t fps = 0;
InterfaceHooks interface_hooks;

namespace {

constexpr int POPUP_TICKS = 150;
constexpr int POPUP_READ_TICKS = 60;

template <typename Pixel>
void render_line(int line)
{
    render_background_line<Pixel>(line);
    render_sprite_line<Pixel>(line);
    if (render_line_priority)
        render_priority_line<Pixel>(line);
}

// Keys 1-9 select slots 0-8 and key 0 slot 9, so the boxes read like the keys.
void select_state_slot(int slot)
{
    state_slot = slot;
    machine.state_file.back() = static_cast<char>('0' + slot);
    slot_popup_until = key_clock.load(std::memory_order_relaxed) + POPUP_TICKS;
}

void pace_frame()
{
    // Ticks that piled up during a slow frame are dropped: the game slows
    // down rather than skipping frames. A display that paces the frames has
    // already waited in the present. Held, F10 fast-forwards: no frame
    // waits; released, the next frame waits for the next tick, so no burst
    // of frames makes up for the time.
    vid_fast_forward = key_down(KEY_F10);
    while (!vid_fast_forward && !vid_display_paces && frame_ticks.load(std::memory_order_relaxed) == 0)
        frame_ticks.wait(0, std::memory_order_relaxed);
    frame_count += 1;
    frame_ticks.store(0, std::memory_order_relaxed);

    if (tick_count.load(std::memory_order_relaxed) >= 2 * settings.frame_rate) {
        tick_count.store(0, std::memory_order_relaxed);
        fps = frame_count / 2;
        frame_count = 0;
    }
}

void end_frame()
{
    if (psg_logging)
        psg_log_frame();

    if (!psg_logging && game_key_down(KEY_F5)) {
        key_clear(KEY_F5);
        SMS_SaveState();
    }
    if (!psg_logging && game_key_down(KEY_F7)) {
        key_clear(KEY_F7);
        SMS_LoadState();
    }
    if (!psg_logging && game_key_down(KEY_LALT) && game_key_down(KEY_P)) {
        key_clear(KEY_P);
        psg_log_start();
        gui_visible = false;
    }
    // Held, F9 steps back a frame at each frame; a music log only records forwards.
    SMS_RewindFrame(!psg_logging && key_down(KEY_F9));

    input_poll();
    SMS_UpdateControllers();
    render_frame_masks();
    if (interface_hooks.take_picture)
        interface_hooks.take_picture();
    if (interface_hooks.draw_frame)
        interface_hooks.draw_frame();
    vid_show_page();
    render_frame_borders();
    pace_frame();
}

// The hot keys tested after every scanline.
void handle_line_hot_keys()
{
    if (game_key_down(KEY_LSHIFT) && game_key_down(KEY_TAB)) {
        key_clear(KEY_LSHIFT);
        key_clear(KEY_TAB);
        SMS_FreeMachine();
        SMS_InitMachine();
    }
    if (interface_hooks.hot_keys)
        interface_hooks.hot_keys();

    if (psg_logging)
        return;
    if (game_key_down(KEY_0)) {
        key_clear(KEY_0);
        select_state_slot(9);
    }
    for (int slot = 0; slot < 9; ++slot) {
        if (game_key_down(KEY_1 + slot)) {
            key_clear(KEY_1 + slot);
            select_state_slot(slot);
        }
    }
}

}  // namespace

void show_message(const std::string& text)
{
    message = text;
    // Long enough to read: some fifteen characters a second.
    const int ticks = std::max(POPUP_TICKS, POPUP_READ_TICKS + 4 * static_cast<int>(text.size()));
    message_until = key_clock.load(std::memory_order_relaxed) + ticks;
}

void SMS_Scanline()
{
    // The standard and the sprite switch change between frames only, so
    // that a frame keeps one line count.
    if (++vdp.vcounter >= vdp_lines_per_frame()) {
        vdp.vcounter = 0;
        SMS_ApplyVideoSettings();
    }
    const int line = vdp.vcounter;
    if (vdp_line_step(line))
        Z80_RaiseIRQ(0xFF);

    // The picture's height is the mode's at the frame's first line: a game
    // that changes mode mid-frame changes it from the next frame on.
    if (line == 0 && vdp_display_lines() != picture_height) {
        vid_set_picture_height(vdp_display_lines());
        render_frame_borders();
    }
    if (line < picture_height) {
        if (vdp_tms_mode()) {
            tms_line(line, video_active);
        } else {
            // Evaluated without a picture too: the game reads the flags.
            vdp_sprites_evaluate(line);
            if (video_active) {
                if (vid_depth() == 32)
                    render_line<uint32_t>(line);
                else
                    render_line<uint16_t>(line);
            }
        }
    }
    // The gun sees the line as drawn, before the CPU runs through it.
    lightgun_line(line);
    if (line == picture_height)
        end_frame();
}

void SMS_Start(const char* rom_path)
{
    vid_fill_mode = 1;
    // With a game named the menus stay out of the way; without one they are
    // the only thing to show.
    gui_visible = rom_path[0] == '\0';
    if (!gui_visible) {
        SMS_LoadROM(rom_path);
        SMS_InitMachine();
    }
    for (;;) {
        SMS_Run();
        quit_run = false;
    }
}

void SMS_Run()
{
    if (!machine.rom_loaded) {
        if (interface_hooks.run_without_rom)
            interface_hooks.run_without_rom();
        return;
    }
    line_budget = CYCLES_PER_LINE;
    SMS_RunOn();
}

void SMS_RunOn()
{
    while (!quit_run) {
        vdp.slice_start = CYCLES_PER_LINE - line_budget;
        const int32_t executed = Z80_Execute(line_budget);
        // The overshoot of the last instruction is taken from the next line,
        // so the long-run rate is exact.
        line_budget = static_cast<int16_t>(line_budget + CYCLES_PER_LINE - executed);
        SMS_Scanline();
        handle_line_hot_keys();
    }
}
