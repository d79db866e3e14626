// Recording of PSG writes into a music file.
#pragma once

#include <cstdint>

extern bool psg_logging;

void psg_log_start();
void psg_log_byte(uint8_t value);
void psg_log_frame();
void psg_log_stop();
