; Calls a subroutine before it sets the stack pointer, on the one the
; console's boot program leaves near the top of RAM. The subroutine records
; the stack pointer it saw; the program shows its low byte (0EEh, from
; 0DFF0h less the return address) once the call has come back.
BOOT_SP         equ 0C000h

        org 0
        call record_sp
        jp main

record_sp:
        ld (BOOT_SP), sp
        ret

        org 066h
        retn

main:
        di
        im 1
        ld sp, 0DFF0h
        call show_init
        ld a, (BOOT_SP)
        call show_byte
        jr $

        include "tests.inc"
        include "sms.inc"

        org 07FFFh
        db 0
