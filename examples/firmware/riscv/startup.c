/* Start-up for the RISC-V build of the demo firmware (QEMU's virt board with -bios none jumps
 * to the start of its RAM, where .init comes first): sets the stack pointer, then does what
 * the Arm start-up does (startup_common.h). */

#include "../startup_common.h"

void reset_handler(void) __attribute__((noreturn));

/* The entry: first in .init, so at the start of the image. */
__attribute__((section(".init.entry"), naked, used)) void _start(void)
{
    __asm__ volatile("la sp, __stack_end__\n"
                     "j reset_handler\n");
}

__attribute__((section(".init"), noreturn, used)) void reset_handler(void)
{
    start_up();
}
