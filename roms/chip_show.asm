; chip_show (and chip_show_gg, the same program on the Game Gear): fills
; the video chip with something to look at and leaves the sound chip
; playing, then idles. The viewers and pop-ups of tarven's View
; menu are checked over it: the patterns are blocks of every colour, the 32
; colours are all distinct, the scroll registers are set and three PSG
; channels sound.

        org 0
        di
        im 1
        ld sp, 0DFF0h
        jp main

        ds 038h - $, 0
        reti                        ; frame interrupts stay disabled in the CPU

        ds 066h - $, 0
        retn

main:
        ld hl, registers
        call vdp_set_registers

        ; Patterns 0-447 (VRAM 0000h-37FFh): tile t is a 7 x 7 block of
        ; colour t mod 16 with a blank column and row that draw a grid.
        ld hl, 0
        call vdp_write_address
        ld de, 0
        ld bc, 448
tile_next:
        push bc
        ld c, 7
row_next:
        ld h, e
        ld b, 4
plane_next:
        ld a, 0
        srl h                       ; the colour's next bit
        jr nc, plane_out
        ld a, 0FEh
plane_out:
        out (VDP_DATA), a
        djnz plane_next
        dec c
        jr nz, row_next
        xor a
        ld b, 4
blank_row:
        out (VDP_DATA), a
        djnz blank_row
        inc de
        pop bc
        dec bc
        ld a, b
        or c
        jr nz, tile_next

        ; The screen shows tiles 0, 1, 2, ... row by row.
        ld hl, NAME_TABLE
        call vdp_write_address
        ld de, 0
        ld bc, 32 * 24
name_next:
        ld a, e
        out (VDP_DATA), a
        ld a, d
        and 1
        out (VDP_DATA), a
        inc de
        dec bc
        ld a, b
        or c
        jr nz, name_next

        ; No sprites.
        ld hl, SPRITE_TABLE
        call vdp_write_address
        ld a, 0D0h
        out (VDP_DATA), a

        ; 32 colours, entry i = 5i mod 64, so entry 0 is black.
        xor a
        call vdp_cram_address
        ld b, 32
        xor a
colour_next:
        out (VDP_DATA), a
        add a, 5
        and 03Fh
        djnz colour_next

        ld hl, psg_bytes
        ld b, psg_bytes_end - psg_bytes
        ld c, PSG_PORT
        otir

idle:
        jr idle

; Mode 4, display on, frame interrupts on, 8x16 sprites; name table 3800h,
; sprites 3F00h with patterns from 0000h; backdrop 0; scroll X 16, Y 8.
registers:
        db 006h, 0E2h, 0FFh, 0FFh, 0FFh, 0FFh, 0FBh, 000h, 010h, 008h, 0FFh

; Tone 0 loud, tone 1 quieter, tone 2 silent, noise at half volume.
psg_bytes:
        db 08Eh, 010h, 090h
        db 0A5h, 020h, 0B4h
        db 0C0h, 03Fh, 0DFh
        db 0E4h, 0F8h
psg_bytes_end:

        include "sms.inc"

        ds 4000h - $, 0
