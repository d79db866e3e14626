// tarven: the desktop emulator. Brings the host layer and the machine up in
// order, then hands over to the main loop, which never returns: every way out
// goes through fatal_exit.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/draw.h"
#include "host/file.h"
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

constexpr const char* USAGE = "usage: tarven [ROM]\n"
                              "Starts with the game in ROM (a .sms, .gg, .sg or .sc image, or a .zip or .7z\n"
                              "of one), or with the menus.\n"
                              "Settings are kept in tarven.cfg: in the current folder when one is there,\n"
                              "else in $XDG_CONFIG_HOME/tarven (~/.config/tarven).\n";

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

std::string config_file;

// A tarven.cfg in the current folder keeps the settings, the log and the
// screenshots there, as a set-up carried on a stick wants. Otherwise they
// go to the user's own folders, not to wherever the desktop started us.
void choose_user_files()
{
    struct stat status;
    if (stat("tarven.cfg", &status) == 0)
        return;
    const std::string config = user_folder("XDG_CONFIG_HOME", ".config");
    if (!config.empty() && make_folders(config)) {
        config_file = config + "/tarven.cfg";
        config_path = config_file.c_str();
    }
    const std::string state = user_folder("XDG_STATE_HOME", ".local/state");
    if (!state.empty() && make_folders(state))
        log_set_path(state + "/tarven.log");
    screenshot_folder = user_pictures_folder();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    const std::string rom_path = rom_path_from(argc, argv);
    // A game whose name starts with a dash is still opened by that name.
    struct stat status;
    if (argc > 1 && argv[1][0] == '-' && stat(rom_path.c_str(), &status) != 0) {
        std::fprintf(stderr, "tarven: unknown option %s\n%s", argv[1], USAGE);
        return 2;
    }

    choose_user_files();
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
    psg_set_gg_speaker(settings.gg_speaker);
    exit_hook_add(SMS_FreeMachine, "Machine (Save RAM)");
    exit_hook_add(mixer_shutdown, "Mikmod SMS Sound Player");
    SMS_SetupCPU();
    rom_list_build();
    file_drop_handler = gui_open_file;
    interface_hooks.take_picture = screenshot_key;
    SMS_Start(rom_path.c_str());
}
