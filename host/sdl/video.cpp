// The video drivers on SDL: the back buffer is plain memory that the renderer
// and the drawing primitives write into; presenting uploads it to a streaming
// texture. Full screen uses the desktop's own mode, so there is never a real
// mode switch to undo.
#include <algorithm>
#include <vector>

#include "host/draw.h"
#include "host/log.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "host/video.h"
#include "ui/config.h"
#include "vdp/vdp.h"

namespace {

constexpr int PICTURE_WIDTH = 256;
constexpr int PICTURE_HEIGHT = 192;
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

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
// uint32_t elements keep every row aligned for either pixel size.
std::vector<uint32_t> back_buffer;
bool fullscreen = false;
bool hook_registered = false;

// The back buffer scaled to fill `width` x `height`: stretched in a window,
// as large as fits with its shape kept in full screen.
SDL_Rect fit_picture(int width, int height)
{
    if (!fullscreen)
        return {0, 0, width, height};
    int w = width;
    int h = static_cast<int>(int64_t {width} * screen_image.height / screen_image.width);
    if (h > height) {
        h = height;
        w = static_cast<int>(int64_t {height} * screen_image.width / screen_image.height);
    }
    return {(width - w) / 2, (height - h) / 2, w, h};
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

void show_page()
{
    if (!video_active || !renderer)
        return;
    SDL_UpdateTexture(texture, nullptr, back_buffer.data(), screen_image.pitch * video_driver.format->bytes_per_pixel);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    const SDL_Rect target = fit_picture(width, height);
    SDL_RenderCopy(renderer, texture, nullptr, &target);
    SDL_RenderPresent(renderer);
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
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void open_window()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        fatal_exit("SDL_Init: %s", SDL_GetError());
    window = SDL_CreateWindow("tarven", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 2 * PICTURE_WIDTH,
        2 * PICTURE_HEIGHT, SDL_WINDOW_RESIZABLE);
    if (!window)
        fatal_exit("SDL_CreateWindow: %s", SDL_GetError());
    renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer)
        fatal_exit("SDL_CreateRenderer: %s", SDL_GetError());
}

}  // namespace

SDL_Window* vid_window()
{
    return window;
}

SDL_Rect vid_picture_rect()
{
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    return fit_picture(width, height);
}

void vid_window_event(const SDL_WindowEvent& event)
{
    if (event.event == SDL_WINDOWEVENT_CLOSE)
        quit_orderly();
    if (window)
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
    // The picture must fit inside the back buffer whatever the settings say.
    const int width = fullscreen ? std::clamp(settings.xres, PICTURE_WIDTH, MAX_BUFFER_SIZE) : PICTURE_WIDTH;
    const int height = fullscreen ? std::clamp(settings.yres, PICTURE_HEIGHT, MAX_BUFFER_SIZE) : PICTURE_HEIGHT;

    if (fullscreen) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, 2 * PICTURE_WIDTH, 2 * PICTURE_HEIGHT);
    }

    if (texture)
        SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, depth32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565,
        SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture)
        fatal_exit("SDL_CreateTexture: %s", SDL_GetError());
    back_buffer.assign(size_t(width) * height, 0);
    screen_image = Image {width, height, width, 0, 0, width - 1, height - 1, back_buffer.data()};
    picture_x_offset = fullscreen ? width / 2 - PICTURE_WIDTH / 2 : 0;
    picture_y_offset = fullscreen ? height / 2 - PICTURE_HEIGHT / 2 : 0;

    const int number = (fullscreen ? 1 : 3) + (depth32 ? 1 : 0);
    const PixelFormat* old_format = video_driver.format;
    video_driver
        = VideoDriver {number, DRIVERS[number - 1].name, DRIVERS[number - 1].description, format, show_page, shutdown};
    // The colours the machine holds are pixel values of the old format.
    if (format != old_format)
        vdp_refresh_derived();
    update_video_active();
}

void sdl_fatal_message(const char* message)
{
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "tarven", message, nullptr);
}
