/* Boot checks: run once the start-up has copied and zeroed, before main. They verify what
 * the generated linker script and the start-up promise -- .data copied from its load
 * address, .bss zero, RAM-resident code running in RAM, stack and heap inside RAM -- print
 * one PASS or FAIL line per check through semihosting and end the run with the result.
 * Under QEMU RAM is filled with a pattern first, so that nothing passes by accident.
 * Works for Arm (startup.c) and RISC-V (riscv/startup.c). */

#include <stdint.h>

extern uint32_t __data_load_start__, __data_start__, __data_end__;
extern uint32_t __fast_load_start__, __fast_start__, __fast_end__;
extern uint32_t __bss_start__, __bss_end__;
extern uint32_t __heap_start__, __heap_end__;
extern uint32_t __stack_start__, __stack_end__;
extern uint32_t __RAM_segment_start__, __RAM_segment_end__;

uint32_t delay_loop(uint32_t n); /* main.c, placed in .fast */

#define SYS_WRITE0 0x04
#define SYS_EXIT 0x18
#define ADP_STOPPED_APPLICATION_EXIT 0x20026
#define ADP_STOPPED_RUN_TIME_ERROR 0x20023

static uint32_t semihost(uint32_t operation, const void *argument)
{
#if defined(__arm__)
    register uint32_t r0 __asm__("r0") = operation;
    register const void *r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
    return r0;
#elif defined(__riscv)
    register uint32_t a0 __asm__("a0") = operation;
    register const void *a1 __asm__("a1") = argument;
    /* The three-instruction sequence must not be compressed and must stay in one page. */
    __asm__ volatile(".option push\n.option norvc\n.balign 16\n"
                     "slli x0, x0, 0x1f\nebreak\nsrai x0, x0, 7\n.option pop"
                     : "+r"(a0)
                     : "r"(a1)
                     : "memory");
    return a0;
#else
#error "boot checks need Arm or RISC-V semihosting"
#endif
}

static void print(const char *text)
{
    semihost(SYS_WRITE0, text);
}

static __attribute__((noreturn)) void finish(int passed)
{
    /* 32-bit semihosting takes the reason itself, not a parameter block. */
    semihost(SYS_EXIT,
             (const void *)(uintptr_t)(passed ? ADP_STOPPED_APPLICATION_EXIT
                                              : ADP_STOPPED_RUN_TIME_ERROR));
    for (;;) {
    }
}

static int failures;

static void report(const char *what, int ok)
{
    print(ok ? "PASS " : "FAIL ");
    print(what);
    print("\n");
    failures += !ok;
}

static int inside(const void *p, const uint32_t *start, const uint32_t *end)
{
    return (uintptr_t)p >= (uintptr_t)start && (uintptr_t)p < (uintptr_t)end;
}

static int range_in_ram(const uint32_t *start, const uint32_t *end)
{
    return (uintptr_t)start >= (uintptr_t)&__RAM_segment_start__ &&
           (uintptr_t)end <= (uintptr_t)&__RAM_segment_end__ && start <= end;
}

static volatile uint32_t data_word = 0x5aa5c33cu; /* .data */
static volatile uint32_t bss_words[16];            /* .bss */
static volatile uint64_t ticks64 = 3000000123ull * 7u;
static volatile uint32_t ticks_per_ms = 7u;

/* Where this code runs: in RAM once the start-up has copied it there. */
__attribute__((section(".fast"), noinline)) uintptr_t fast_where(void)
{
    uintptr_t pc;
#if defined(__arm__)
    __asm__ volatile("mov %0, pc" : "=r"(pc));
    pc -= 4; /* Thumb reads the pc as the instruction's address plus 4 */
#else
    __asm__ volatile("auipc %0, 0" : "=r"(pc));
#endif
    return pc;
}

static int words_equal(const uint32_t *a, const uint32_t *b, const uint32_t *a_end)
{
    while (a < a_end) {
        if (*a++ != *b++)
            return 0;
    }
    return 1;
}

void boot_checks(void)
{
    report(".data copied from its load address",
           data_word == 0x5aa5c33cu && inside((const void *)&data_word, &__data_start__, &__data_end__) &&
               &__data_start__ != &__data_load_start__ &&
               words_equal(&__data_start__, &__data_load_start__, &__data_end__));

    int zero = inside((const void *)&bss_words[0], &__bss_start__, &__bss_end__);
    for (const volatile uint32_t *p = &__bss_start__; p < &__bss_end__; ++p)
        zero = zero && *p == 0;
    report(".bss is zero", zero);

    /* Calling code that was not copied would run the RAM pattern: look before calling. */
    int copied = &__fast_start__ != &__fast_load_start__ &&
                 words_equal(&__fast_start__, &__fast_load_start__, &__fast_end__) &&
                 inside((const void *)((uintptr_t)&delay_loop & ~(uintptr_t)1), &__fast_start__,
                        &__fast_end__) &&
                 range_in_ram(&__fast_start__, &__fast_end__);
    report("function placed in RAM runs there",
           copied && delay_loop(25) == 25 && inside((const void *)fast_where(), &__fast_start__,
                                                    &__fast_end__));

    uint32_t local = 0;
    report("stack and heap lie inside RAM",
           range_in_ram(&__stack_start__, &__stack_end__) &&
               range_in_ram(&__heap_start__, &__heap_end__) &&
               inside(&local, &__stack_start__, &__stack_end__));

    /* 64-bit division comes from libgcc (and with it .ARM.exidx on Arm). */
    report("64-bit division", ticks64 / ticks_per_ms == 3000000123ull);

    finish(failures == 0);
}
