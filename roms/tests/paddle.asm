; Reads a paddle on port A as the paddle's documentation shows (the low
; half of the position while TR is low, the high half while it is high)
; and shows the position every frame, inverted while the button is held.
        include "expect.inc"

main:
        call show_init
main_loop:
        call read_paddle
        ld c, a
        in a, (PORT_PAD1)
        bit PAD_BUTTON1, a
        ld a, c
        jr nz, main_show
        cpl
main_show:
        call show_byte
        jr main_loop

; Gives in A the paddle's position, 0-255.
read_paddle:
        in a, (PORT_PAD1)               ; wait for the low half (TR low)
        bit PAD_BUTTON2, a
        jr nz, read_paddle
        and 0Fh
        ld e, a
read_paddle_high:
        in a, (PORT_PAD1)               ; then for the high half (TR high)
        bit PAD_BUTTON2, a
        jr z, read_paddle_high
        rlca
        rlca
        rlca
        rlca
        and 0F0h
        or e
        ret

        include "tests.inc"
        include "sms.inc"
        signed_pages 1
