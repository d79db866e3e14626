; A line interrupt on every line, with a handler longer than a line that
; ends in EI; RETI. The Z80 takes the next interrupt only after the RETI, so
; the handler always starts at the same depth; the program shows the low
; byte of the lowest stack pointer the handler saw (0E6h). Entered again
; before it returns, the handler would run its stack down through RAM.
LOWEST_SP       equ 0C000h

        org 0
        di
        im 1
        ld sp, 0DFF0h
        jp main

        org 038h
        jp line_interrupt

        org 066h
        retn

main:
        call show_init
        ld hl, 0FFFFh
        ld (LOWEST_SP), hl
        xor a                       ; register 10: every line
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 10
        out (VDP_CONTROL), a
        ld a, 014h                  ; register 0: mode 4, line interrupts on
        out (VDP_CONTROL), a
        ld a, VDP_WRITE_REG | 0
        out (VDP_CONTROL), a
        ei
main_loop:
        ; The handler reads the status, which would break a VRAM address
        ; half written.
        di
        ld a, (LOWEST_SP)
        call show_byte
        ei
        jr main_loop

line_interrupt:
        push af
        push bc
        push de
        push hl
        in a, (VDP_CONTROL)         ; acknowledges the interrupt
        ld hl, 0
        add hl, sp
        ld de, (LOWEST_SP)
        or a
        sbc hl, de
        jr nc, line_interrupt_delay
        add hl, de
        ld (LOWEST_SP), hl
line_interrupt_delay:
        ld b, 10                    ; about a line and a half in all
line_interrupt_wait:
        djnz line_interrupt_wait
        pop hl
        pop de
        pop bc
        pop af
        ei
        reti

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
