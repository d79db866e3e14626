; Reads a Light Phaser on port A or B as light-gun games do: at each pull of
; a trigger (TL) it shows a frame of white and blue bands, polls TH for the
; moment the sensor sees the beam, and reads the V counter and the H counter
; that TH latched there. Each shot is checked against where the input
; script put the pointer: V the first line of the sensor's spot (the
; pointer's line less 4), H half the pointer's column give or take one, and
; no light at all over the blue band. The program then shows one square a
; shot, green for a pass and red for a fail; SHOTS_READ keeps what it read.
SHOTS_READ      equ 0C000h          ; (V, H) of each shot; V 0FFh: no light
RESULTS         equ 0C010h
RESULT_ROW      equ NAME_TABLE + (12 * 32 + 12) * 2

TH_A            equ 040h            ; in PORT_PAD2, 0 while the sensor sees light
TH_B            equ 080h
TL_A            equ 010h            ; in PORT_PAD1, the trigger, 0 while pulled
TL_B            equ 004h            ; in PORT_PAD2
LAST_LINE       equ 0C0h            ; the V counter after the picture's lines
BLUE_BAND       equ NAME_TABLE + 12 * 32 * 2  ; rows 12-17, lines 96-143

        include "entry.inc"

main:
        call show_init
        ld hl, BLUE_BAND
        ld bc, 6 * 32 * 2
        call vdp_write_address
blue_band_next:
        ld a, 2                     ; tile 2, colour 2
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        dec bc
        dec bc
        ld a, b
        or c
        jr nz, blue_band_next
        ld hl, shot_palette
        ld b, 3
        xor a
        call cram_copy

        ld ix, SHOTS_READ
        ld iy, RESULTS
        ld hl, EXPECTED
shot_next:
        ld a, (hl)
        cp 0FEh
        jr z, shots_done
        push hl
        call wait_trigger
        call read_shot
        ld (ix + 0), b
        ld (ix + 1), c
        inc ix
        inc ix
        pop hl
        call check_shot
        ld (iy + 0), a
        inc iy
        call wait_release
        jr shot_next
shots_done:
        call show_results
        jr $

; Waits, a frame at a time, for a trigger to be pulled; E the TH bit of
; its port.
wait_trigger:
        call wait_picture_end
        ld e, TH_A
        in a, (PORT_PAD1)
        and TL_A
        ret z
        ld e, TH_B
        in a, (PORT_PAD2)
        and TL_B
        ret z
        jr wait_trigger

wait_release:
        call wait_picture_end
        in a, (PORT_PAD1)
        and TL_A
        jr z, wait_release
        in a, (PORT_PAD2)
        and TL_B
        jr z, wait_release
        ret

; Returns at the first line after the picture.
wait_picture_end:
        in a, (VDP_VCOUNTER)
        cp LAST_LINE
        jr z, wait_picture_end
wait_picture_end_line:
        in a, (VDP_VCOUNTER)
        cp LAST_LINE
        jr nz, wait_picture_end_line
        ret

; Over the next frame's picture, B the V counter and C the H counter when
; the TH bit E first reads low; B 0FFh if it never does.
read_shot:
        in a, (VDP_VCOUNTER)
        or a
        jr nz, read_shot
read_shot_poll:
        in a, (PORT_PAD2)
        and e
        jr z, read_shot_seen
        in a, (VDP_VCOUNTER)
        cp LAST_LINE
        jr c, read_shot_poll
        ld bc, 0FF00h
        ret
read_shot_seen:
        in a, (VDP_VCOUNTER)
        ld b, a
        in a, (VDP_HCOUNTER)
        ld c, a
        ret

; A 1 if (B, C) is what the entry at HL expects, else 0; HL steps past it.
check_shot:
        ld a, (hl)
        inc hl
        ld d, (hl)
        inc hl
        cp b
        jr nz, check_shot_fail
        cp 0FFh
        jr z, check_shot_pass
        ld a, c
        sub d
        inc a                       ; -1, 0 and 1 become 0-2
        cp 3
        jr nc, check_shot_fail
check_shot_pass:
        ld a, 1
        ret
check_shot_fail:
        xor a
        ret

; One square a shot, in the colours show_init set.
show_results:
        ld hl, show_palette
        ld b, 3
        xor a
        call cram_copy
        ld hl, BLUE_BAND
        ld bc, 6 * 32 * 2
        ld e, 0
        call vram_fill
        ld hl, RESULT_ROW
        ld ix, RESULTS
        ld c, SHOT_COUNT
        jp show_squares

; The pointer of each shot, as the script places it: (x, y) gives V y - 4
; and H x / 2; V 0FFh where it aims at the blue band.
EXPECTED:
        db 40 - 4, 100 / 2          ; (100, 40) in the top band
        db 170 - 4, 200 / 2         ; (200, 170) in the bottom band
        db 0FFh, 0                  ; (60, 120) in the blue band
        db 95, 30 / 2               ; (30, 99): the spot's top reaches line 95
        db 0FEh
SHOT_COUNT      equ 4

shot_palette:
        db 03Fh, 000h, 030h         ; white, black, blue

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
