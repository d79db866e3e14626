; Keeps a frame counter at 0FFF0h, the top of the RAM mirror where C
; compilers for the Z80 put their variables, and shows it as read through
; 0DFF0h. A machine that drops writes to the mirror shows 0 for ever.
COUNTER         equ 0FFF0h
COUNTER_IN_RAM  equ 0DFF0h

        include "entry.inc"

main:
        call show_init
        xor a
        ld (COUNTER), a
main_loop:
        call wait_frame
        ld hl, COUNTER
        inc (hl)
        ld a, (COUNTER_IN_RAM)
        call show_byte
        jr main_loop

; Waits for the frame flag of the video status.
wait_frame:
        in a, (VDP_CONTROL)
        and 080h
        jr z, wait_frame
        ret

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
