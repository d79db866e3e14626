// picture-diff: compares two pictures of the emulator, for golden-picture
// tests.
//   picture-diff --crc PICTURE.png
//       prints the picture's picture-crc32, as tarven-headless --hash does
//   picture-diff GOLDEN.png NEW.png DIFFERENCE.png
//       writes a picture of where the two differ (differing pixels bright
//       red, equal ones a dim grey of the golden picture) and prints how many
//       pixels differ; exits 1 when any do or the sizes differ
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

bool read_picture(const char* path, Picture& picture)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        std::fprintf(stderr, "picture-diff: cannot read %s: %s\n", path, image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = image.width;
    picture.height = image.height;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "picture-diff: cannot read %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

bool write_picture(const char* path, const Picture& picture)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, picture.rgb.data(), 0, nullptr) != 0;
}

// The CRC-32 of the pixels as little-endian 32-bit XRGB values, row by row.
uint32_t picture_crc(const Picture& picture)
{
    std::vector<uint8_t> xrgb;
    xrgb.reserve(picture.rgb.size() / 3 * 4);
    for (size_t i = 0; i < picture.rgb.size(); i += 3)
        xrgb.insert(xrgb.end(), {picture.rgb[i + 2], picture.rgb[i + 1], picture.rgb[i], 0});
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), xrgb.data(), static_cast<uInt>(xrgb.size())));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--crc") == 0) {
        Picture picture;
        if (!read_picture(argv[2], picture))
            return 2;
        std::printf("picture-crc32 %08x\n", picture_crc(picture));
        return 0;
    }
    if (argc != 4) {
        std::fprintf(
            stderr, "usage: picture-diff --crc PICTURE.png | picture-diff GOLDEN.png NEW.png DIFFERENCE.png\n");
        return 2;
    }
    Picture golden;
    Picture fresh;
    if (!read_picture(argv[1], golden) || !read_picture(argv[2], fresh))
        return 2;
    if (golden.width != fresh.width || golden.height != fresh.height) {
        std::printf("sizes differ: %ux%u and %ux%u\n", golden.width, golden.height, fresh.width, fresh.height);
        return 1;
    }
    Picture difference = golden;
    int differing = 0;
    for (size_t i = 0; i < golden.rgb.size(); i += 3) {
        const bool same = std::memcmp(&golden.rgb[i], &fresh.rgb[i], 3) == 0;
        if (!same)
            ++differing;
        const uint8_t grey = static_cast<uint8_t>((golden.rgb[i] + golden.rgb[i + 1] + golden.rgb[i + 2]) / 12);
        difference.rgb[i] = same ? grey : 255;
        difference.rgb[i + 1] = same ? grey : 0;
        difference.rgb[i + 2] = same ? grey : 0;
    }
    if (!write_picture(argv[3], difference)) {
        std::fprintf(stderr, "picture-diff: cannot write %s\n", argv[3]);
        return 2;
    }
    std::printf("%d pixels differ\n", differing);
    return differing == 0 ? 0 : 1;
}
