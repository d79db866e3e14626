; Port 03Eh and the BIOS: run with test_bios as the BIOS, which marks RAM
; and starts this cartridge. Checks that the BIOS ran, that the work RAM
; reads open bus while turned off and keeps its bytes, and that with the
; cartridge off the (8 KB, so mirrored) BIOS shows in every slot, and
; nothing with both off. All eight checks pass on the console: 0FFh.
        include "expect.inc"

BIOS_MARK       equ 0DF00h

main:
        call show_init
        expect BIOS_MARK, 0B1h
        ld a, 77h
        ld (0C000h), a
        ; No stack while the work RAM is off.
        ld a, 0ABh | 10h
        out (03Eh), a
        ld a, (0C000h)
        ld c, a
        ld a, 0ABh
        out (03Eh), a
        ld a, c
        ld b, 0FFh
        call check
        expect 0C000h, 77h
        ; The cartridge leaves while the probe runs from RAM.
        ld hl, bios_probe
        ld de, 0C100h
        ld bc, bios_probe_end - bios_probe
        ldir
        call 0C100h
        ld a, (0C200h)
        ld b, 0B2h
        call check
        ld a, (0C201h)
        ld b, 0B2h
        call check
        ld a, (0C202h)
        ld b, 0B2h
        call check
        ld a, (0C203h)
        ld b, 0FFh
        call check
        expect SIGNATURE, 0A0h
        jp show_checks

; Keeps at 0C200h what slots 0, 1 and 2 show of the BIOS, and at 0C203h
; what slot 0 shows with neither BIOS nor cartridge.
bios_probe:
        ld a, 0E3h
        out (03Eh), a
        ld a, (SIGNATURE)
        ld (0C200h), a
        ld a, (04000h + SIGNATURE)
        ld (0C201h), a
        ld a, (08000h + SIGNATURE)
        ld (0C202h), a
        ld a, 0EBh
        out (03Eh), a
        ld a, (SIGNATURE)
        ld (0C203h), a
        ld a, 0ABh
        out (03Eh), a
        ret
bios_probe_end:

        include "tests.inc"
        include "sms.inc"

        signed_pages 2
