; Checks the video chip from inside the machine, as games use it: its ports
; and their mirrors, the V and H counters, the flags and interrupts, and the
; sprites' limit, overflow, collision and zoom. Each check leaves 1 (pass)
; or 0 in RESULTS; the program then shows one square a check, green for a
; pass and red for a fail, eight to a row in the order of CHECKS below.
; It runs on NTSC and PAL consoles alike.
RESULTS         equ 0C000h
IRQ_POINTER     equ 0C040h          ; where the handler logs next
MARKER          equ 0C042h          ; logged beside each interrupt's V counter
SCRATCH         equ 0C043h
IRQ_LOG         equ 0C080h          ; pairs of (V counter, MARKER)
RESULT_ROW      equ NAME_TABLE + (8 * 32 + 8) * 2

PORT_IO_CONTROL equ 03Fh
TH_A_LOW        equ 0DDh            ; TH of port A an output, driven low
TH_A_HIGH       equ 0FDh

REG0_MODE4      equ 004h
REG0_LINE_IRQ   equ 014h
REG1_DISPLAY    equ 0C0h
REG1_ZOOM       equ 0C1h

        org 0
        di
        im 1
        ld sp, 0DFF0h
        jp main

        org 038h
        jp interrupt

        org 066h
        retn

main:
        call show_init
        call load_sprite_tiles
        ld ix, RESULTS
        ld hl, CHECKS
main_next:
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        ld a, d
        or e
        jr z, main_show
        push hl
        di
        call call_de
        ld (ix + 0), a
        inc ix
        pop hl
        jr main_next
main_show:
        call show_results
main_idle:
        jr main_idle

call_de:
        push de
        ret

CHECKS:
        dw check_first_control_byte, check_read_setup_prefetch, check_write_fills_buffer
        dw check_cram_code_reads_vram, check_register_code_writes_vram
        dw check_lines_per_frame, check_vcounter_192, check_vcounter_224
        dw check_frame_flag_line, check_flag_kept_until_read
        dw check_line_interrupt_lines, check_interrupt_at_once
        dw check_hcounter_latched, check_hcounter_count
        dw check_overflow, check_eight_sprites, check_overflow_on_its_line
        dw check_transparent_no_collision, check_opaque_collision, check_collision_on_its_line
        dw check_terminator, check_zoom, check_sprite_flags_kept
        dw check_data_port_mirrors, check_counter_and_pad_mirrors
CHECKS_END:
        dw 0
CHECK_COUNT     equ (CHECKS_END - CHECKS) / 2

; Logs the V counter and MARKER, acknowledges, and returns.
interrupt:
        push af
        push hl
        ld hl, (IRQ_POINTER)
        in a, (VDP_VCOUNTER)
        ld (hl), a
        inc hl
        ld a, (MARKER)
        ld (hl), a
        inc hl
        ld (IRQ_POINTER), hl
        in a, (VDP_CONTROL)
        pop hl
        pop af
        ei
        reti

; ---- Helpers ----

; A = 1 when the zero flag is set, else 0.
pass_if_zero:
        ld a, 1
        ret z
        xor a
        ret

; Writes A to register C.
set_register:
        out (VDP_CONTROL), a
        ld a, c
        or VDP_WRITE_REG
        out (VDP_CONTROL), a
        ret

; Sets the data port up to read VRAM from HL.
vdp_read_address:
        ld a, l
        out (VDP_CONTROL), a
        ld a, h
        and 03Fh
        out (VDP_CONTROL), a
        ret

; Waits until the V counter reads B.
wait_line:
        in a, (VDP_VCOUNTER)
        cp b
        jr nz, wait_line
        ret

; Waits until the V counter changes; A is its new value.
wait_change:
        in a, (VDP_VCOUNTER)
        ld b, a
wait_change_loop:
        in a, (VDP_VCOUNTER)
        cp b
        jr z, wait_change_loop
        ret

; Waits for the start of a frame: line 0 after a vertical blank line.
wait_frame_start:
        ld b, 0C8h
        call wait_line
        ld b, 0
        jr wait_line

; TH of port A goes low, then high: the H counter is latched.
latch_hcounter:
        ld a, TH_A_LOW
        out (PORT_IO_CONTROL), a
        ld a, TH_A_HIGH
        out (PORT_IO_CONTROL), a
        ret

; Patterns for the sprites (the sprite patterns start at tile 0): tile 3
; has only its leftmost column opaque, tile 4 only its rightmost; tile 1
; (from show_init) is opaque throughout.
load_sprite_tiles:
        ld hl, SPRITE_TILES
        ld de, 3 * 32
        ld bc, 64
        jp vram_copy

SPRITE_TILES:
        rept 8
        db 080h, 0, 0, 0
        endm
        rept 8
        db 001h, 0, 0, 0
        endm

; Loads the sprite list at HL: a count, then Y, X and tile of each sprite;
; a 0D0h Y byte follows the last.
load_sprites:
        ld b, (hl)
        inc hl
        push hl
        push bc
        push hl
        ld hl, SPRITE_TABLE
        call vdp_write_address
        pop hl
load_sprites_y:
        ld a, (hl)
        out (VDP_DATA), a
        inc hl
        inc hl
        inc hl
        djnz load_sprites_y
        ld a, 0D0h
        out (VDP_DATA), a
        ld hl, SPRITE_TABLE + 080h
        call vdp_write_address
        pop bc
        pop hl
load_sprites_xn:
        inc hl
        ld a, (hl)
        out (VDP_DATA), a
        inc hl
        ld a, (hl)
        out (VDP_DATA), a
        inc hl
        djnz load_sprites_xn
        ret

; Loads the sprites at HL, clears the status at line 60h, and returns the
; status as the V counter reaches 68h (the sprites lie on lines 64h-6Bh).
sprite_status:
        call load_sprites
        ld b, 060h
        call wait_line
        in a, (VDP_CONTROL)
        ld b, 068h
        call wait_line
        in a, (VDP_CONTROL)
        ret

; ---- Ports ----

; The first control byte sets the address's low byte at once: after a read
; set-up at 1000h, a lone 00h brings the address back to 1000h.
check_first_control_byte:
        ld hl, 01000h
        call vdp_write_address
        ld a, 0AAh
        out (VDP_DATA), a
        ld a, 0BBh
        out (VDP_DATA), a
        ld hl, 01000h
        call vdp_read_address       ; buffer AAh, address 1001h
        xor a
        out (VDP_CONTROL), a        ; address 1000h
        in a, (VDP_DATA)            ; AAh, then the buffer is refilled from 1000h
        in a, (VDP_DATA)
        cp 0AAh
        jp pass_if_zero

; Code 0 reads ahead: the first read after the set-up gives its address's byte.
check_read_setup_prefetch:
        ld hl, 01001h
        call vdp_read_address
        in a, (VDP_DATA)
        cp 0BBh
        jp pass_if_zero

; A data write also loads the read buffer.
check_write_fills_buffer:
        ld hl, 01002h
        call vdp_write_address
        ld a, 0CCh
        out (VDP_DATA), a
        in a, (VDP_DATA)
        cp 0CCh
        jp pass_if_zero

; After a CRAM set-up at 1005h (colour 5), reads come from VRAM at the one
; address: 1006h.
check_cram_code_reads_vram:
        ld hl, 01006h
        call vdp_write_address
        ld a, 077h
        out (VDP_DATA), a
        ld a, 005h
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_CRAM | 010h
        out (VDP_CONTROL), a
        xor a
        out (VDP_DATA), a           ; colour 5 black, buffer 0, address 1006h
        in a, (VDP_DATA)
        or a
        jr nz, check_cram_fail
        in a, (VDP_DATA)
        cp 077h
        jp pass_if_zero
check_cram_fail:
        xor a
        ret

; A register write's word also sets the address, and a data write after it
; goes to VRAM there: FFh to register 10 is address 0AFFh.
check_register_code_writes_vram:
        ld a, 0FFh
        ld c, 10
        call set_register
        ld a, 05Ah
        out (VDP_DATA), a
        ld hl, 00AFFh
        call vdp_read_address
        in a, (VDP_DATA)
        cp 05Ah
        jp pass_if_zero

; ---- V counter ----

; Counts the V counter's changes over a frame into HL: 262 or 313.
count_lines:
        call wait_frame_start
        ld hl, 0
count_lines_next:
        call wait_change
        inc hl
        or a
        jr nz, count_lines_next
        ret

check_lines_per_frame:
        call count_lines
        ld de, 262
        or a
        sbc hl, de
        jp z, pass_if_zero
        ld de, 313 - 262
        sbc hl, de
        jp pass_if_zero

; Waits for V counter B, then gives the next value in A.
value_after:
        call wait_line
        jp wait_change

; NTSC counts 00-DA, D5-FF; PAL 00-F2, BA-FF.
check_vcounter_192:
        call count_lines
        ld a, h
        dec a                       ; 262 is 106h, 313 139h
        jr nz, check_vcounter_192_ntsc_fail
        ld a, l
        cp 006h
        ld b, 0DAh
        ld c, 0D5h
        jr z, check_vcounter_after
        ld b, 0F2h
        ld c, 0BAh
check_vcounter_after:
        push bc
        call value_after
        pop bc
        cp c
        jp pass_if_zero
check_vcounter_192_ntsc_fail:
        xor a
        ret

; The 224-line mode: NTSC 00-EA, E5-FF; PAL 00-FF, 00-02, CA-FF.
check_vcounter_224:
        call count_lines            ; in the 192-line mode: tells the standard
        ld a, l
        ld (SCRATCH), a
        ld a, 006h                  ; M4 and M2
        ld c, 0
        call set_register
        ld a, REG1_DISPLAY | 010h   ; M1
        ld c, 1
        call set_register
        ld a, (SCRATCH)
        cp 006h
        jr nz, check_vcounter_224_pal
        ld b, 0EAh
        call value_after
        cp 0E5h
        jr check_vcounter_224_done
check_vcounter_224_pal:
        ld b, 0FFh
        call wait_line
        ld b, 002h
        call value_after
        cp 0CAh
check_vcounter_224_done:
        push af
        ld a, REG0_MODE4
        ld c, 0
        call set_register
        ld a, REG1_DISPLAY
        ld c, 1
        call set_register
        pop af
        jp pass_if_zero

; ---- Flags and interrupts ----

; The frame flag rises as the V counter reaches C1h.
check_frame_flag_line:
        ld b, 080h
        call wait_line
        in a, (VDP_CONTROL)
check_frame_flag_poll:
        in a, (VDP_CONTROL)
        rla
        jr nc, check_frame_flag_poll
        in a, (VDP_VCOUNTER)
        cp 0C1h
        jp pass_if_zero

; The frame flag stays until the status is read (here through the mirror
; at BBh), and a read clears it.
check_flag_kept_until_read:
        ld b, 080h
        call wait_line
        in a, (VDP_CONTROL)
        ld b, 0D8h
        call wait_line
        in a, (0BBh)
        and 080h
        jr z, check_flag_kept_fail
        in a, (0BBh)
        and 080h
        jp pass_if_zero
check_flag_kept_fail:
        xor a
        ret

reset_irq_log:
        ld hl, IRQ_LOG
        ld (IRQ_POINTER), hl
        xor a
        ld (MARKER), a
        ret

; Register 10 at 20h: line interrupts come on lines 20h, 41h, 62h...
check_line_interrupt_lines:
        ld a, 020h
        ld c, 10
        call set_register
        call wait_frame_start
        in a, (VDP_CONTROL)
        call reset_irq_log
        ld a, REG0_LINE_IRQ
        ld c, 0
        call set_register
        ei
        ld b, 050h
        call wait_line
        di
        ld a, REG0_MODE4
        ld c, 0
        call set_register
        ld a, (IRQ_LOG)
        cp 020h
        jp nz, pass_if_zero
        ld a, (IRQ_LOG + 2)
        cp 041h
        jp pass_if_zero

; A line interrupt left pending while disabled reaches the CPU as the
; enable bit is written, within the line: before the next instruction.
check_interrupt_at_once:
        call wait_frame_start
        in a, (VDP_CONTROL)
        call reset_irq_log
        ei
        ld b, 030h                  ; the flag rose on line 20h
        call wait_line
        ld a, REG0_LINE_IRQ
        ld c, 0
        call set_register
        ld a, 1
        ld (MARKER), a
        di
        ld a, REG0_MODE4
        ld c, 0
        call set_register
        ld a, 0FFh
        ld c, 10
        call set_register
        ld hl, (IRQ_LOG)            ; L: V counter, H: MARKER
        ld a, l
        cp 030h
        jp nz, pass_if_zero
        ld a, h
        or a
        jp pass_if_zero

; ---- H counter ----

; The H counter reads what it held as TH rose, however long after.
check_hcounter_latched:
        call wait_change
        call latch_hcounter
        in a, (VDP_HCOUNTER)
        ld (SCRATCH), a
        call wait_change
        call wait_change
        ld a, TH_A_HIGH             ; TH stays high: no new latch
        out (PORT_IO_CONTROL), a
        call wait_change
        in a, (VDP_HCOUNTER)
        ld hl, SCRATCH
        cp (hl)
        jp pass_if_zero

; Latched at every point of a line, the H counter gives 00h-93h and
; E9h-FFh, both, and nothing between.
check_hcounter_count:
        ld de, 0                    ; D: a low value seen, E: a high one
        ld c, 0
check_hcounter_next:
        call wait_change
        ld b, c
        inc b
check_hcounter_delay:
        djnz check_hcounter_delay
        call latch_hcounter
        in a, (VDP_HCOUNTER)
        cp 094h
        jr c, check_hcounter_low
        cp 0E9h
        jr c, check_hcounter_fail
        ld e, 1
        jr check_hcounter_step
check_hcounter_low:
        ld d, 1
check_hcounter_step:
        inc c
        ld a, c
        cp 24
        jr nz, check_hcounter_next
        ld a, d
        and e
        ret
check_hcounter_fail:
        xor a
        ret

; ---- Sprites ----

NINE_SPRITES:
        db 9
        db 063h, 0, 1, 063h, 16, 1, 063h, 32, 1, 063h, 48, 1, 063h, 64, 1
        db 063h, 80, 1, 063h, 96, 1, 063h, 112, 1, 063h, 128, 1
EIGHT_SPRITES:
        db 8
        db 063h, 0, 1, 063h, 16, 1, 063h, 32, 1, 063h, 48, 1, 063h, 64, 1
        db 063h, 80, 1, 063h, 96, 1, 063h, 112, 1
; Boxes overlapping, opaque columns at 100 and 108 apart.
APART:
        db 2
        db 063h, 100, 3, 063h, 101, 4
; The rightmost column of the second meets the leftmost of the first at 100.
MEETING:
        db 2
        db 063h, 100, 3, 063h, 93, 4
; Nine on a line, but the fifth Y byte ends the list.
ENDED:
        db 9
        db 063h, 0, 1, 063h, 16, 1, 063h, 32, 1, 063h, 48, 1, 0D0h, 64, 1
        db 063h, 80, 1, 063h, 96, 1, 063h, 112, 1, 063h, 128, 1
; Meeting only when zoomed: across (107 against 114) and down.
ZOOM_ACROSS:
        db 2
        db 063h, 100, 4, 063h, 114, 3
ZOOM_DOWN:
        db 2
        db 05Bh, 20, 1, 064h, 20, 1
; Nine on a line, the first two meeting.
FULL_AND_MEETING:
        db 9
        db 063h, 100, 3, 063h, 93, 4, 063h, 0, 1, 063h, 16, 1, 063h, 32, 1
        db 063h, 48, 1, 063h, 64, 1, 063h, 128, 1, 063h, 144, 1

clear_sprites:
        ld hl, SPRITE_TABLE
        call vdp_write_address
        ld a, 0D0h
        out (VDP_DATA), a
        ret

check_overflow:
        ld hl, NINE_SPRITES
        call sprite_status
        and 040h
        jr check_sprites_set

; Eight sprites apart on a line: neither flag.
check_eight_sprites:
        ld hl, EIGHT_SPRITES
        call sprite_status
        and 060h
        jp pass_if_zero

check_sprites_set:
        xor 040h
        jp pass_if_zero

; The overflow comes on the sprites' first line, not before.
check_overflow_on_its_line:
        ld hl, NINE_SPRITES
        ld c, 040h
check_flag_on_its_line:
        push bc
        call load_sprites
        ld b, 060h
        call wait_line
        in a, (VDP_CONTROL)
        ld b, 063h
        call wait_line
        in a, (VDP_CONTROL)
        pop bc
        and c
        jr nz, check_flag_on_its_line_fail
        push bc
        ld b, 065h
        call wait_line
        in a, (VDP_CONTROL)
        pop bc
        and c
        xor c
        jp pass_if_zero
check_flag_on_its_line_fail:
        xor a
        ret

check_transparent_no_collision:
        ld hl, APART
        call sprite_status
        and 020h
        jp pass_if_zero

check_opaque_collision:
        ld hl, MEETING
        call sprite_status
        and 020h
        xor 020h
        jp pass_if_zero

check_collision_on_its_line:
        ld hl, MEETING
        ld c, 020h
        jr check_flag_on_its_line

check_terminator:
        ld hl, ENDED
        call sprite_status
        and 040h
        jp pass_if_zero

; The status after each zoom pair: ZOOM_DOWN's in A, ZOOM_ACROSS's at HL.
zoom_statuses:
        ld hl, ZOOM_ACROSS
        call sprite_status
        ld (SCRATCH), a
        ld hl, ZOOM_DOWN
        call sprite_status
        ld hl, SCRATCH
        ret

; Zoomed sprites are twice as wide and twice as tall (lines 5Ch-6Bh against
; 65h-74h); unzoomed, the same pairs do not meet.
check_zoom:
        call zoom_statuses
        or (hl)
        and 020h
        jr nz, check_zoom_fail
        ld a, REG1_ZOOM
        ld c, 1
        call set_register
        call zoom_statuses
        and (hl)
        and 020h
        xor 020h
        push af
        ld a, REG1_DISPLAY
        ld c, 1
        call set_register
        pop af
        jp pass_if_zero
check_zoom_fail:
        xor a
        ret

; Both sprite flags stay past the frame's end until the status is read.
check_sprite_flags_kept:
        ld hl, FULL_AND_MEETING
        call load_sprites
        ld b, 060h
        call wait_line
        in a, (VDP_CONTROL)
        ld b, 070h
        call wait_line
        call wait_frame_start
        in a, (VDP_CONTROL)
        and 060h
        xor 060h
        push af
        call clear_sprites
        pop af
        jp pass_if_zero

; ---- Port mirrors ----

; Data and control through 80h and 81h.
check_data_port_mirrors:
        ld a, 000h
        out (081h), a
        ld a, 011h | VDP_WRITE_VRAM
        out (081h), a
        ld a, 03Ch
        out (080h), a
        ld hl, 01100h
        call vdp_read_address
        in a, (080h)
        cp 03Ch
        jp pass_if_zero

; The counters at 40h and 41h, the pads at C0h and C1h.
check_counter_and_pad_mirrors:
        call latch_hcounter
        in a, (041h)
        ld b, a
        in a, (VDP_HCOUNTER)
        cp b
        jr nz, check_mirrors_fail
        in a, (0C0h)
        ld b, a
        in a, (PORT_PAD1)
        cp b
        jr nz, check_mirrors_fail
        in a, (0C1h)
        ld b, a
        in a, (PORT_PAD2)
        cp b
        jr nz, check_mirrors_fail
        in a, (040h)
        ld b, a
        in a, (VDP_VCOUNTER)
        sub b                       ; the line may change between the reads
        cp 2
        jp c, pass_if_zero_of_carry
check_mirrors_fail:
        xor a
        ret
pass_if_zero_of_carry:
        ld a, 1
        ret

; ---- Results ----

; One square a check, eight to a row.
show_results:
        ld hl, RESULT_ROW
        ld ix, RESULTS
        ld c, CHECK_COUNT
        jp show_squares

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
