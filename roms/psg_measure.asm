; Sound test: the chip's rules as the sound tests measure them. Every step
; holds for 60 frames (step s starts at frame 60 * s, counting from 0):
;   steps  0-12  tone 0 at full volume, periods 16, 31, 64, 100, 127, 200,
;                254, 383, 511, 512, 700, 1000, 1023
;   step  13     tone 0 at period 0FFh
;   step  14     a tone latch byte alone, 080h: period 0F0h at once
;   step  15     a volume latch (090h) and a data byte 05h: attenuation 5,
;                the period stays
;   step  16     the noise latched (0E4h), then a data byte 00h: periodic
;                noise shifted at the clock / 512, tone 0 silent
;   step  17     periodic noise shifted by tone 2 at period 100 (silent)
;   steps 18-20  white noise shifted at the clock / 512
;   step  21     tone 0 at period 254 (440 Hz) alone
;   step  22     tone 0 at period 28 (3995 Hz)
;   step  23     tone 0 given the data byte 07Fh: period 3FEh
;   steps 24-27  all four channels at full volume: tones 0-2 at periods 200,
;                150 and 110, periodic noise shifted at the clock / 2048;
;                stereo bytes 0FFh, 00Fh, 0F0h, 010h
;   steps 28-29  tone 0 alone, a trill between periods 100h and 0FFh, a
;                change every frame; each latch byte on the way down makes
;                period 10Fh, an octave above, until its data byte
;   steps 30-32  periodic noise shifted by tone 2 (silent) at periods 1, 2, 3
;   step  33     white noise at the clock / 512, started afresh every 5
;                frames, as drums play it
; Then silence.
        include "psg_steps.inc"

; Frames, byte count, bytes (see psg_steps.inc).
; Tone 0 set to `period` by a latch and a data byte, written as the period so
; that the table reads as the list above.
tone0_period macro period
        db 60, 2, 080h OR (period AND 0Fh), period SHR 4
        endm

steps:
        db 60, 3, 080h, 001h, 090h          ; period 16
        tone0_period 31
        tone0_period 64
        tone0_period 100
        tone0_period 127
        tone0_period 200
        tone0_period 254
        tone0_period 383
        tone0_period 511
        tone0_period 512
        tone0_period 700
        tone0_period 1000
        tone0_period 1023
        tone0_period 0FFh
        db 60, 1, 080h                      ; 0F0h by the latch alone
        db 60, 2, 090h, 005h                ; attenuation 5 by a data byte
        db 60, 4, 09Fh, 0F0h, 0E4h, 000h    ; periodic noise by a data byte
        db 60, 5, 0C4h, 006h, 0DFh, 0E3h, 0F0h
        db 60, 2, 0E4h, 0F0h                ; white noise
        db 60, 1, 0F0h
        db 60, 1, 0F0h
        db 60, 4, 0FFh, 08Eh, 00Fh, 090h    ; 440 Hz
        tone0_period 28                     ; 3995 Hz
        db 60, 2, 08Eh, 07Fh                ; period 3FEh
        db 60, 13, 088h, 00Ch, 090h, 0A6h, 009h, 0B0h, 0CEh, 006h, 0D0h, 0E2h, 0F0h, 0FEh, 0FFh
        db 60, 2, 0FEh, 00Fh
        db 60, 2, 0FEh, 0F0h
        db 60, 2, 0FEh, 010h
        db 1, 8, 0FEh, 0FFh, 0BFh, 0DFh, 0FFh, 090h, 080h, 010h
        rept 59
        db 1, 2, 08Fh, 00Fh
        db 1, 2, 080h, 010h
        endm
        db 1, 2, 08Fh, 00Fh
        db 60, 6, 09Fh, 0C1h, 000h, 0E3h, 0F0h, 0DFh
        db 60, 2, 0C2h, 000h
        db 60, 2, 0C3h, 000h
        rept 12
        db 5, 1, 0E4h
        endm
        db 0

        ds 04000h - $
