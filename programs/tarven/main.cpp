// tarven: the desktop emulator. Brings the host layer and the machine up in
// order, then hands over to the main loop, which never returns: every way out
// goes through fatal_exit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/draw.h"
#include "host/input.h"
#include "host/log.h"
#include "host/picture/picture.h"
#include "host/sdl/sdl_host.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "ui/config.h"
#include "ui/gui.h"
#include "ui/rom_list.h"

namespace {

// The arguments joined by spaces, so that a path with spaces needs no quotes.
std::string rom_path_from(int argc, char** argv)
{
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            path += ' ';
        path += argv[i];
    }
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: tarven [ROM]\n"
                    "Starts with the game in ROM (a .sms, .gg, .sg or .sc image), or with the menus.\n"
                    "Settings are kept in tarven.cfg in the current directory.\n");
        return 0;
    }
    const std::string rom_path = rom_path_from(argc, argv);

    fatal_set_message_handler(sdl_fatal_message);
    log_reset();
    config_read();
    gui_install_hooks();
    timer_start(settings.frame_rate);
    vid_apply_mode();
    input_open();
    vid_clear(0, screen_image);
    vid_show_page();
    mixer_register_output(std::getenv("TARVEN_AUDIO_OUT"));
    mixer_init(2, settings.frame_rate);
    psg_set_frame_rate(settings.frame_rate);
    psg_create();
    psg_set_sound(settings.sound);
    exit_hook_add(SMS_FreeMachine, "Machine (Save RAM)");
    exit_hook_add(mixer_shutdown, "Mikmod SMS Sound Player");
    SMS_SetupCPU();
    rom_list_build();
    file_drop_handler = SMS_OpenROM;
    interface_hooks.take_picture = screenshot_key;
    SMS_Start(rom_path.c_str());
}
