/* The demo application: blinks a pin of GPIOA with a delay computed in RAM-resident code. */

#include <stdint.h>

#define GPIOA_MODER (*(volatile uint32_t *)0x40020000u)
#define GPIOA_ODR (*(volatile uint32_t *)0x40020014u)

static uint32_t blink_count = 3;         /* .data: copied from flash */
static volatile uint32_t ticks;          /* .bss: zeroed at start-up */
static const char banner[] = "palindor"; /* .rodata */

__attribute__((section(".fast"), noinline)) uint32_t delay_loop(uint32_t n)
{
    volatile uint32_t i = 0;
    while (i < n)
        ++i;
    return i;
}

int main(void)
{
    GPIOA_MODER = 1;
    for (;;) {
        for (uint32_t k = 0; k < blink_count; ++k) {
            GPIOA_ODR ^= 1u;
            ticks += delay_loop((uint32_t)banner[k & 7] * 1000u);
        }
        blink_count = blink_count % 5u + 1u;
    }
}
