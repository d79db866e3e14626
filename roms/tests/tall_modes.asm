; The taller pictures of mode 4. The name table of the 224- and 240-line
; modes (32 rows at 03700h with register 2 = 0FFh) holds rows of four
; colours, each row's own column white, so that every row shows where it
; lands; a sprite sits at line 208, below the 192-line picture. Frames
; 0-59 are in the 224-line mode, 60-119 in the 240-line one; from frame 120
; on, the 192-line mode with register 2's bit 0 clear shows the first
; chip's name table quirk (rows 16 and up repeat rows 0 and up there).
; Built as a .gg program it shows the Game Gear's screen in the taller
; picture.
TALL_NAME_TABLE equ 03700h
MODE_FRAMES     equ 60

        include "entry.inc"

main:
        ld hl, registers
        call vdp_set_registers
        ld hl, 0
        ld bc, 04000h
        ld e, 0
        call vram_fill
        ld hl, tiles
        ld de, 32                   ; tiles 1-5
        ld bc, 5 * 32
        call vram_copy
        ld hl, palette
        ld b, PALETTE_BYTES
        xor a
        call cram_copy
        ld hl, palette
        ld b, PALETTE_BYTES
        ld a, SPRITE_PALETTE        ; the sprite palette, the same colours
        call cram_copy

        ld hl, TALL_NAME_TABLE
        call vdp_write_address
        ld d, 0                     ; row
row_loop:
        ld e, 0                     ; column
column_loop:
        ld a, e
        cp d
        ld a, 5                     ; white on the row's own column
        jr z, put_entry
        ld a, d
        and 3
        inc a
put_entry:
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, column_loop
        inc d
        ld a, d
        cp 32
        jr nz, row_loop

        ; The sprite table follows at 03F00h, where the data port now points.
        ld a, 207                   ; sprite 0 at line 208
        out (VDP_DATA), a
        ld b, 63
        ld a, 0F0h                  ; the others below every picture
park_sprites:
        out (VDP_DATA), a
        djnz park_sprites
        ld hl, SPRITE_TABLE + 080h
        call vdp_write_address
        ld a, 200
        out (VDP_DATA), a
        ld a, 5
        out (VDP_DATA), a

        ld a, 0D0h                  ; display on, M1: 224 lines
        call set_register1
        call wait_frames
        ld a, 0C8h                  ; display on, M3: 240 lines
        call set_register1
        call wait_frames
        ld a, 0FEh                  ; 192 lines, register 2's bit 0 clear
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 2
        out (VDP_CONTROL), a
        ld a, 0C0h
        call set_register1
forever:
        jr forever

set_register1:
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 1
        out (VDP_CONTROL), a
        ret

; Waits MODE_FRAMES frames by the frame flag of the video status.
wait_frames:
        ld b, MODE_FRAMES
wait_frame:
        in a, (VDP_CONTROL)
        and 080h
        jr z, wait_frame
        djnz wait_frame
        ret

; M4 and M2 set, display off; tables at 03700h and 03F00h.
registers:
        db 006h, 090h, 0FFh, 0FFh, 0FFh, 0FFh, 0FBh, 000h, 000h, 000h, 0FFh
tiles:
        rept 8
        db 0FFh, 0, 0, 0            ; tile 1: colour 1
        endm
        rept 8
        db 0, 0FFh, 0, 0            ; tile 2: colour 2
        endm
        rept 8
        db 0FFh, 0FFh, 0, 0         ; tile 3: colour 3
        endm
        rept 8
        db 0, 0, 0FFh, 0            ; tile 4: colour 4
        endm
        rept 8
        db 0FFh, 0, 0FFh, 0         ; tile 5: colour 5
        endm
palette:
if defined GAME_GEAR
        dw 00000h, 000F0h, 0000Fh, 00F00h, 000FFh, 00FFFh
PALETTE_BYTES   equ 12
SPRITE_PALETTE  equ 32              ; a Game Gear colour is two bytes
else
        db 000h, 00Ch, 003h, 030h, 00Fh, 03Fh
PALETTE_BYTES   equ 6
SPRITE_PALETTE  equ 16
endif

        include "sms.inc"

        org 07FFFh
        db 0
