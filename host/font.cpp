// The built-in font: 7 pixel rows, 1-7 columns per glyph, for character
// codes 32-127, drawn pixel by pixel so that text obeys the clip rectangle
// and translucency like any other drawing.
#include <cstdarg>
#include <cstdio>

#include "host/draw.h"

namespace {

constexpr int GLYPH_ROWS = 7;
constexpr int FIRST_CODE = 32;
constexpr int LAST_CODE = 127;

// A glyph's rows, top first, separated by one space; '#' is a set pixel.
struct Glyph {
    int width;
    const char* rows;
};

// Several characters that the program never shows on their own share these.
constexpr Glyph BLOCK = {2, "## ## ## ## ## .# .."};
constexpr Glyph CARET = {3, ".#. #.# ... ... ... ... ..."};

constexpr Glyph FONT[LAST_CODE - FIRST_CODE + 1] = {
    {2, ".. .. .. .. .. .. .."},  // space
    {3, ".#. ### ### ### .#. ... .#."},  // !
    {3, "#.# #.# ... ... ... ... ..."},  // "
    {5, "..... .#.#. ##### .#.#. ##### .#.#. ....."},  // #
    {5, "..... ..... ..#.. .###. ##### ..... ....."},  // $
    {5, "..... #...# ...#. ..#.. .#... #...# ....."},  // %
    CARET,  // &
    {1, "# # . . . . ."},  // '
    {2, ".# #. #. #. #. #. .#"},  // (
    {2, "#. .# .# .# .# .# #."},  // )
    {5, "..... ..... ##### ##### ..... ..... ....."},  // * (menu separator)
    {5, "#.... ##... ###.. ####. ##### ..#.. ...#."},  // + (mouse pointer)
    {2, ".. .. .. .. .. .# #."},  // ,
    {2, ".. .. .. ## .. .. .."},  // -
    {1, ". . . . . . #"},  // .
    {3, "... ..# ..# .#. .#. #.. #.."},  // /
    {3, "### #.# #.# #.# #.# #.# ###"},  // 0
    {3, ".#. ##. .#. .#. .#. .#. ###"},  // 1
    {4, ".##. #..# ...# ...# ..#. .#.. ####"},  // 2
    {4, "#### ...# ...# .### ...# ...# ####"},  // 3
    {5, "#..#. #..#. #..#. ##### ...#. ...#. ...#."},  // 4
    {4, "#### #... #... ###. ...# ...# ###."},  // 5
    {4, ".##. #..# #... ###. #..# #..# .##."},  // 6
    {3, "### ..# ..# .#. .#. .#. .#."},  // 7
    {4, ".##. #..# #..# .##. #..# #..# .##."},  // 8
    {3, "### #.# #.# ### ..# ..# ###"},  // 9
    {1, ". . # . # . ."},  // :
    {2, ".# .. .# .# .# .# #."},  // ;
    BLOCK,  // <
    BLOCK,  // =
    {3, "... #.. ##. ### ##. #.. ..."},  // > (menu check mark)
    {3, "### ..# ..# ..# .## ... .#."},  // ?
    {5, ".###. #...# #.### #.#.# #.### #.... .###."},  // @
    {4, ".##. #..# #..# #### #..# #..# #..#"},  // A
    {4, "###. #..# #..# ###. #..# #..# ###."},  // B
    {4, ".##. #..# #... #... #... #..# .##."},  // C
    {4, "##.. #.#. #..# #..# #..# #.#. ##.."},  // D
    {4, "#### #... #... ###. #... #... ####"},  // E
    {4, "#### #... #... ###. #... #... #..."},  // F
    {4, ".##. #..# #... #... #.## #..# .##."},  // G
    {4, "#..# #..# #..# #### #..# #..# #..#"},  // H
    {3, "### .#. .#. .#. .#. .#. ###"},  // I
    {4, "...# ...# ...# ...# ...# #..# .##."},  // J
    {4, "#..# #..# #.#. ##.. ###. #..# #..#"},  // K
    {3, "#.. #.. #.. #.. #.. #.. ###"},  // L
    {5, "#...# ##.## #.#.# #.#.# #...# #...# #...#"},  // M
    {4, "#..# #..# ##.# #.## #..# #..# #..#"},  // N
    {4, ".##. #..# #..# #..# #..# #..# .##."},  // O
    {4, "###. #..# #..# ###. #... #... #..."},  // P
    {4, ".##. #..# #..# #..# #..# #.#. .#.#"},  // Q
    {4, "###. #..# #..# ###. #..# #..# #..#"},  // R
    {4, ".##. #..# #... .##. ...# #..# .##."},  // S
    {5, "##### #.#.# ..#.. ..#.. ..#.. ..#.. .###."},  // T
    {3, "#.# #.# #.# #.# #.# #.# ###"},  // U
    {3, "#.# #.# #.# #.# #.# #.# .#."},  // V
    {5, "#...# #...# #...# #.#.# #.#.# ##.## #...#"},  // W
    {5, "#...# #...# .#.#. ..#.. .#.#. #...# #...#"},  // X
    {3, "#.# #.# #.# .#. .#. .#. .#."},  // Y
    {5, "##### ....# ...#. ..#.. .#... #.... #####"},  // Z
    BLOCK,  // [
    BLOCK,  // backslash
    BLOCK,  // ]
    CARET,  // ^
    {2, ".. .. .. .. ## .# .."},  // _
    {3, ".#. ### ### ### .#. #.. ..."},  // `
    {5, "..... ..... .##.. #..#. #..#. #..#. .##.#"},  // a
    {4, "#... #... ###. #..# #..# #..# ###."},  // b
    {3, "... ... .## #.. #.. #.. .##"},  // c
    {4, "...# ...# .### #..# #..# #..# .###"},  // d
    {4, ".... .... .##. #..# ###. #... .##."},  // e
    {4, "..#. .#.# .#.. ###. .#.. .#.. .#.."},  // f
    {4, ".... .... .##. #... #.## #..# .##."},  // g
    {4, "#... #... ###. #..# #..# #..# #..#"},  // h
    {1, ". # . # # # #"},  // i
    {3, "..# ... ..# ..# ..# #.# .#."},  // j
    {3, "#.. #.. #.# #.# ##. #.# #.#"},  // k
    {3, "... ... #.. #.. #.. #.. ###"},  // l
    {5, "..... ..... .#.#. #.#.# #.#.# #.#.# #.#.#"},  // m
    {4, ".... .... #.#. ##.# #..# #..# #..#"},  // n
    {4, ".... .... .##. #..# #..# #..# .##."},  // o
    {4, ".... .... ###. #..# #..# ###. #..."},  // p
    {4, ".... .... .##. #..# #..# #.#. .#.#"},  // q
    {4, ".... .... .##. #..# #... #... #..."},  // r
    {3, "... ... .## #.. .#. ..# ##."},  // s
    {3, ".#. .#. ### .#. .#. .#. .##"},  // t
    {3, "... ... #.# #.# #.# #.# ###"},  // u
    {3, "... ... #.# #.# #.# #.# .#."},  // v
    {5, "..... ..... #...# #.#.# #.#.# ##.## #...#"},  // w
    {3, "... ... #.# #.# .#. #.# #.#"},  // x
    {3, "... ... #.# #.# .#. .#. .#."},  // y
    {4, ".... .... #### ...# ..#. .#.. ####"},  // z
    BLOCK,  // {
    BLOCK,  // |
    BLOCK,  // }
    {7, ".#####. #.....# #..##.# #.#...# #..##.# #.....# .#####."},  // ~
    {3, "... ... ### ### ### ... ..."},  // 127
};

// text_putc indexes rows by width, so a mistyped row must not compile.
constexpr bool font_well_formed()
{
    for (const Glyph& g : FONT) {
        int length = 0;
        while (g.rows[length])
            length++;
        if (g.width < 1 || length != GLYPH_ROWS * (g.width + 1) - 1)
            return false;
        for (int i = 0; i < length; i++) {
            bool gap = i % (g.width + 1) == g.width;
            char ch = g.rows[i];
            if (gap ? ch != ' ' : ch != '#' && ch != '.')
                return false;
        }
    }
    return true;
}
static_assert(font_well_formed());

int text_x = 0;
int text_y = 0;
uint32_t text_pixel = 0;

// Codes without a glyph yield null; they are neither drawn nor measured.
const Glyph* glyph_of(int code)
{
    return code >= FIRST_CODE && code <= LAST_CODE ? &FONT[code - FIRST_CODE] : nullptr;
}

void print_string(const char* text)
{
    for (const char* p = text; *p; p++)
        text_putc(static_cast<unsigned char>(*p));
}

}  // namespace

void text_goto(int x, int y)
{
    text_x = x;
    text_y = y;
}

void text_colour(uint32_t pixel)
{
    text_pixel = pixel;
}

void text_putc(int code)
{
    const Glyph* g = glyph_of(code);
    if (!g)
        return;
    for (int r = 0; r < GLYPH_ROWS; r++) {
        const char* row = g->rows + r * (g->width + 1);
        for (int c = 0; c < g->width; c++)
            if (row[c] == '#')
                vid_set_pixel(text_x + c, text_y + r, text_pixel, screen_image);
    }
    text_x += g->width + 1;
}

void text_print(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    print_string(buffer);
}

int text_width(const char* text)
{
    int width = 0;
    for (const char* p = text; *p; p++)
        if (const Glyph* g = glyph_of(static_cast<unsigned char>(*p)))
            width += g->width + 1;
    return width;
}

void text_print_right(int x, int y, const char* text)
{
    text_goto(x - text_width(text), y);
    print_string(text);
}

void text_print_centred(int x, int y, const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text_goto(x - text_width(buffer) / 2, y);
    print_string(buffer);
}
