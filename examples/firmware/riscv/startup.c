/* Start-up for the RISC-V build of the demo firmware (QEMU's virt board with -bios none jumps
 * to the start of its RAM, where .init comes first): sets the stack pointer, copies the
 * initialised data and the RAM-resident code to where they run, zeroes .bss, runs the boot
 * checks if the image has them, and calls main. The symbols come from dova's script. */

#include <stdint.h>

extern uint32_t __data_load_start__, __data_start__, __data_end__;
extern uint32_t __fast_load_start__, __fast_start__, __fast_end__;
extern uint32_t __bss_start__, __bss_end__;

int main(void);
void boot_checks(void) __attribute__((weak));
void reset_handler(void) __attribute__((noreturn));

/* The entry: first in .init, so at the start of the image. */
__attribute__((section(".init.entry"), naked, used)) void _start(void)
{
    __asm__ volatile("la sp, __stack_end__\n"
                     "j reset_handler\n");
}

static __attribute__((unused)) void copy_words(uint32_t *dst, const uint32_t *src,
                                               const uint32_t *dst_end)
{
    while (dst < dst_end)
        *dst++ = *src++;
}

__attribute__((section(".init"), noreturn, used)) void reset_handler(void)
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

