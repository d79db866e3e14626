// icon-png SIZE FILE.png: writes tarven's icon, SIZE x SIZE pixels, as the
// PNG the desktop shows for the program (installed in the hicolor theme).
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/icon.h"

int main(int argc, char** argv)
{
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size <= 0 || size % ICON_DESIGN_SIZE != 0) {
        std::fprintf(stderr, "usage: icon-png SIZE FILE.png  (SIZE a multiple of %d)\n", ICON_DESIGN_SIZE);
        return 2;
    }
    const std::vector<uint8_t> pixels = icon_rgba(size);
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = size;
    image.height = size;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "icon-png: cannot write %s: %s\n", argv[2], image.message);
        return 1;
    }
    return 0;
}
