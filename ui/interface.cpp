// The interface's part of the machine's main loop.
#include "host/draw.h"
#include "host/input.h"
#include "host/log.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/session.h"

namespace {

void toggle_menus()
{
    gui_visible = !gui_visible;
    gui_close_menus();
}

void open_rom_selector()
{
    gui_visible = true;
    gui_close_menus();
    gui_open_rom_selector();
}

void draw_frame()
{
    if (gui_visible)
        gui_frame();
    overlay();
}

void hot_keys()
{
    // While a music log runs, Escape ends it instead of opening the menus.
    if (game_key_down(KEY_ESC)) {
        key_clear(KEY_ESC);
        if (psg_logging) {
            psg_log_stop();
            gui_open_save_psg(psg_log_offered_name(machine.psg_file));
        } else
            toggle_menus();
    }
    if (!psg_logging && game_key_down(KEY_LALT) && game_key_down(KEY_L)) {
        key_clear(KEY_L);
        open_rom_selector();
    }
}

// What a player meets with no game: how to start one, in a panel drawn as
// the windows are. Only on an empty screen, so that it never lies under a
// menu or a window.
void draw_start_screen()
{
    if (menu_open)
        return;
    for (const DialogSlot& slot : dialog_slots)
        if (slot.in_use)
            return;
    const int x = screen_image.width / 2;
    const int y = screen_image.height / 2 - 45;
    draw_window_frame(x - 100, y, x + 100, y + 85, "tarven: Master System and Game Gear");
    // Without the close box: there is nothing to close.
    vid_rect(x + 100 - 7, y + 2, x + 100 - 2, y + 8, vid_make_color(0, 40, 170), screen_image);
    text_colour(vid_make_color(30, 255, 30));
    text_print_centred(x, y + 17, "To play, open a game:");
    text_colour(vid_make_color(220, 220, 220));
    text_print_centred(x, y + 29, "alt-l, or File and Open ROM...,");
    text_print_centred(x, y + 39, "or drop a .sms or .gg file here.");
    text_print_centred(x, y + 59, "ESC shows or hides the menus,");
    text_print_centred(x, y + 69, "alt-x quits.");
}

void run_menu_only()
{
    // A menu action that asks for a fresh start (Free ROM) ends the pass too.
    while (!machine.rom_loaded && !quit_run) {
        input_poll();
        hot_keys();
        vid_clear(0, screen_image);
        draw_start_screen();
        if (gui_visible)
            gui_frame();
        // A file the selector refused says why here too.
        overlay_message();
        vid_show_page();
        host_sleep_ms(10);
        psg_silence();
    }
}

}  // namespace

void gui_install_hooks()
{
    interface_hooks = InterfaceHooks {draw_frame, hot_keys, run_menu_only, config_write};
    interface_hooks.controls = session_controls;
    // A recording running at the quit is kept.
    exit_hook_add(session_stop, "Input session");
    window_takes_key = gui_takes_key;
}
