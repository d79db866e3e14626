// The key and joystick button dialogs: each row binds the key or button
// captured to its own control, and the game then sees that control pressed
// when the bound key or button is down.
#include "gui_driver.h"

namespace {

constexpr int SETTINGS_MENU = 83;
constexpr int GG_START = 0x80;

class BindingDialogs : public GuiDriver {
protected:
    void SetUp() override
    {
        GuiDriver::SetUp();
        machine = MachineState {};
        machine.is_gg = true;  // the pause lands on a port bit there
        joysticks[0] = joysticks[1] = JoystickState {};
    }
    void TearDown() override
    {
        joysticks[0] = joysticks[1] = JoystickState {};
        GuiDriver::TearDown();
    }

    // Clicks row `row` (0 for the first) of the binding dialog at (50, 40).
    static void select_row(int row)
    {
        gui_click(50 + 100, 40 + 15 + 10 * row);
    }

    // The controller lines low while only this key or button is down:
    // port DC in the low byte, DD in the next, the Game Gear's Start above.
    static int lines_pressed()
    {
        SMS_UpdateControllers();
        return (~machine.port_dc & 0xFF) | (~machine.port_dd & 0x0F) << 8 | (~machine.gg_port0 & GG_START) << 16;
    }
};

TEST_F(BindingDialogs, EachKeyboardRowBindsItsOwnControl)
{
    gui_choose(SETTINGS_MENU, 20);  // Config Keyboard...
    // Up, Down, Left, Right, Button 1, Button 2, Pause/Start, bound to Q to U.
    const int keys[] = {16, 17, 18, 19, 20, 21, 22};
    for (int row = 0; row < 7; ++row) {
        select_row(row);
        tap(keys[row]);
    }
    const int lines[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, GG_START << 16};
    for (int row = 0; row < 7; ++row) {
        key_state[keys[row]].store(0x80);
        EXPECT_EQ(lines_pressed(), lines[row]) << "row " << row;
        key_state[keys[row]].store(0);
    }
}

// The program's own keys are refused with a message, and the row waits on
// for another key.
TEST_F(BindingDialogs, HotKeysAreRefused)
{
    const int32_t up = settings.kup;
    gui_choose(SETTINGS_MENU, 20);  // Config Keyboard...
    for (const int key :
        std::initializer_list<int> {KEY_F5, KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_1 + 2, KEY_0, KEY_TAB, KEY_LALT}) {
        select_row(0);
        message.clear();
        tap(key);
        EXPECT_EQ(settings.kup, up) << "key " << key;
        EXPECT_NE(message.find("choose another key"), std::string::npos) << "key " << key;
    }
    tap(16);  // Q, still waited for
    EXPECT_EQ(settings.kup, 16);
}

TEST_F(BindingDialogs, EachJoystickRowBindsItsOwnButton)
{
    settings.player1 = DEVICE_JOYSTICK1;
    settings.player2 = DEVICE_JOYSTICK2;
    // Button 1, Button 2, Pause/Start, bound to buttons 5, 7 and 9.
    const int buttons[] = {5, 7, 9};
    for (int j = 0; j < 2; ++j) {
        gui_choose(SETTINGS_MENU, 30 + 10 * j);  // Config Joystick 1... or 2...
        for (int row = 0; row < 3; ++row) {
            select_row(row);
            joysticks[j].buttons[buttons[row]] = 1u << buttons[row];
            gui_frame();
            joysticks[j].buttons[buttons[row]] = 0;
        }
        gui_click(50 + 148, 40 + 4);  // the close box
    }
    // Player 1's buttons on port DC, player 2's on DD; either pauses.
    const int lines[2][3] = {{0x10, 0x20, GG_START << 16}, {0x0400, 0x0800, GG_START << 16}};
    for (int j = 0; j < 2; ++j) {
        for (int row = 0; row < 3; ++row) {
            joysticks[j].buttons[buttons[row]] = 1u << buttons[row];
            EXPECT_EQ(lines_pressed(), lines[j][row]) << "joystick " << j + 1 << " row " << row;
            joysticks[j].buttons[buttons[row]] = 0;
        }
    }
}

}  // namespace
