/* Start-up for the demo part: the vector table, and a reset handler that copies the
 * initialised data and the RAM-resident code from flash to where they run, zeroes .bss,
 * runs the boot checks if the image has them, and calls main. The section symbols come from the script dova generates. */

#include <stdint.h>

extern uint32_t __data_load_start__, __data_start__, __data_end__;
extern uint32_t __fast_load_start__, __fast_start__, __fast_end__;
extern uint32_t __bss_start__, __bss_end__;
extern uint32_t __stack_end__;

int main(void);
/* Run-time checks of the start-up's work, when the image carries them (checks.c). */
void boot_checks(void) __attribute__((weak));

static __attribute__((unused)) void copy_words(uint32_t *dst, const uint32_t *src,
                                               const uint32_t *dst_end)
{
    while (dst < dst_end)
        *dst++ = *src++;
}

__attribute__((section(".init"), noreturn)) void Reset_Handler(void)
{
#ifndef BOOT_CHECKS_NEGATIVE_CONTROL /* proves the boot checks can fail */
    copy_words(&__data_start__, &__data_load_start__, &__data_end__);
    copy_words(&__fast_start__, &__fast_load_start__, &__fast_end__);
    for (uint32_t *p = &__bss_start__; p < &__bss_end__; ++p)
        *p = 0;
#endif
    if (boot_checks)
        boot_checks();
    main();
    for (;;) {
    }
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
