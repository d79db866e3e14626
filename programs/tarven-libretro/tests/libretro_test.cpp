// The core's entry points driven as a frontend drives them, without one:
// loading, frames, pads, options, states, save RAM, unloading and loading
// again.
#include <gtest/gtest.h>
#include <libretro.h>
#include <zlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/headless/headless.h"
#include "host/tests/scratch_directory.h"
#include "machine/machine.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "sound/psg.h"

namespace {

// What the frontend was given and what it answers.
struct Frontend {
    std::map<std::string, std::string> options;
    bool options_changed = false;
    std::string log;
    unsigned width = 0, height = 0;
    size_t pitch = 0;
    uint32_t picture_crc = 0;
    std::vector<size_t> audio_batches;
    std::vector<int16_t> audio;
    unsigned pressed_port = 0;
    unsigned pressed_id = ~0u;
    double fps_announced = 0;
    retro_game_geometry geometry {};  // the last SET_GEOMETRY
} frontend;

void log_message(retro_log_level, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    frontend.log += text;
}

bool environment(unsigned command, void* data)
{
    switch (command) {
    case RETRO_ENVIRONMENT_GET_LOG_INTERFACE:
        static_cast<retro_log_callback*>(data)->log = log_message;
        return true;
    case RETRO_ENVIRONMENT_SET_PIXEL_FORMAT:
        return *static_cast<retro_pixel_format*>(data) == RETRO_PIXEL_FORMAT_XRGB8888;
    case RETRO_ENVIRONMENT_GET_VARIABLE: {
        auto* variable = static_cast<retro_variable*>(data);
        const auto found = frontend.options.find(variable->key);
        variable->value = found == frontend.options.end() ? nullptr : found->second.c_str();
        return variable->value != nullptr;
    }
    case RETRO_ENVIRONMENT_GET_VARIABLE_UPDATE:
        *static_cast<bool*>(data) = frontend.options_changed;
        frontend.options_changed = false;
        return true;
    case RETRO_ENVIRONMENT_SET_SYSTEM_AV_INFO:
        frontend.fps_announced = static_cast<retro_system_av_info*>(data)->timing.fps;
        return true;
    case RETRO_ENVIRONMENT_SET_GEOMETRY:
        frontend.geometry = *static_cast<retro_game_geometry*>(data);
        return true;
    case RETRO_ENVIRONMENT_SET_VARIABLES:
    case RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS:
    case RETRO_ENVIRONMENT_SET_SUPPORT_NO_GAME:
        return true;
    default:
        return false;
    }
}

void video(const void* data, unsigned width, unsigned height, size_t pitch)
{
    frontend.width = width;
    frontend.height = height;
    frontend.pitch = pitch;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (unsigned y = 0; y < height; ++y)
        crc = crc32(crc, static_cast<const Bytef*>(data) + y * pitch, width * 4);
    frontend.picture_crc = static_cast<uint32_t>(crc);
}

size_t audio_batch(const int16_t* data, size_t frames)
{
    frontend.audio_batches.push_back(frames);
    frontend.audio.insert(frontend.audio.end(), data, data + 2 * frames);
    return frames;
}

void poll()
{
}

int16_t input_state(unsigned port, unsigned device, unsigned, unsigned id)
{
    return device == RETRO_DEVICE_JOYPAD && port == frontend.pressed_port && id == frontend.pressed_id;
}

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class LibretroTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;

    void SetUp() override
    {
        frontend = Frontend {};
        retro_set_environment(environment);
        retro_set_video_refresh(video);
        retro_set_audio_sample_batch(audio_batch);
        retro_set_input_poll(poll);
        retro_set_input_state(input_state);
        retro_init();
    }

    void TearDown() override
    {
        retro_deinit();
    }

    // Loads a file the way RetroArch does for a core that takes the data.
    bool load(const std::string& path)
    {
        bytes = read_bytes(path);
        retro_game_info game {path.c_str(), bytes.data(), bytes.size(), nullptr};
        return retro_load_game(&game);
    }

    void run(int frames)
    {
        for (int i = 0; i < frames; ++i)
            retro_run();
    }

    // Checks the picture size the core announces for the loaded game and
    // that of the frames it sends over the next `frames`; returns what it
    // announced.
    retro_system_av_info expect_picture_size(unsigned width, unsigned height, float aspect, int frames)
    {
        retro_system_av_info info {};
        retro_get_system_av_info(&info);
        EXPECT_EQ(info.geometry.base_width, width);
        EXPECT_EQ(info.geometry.base_height, height);
        EXPECT_FLOAT_EQ(info.geometry.aspect_ratio, aspect);
        run(frames);
        EXPECT_EQ(frontend.width, width);
        EXPECT_EQ(frontend.height, height);
        EXPECT_EQ(frontend.pitch, 256u * 4);
        return info;
    }

    std::vector<uint8_t> serialize()
    {
        std::vector<uint8_t> state(retro_serialize_size());
        EXPECT_TRUE(retro_serialize(state.data(), state.size()));
        return state;
    }

    std::vector<uint32_t> next_pictures(int frames)
    {
        std::vector<uint32_t> crcs;
        for (int i = 0; i < frames; ++i) {
            retro_run();
            crcs.push_back(frontend.picture_crc);
        }
        return crcs;
    }

    std::vector<uint8_t> system_ram()
    {
        const auto* ram = static_cast<const uint8_t*>(retro_get_memory_data(RETRO_MEMORY_SYSTEM_RAM));
        return {ram, ram + retro_get_memory_size(RETRO_MEMORY_SYSTEM_RAM)};
    }

    std::vector<uint8_t> bytes;
};

const std::string DEMO = TARVEN_ROMS "/tarven-demo.sms";
const std::string DEMO_GG = TARVEN_ROMS "/tarven-demo-gg.gg";

TEST_F(LibretroTest, FramesHaveTheStandardsPictureAndSound)
{
    ASSERT_TRUE(load(DEMO));
    const retro_system_av_info info = expect_picture_size(256, 192, 4.0f / 3.0f, 120);
    EXPECT_EQ(info.timing.fps, 60.0);
    EXPECT_EQ(info.timing.sample_rate, 44100.0);
    // tarven-headless's picture of the demo's 120th frame.
    EXPECT_EQ(frontend.picture_crc, 0x318401bbu);
    EXPECT_EQ(frontend.audio_batches, std::vector<size_t>(120, 735));

    // PAL: 882 samples a frame, announced to the frontend at once; the
    // region changes at once too.
    EXPECT_TRUE(settings.usa);
    frontend.options["tarven_region"] = "Japanese";
    frontend.options["tarven_video_standard"] = "PAL";
    frontend.options["tarven_gg_speaker"] = "On";
    frontend.options_changed = true;
    frontend.audio_batches.clear();
    run(2);
    EXPECT_TRUE(psg_gg_speaker);
    EXPECT_EQ(frontend.fps_announced, 50.0);
    EXPECT_EQ(frontend.audio_batches, std::vector<size_t>(2, 882));
    EXPECT_EQ(retro_get_region(), unsigned(RETRO_REGION_PAL));
    EXPECT_FALSE(settings.usa);
    // The sound chip's clock follows the standard, as the CPU menu sets it.
    EXPECT_DOUBLE_EQ(psg_tone_hz(1), PSG_CLOCK_PAL / 32.0);

    // A new session starts on NTSC, whatever the one before it left.
    retro_deinit();
    SetUp();
    EXPECT_DOUBLE_EQ(psg_tone_hz(1), PSG_CLOCK_NTSC / 32.0);
    ASSERT_TRUE(load(DEMO));
    EXPECT_FALSE(psg_gg_speaker);
}

TEST_F(LibretroTest, GameGearShowsItsOwnScreen)
{
    ASSERT_TRUE(load(DEMO_GG));
    expect_picture_size(160, 144, 160.0f / 144.0f, 60);
    // A Master System game on a Game Gear, chosen in the core options, shows
    // the whole picture, as a Master System II does, from a hard reset.
    ASSERT_TRUE(load(DEMO));
    frontend.options["tarven_console"] = "Game Gear";
    frontend.options_changed = true;
    run(120);
    EXPECT_EQ(machine.console, CONSOLE_GAME_GEAR);
    EXPECT_EQ(frontend.width, 256u);
    frontend.options.erase("tarven_console");
}

// The taller modes' frames are as tall as their picture, and the frontend
// hears of each change of height before the first frame of it.
TEST_F(LibretroTest, TallerPicturesChangeTheGeometry)
{
    ASSERT_TRUE(load(TARVEN_ROMS "/tall_modes.sms"));
    retro_system_av_info info {};
    retro_get_system_av_info(&info);
    EXPECT_EQ(info.geometry.max_width, 256u);
    EXPECT_EQ(info.geometry.max_height, 240u);
    for (const auto& [frames, height] : {std::pair {40, 224u}, {60, 240u}, {60, 192u}}) {
        run(frames);
        EXPECT_EQ(frontend.height, height);
        EXPECT_EQ(frontend.geometry.base_height, height);
        EXPECT_FLOAT_EQ(frontend.geometry.aspect_ratio, 256.0f / height);
    }
}

// The game inside the archive says the console.
TEST_F(LibretroTest, ZippedGameGearGameShowsItsOwnScreen)
{
    ASSERT_TRUE(load(DEMO_GG_ZIP));
    expect_picture_size(160, 144, 160.0f / 144.0f, 60);
}

TEST_F(LibretroTest, BadROMIsRefusedWithTheLoadersMessage)
{
    std::ofstream("short.sms", std::ios::binary) << std::string(1000, 'x');
    EXPECT_FALSE(load("short.sms"));
    EXPECT_NE(frontend.log.find("short.sms is not a Master System or Game Gear game"), std::string::npos)
        << frontend.log;
    retro_run();  // nothing runs, nothing is sent
    EXPECT_EQ(frontend.width, 0u);
    EXPECT_EQ(retro_get_memory_data(RETRO_MEMORY_SYSTEM_RAM), nullptr);

    // The next good ROM loads as ever.
    ASSERT_TRUE(load(DEMO));
    run(120);
    EXPECT_EQ(frontend.picture_crc, 0x318401bbu);
}

TEST_F(LibretroTest, UnloadResetAndASecondGame)
{
    ASSERT_TRUE(load(DEMO_GG));
    run(30);
    retro_unload_game();
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SYSTEM_RAM), 0u);
    // The second game starts from power-on as a first one does.
    ASSERT_TRUE(load(DEMO));
    run(120);
    EXPECT_EQ(frontend.picture_crc, 0x318401bbu);
    retro_reset();
    run(120);
    EXPECT_EQ(frontend.picture_crc, 0x318401bbu);
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SYSTEM_RAM), 8192u);
}

TEST_F(LibretroTest, StatesAreSMSSTATEStreamsThatChangeNothing)
{
    ASSERT_TRUE(load(DEMO));
    run(60);
    const std::vector<uint8_t> ram = system_ram();
    const std::vector<uint8_t> state = serialize();
    ASSERT_EQ(state.size(), SAVESTATE_SIZE_WITH_CART_RAM);
    EXPECT_EQ(std::memcmp(state.data(), "SMSSTATE", 8), 0);
    // The demo uses no cartridge RAM: its stream is the short one, zeros after.
    EXPECT_EQ(std::vector<uint8_t>(state.begin() + SAVESTATE_SIZE, state.end()),
        std::vector<uint8_t>(SAVESTATE_SIZE_WITH_CART_RAM - SAVESTATE_SIZE, 0));

    ASSERT_TRUE(retro_unserialize(state.data(), state.size()));
    EXPECT_EQ(system_ram(), ram);
    EXPECT_EQ(serialize(), state);
    const std::vector<uint32_t> after = next_pictures(30);

    // Back to the state: the same frames again.
    ASSERT_TRUE(retro_unserialize(state.data(), state.size()));
    EXPECT_EQ(next_pictures(30), after);

    // A cut or padded stream, or none at all, is refused and changes nothing.
    const std::vector<uint8_t> before = serialize();
    std::vector<uint8_t> broken(state.begin(), state.begin() + SAVESTATE_SIZE - 1);
    EXPECT_FALSE(retro_unserialize(broken.data(), broken.size()));
    broken.assign(SAVESTATE_SIZE_WITH_CART_RAM, 0);
    EXPECT_FALSE(retro_unserialize(broken.data(), broken.size()));
    EXPECT_NE(frontend.log.find("not a valid SaveState"), std::string::npos);
    EXPECT_EQ(serialize(), before);
}

TEST_F(LibretroTest, PadsReachTheGame)
{
    // The same frames with and without button 1 (RetroPad B) held on pad 1.
    ASSERT_TRUE(load(DEMO));
    const std::vector<uint8_t> start = serialize();
    const std::vector<uint32_t> idle = next_pictures(60);
    ASSERT_TRUE(retro_unserialize(start.data(), start.size()));
    frontend.pressed_id = RETRO_DEVICE_ID_JOYPAD_B;
    EXPECT_NE(next_pictures(60), idle);

    // Every line of both pads reaches its bit of the controller ports (low
    // while held): pad 1 on DC bits 0-5, pad 2 on DC bits 6-7 and DD bits 0-3.
    const unsigned ids[6] = {RETRO_DEVICE_ID_JOYPAD_UP, RETRO_DEVICE_ID_JOYPAD_DOWN, RETRO_DEVICE_ID_JOYPAD_LEFT,
        RETRO_DEVICE_ID_JOYPAD_RIGHT, RETRO_DEVICE_ID_JOYPAD_B, RETRO_DEVICE_ID_JOYPAD_A};
    for (unsigned port = 0; port < 2; ++port) {
        for (int line = 0; line < 6; ++line) {
            frontend.pressed_port = port;
            frontend.pressed_id = ids[line];
            retro_run();
            const int bit = static_cast<int>(port) * 6 + line;
            const unsigned lines = machine.port_dc | (machine.port_dd & 0x0F) << 8;
            EXPECT_EQ(lines, 0xFFFu & ~(1u << bit)) << "pad " << port + 1 << " line " << line;
        }
    }
}

// A cartridge that maps its RAM into slot 2, copies its first byte into
// system RAM and writes 0x5A after it, then spins.
const std::vector<uint8_t> CART_RAM_PROGRAM = {
    0x3E, 0x08, 0x32, 0xFC, 0xFF,  // LD A,0x08; LD (0xFFFC),A
    0x3A, 0x00, 0x80, 0x32, 0x00, 0xC0,  // LD A,(0x8000); LD (0xC000),A
    0x3E, 0x5A, 0x32, 0x01, 0x80,  // LD A,0x5A; LD (0x8001),A
    0x18, 0xFE,  // JR $
};

// A cartridge that counts loop passes in 0xC000 with interrupts off: the
// count tells every cycle the processor ran.
const std::vector<uint8_t> COUNTER_PROGRAM = {
    0xF3, 0x21, 0x00, 0x00,  // DI; LD HL,0
    0x23, 0x22, 0x00, 0xC0, 0x18, 0xFA,  // INC HL; LD (0xC000),HL; JR -6
};

void write_rom(const char* name, const std::vector<uint8_t>& code)
{
    std::vector<uint8_t> rom(4 * ROM_PAGE_SIZE, 0);
    std::copy(code.begin(), code.end(), rom.begin());
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());
}

int frames_to_run;

TEST_F(LibretroTest, FramesOneByOneTimeTheMachineAsOneRun)
{
    write_rom("counter.sms", COUNTER_PROGRAM);
    ASSERT_TRUE(load("counter.sms"));
    run(60);
    const std::vector<uint8_t> by_frames = system_ram();

    // The same 60 frames in one run of the machine, as tarven-headless runs them.
    ASSERT_TRUE(load("counter.sms"));
    void (*core_hook)(int) = headless_frame_hook;
    frames_to_run = 60;
    headless_frame_hook = [](int) { quit_run = --frames_to_run == 0; };
    quit_run = false;
    SMS_Run();
    headless_frame_hook = core_hook;
    EXPECT_EQ(system_ram(), by_frames);
}

TEST_F(LibretroTest, CartridgeRAMIsTheFrontendsSaveRAM)
{
    write_rom("saver.sms", CART_RAM_PROGRAM);
    ASSERT_TRUE(load("saver.sms"));
    ASSERT_EQ(retro_get_memory_size(RETRO_MEMORY_SAVE_RAM), 32768u);
    auto* save_ram = static_cast<uint8_t*>(retro_get_memory_data(RETRO_MEMORY_SAVE_RAM));
    // The frontend fills it from the .srm file after the load.
    save_ram[0] = 0x77;
    run(2);
    EXPECT_EQ(system_ram()[0], 0x77);
    EXPECT_EQ(save_ram[1], 0x5A);

    // Reset keeps it, as a cartridge's battery does.
    retro_reset();
    run(2);
    EXPECT_EQ(system_ram()[0], 0x77);

    // The state now holds the cartridge RAM: the long stream.
    const std::vector<uint8_t> state = serialize();
    save_ram[0] = 0x11;
    retro_reset();
    ASSERT_TRUE(retro_unserialize(state.data(), state.size()));
    EXPECT_EQ(save_ram[0], 0x77);

    // The frontend keeps the save: none is written beside the ROM, and no
    // failure to write one is logged.
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SAVE_RAM), 32768u);
    retro_unload_game();
    EXPECT_FALSE(std::filesystem::exists("saver.SAV"));
    EXPECT_FALSE(std::filesystem::exists("tarven.log"));
}

// A game without cartridge RAM has no save RAM for the frontend to write,
// once it runs; before, the frontend may give its .srm, which is kept if it
// holds anything.
TEST_F(LibretroTest, SaveRAMOnlyForGamesThatHaveIt)
{
    ASSERT_TRUE(load(DEMO));
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SAVE_RAM), 32768u);
    run(2);
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SAVE_RAM), 0u);

    ASSERT_TRUE(load(DEMO));
    static_cast<uint8_t*>(retro_get_memory_data(RETRO_MEMORY_SAVE_RAM))[100] = 0x42;
    run(2);
    EXPECT_EQ(retro_get_memory_size(RETRO_MEMORY_SAVE_RAM), 32768u);
    EXPECT_EQ(static_cast<uint8_t*>(retro_get_memory_data(RETRO_MEMORY_SAVE_RAM))[100], 0x42);
}

}  // namespace
