// The steps a program with an interface (menus, pop-ups, a settings file)
// adds to the machine's main loop. The machine runs without them: a program
// with no interface of its own (the libretro core) leaves them empty.
#pragma once

struct Controls;

struct InterfaceHooks {
    // Draws the menus, overlay and viewers into the screen image, once per
    // frame after the Game Gear mask and before the present.
    void (*draw_frame)() = nullptr;
    // The interface's hot keys, tested after every scanline with those of
    // the machine.
    void (*hot_keys)() = nullptr;
    // One pass of the loop while no ROM is loaded; it returns when a ROM is
    // loaded or quit_run is set.
    void (*run_without_rom)() = nullptr;
    // Keeps the settings, before the machine is freed.
    void (*keep_settings)() = nullptr;
    // Sees the finished picture at each frame end, before draw_frame draws
    // over it (the screenshot key). Installed after gui_install_hooks.
    void (*take_picture)() = nullptr;
    // Sees, and may change, what the controls hold at each frame's end
    // before the ports are set from them: a recorded session is written from
    // it and played through it.
    void (*controls)(Controls& held) = nullptr;
};

extern InterfaceHooks interface_hooks;
