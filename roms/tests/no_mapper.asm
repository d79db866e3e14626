; A 32 KB cartridge without a mapper, as its size says: slot 2 shows page 0
; again, and writes to 0FFFCh-0FFFFh (as a game clearing RAM through the
; mirror makes) page nothing and map no RAM; they stay in the work RAM.
; All eight checks pass on the console: 0FFh.
        include "expect.inc"

main:
        call show_init
        expect 08000h + SIGNATURE, 0A0h
        ld a, 1
        ld (0FFFFh), a
        expect 08000h + SIGNATURE, 0A0h
        xor a
        ld (0FFFEh), a
        expect 04000h + SIGNATURE, 0A1h
        ld a, 1
        ld (0FFFDh), a
        expect SIGNATURE, 0A0h
        ld a, 08h
        ld (0FFFCh), a
        expect 08000h + SIGNATURE, 0A0h
        ld a, 5Ah
        ld (08000h), a
        expect 08000h, 0F3h             ; page 0's DI
        expect 0FFFFh, 1
        expect 0DFFCh, 08h
        jp show_checks

        include "tests.inc"
        include "sms.inc"

        signed_pages 2
