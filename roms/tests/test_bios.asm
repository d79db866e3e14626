; A BIOS of our own, 8 KB: marks RAM at 0DF00h, then, as a console's BIOS
; does, turns itself off and the cartridge on from RAM and starts it at 0.
        org 0
        di
        ld sp, 0DFF0h
        ld a, 0B1h
        ld (0DF00h), a
        ld hl, handover
        ld de, 0C000h
        ld bc, handover_end - handover
        ldir
        jp 0C000h

handover:
        ld a, 0ABh
        out (03Eh), a
        rst 0
handover_end:

        org 01FF0h                      ; 03FF0h through the mirror
        db 0B2h
        org 01FFFh
        db 0
