/* Start-up for the demo part: the vector table, and a reset handler that copies the
 * initialised data and the RAM-resident code from flash to where they run, zeroes .bss,
 * runs the boot checks if the image has them, and calls main (startup_common.h). */

#include "startup_common.h"

extern uint32_t __stack_end__;

__attribute__((section(".init"), noreturn)) void Reset_Handler(void)
{
    start_up();
}

__attribute__((section(".init"))) void Default_Handler(void)
{
    for (;;) {
    }
}

typedef void (*vector_t)(void);

/* The initial stack pointer is the top of the stack section; then the core exceptions. */
__attribute__((section(".vectors"), used)) const vector_t vectors[16] = {
    (vector_t)&__stack_end__, Reset_Handler, Default_Handler, Default_Handler,
    Default_Handler, Default_Handler, Default_Handler, 0, 0, 0, 0,
    Default_Handler, Default_Handler, 0, Default_Handler, Default_Handler,
};
