// What the menu entries do to the running machine, beyond their check marks:
// the frame timer and the sound's frame size, the sound switch, the music
// log and the viewers.
#include <filesystem>
#include <fstream>
#include <string>

#include "gui_driver.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "sound/psg_log.h"

namespace fs = std::filesystem;

namespace {

constexpr int CPU_MENU = 28;
constexpr int VIEW_MENU = 54;
constexpr int SETTINGS_MENU = 83;
constexpr int MISC_MENU = 129;

class MenuActions : public GuiDriver {
protected:
    static void load_chip_show()
    {
        fs::copy_file(fs::path(TARVEN_ROMS) / "chip_show.sms", "chip_show.sms");
        SMS_LoadROM("chip_show.sms");
        SMS_InitMachine();
    }

    static int open_windows()
    {
        int open = 0;
        for (const DialogSlot& slot : dialog_slots)
            open += slot.in_use;
        return open;
    }
};

// The frame timer mixes one frame of sound at each tick: 44100 / 50 samples
// at PAL, 44100 / 60 at NTSC, so that the sound keeps pace with the game.
TEST_F(MenuActions, PalAndNtscSetTheSoundMixedEachFrame)
{
    mixer_register_output("frames.wav");
    mixer_init(1, settings.frame_rate);
    mixer_voices_create();
    gui_choose(CPU_MENU, 60);  // PAL
    mixer_update();
    gui_choose(CPU_MENU, 70);  // NTSC
    mixer_update();
    mixer_update();
    mixer_shutdown();
    EXPECT_EQ(fs::file_size("frames.wav"), 44u + 2 * (882 + 735 + 735));
}

TEST_F(MenuActions, TheSoundSwitchSilencesTheGameAndBringsItBack)
{
    psg_reset();
    auto play_tone = [] {
        psg_write(0x80 | 0x0E);  // tone 0, period 0x0FE
        psg_write(0x0F);
        psg_write(0x90);  // loudest
    };
    play_tone();
    ASSERT_GT(mixer_voice(0).volume, 0);
    gui_choose(SETTINGS_MENU, 70);
    EXPECT_EQ(mixer_voice(0).volume, 0);
    play_tone();
    EXPECT_EQ(mixer_voice(0).volume, 0);
    gui_choose(SETTINGS_MENU, 70);
    play_tone();
    EXPECT_GT(mixer_voice(0).volume, 0);
}

TEST_F(MenuActions, LogPsgRecordsTheGamesMusic)
{
    load_chip_show();
    gui_choose(MISC_MENU, 30);
    EXPECT_TRUE(psg_logging);
    EXPECT_TRUE(fs::exists(PSG_LOG_TEMPORARY));
    psg_log_stop();
}

TEST_F(MenuActions, TheViewersOpenOverAGame)
{
    load_chip_show();
    gui_choose(VIEW_MENU, 20);  // Palette...
    EXPECT_EQ(open_windows(), 1);
    gui_choose(VIEW_MENU, 10);  // Patterns...
    EXPECT_EQ(open_windows(), 2);
    EXPECT_NE(dialog_slots[0].width, dialog_slots[1].width);
}

}  // namespace
