; A 48 KB program whose first instruction jumps into slot 2: it runs only if
; the machine starts, as the console's boot program leaves it, with page 2
; there. It shows 0A5h.
        org 0
        jp start

        org 066h
        retn

        org 08000h
start:
        di
        im 1
        ld sp, 0DFF0h
        call show_init
        ld a, 0A5h
        call show_byte
        jr $

        include "tests.inc"
        include "sms.inc"

        org 0BFFFh
        db 0
