; A 64 KB cartridge on the Korean board (chosen with --mapper korean):
; slots 0 and 1 keep pages 0 and 1, the register at 0A000h pages slot 2 by
; remainder from page 2 on, and the Sega registers are plain RAM. All eight
; checks pass on the console: 0FFh.
        include "expect.inc"

main:
        call show_init
        expect 08000h + SIGNATURE, 0A2h
        ld a, 3
        ld (0A000h), a
        expect 08000h + SIGNATURE, 0A3h
        ld a, 5
        ld (0A000h), a
        expect 08000h + SIGNATURE, 0A1h
        ld a, 3
        ld (0FFFFh), a
        expect 08000h + SIGNATURE, 0A1h
        ld a, 2
        ld (0FFFEh), a
        expect 04000h + SIGNATURE, 0A1h
        ld a, 1
        ld (0FFFDh), a
        expect SIGNATURE, 0A0h
        expect 0FFFFh, 3
        xor a
        ld (0A000h), a
        expect 08000h + SIGNATURE, 0A0h
        jp show_checks

        include "tests.inc"
        include "sms.inc"

        signed_pages 4
