/* The part of the start-up both the Arm and the RISC-V builds share: copy the initialised
 * data and the RAM-resident code from flash to where they run, zero .bss, run the boot
 * checks if the image has them (checks.c), and call main. The section symbols come from the
 * script dova generates. */

#include <stdint.h>

extern uint32_t __data_load_start__, __data_start__, __data_end__;
extern uint32_t __fast_load_start__, __fast_start__, __fast_end__;
extern uint32_t __bss_start__, __bss_end__;

int main(void);
void boot_checks(void) __attribute__((weak));

static inline __attribute__((always_inline, noreturn)) void start_up(void) {
#ifndef BOOT_CHECKS_NEGATIVE_CONTROL /* proves the boot checks can fail */
    for (uint32_t *dst = &__data_start__, *src = &__data_load_start__; dst < &__data_end__;)
        *dst++ = *src++;
    for (uint32_t *dst = &__fast_start__, *src = &__fast_load_start__; dst < &__fast_end__;)
        *dst++ = *src++;
    for (uint32_t *p = &__bss_start__; p < &__bss_end__; ++p)
        *p = 0;
#endif
    if (boot_checks)
        boot_checks();
    main();
    for (;;) {
    }
}
