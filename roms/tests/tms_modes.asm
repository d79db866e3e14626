; The TMS9918's four older modes, which every chip keeps: Graphics I with
; 8 x 8 sprites, Text, Graphics II with 16 x 16 sprites and Multicolor with
; magnified ones, 60 frames each. Five sprites share lines 16-23, so the
; fifth is not drawn and sets the status's fifth-sprite flag with its
; number (4); sprite 5, moved 32 pixels left by its early-clock bit, meets
; sprite 6, which sets the collision flag. The backdrop turns light green
; when the status reads of a frame showed exactly that, dark red otherwise.
; Assembled as .sms, and as .sg for the SG-1000, whose chip is the TMS9918.
NAMES           equ 03800h
COLOURS         equ 02000h
SPRITE_PATTERNS equ 01800h
ATTRIBUTES      equ 03F00h
MODE_FRAMES     equ 60
EXPECTED_STATUS equ 064h            ; fifth sprite 4, collision

        include "entry.inc"

main:
        ld hl, graphics1
        call set_mode
        ld a, 0F4h                  ; white text, dark blue backdrop
        call set_register7
        ld hl, 0
        ld bc, 04000h
        ld e, 0
        call vram_fill

        ; Patterns and Graphics II's colours: 6 KB of each, a different
        ; byte at each address.
        ld hl, 0
        call vdp_write_address
pattern_loop:
        ld a, l
        rrca
        rrca
        rrca
        xor h
        out (VDP_DATA), a
        inc hl
        ld a, h
        cp 018h
        jr nz, pattern_loop
        ld hl, COLOURS
        call vdp_write_address
colour_loop:
        ld a, l
        xor h
        rlca
        rlca
        rlca
        rlca
        or 1
        out (VDP_DATA), a
        inc hl
        ld a, h
        cp 038h
        jr nz, colour_loop
        ; The names, 0-255 over and over.
        ld hl, NAMES
        call vdp_write_address
name_loop:
        ld a, l
        out (VDP_DATA), a
        inc hl
        ld a, h
        cp 03Ch
        jr nz, name_loop
        ; Sprite patterns: hollow boxes.
        ld hl, SPRITE_PATTERNS
        call vdp_write_address
        ld b, 0
sprite_pattern_loop:
        ld a, b
        and 7
        ld a, 0FFh
        jr z, box_edge
        ld a, b
        and 7
        cp 7
        ld a, 0FFh
        jr z, box_edge
        ld a, 081h
box_edge:
        out (VDP_DATA), a
        djnz sprite_pattern_loop
        ld hl, sprites
        ld de, ATTRIBUTES
        ld bc, SPRITE_BYTES
        call vram_copy

        ld hl, graphics1
        call set_mode
        ; The status reads of one whole frame with the sprites on: a read
        ; clears the flags it shows, and the sprite number is the fifth
        ; sprite's only while its flag is up. D collects the flags, L the
        ; last status with the fifth-sprite flag.
        call wait_frame
        call wait_frame
        ld d, 0
        ld l, 0
check_frame:
        in a, (VDP_CONTROL)
        ld e, a
        or d
        ld d, a
        bit 6, e
        jr z, check_next
        ld l, e
check_next:
        bit 7, e
        jr z, check_frame
        ld a, l
        and 01Fh
        ld l, a
        ld a, d
        and 060h
        or l
        cp EXPECTED_STATUS
        ld a, 0F3h                  ; light green: as expected
        jr z, verdict
        ld a, 0F6h                  ; dark red
verdict:
        call set_register7
        call wait_frames
        ld hl, text
        call set_mode
        call wait_frames
        ld hl, graphics2
        call set_mode
        call wait_frames
        ld hl, multicolor
        call set_mode
forever:
        jr forever

; Writes the 7 bytes at HL to registers 0-6.
set_mode:
        ld b, 7
        ld c, VDP_WRITE_REG
set_mode_next:
        ld a, (hl)
        out (VDP_CONTROL), a
        ld a, c
        out (VDP_CONTROL), a
        inc hl
        inc c
        djnz set_mode_next
        ret

set_register7:
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 7
        out (VDP_CONTROL), a
        ret

wait_frames:
        ld b, MODE_FRAMES
wait_frames_next:
        call wait_frame
        djnz wait_frames_next
        ret

; Waits for the frame flag; A is the status that showed it.
wait_frame:
        in a, (VDP_CONTROL)
        bit 7, a
        jr z, wait_frame
        ret

graphics1:
        db 000h, 0C0h, 00Eh, 080h, 000h, 07Eh, 003h
text:
        db 000h, 0D0h, 00Eh, 080h, 000h, 07Eh, 003h
graphics2:
        db 002h, 0C2h, 00Eh, 0FFh, 003h, 07Eh, 003h
multicolor:
        db 000h, 0C9h, 00Eh, 080h, 000h, 07Eh, 003h

; Y, X, pattern, early clock and colour.
sprites:
        db 15, 16, 0, 15
        db 15, 48, 4, 8
        db 15, 80, 8, 3
        db 15, 112, 12, 5
        db 15, 144, 16, 9            ; the fifth on its lines
        db 60, 40, 0, 080h | 11      ; early clock: at x = 8
        db 60, 12, 4, 6              ; meets sprite 5
        db 100, 100, 8, 13
        db 0E8h, 200, 12, 7          ; from above the top: lines 0-8
        db 0D0h
SPRITE_BYTES    equ $ - sprites

        include "sms.inc"

        org 07FFFh
        db 0
