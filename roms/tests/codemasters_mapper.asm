; A 64 KB cartridge on Codemasters' board, known by its header: start-up
; pages 0, 1, 0; the registers at 0, 04000h and 08000h page their slots by
; remainder, slot 0 whole; bit 7 at 04000h puts RAM at 0A000h-0BFFFh only;
; the Sega registers do nothing. All eight checks pass on the console: 0FFh.
        include "expect.inc"

main:
        call show_init
        expect 08000h + SIGNATURE, 0A0h
        ld a, 3
        ld (08000h), a
        expect 08000h + SIGNATURE, 0A3h
        ld a, 2
        ld (04000h), a
        expect 04000h + SIGNATURE, 0A2h
        ld a, 5
        ld (08000h), a
        expect 08000h + SIGNATURE, 0A1h
        ; Slot 0 is paged from RAM, where the code does not go away.
        ld hl, slot0_probe
        ld de, 0C100h
        ld bc, slot0_probe_end - slot0_probe
        ldir
        call 0C100h
        ld b, 0B1h
        call check
        ld a, 81h
        ld (04000h), a
        ld a, 5Ah
        ld (0A000h), a
        expect 0A000h, 5Ah
        ld a, 1
        ld (04000h), a
        expect 0A000h, 0C1h             ; ROM again
        ld a, 2
        ld (0FFFFh), a
        expect 08000h + SIGNATURE, 0A1h
        jp show_checks

; Gives in A the first byte of page 1 seen at 0000h.
slot0_probe:
        ld a, 1
        ld (0), a
        ld a, (0)
        ld c, a
        xor a
        ld (0), a
        ld a, c
        ret
slot0_probe_end:

        include "tests.inc"
        include "sms.inc"

        org 04000h
        db 0B1h
        org 06000h
        db 0C1h
        org 07FE6h                      ; the header's checksum and its complement
        dw 01234h, 10000h - 01234h
        signed_pages 4
