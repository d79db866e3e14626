; tarven-demo: the program tarven starts on when no game is named. A field of
; blocks scrolls behind bouncing balls; the pad moves the star (player 1's
; arrows), button 1 plays the next tune and button 2 picks the next palette.
; One colour of the blocks glows through a cycle of its own, and Pause
; freezes everything. Every frame's work is done after the frame interrupt,
; so the picture at a given frame depends on the input alone.
; Assembled with GAME_GEAR defined it is a Game Gear program: the same, with
; its colours written as the Game Gear takes them (and no Pause, which the
; Game Gear's Start does not raise).

RAM             equ 0C000h
vblank_seen     equ RAM + 0             ; set by the frame interrupt
paused          equ RAM + 1             ; toggled by the pause NMI
frame           equ RAM + 2
scroll_x        equ RAM + 3
scroll_y        equ RAM + 4
pad_held        equ RAM + 5             ; last frame's pad, 1 = pressed
player_x        equ RAM + 6
player_y        equ RAM + 7
palette_set     equ RAM + 8
tune_number     equ RAM + 9
tune_wait       equ RAM + 10            ; frames left of the current note, 0 = tune over
tune_volume     equ RAM + 11
tune_next       equ RAM + 12            ; 2 bytes: the next note
balls           equ RAM + 16            ; BALL_COUNT records of x, y, dx, dy

BALL_COUNT      equ 4
TUNE_COUNT      equ 3
PALETTE_COUNT   equ 3
GLOW_ENTRY      equ 5                   ; the colour that cycles on its own
SPRITE_END      equ 0D0h                ; a Y that ends the sprite list

TILE_BRICK_A    equ 1
TILE_BRICK_B    equ 2
TILE_SKY        equ 3
TILE_BALL       equ 4
TILE_PLAYER     equ 5

        org 0
        di
        im 1
        ld sp, 0DFF0h
        jp main

        org 038h
; Frame interrupt: reading the status acknowledges it.
        push af
        in a, (VDP_CONTROL)
        ld a, 1
        ld (vblank_seen), a
        pop af
        ei
        reti

        org 066h
; Pause button.
        push af
        ld a, (paused)
        xor 1
        ld (paused), a
        pop af
        retn

main:
        ld hl, RAM
        ld de, RAM + 1
        ld bc, 0FFh
        ld (hl), 0
        ldir
        call psg_silence
        ld hl, vdp_registers
        call vdp_set_registers
        ld hl, 0
        ld bc, 4000h
        ld e, 0
        call vram_fill
        ld hl, tiles
        ld de, 0
        ld bc, tiles_end - tiles
        call vram_copy
        call fill_name_table
        call load_palette
        ld hl, sprite_colours
        ld b, 16
        ld a, 16
        call cram_colours
        ld hl, balls_start
        ld de, balls
        ld bc, 4 * BALL_COUNT
        ldir
        ld a, 124
        ld (player_x), a
        ld a, 88
        ld (player_y), a
        call start_tune
        call write_sprites
        ld a, 0E0h                      ; display on, frame interrupts on
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG + 1
        out (VDP_CONTROL), a
        ei

main_loop:
        halt
        ld a, (vblank_seen)
        or a
        jr z, main_loop                 ; woken by the pause NMI
        xor a
        ld (vblank_seen), a
        ld a, (scroll_x)
        ld b, 8
        call vdp_set_register
        ld a, (scroll_y)
        ld b, 9
        call vdp_set_register
        call write_sprites
        call glow
        ld a, (paused)
        or a
        jr nz, main_loop
        ld hl, frame
        inc (hl)
        call read_pad
        call move_player
        call move_balls
        call play_tune
        ld hl, scroll_x
        dec (hl)
        ld a, (frame)                   ; the field drifts down every fourth frame
        and 3
        jr nz, main_loop
        ld a, (scroll_y)
        inc a
        cp 224                          ; the name table is 28 rows high
        jr c, scroll_y_ok
        xor a
scroll_y_ok:
        ld (scroll_y), a
        jr main_loop

; Writes A to VDP register B.
vdp_set_register:
        out (VDP_CONTROL), a
        ld a, b
        or VDP_WRITE_REG
        out (VDP_CONTROL), a
        ret

; Blocks in diagonal bands: the tile of row R, column C is band (R + C) & 7.
fill_name_table:
        ld hl, NAME_TABLE
        call vdp_write_address
        ld d, 0                         ; row
fill_row:
        ld e, 0                         ; column
fill_column:
        ld a, d
        add a, e
        and 7
        ld hl, bands
        add a, l
        ld l, a
        jr nc, fill_band
        inc h
fill_band:
        ld a, (hl)
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, fill_column
        inc d
        ld a, d
        cp 28
        jr nz, fill_row
        ret

; The background colours of the chosen palette set.
load_palette:
        ld a, (palette_set)
        add a, a
        add a, a
        add a, a
        add a, a
        ld hl, palettes
        ld e, a
        ld d, 0
        add hl, de
        ld b, 16
        xor a
        jp cram_colours

; The glowing colour steps through its cycle every eighth frame.
glow:
        ld a, (frame)
        rrca
        rrca
        rrca
        and 7
        ld hl, glow_colours
        ld e, a
        ld d, 0
        add hl, de
        ld b, 1
        ld a, GLOW_ENTRY
        jp cram_colours

; Writes the B colours (00BBGGRR) at HL to colour RAM from entry A. The Game
; Gear takes each as a word ----BBBBGGGGRRRR, low byte first.
cram_colours:
 if defined GAME_GEAR
        add a, a
        call vdp_cram_address
cram_colours_next:
        ld a, (hl)                      ; red
        call gg_level
        ld c, a
        ld a, (hl)                      ; green
        rrca
        rrca
        call gg_level
        add a, a
        add a, a
        add a, a
        add a, a
        or c
        out (VDP_DATA), a
        ld a, (hl)                      ; blue
        rrca
        rrca
        rrca
        rrca
        call gg_level
        out (VDP_DATA), a
        inc hl
        djnz cram_colours_next
        ret

; The 2-bit level in A's low bits as a 4-bit one: 0, 5, 10, 15.
gg_level:
        and 3
        ld d, a
        add a, a
        add a, a
        add a, d
        ret
 else
        jp cram_copy
 endif

; Player 1's pad into pad_held (1 = pressed); the buttons act on a press only.
read_pad:
        in a, (PORT_PAD1)
        cpl
        and 03Fh
        ld b, a
        ld a, (pad_held)
        cpl
        and b                           ; newly pressed
        ld c, a
        ld a, b
        ld (pad_held), a
        bit PAD_BUTTON1, c
        jr z, read_pad_button2
        ld a, (tune_number)
        inc a
        cp TUNE_COUNT
        jr c, read_pad_tune
        xor a
read_pad_tune:
        ld (tune_number), a
        push bc
        call start_tune
        pop bc
read_pad_button2:
        bit PAD_BUTTON2, c
        ret z
        ld a, (palette_set)
        inc a
        cp PALETTE_COUNT
        jr c, read_pad_palette
        xor a
read_pad_palette:
        ld (palette_set), a
        jp load_palette

; Two pixels a frame in the direction held, kept inside the picture.
move_player:
        ld a, (pad_held)
        ld b, a
        ld hl, player_y
        bit PAD_UP, b
        jr z, move_player_down
        ld a, (hl)
        cp 2
        jr c, move_player_down
        sub 2
        ld (hl), a
move_player_down:
        bit PAD_DOWN, b
        jr z, move_player_left
        ld a, (hl)
        cp 175
        jr nc, move_player_left
        add a, 2
        ld (hl), a
move_player_left:
        ld hl, player_x
        bit PAD_LEFT, b
        jr z, move_player_right
        ld a, (hl)
        cp 10
        jr c, move_player_right
        sub 2
        ld (hl), a
move_player_right:
        bit PAD_RIGHT, b
        ret z
        ld a, (hl)
        cp 239
        ret nc
        add a, 2
        ld (hl), a
        ret

; Each ball moves by its speed and turns back at the edges.
move_balls:
        ld ix, balls
        ld b, BALL_COUNT
move_ball:
        ld a, (ix + 0)
        add a, (ix + 2)
        ld (ix + 0), a
        cp 8
        jr c, move_ball_turn_x
        cp 241
        jr c, move_ball_y
move_ball_turn_x:
        ld a, (ix + 2)
        neg
        ld (ix + 2), a
move_ball_y:
        ld a, (ix + 1)
        add a, (ix + 3)
        ld (ix + 1), a
        cp 2
        jr c, move_ball_turn_y
        cp 177
        jr c, move_ball_next
move_ball_turn_y:
        ld a, (ix + 3)
        neg
        ld (ix + 3), a
move_ball_next:
        ld de, 4
        add ix, de
        djnz move_ball
        ret

; The sprite table: the star first (drawn on top), then the balls.
write_sprites:
        ld hl, SPRITE_TABLE
        call vdp_write_address
        ld a, (player_y)
        out (VDP_DATA), a
        ld hl, balls + 1
        ld b, BALL_COUNT
write_sprites_y:
        ld a, (hl)
        out (VDP_DATA), a
        inc hl
        inc hl
        inc hl
        inc hl
        djnz write_sprites_y
        ld a, SPRITE_END
        out (VDP_DATA), a
        ld hl, SPRITE_TABLE + 080h
        call vdp_write_address
        ld a, (player_x)
        out (VDP_DATA), a
        ld a, TILE_PLAYER
        out (VDP_DATA), a
        ld hl, balls
        ld b, BALL_COUNT
write_sprites_x:
        ld a, (hl)
        out (VDP_DATA), a
        ld a, TILE_BALL
        out (VDP_DATA), a
        inc hl
        inc hl
        inc hl
        inc hl
        djnz write_sprites_x
        ret

; Starts tune number tune_number from its first note.
start_tune:
        ld a, (tune_number)
        add a, a
        ld hl, tunes
        ld e, a
        ld d, 0
        add hl, de
        ld a, (hl)
        inc hl
        ld h, (hl)
        ld l, a
        ld (tune_next), hl
        ld a, 1
        ld (tune_wait), a
        ret

; One frame of the tune on tone channel 0: a note is three bytes (frames,
; then the 10-bit tone period, 0 for a rest) and a length of 0 ends the tune.
; Each note fades a step every fourth frame.
play_tune:
        ld a, (tune_wait)
        or a
        ret z
        dec a
        ld (tune_wait), a
        jr z, play_tune_note
        ld a, (frame)
        and 3
        ret nz
        ld a, (tune_volume)
        cp 0Fh
        ret z
        inc a
        jr play_tune_volume
play_tune_note:
        ld hl, (tune_next)
        ld a, (hl)
        or a
        jr z, play_tune_end
        ld (tune_wait), a
        inc hl
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        ld (tune_next), hl
        ld a, d
        or e
        ld a, 0Fh
        jr z, play_tune_volume          ; a rest
        ld a, e                         ; latch channel 0's tone, low 4 bits
        and 0Fh
        or 080h
        out (PSG_PORT), a
        ld a, e                         ; then the high 6 bits
        srl d
        rra
        srl d
        rra
        srl d
        rra
        srl d
        rra
        and 03Fh
        out (PSG_PORT), a
        ld a, 2
play_tune_volume:
        ld (tune_volume), a
        or 090h                         ; channel 0's attenuation
        out (PSG_PORT), a
        ret
play_tune_end:
        xor a
        ld (tune_wait), a
        ld a, 0Fh
        jr play_tune_volume

vdp_registers:
        db 026h                         ; mode 4, left column blanked
        db 080h                         ; display off for now
        db 0FFh                         ; name table at 3800h
        db 0FFh, 0FFh
        db 0FFh                         ; sprite table at 3F00h
        db 0FBh                         ; sprite tiles from 0000h
        db 000h                         ; border: sprite colour 0
        db 000h, 000h                   ; scroll
        db 0FFh                         ; no line interrupts

bands:
        db TILE_BRICK_A, TILE_BRICK_B, TILE_SKY, TILE_SKY, TILE_BRICK_B, TILE_SKY, TILE_SKY, TILE_SKY

; x, y, dx, dy
balls_start:
        db 40, 30, 1, 1
        db 200, 60, -2, 1
        db 90, 150, 1, -2
        db 160, 100, -1, -1

; Colours are 00BBGGRR. Entries 1-3 one kind of block, 4-6 the other (5
; glows), 7-8 the sky.
palettes:
        db 000h, 001h, 007h, 01Bh, 010h, 000h, 03Eh, 024h, 039h, 0, 0, 0, 0, 0, 0, 0
        db 000h, 004h, 01Dh, 03Eh, 014h, 000h, 03Fh, 011h, 02Ah, 0, 0, 0, 0, 0, 0, 0
        db 000h, 010h, 034h, 03Dh, 005h, 000h, 02Fh, 006h, 01Bh, 0, 0, 0, 0, 0, 0, 0

glow_colours:
        db 020h, 030h, 034h, 038h, 03Ch, 038h, 034h, 030h

sprite_colours:
        db 000h, 002h, 02Fh, 015h, 03Fh, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0

; Tone periods: 3579545 / (32 x frequency).
C4      equ 428
D4      equ 381
E4      equ 339
F4      equ 320
G4      equ 285
A4      equ 254
B4      equ 226
C5      equ 214
D5      equ 190
E5      equ 170
G5      equ 143
REST    equ 0

tunes:
        dw tune_fanfare, tune_stroll, tune_bounce

tune_fanfare:
        db 8
        dw C4
        db 8
        dw E4
        db 8
        dw G4
        db 16
        dw C5
        db 8
        dw G4
        db 24
        dw C5
        db 0

tune_stroll:
        db 12
        dw E4
        db 12
        dw D4
        db 12
        dw C4
        db 12
        dw D4
        db 12
        dw E4
        db 12
        dw E4
        db 24
        dw E4
        db 0

tune_bounce:
        db 6
        dw G4
        db 6
        dw REST
        db 6
        dw E5
        db 6
        dw REST
        db 6
        dw D5
        db 6
        dw C5
        db 6
        dw A4
        db 6
        dw B4
        db 18
        dw C5
        db 0

tiles:
; blank
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
        db 000h, 000h, 000h, 000h
; brick_a
        db 0FFh, 000h, 000h, 000h
        db 0F9h, 07Eh, 000h, 000h
        db 0C1h, 07Eh, 000h, 000h
        db 0C1h, 07Eh, 000h, 000h
        db 081h, 07Eh, 000h, 000h
        db 081h, 07Eh, 000h, 000h
        db 081h, 07Eh, 000h, 000h
        db 0FFh, 000h, 000h, 000h
; brick_b
        db 000h, 000h, 0FFh, 000h
        db 006h, 078h, 0FFh, 000h
        db 03Eh, 040h, 0FFh, 000h
        db 03Eh, 040h, 0FFh, 000h
        db 07Eh, 000h, 0FFh, 000h
        db 07Eh, 000h, 0FFh, 000h
        db 07Eh, 000h, 0FFh, 000h
        db 000h, 000h, 0FFh, 000h
; sky
        db 0FFh, 0FFh, 0FFh, 000h
        db 0FFh, 0FFh, 0FFh, 000h
        db 0EFh, 0EFh, 0EFh, 010h
        db 0C7h, 0C7h, 0C7h, 038h
        db 0EFh, 0EFh, 0EFh, 010h
        db 0FFh, 0FFh, 0FFh, 000h
        db 0FFh, 0FFh, 0FFh, 000h
        db 0FFh, 0FFh, 0FFh, 000h
; ball
        db 03Ch, 000h, 000h, 000h
        db 066h, 018h, 000h, 000h
        db 0C3h, 03Ch, 000h, 000h
        db 0C7h, 038h, 000h, 000h
        db 0EFh, 010h, 000h, 000h
        db 0FFh, 000h, 000h, 000h
        db 07Eh, 000h, 000h, 000h
        db 03Ch, 000h, 000h, 000h
; player
        db 018h, 018h, 000h, 000h
        db 024h, 024h, 018h, 000h
        db 042h, 042h, 03Ch, 000h
        db 099h, 099h, 066h, 000h
        db 081h, 081h, 07Eh, 000h
        db 05Ah, 05Ah, 024h, 000h
        db 024h, 024h, 018h, 000h
        db 018h, 018h, 000h, 000h
tiles_end:

        include "sms.inc"

; The header of an exported cartridge, at the end of its first 32 KB.
        org 07FF0h
        db "TMR SEGA"
        db 0, 0                         ; reserved
        dw 0                            ; checksum (not checked)
        db 0, 0, 0                      ; product code and version
        db 04Ch                         ; export Master System, 32 KB
