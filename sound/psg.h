// The SN76489 programmable sound generator as register state. Each channel
// later drives one looping mixer voice; psg_voice_update is that seam.
#pragma once

#include <cstdint>

struct PsgState {
    uint16_t frequency[4];  // tone channels in Hz (0 silent), then the noise rate
    uint8_t volume[4];  // 0-255, converted from the attenuation
    uint8_t noise_mode;  // low two bits of the last noise control byte
    uint8_t latch;  // last tone latch byte, 0 at reset
};

extern PsgState psg;
// Voice panning set by the Game Gear stereo register: -127, 0 or 127.
extern int8_t psg_pan[4];

void psg_reset();
void psg_write(uint8_t value);
void gg_stereo_write(uint8_t value);
// Pushes one channel's frequency and volume into its voice.
void psg_voice_update(int channel, int frequency, int volume);
void psg_silence();
// After a state load: silence, then every channel from the stored state.
void psg_refresh();
