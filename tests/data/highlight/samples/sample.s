    .syntax unified
    .global reset_handler   @ entry point
reset_handler:
    ldr r0, =0x20000000     ; stack top
    push {r4, lr}
    mov  a0, #-1
/* block
   comment */ bx lr
#include "board.h"
# riscv comment
    .asciz "hi\n"
