#include "sound/psg_log.h"

bool psg_logging = false;

// Seams for the music log: recording is not built yet, so nothing ever starts
// it and these keep psg_logging false.
void psg_log_start()
{
}
void psg_log_byte(uint8_t)
{
}
void psg_log_frame()
{
}
void psg_log_stop()
{
}
