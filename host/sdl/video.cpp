// The video drivers on SDL: the back buffer is plain memory that the renderer
// and the drawing primitives write into; presenting uploads it to a streaming
// texture and scales the part worth showing (layout.h) with nearest-neighbour
// sampling. Full screen uses the desktop's own mode, so there is never a real
// mode switch to undo. Presents always wait for the display's refresh, so the
// picture never tears; when the display refreshes at the frame rate it paces
// the frames, otherwise the frame timer does.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

#include "host/draw.h"
#include "host/icon.h"
#include "host/log.h"
#include "host/sdl/layout.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "ui/config.h"
#include "vdp/vdp.h"

namespace {

constexpr int PICTURE_WIDTH = 256;
// Full-screen back buffers stay within what any renderer takes as a texture.
constexpr int MAX_BUFFER_SIZE = 4096;

struct DriverKind {
    const char* name;
    const char* description;
};

// By driver number - 1: full screen 16, 32, then windowed 16, 32.
constexpr DriverKind DRIVERS[4] = {
    {"VID_16BPP_SDL", "SDL 16bpp Fullscreen"},
    {"VID_32BPP_SDL", "SDL 32bpp Fullscreen"},
    {"VID_16BPP_SDL_WINDOW", "SDL 16bpp Windowed"},
    {"VID_32BPP_SDL_WINDOW", "SDL 32bpp Windowed"},
};

// Presents no faster than this many times the frame rate mean the display
// does not wait after all (some drivers accept vsync and ignore it).
constexpr double PACING_TOLERANCE = 1.05;

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
// uint32_t elements keep every row aligned for either pixel size.
std::vector<uint32_t> back_buffer;
bool fullscreen = false;
bool hook_registered = false;
std::string shown_title;
bool title_shown = false;

// The display's refresh rate, 0 when unknown; whether presents can wait
// for it, and whether they do at present.
int refresh_rate = 0;
bool vsync = false;
bool vsync_waits = false;
// Set once presents have been seen to run faster than the display could.
bool vsync_ignored = false;
int paced_presents = 0;
double present_credit = 0;
std::chrono::steady_clock::time_point pacing_since;

// Names a driver SDL falls back on when no display can be opened.
bool driver_without_display(const char* driver)
{
    return driver && (strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0);
}

// Such a driver is only wanted when the user asks for it by name (the tests
// do); otherwise the game would play where nobody can see it.
void require_display()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (driver_without_display(driver) && !(asked && strcasestr(asked, driver)))
        fatal_exit("%s", "No display could be opened: tarven needs a desktop (is DISPLAY or WAYLAND_DISPLAY set?)");
}

// The icon at twice its design size, as the window opens at twice the picture's.
void set_icon()
{
    constexpr int size = 2 * ICON_DESIGN_SIZE;
    std::vector<uint8_t> pixels = icon_rgba(size);
    SDL_Surface* icon
        = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), size, size, 32, size * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return;  // a window without its icon is no reason to stop
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// "tarven - GAME" while a game is loaded, "tarven" in the menus alone.
void update_title()
{
    const std::string& game = machine.rom_loaded ? machine.rom_name : std::string();
    if (title_shown && game == shown_title)
        return;
    title_shown = true;
    shown_title = game;
    SDL_SetWindowTitle(window, game.empty() ? "tarven" : ("tarven - " + game).c_str());
}

void update_refresh_rate()
{
    SDL_DisplayMode mode {};
    const int display = SDL_GetWindowDisplayIndex(window);
    refresh_rate = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
    paced_presents = 0;
}

ViewRect source_rect()
{
    // The pop-ups lie inside what is shown, so they never change it.
    return layout_source(
        screen_image.width, screen_image.height, picture_x_offset, picture_y_offset, vdp.is_gg, gui_visible);
}

// Where `source` goes in an output of `width` x `height` pixels.
ViewRect target_rect(int width, int height, ViewRect source)
{
    return fullscreen ? layout_full_screen(width, height, source) : layout_fit(width, height, source);
}

void update_video_active()
{
    // A window that loses focus keeps being drawn, as desktop programs do;
    // full screen stops drawing while another program is in front.
    const Uint32 flags = SDL_GetWindowFlags(window);
    const bool hidden = flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN);
    const bool behind = fullscreen && !(flags & SDL_WINDOW_INPUT_FOCUS);
    video_active = hidden || behind ? 0 : 1;
}

// Checks, once every two seconds of paced frames, that presents really
// waited; if they came faster, the frame timer takes the pacing back.
void check_pacing()
{
    const auto now = std::chrono::steady_clock::now();
    if (paced_presents == 0)
        pacing_since = now;
    if (++paced_presents <= 2 * settings.frame_rate)
        return;
    const double seconds = std::chrono::duration<double>(now - pacing_since).count();
    if (paced_presents - 1 > PACING_TOLERANCE * settings.frame_rate * seconds)
        vsync_ignored = true;
    paced_presents = 0;
}

// While fast-forwarding a present must not wait for the display, which
// would hold the game back to the display's rate.
void update_vsync()
{
    const bool wanted = vsync && !vid_fast_forward;
    if (wanted != vsync_waits && SDL_RenderSetVSync(renderer, wanted ? 1 : 0) == 0)
        vsync_waits = wanted;
}

void show_page()
{
    vid_display_paces = false;
    if (!video_active || !renderer)
        return;
    update_vsync();
    if (vid_fast_forward && frame_ticks.load(std::memory_order_relaxed) == 0)
        return;
    const bool paced = vsync_waits && !vsync_ignored && layout_refresh_paces(refresh_rate, settings.frame_rate);
    if (vsync_waits && !paced && !layout_present_due(present_credit, refresh_rate, settings.frame_rate))
        return;
    update_title();
    const ViewRect source = source_rect();
    SDL_Rect source_sdl {source.x, source.y, source.w, source.h};
    SDL_UpdateTexture(texture, &source_sdl,
        reinterpret_cast<const uint8_t*>(back_buffer.data())
            + (size_t(source.y) * screen_image.pitch + source.x) * video_driver.format->bytes_per_pixel,
        screen_image.pitch * video_driver.format->bytes_per_pixel);
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    const ViewRect target = target_rect(width, height, source);
    // Black bars are drawn afresh every frame: what a back buffer held
    // before a present is undefined after it.
    if (target.w != width || target.h != height) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    const SDL_Rect target_sdl {target.x, target.y, target.w, target.h};
    SDL_RenderCopy(renderer, texture, &source_sdl, &target_sdl);
    SDL_RenderPresent(renderer);
    vid_display_paces = paced;
    if (paced)
        check_pacing();
}

void shutdown()
{
    if (texture)
        SDL_DestroyTexture(texture);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    if (window)
        SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    video_active = 0;
    vid_display_paces = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void open_window()
{
    int failed = 0;
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        run_without_library_noise([&] { failed = SDL_InitSubSystem(SDL_INIT_VIDEO); });
    if (failed != 0)
        fatal_exit("No display could be opened: %s", SDL_GetError());
    require_display();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // Twice the picture in the desktop's own units, so it is as large on a
    // high-density display as on any other, drawn with all its pixels.
    window = SDL_CreateWindow("tarven", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 2 * PICTURE_WIDTH,
        2 * picture_height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window)
        fatal_exit("SDL_CreateWindow: %s", SDL_GetError());
    set_icon();
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer)
        renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer)
        fatal_exit("SDL_CreateRenderer: %s", SDL_GetError());
    SDL_RendererInfo info {};
    vsync = SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    vsync_waits = vsync;
    title_shown = false;
}

// The back buffer and its texture for the current picture height: the
// picture alone in a window, the picture centred in a full screen.
void make_back_buffer(const PixelFormat* format)
{
    // The picture must fit inside the back buffer whatever the settings say.
    const int width = fullscreen ? std::clamp(settings.xres, PICTURE_WIDTH, MAX_BUFFER_SIZE) : PICTURE_WIDTH;
    const int height = fullscreen ? std::clamp(settings.yres, int(picture_height), MAX_BUFFER_SIZE) : picture_height;
    if (texture)
        SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, format->depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565,
        SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture)
        fatal_exit("SDL_CreateTexture: %s", SDL_GetError());
    back_buffer.assign(size_t(width) * height, 0);
    screen_image = Image {width, height, width, 0, 0, width - 1, height - 1, back_buffer.data()};
    picture_x_offset = fullscreen ? width / 2 - PICTURE_WIDTH / 2 : 0;
    picture_y_offset = fullscreen ? height / 2 - picture_height / 2 : 0;
}

// A taller or shorter picture in a window makes the window taller or
// shorter at the same scale, so that its pixels keep their shape.
void picture_resized()
{
    const int old_height = screen_image.height;
    make_back_buffer(video_driver.format);
    if (fullscreen || old_height <= 0)
        return;
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    SDL_SetWindowSize(window, width, height * picture_height / old_height);
}

}  // namespace

SDL_Window* vid_window()
{
    return window;
}

SDL_FRect vid_picture_rect()
{
    // The whole back buffer, where it lies in window coordinates, even when
    // only part of it is shown.
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    int window_width = 0;
    int window_height = 0;
    SDL_GetWindowSize(window, &window_width, &window_height);
    if (width <= 0 || height <= 0 || window_width <= 0 || window_height <= 0)
        return {0, 0, 0, 0};
    const ViewRect source = source_rect();
    const ViewRect target = target_rect(width, height, source);
    const float scale_x = float(target.w) / source.w * window_width / width;
    const float scale_y = float(target.h) / source.h * window_height / height;
    return {float(target.x) * window_width / width - source.x * scale_x,
        float(target.y) * window_height / height - source.y * scale_y, screen_image.width * scale_x,
        screen_image.height * scale_y};
}

void vid_window_event(const SDL_WindowEvent& event)
{
    if (event.event == SDL_WINDOWEVENT_CLOSE)
        quit_orderly();
    if (!window)
        return;
    if (event.event == SDL_WINDOWEVENT_MOVED || event.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)
        update_refresh_rate();
    update_video_active();
}

void vid_apply_mode()
{
    if (!hook_registered) {
        exit_hook_add(shutdown, "Video subsystem");
        hook_registered = true;
    }
    if (!window)
        open_window();

    fullscreen = settings.fullscreen;
    const bool depth32 = settings.bpp == 32;
    const PixelFormat* format = depth32 ? &PIXEL_FORMAT_8888 : &PIXEL_FORMAT_565;
    if (fullscreen) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, 2 * PICTURE_WIDTH, 2 * picture_height);
    }
    make_back_buffer(format);

    const int number = (fullscreen ? 1 : 3) + (depth32 ? 1 : 0);
    const PixelFormat* old_format = video_driver.format;
    video_driver = VideoDriver {number, DRIVERS[number - 1].name, DRIVERS[number - 1].description, format, show_page,
        shutdown, picture_resized};
    // The colours the machine holds are pixel values of the old format.
    if (format != old_format)
        vdp_refresh_derived();
    update_video_active();
    update_refresh_rate();
}

void sdl_fatal_message(const char* message)
{
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "tarven", message, nullptr);
}
