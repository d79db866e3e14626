// sonivo: the console player of the music files tarven records.
#include "player/player.h"

int main(int argc, char** argv)
{
    return sonivo_main(argc, argv);
}
