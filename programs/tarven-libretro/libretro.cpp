// tarven_libretro: the machine as a libretro core, for frontends such as
// RetroArch. Frames run as in tarven-headless (a memory back buffer, one
// simulated timer tick per frame), one frame per retro_run; the frontend
// brings the window, the sound device, the pads, the save files and the
// states.
#include <libretro.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/picture/picture.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/rewind.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "machine/sg1000.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "vdp/vdp.h"

namespace {

constexpr size_t SAVE_RAM_SIZE = 2 * CART_RAM_BANK_SIZE;
// The buttons of the joystick records the machine reads the pads from.
constexpr int PAD_BUTTON1 = 0;
constexpr int PAD_BUTTON2 = 1;
constexpr int PAD_PAUSE = 2;

retro_environment_t environ_cb;
retro_video_refresh_t video_cb;
retro_audio_sample_batch_t audio_batch_cb;
retro_input_poll_t input_poll_cb;
retro_input_state_t input_state_cb;
retro_log_printf_t log_cb;

// The cartridge RAM as the frontend sees it: both banks in one block that
// stays put. The machine's banks are filled from it before the game runs
// after a load or reset, and copied back after each frame.
std::array<uint8_t, SAVE_RAM_SIZE> save_ram;
bool save_ram_to_machine = false;
// Between the load and the first frame, when the frontend fills the save
// RAM from its .srm file.
bool save_ram_loading = false;
std::vector<uint8_t> state_bytes;
std::vector<int16_t> frame_sound;

retro_variable option_list[] = {
    {"tarven_region", "Region; USA/European|Japanese"},
    {"tarven_video_standard", "Video standard; NTSC|PAL"},
    {"tarven_gg_speaker", "Game Gear speaker (every channel, no stereo); Off|On"},
    {"tarven_console", "Console; By cartridge|Master System|Master System II|Game Gear"},
    {nullptr, nullptr},
};

void log_to_stderr(retro_log_level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void take_save_ram()
{
    if (!save_ram_to_machine || !machine.machine_ready)
        return;
    for (int bank = 0; bank < 2; ++bank)
        std::memcpy(machine.cart_ram[bank].data(), save_ram.data() + bank * CART_RAM_BANK_SIZE, CART_RAM_BANK_SIZE);
    save_ram_to_machine = false;
}

// Banks the game has not mapped yet still hold what the frontend gave.
void give_save_ram()
{
    if (save_ram_to_machine || !machine.machine_ready || !machine.cart_ram_used)
        return;
    for (int bank = 0; bank < 2; ++bank)
        std::memcpy(save_ram.data() + bank * CART_RAM_BANK_SIZE, machine.cart_ram[bank].data(), CART_RAM_BANK_SIZE);
}

// Whether the frontend has save RAM to keep: until the first frame it may
// still give the game's .srm; after, a game with cartridge RAM has some, and
// so does one whose .srm held anything, kept as it was. Other games leave
// no .srm behind.
bool save_ram_kept()
{
    return save_ram_loading || machine.cart_ram_used
        || std::any_of(save_ram.begin(), save_ram.end(), [](uint8_t byte) { return byte != 0; });
}

const char* option_value(const char* key)
{
    retro_variable variable {key, nullptr};
    if (environ_cb && environ_cb(RETRO_ENVIRONMENT_GET_VARIABLE, &variable) && variable.value)
        return variable.value;
    return "";
}

// What the console shows of the picture.
PictureArea shown_area()
{
    return machine.rom_loaded && machine.is_gg ? game_gear_picture() : whole_picture();
}

// The picture's height the frontend was last told of.
int told_height = 0;

retro_game_geometry geometry()
{
    const PictureArea area = shown_area();
    told_height = area.height;
    // Square pixels, as in tarven's window: 256 x 192 is 4:3, and a taller
    // mode's picture is taller still.
    return {static_cast<unsigned>(area.width), static_cast<unsigned>(area.height), 256, PICTURE_LINES_MAX,
        static_cast<float>(area.width) / area.height};
}

retro_system_av_info av_info()
{
    retro_system_av_info info {};
    info.geometry = geometry();
    // Exactly MIXER_RATE / frame_rate samples a frame, so the two agree.
    info.timing.fps = settings.frame_rate;
    info.timing.sample_rate = MIXER_RATE;
    return info;
}

// The console choices, by Console.
const char* const CONSOLE_NAMES[] = {"By cartridge", "Master System", "Master System II", "Game Gear"};

void start_machine()
{
    SMS_InitMachine();
    line_budget = CYCLES_PER_LINE;
    save_ram_to_machine = true;
}

// Region, video standard and speaker take effect at once, as in the menus;
// so does the console, with a hard reset.
void apply_options(bool running)
{
    settings.usa = std::strcmp(option_value("tarven_region"), "Japanese") != 0;
    settings.gg_speaker = std::strcmp(option_value("tarven_gg_speaker"), "On") == 0;
    psg_set_gg_speaker(settings.gg_speaker);
    const char* console_option = option_value("tarven_console");
    const auto* console = std::find_if(std::begin(CONSOLE_NAMES), std::end(CONSOLE_NAMES),
        [console_option](const char* name) { return std::strcmp(console_option, name) == 0; });
    const int32_t chosen = console == std::end(CONSOLE_NAMES)
        ? CONSOLE_BY_CARTRIDGE
        : static_cast<int32_t>(console - std::begin(CONSOLE_NAMES));
    if (chosen != settings.console) {
        settings.console = chosen;
        if (running)
            start_machine();
    }
    const int rate = std::strcmp(option_value("tarven_video_standard"), "PAL") == 0 ? 50 : 60;
    if (rate == settings.frame_rate)
        return;
    settings.frame_rate = rate;
    timer_set_rate(rate);
    psg_set_frame_rate(rate);
    if (running) {
        retro_system_av_info info = av_info();
        environ_cb(RETRO_ENVIRONMENT_SET_SYSTEM_AV_INFO, &info);
    }
}

void read_pad(unsigned port, JoystickState& pad)
{
    auto held = [port](unsigned id) { return input_state_cb(port, RETRO_DEVICE_JOYPAD, 0, id) != 0; };
    pad.up = held(RETRO_DEVICE_ID_JOYPAD_UP);
    pad.down = held(RETRO_DEVICE_ID_JOYPAD_DOWN);
    pad.left = held(RETRO_DEVICE_ID_JOYPAD_LEFT);
    pad.right = held(RETRO_DEVICE_ID_JOYPAD_RIGHT);
    pad.buttons[PAD_BUTTON1] = held(RETRO_DEVICE_ID_JOYPAD_B);
    pad.buttons[PAD_BUTTON2] = held(RETRO_DEVICE_ID_JOYPAD_A);
    pad.buttons[PAD_PAUSE] = held(RETRO_DEVICE_ID_JOYPAD_START);
}

// The frame's input poll: the pads are read where the machine reads its
// controllers, and the run stops at the end of the frame.
void end_of_frame(int)
{
    input_poll_cb();
    for (unsigned port = 0; port < 2; ++port)
        read_pad(port, joysticks[port]);
    quit_run = true;
}

void set_input_descriptors()
{
    std::vector<retro_input_descriptor> descriptors;
    for (unsigned port = 0; port < 2; ++port) {
        const std::pair<unsigned, const char*> buttons[] = {
            {RETRO_DEVICE_ID_JOYPAD_UP, "Up"},
            {RETRO_DEVICE_ID_JOYPAD_DOWN, "Down"},
            {RETRO_DEVICE_ID_JOYPAD_LEFT, "Left"},
            {RETRO_DEVICE_ID_JOYPAD_RIGHT, "Right"},
            {RETRO_DEVICE_ID_JOYPAD_B, "Button 1"},
            {RETRO_DEVICE_ID_JOYPAD_A, "Button 2"},
            {RETRO_DEVICE_ID_JOYPAD_START, "Pause / Start"},
        };
        for (const auto& [id, name] : buttons)
            descriptors.push_back({port, RETRO_DEVICE_JOYPAD, 0, id, name});
    }
    descriptors.push_back({0, 0, 0, 0, nullptr});
    environ_cb(RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS, descriptors.data());
}

void send_video()
{
    const auto* pixels = static_cast<const uint32_t*>(screen_image.pixels);
    const size_t pitch = static_cast<size_t>(screen_image.pitch) * sizeof(uint32_t);
    // The frame buffer holds the picture alone, from its top left corner.
    const PictureArea area = shown_area();
    // A mode of another height changes the frame's size, not the frame rate.
    if (area.height != told_height) {
        retro_game_geometry changed = geometry();
        environ_cb(RETRO_ENVIRONMENT_SET_GEOMETRY, &changed);
    }
    video_cb(pixels + area.y * screen_image.pitch + area.x, area.width, area.height, pitch);
}

// Exactly one frame's samples: silence stands in for any the mixer did not
// make, so the frontend's clock never drifts from the frames.
void send_audio()
{
    const size_t wanted = MIXER_RATE / settings.frame_rate;
    int mixed = 0;
    const int16_t* samples = mixer_last_update(mixed);
    frame_sound.assign(2 * wanted, 0);
    std::copy_n(samples, std::min(2 * wanted, 2 * static_cast<size_t>(mixed)), frame_sound.begin());
    audio_batch_cb(frame_sound.data(), wanted);
}

}  // namespace

RETRO_API unsigned retro_api_version()
{
    return RETRO_API_VERSION;
}

RETRO_API void retro_set_environment(retro_environment_t callback)
{
    environ_cb = callback;
    retro_log_callback logging {};
    log_cb = callback(RETRO_ENVIRONMENT_GET_LOG_INTERFACE, &logging) && logging.log ? logging.log : log_to_stderr;
    callback(RETRO_ENVIRONMENT_SET_VARIABLES, option_list);
    bool no_game = false;
    callback(RETRO_ENVIRONMENT_SET_SUPPORT_NO_GAME, &no_game);
}

RETRO_API void retro_set_video_refresh(retro_video_refresh_t callback)
{
    video_cb = callback;
}

RETRO_API void retro_set_audio_sample(retro_audio_sample_t)
{
}

RETRO_API void retro_set_audio_sample_batch(retro_audio_sample_batch_t callback)
{
    audio_batch_cb = callback;
}

RETRO_API void retro_set_input_poll(retro_input_poll_t callback)
{
    input_poll_cb = callback;
}

RETRO_API void retro_set_input_state(retro_input_state_t callback)
{
    input_state_cb = callback;
}

RETRO_API void retro_init()
{
    if (!log_cb)
        log_cb = log_to_stderr;
    settings = Settings {};
    settings.player1 = DEVICE_JOYSTICK1;
    settings.player2 = DEVICE_JOYSTICK2;
    settings.j1b1 = settings.j2b1 = PAD_BUTTON1;
    settings.j1b2 = settings.j2b2 = PAD_BUTTON2;
    settings.j1pause = settings.j2pause = PAD_PAUSE;
    headless_video_start(32);
    vid_fill_mode = 1;
    headless_frame_hook = end_of_frame;
    // The frontend rewinds through retro_serialize; the machine's own record
    // of every frame would cost time and the ring's memory for nothing.
    rewind_recording = false;
    SMS_SetupCPU();
    mixer_register_output("memory");
    mixer_init(2, settings.frame_rate);
    // The clock a PAL game of an earlier session left would outlive it.
    psg_set_frame_rate(settings.frame_rate);
    psg_create();
    psg_set_sound(true);
}

RETRO_API void retro_deinit()
{
    retro_unload_game();
    mixer_shutdown();
    headless_frame_hook = nullptr;
}

RETRO_API void retro_get_system_info(retro_system_info* info)
{
    *info = retro_system_info {};
    info->library_name = "tarven";
    info->library_version = "1.0";
    // Archives are read here, so the frontend hands them over as they are.
    info->valid_extensions = "sms|gg|sg|sc|zip|7z";
    info->need_fullpath = false;
    info->block_extract = false;
}

RETRO_API void retro_get_system_av_info(retro_system_av_info* info)
{
    *info = av_info();
}

RETRO_API void retro_set_controller_port_device(unsigned, unsigned)
{
}

RETRO_API void retro_reset()
{
    if (machine.machine_ready)
        start_machine();
}

RETRO_API void retro_run()
{
    if (!machine.machine_ready)
        return;
    bool changed = false;
    if (environ_cb(RETRO_ENVIRONMENT_GET_VARIABLE_UPDATE, &changed) && changed)
        apply_options(true);
    take_save_ram();
    save_ram_loading = false;
    quit_run = false;
    SMS_RunOn();
    give_save_ram();
    send_video();
    send_audio();
}

RETRO_API size_t retro_serialize_size()
{
    // Fixed, as rewind, run-ahead and netplay need: the largest state. A
    // smaller one is followed by zeros; it tells its own length (whether it
    // holds the cartridge RAM), so the bytes stay an SMSSTATE stream.
    return SAVESTATE_SIZE_WITH_CART_RAM;
}

RETRO_API bool retro_serialize(void* data, size_t size)
{
    take_save_ram();
    if (!SMS_SaveStateToMemory(state_bytes) || state_bytes.size() > size)
        return false;
    auto* out = static_cast<uint8_t*>(data);
    std::copy(state_bytes.begin(), state_bytes.end(), out);
    std::fill(out + state_bytes.size(), out + size, 0);
    return true;
}

RETRO_API bool retro_unserialize(const void* data, size_t size)
{
    take_save_ram();
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
    // Only the length the state's cartridge RAM flag gives is accepted.
    for (size_t length : {SAVESTATE_SIZE_WITH_CART_RAM, SAVESTATE_SIZE}) {
        if (length > size)
            continue;
        switch (SMS_LoadStateFromMemory(bytes.first(length))) {
        case StateVerdict::applied:
            give_save_ram();
            return true;
        case StateVerdict::applied_other_rom:
            log_cb(RETRO_LOG_WARN, "Warning: ROM checksums do not match.\n");
            give_save_ram();
            return true;
        case StateVerdict::wrong_version:
            log_cb(RETRO_LOG_ERROR, "unrecognized version of SaveState\n");
            return false;
        case StateVerdict::other_board:
            log_cb(RETRO_LOG_ERROR, "SaveState of another cartridge board\n");
            return false;
        case StateVerdict::needs_bios:
            log_cb(RETRO_LOG_ERROR, "SaveState taken in a BIOS\n");
            return false;
        case StateVerdict::other_console:
            log_cb(RETRO_LOG_ERROR, "SaveState of another console or mode\n");
            return false;
        case StateVerdict::no_machine:
            return false;
        case StateVerdict::not_a_state:
            break;
        }
    }
    log_cb(RETRO_LOG_ERROR, "not a valid SaveState\n");
    return false;
}

RETRO_API void retro_cheat_reset()
{
}

RETRO_API void retro_cheat_set(unsigned, bool, const char*)
{
}

RETRO_API bool retro_load_game(const retro_game_info* game)
{
    if (!game)
        return false;
    retro_pixel_format format = RETRO_PIXEL_FORMAT_XRGB8888;
    if (!environ_cb(RETRO_ENVIRONMENT_SET_PIXEL_FORMAT, &format)) {
        log_cb(RETRO_LOG_ERROR, "XRGB8888 pixels are not supported by the frontend\n");
        return false;
    }
    // The name chooses the console, as in tarven: one ending in g is a Game
    // Gear cartridge; in an archive, the game's name inside it.
    const std::string path = game->path && game->path[0] ? game->path : "game.sms";
    std::vector<uint8_t> rom;
    std::string game_name;
    const std::string error = game->data
        ? SMS_CheckROMImage({static_cast<const uint8_t*>(game->data), game->size}, rom, path, &game_name)
        : SMS_ReadROM(path.c_str(), rom, &game_name);
    if (!error.empty()) {
        log_cb(RETRO_LOG_ERROR, "%s %s\n", path.c_str(), error.c_str());
        return false;
    }
    retro_unload_game();
    SMS_InstallROM(path, std::move(rom), game_name);
    // The frontend keeps the cartridge RAM and the states.
    machine.sram_file.clear();
    machine.state_file.clear();
    apply_options(false);
    set_input_descriptors();
    save_ram.fill(0);
    save_ram_loading = true;
    start_machine();
    return true;
}

RETRO_API bool retro_load_game_special(unsigned, const retro_game_info*, size_t)
{
    return false;
}

RETRO_API void retro_unload_game()
{
    SMS_FreeMachine();
    SMS_FreeROM();
}

RETRO_API unsigned retro_get_region()
{
    return settings.frame_rate == 50 ? RETRO_REGION_PAL : RETRO_REGION_NTSC;
}

RETRO_API void* retro_get_memory_data(unsigned id)
{
    if (id == RETRO_MEMORY_SAVE_RAM)
        return save_ram.data();
    if (id == RETRO_MEMORY_SYSTEM_RAM && machine.machine_ready)
        return machine.ram.data();
    return nullptr;
}

RETRO_API size_t retro_get_memory_size(unsigned id)
{
    if (id == RETRO_MEMORY_SAVE_RAM)
        return machine.machine_ready && save_ram_kept() ? save_ram.size() : 0;
    if (id == RETRO_MEMORY_SYSTEM_RAM && machine.machine_ready)
        return machine.ram.size();
    return 0;
}
