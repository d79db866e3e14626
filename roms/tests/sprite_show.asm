; Ten zoomed 8x16 sprites side by side on the same lines: the console draws
; the first eight, each 16 pixels wide and 32 high, an X over a box; with
; the sprite limit off all ten show.
SPRITE_COUNT    equ 10

        include "entry.inc"

main:
        call show_init
        ld hl, PATTERNS             ; sprite tiles 4 and 5
        ld de, 4 * 32
        ld bc, 64
        call vram_copy
        ld hl, SPRITE_COLOURS
        ld b, 4
        ld a, 16
        call cram_copy
        ld hl, SPRITE_TABLE
        call vdp_write_address
        ld b, SPRITE_COUNT
main_y:
        ld a, 31
        out (VDP_DATA), a
        djnz main_y
        ld a, 0D0h
        out (VDP_DATA), a
        ld hl, SPRITE_TABLE + 080h
        call vdp_write_address
        ld b, SPRITE_COUNT
        ld a, 8
main_xn:
        out (VDP_DATA), a
        ld c, a
        ld a, 4
        out (VDP_DATA), a
        ld a, c
        add a, 24
        djnz main_xn
        ld a, 0C3h                  ; display on, 8x16 sprites, zoomed
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 1
        out (VDP_CONTROL), a
main_idle:
        jr main_idle

PATTERNS:
        db 081h, 0FFh, 0, 0         ; tile 4: an X (colour 1) in a box (colour 2)
        db 042h, 081h, 0, 0
        db 024h, 081h, 0, 0
        db 018h, 081h, 0, 0
        db 018h, 081h, 0, 0
        db 024h, 081h, 0, 0
        db 042h, 081h, 0, 0
        db 081h, 0FFh, 0, 0
        rept 8                      ; tile 5: solid colour 3
        db 0FFh, 0FFh, 0, 0
        endm
SPRITE_COLOURS:
        db 000h, 00Fh, 030h, 03Fh

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
