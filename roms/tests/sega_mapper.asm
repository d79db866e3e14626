; A 64 KB cartridge on the Sega mapper: each register pages each slot, the
; first kilobyte stays, page numbers wrap by remainder and read back, the
; two cartridge RAM banks map at 08000h and 0FFFCh bit 4 puts bank 0 over
; the work RAM. All eight checks pass on the console: 0FFh.
        include "expect.inc"

main:
        call show_init
        ld a, 3
        ld (0FFFFh), a
        expect 08000h + SIGNATURE, 0A3h
        ld a, 2
        ld (0FFFEh), a
        expect 04000h + SIGNATURE, 0A2h
        ld a, 1
        ld (0FFFDh), a
        expect SIGNATURE, 0A1h
        expect 0, 0F3h                  ; still page 0's DI
        xor a
        ld (0FFFDh), a
        ld a, 6
        ld (0FFFFh), a
        expect 0FFFFh, 2
        ; Bank 0 then bank 1 written; bank 0 read back.
        ld a, 08h
        ld (0FFFCh), a
        ld a, 5Ah
        ld (08000h), a
        ld a, 0Ch
        ld (0FFFCh), a
        ld a, 6Bh
        ld (08000h), a
        ld a, 08h
        ld (0FFFCh), a
        expect 08000h, 5Ah
        ; A page chosen while the RAM is mapped shows when it leaves.
        ld a, 3
        ld (0FFFFh), a
        xor a
        ld (0FFFCh), a
        expect 08000h + SIGNATURE, 0A3h
        ; No stack while bank 0 covers the work RAM.
        ld a, 10h
        ld (0FFFCh), a
        ld a, (0C000h)
        ld c, a
        xor a
        ld (0FFFCh), a
        ld a, c
        ld b, 5Ah
        call check
        jp show_checks

        include "tests.inc"
        include "sms.inc"

        signed_pages 4
