; Sound test: plays fixed PSG settings for 60 frames each, then stays silent.
;   frames   1- 60  tone 0 at 440 Hz (period 254), attenuation 0 (volume 255)
;   frames  61-120  the same tone at attenuation 6 (volume 64)
;   frames 121-180  silence
;   frames 181-240  tone 1 at 440 Hz, volume 255, stereo byte 0F0h: left only
;   frames 241-300  white noise shifted at the clock / 512, volume 255,
;                   stereo byte 00Fh: right only
;   frames 301-360  tone 0 at volume 255 but period 3, above hearing: silence
;   frames 361-420  tone 0 back at period 254: 440 Hz again
        include "psg_steps.inc"

; Frames, byte count, bytes (see psg_steps.inc).
steps:
        db 60, 3, 08Eh, 00Fh, 090h
        db 60, 1, 096h
        db 60, 1, 09Fh
        db 60, 5, 0FEh, 0F0h, 0AEh, 00Fh, 0B0h
        db 60, 5, 0BFh, 0FEh, 00Fh, 0E4h, 0F0h
        db 60, 6, 0FFh, 0FEh, 0FFh, 083h, 000h, 090h
        db 60, 2, 08Eh, 00Fh
        db 0

        ds 04000h - $
