#include "host/picture/picture.h"

#include <png.h>
#include <zlib.h>

#include <set>
#include <vector>

#include "host/draw.h"
#include "host/file.h"
#include "host/video.h"

uint32_t picture_crc32()
{
    uLong crc = crc32(0L, Z_NULL, 0);
    const PictureArea whole = whole_picture();
    std::vector<uint8_t> row(size_t(whole.width) * 4);
    for (int y = 0; y < whole.height; ++y) {
        for (int x = 0; x < whole.width; ++x) {
            const uint32_t pixel = picture_pixel_xrgb(x, y);
            for (int i = 0; i < 4; ++i)
                row[x * 4 + i] = static_cast<uint8_t>(pixel >> (8 * i));
        }
        crc = crc32(crc, row.data(), static_cast<uInt>(row.size()));
    }
    return static_cast<uint32_t>(crc);
}

int picture_colour_count()
{
    std::set<uint32_t> colours;
    const PictureArea whole = whole_picture();
    for (int y = 0; y < whole.height; ++y)
        for (int x = 0; x < whole.width; ++x)
            colours.insert(picture_pixel_xrgb(x, y));
    return static_cast<int>(colours.size());
}

bool picture_write_png(const std::string& path, PictureArea area)
{
    std::vector<uint8_t> rgb(size_t(area.width) * area.height * 3);
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const uint32_t pixel = picture_pixel_xrgb(area.x + x, area.y + y);
            uint8_t* out = &rgb[(size_t(y) * area.width + x) * 3];
            out[0] = static_cast<uint8_t>(pixel >> 16);
            out[1] = static_cast<uint8_t>(pixel >> 8);
            out[2] = static_cast<uint8_t>(pixel);
        }
    }
    return write_user_file(path, [&](FILE* file) {
        png_image image {};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(area.width);
        image.height = static_cast<png_uint_32>(area.height);
        image.format = PNG_FORMAT_RGB;
        const bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
        png_image_free(&image);
        return written;
    });
}
