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
            gui_open_save_psg(machine.psg_file);
        } else
            toggle_menus();
    }
    if (!psg_logging && game_key_down(KEY_LALT) && game_key_down(KEY_L)) {
        key_clear(KEY_L);
        open_rom_selector();
    }
}

void run_menu_only()
{
    // A menu action that asks for a fresh start (Free ROM) ends the pass too.
    while (!machine.rom_loaded && !quit_run) {
        input_poll();
        hot_keys();
        vid_clear(0, screen_image);
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
