/* Code for the disassembler to read: switch tables, 64-bit arithmetic and division, soft
   floating point, bit fields, saturation, exclusive access and system instructions, with the
   library routines they call. */

#include <stdint.h>

struct Fields {
    unsigned low : 3;
    unsigned middle : 9;
    signed high : 7;
};

volatile uint32_t sink;
volatile int64_t wide;
volatile float real;
volatile double precise;
struct Fields fields;
int table[64];

int __attribute__((noinline)) pick(int n)
{
    switch (n) {
    case 0: return 11;
    case 1: return table[3] * 7;
    case 2: return table[n] >> 3;
    case 3: return -table[n];
    case 4: return table[n] / 5;
    case 5: return (int)((unsigned)table[n] % 9u);
    case 6: return table[n] & 0xff00ff;
    case 7: return table[n] | 0x10000;
    default: return n * 3 + 1;
    }
}

int64_t __attribute__((noinline)) divide(int64_t a, int64_t b, uint64_t c, uint64_t d)
{
    return a / b + (int64_t)(c % d) - (a * (int64_t)c);
}

double __attribute__((noinline)) mix(float x, double y, int i)
{
    return (double)(x * (float)i) / y + (double)(x > 1.5f) - y * y;
}

unsigned __attribute__((noinline)) bits(unsigned x, unsigned y)
{
    fields.low = x;
    fields.middle = y >> 4;
    fields.high = (int)x >> 2;
    unsigned r = __builtin_clz(x | 1) + __builtin_popcount(y) + __builtin_ctz(y | 0x100);
    return r + (x << (y & 31)) + (x >> 7) + (unsigned)((int)y >> (x & 15)) +
           __builtin_bswap32(x) + (unsigned)__builtin_bswap16((uint16_t)y);
}

int __attribute__((noinline)) saturate(int x, short a, short b, signed char c)
{
    int s = x > 127 ? 127 : x < -128 ? -128 : x;
    int u = x > 255 ? 255 : x < 0 ? 0 : x;
    return s + u + a * b + c + (int)((long long)x * a >> 32);
}

int __attribute__((noinline)) exchange(volatile int *where, int value)
{
#if __ARM_ARCH >= 7
    return __atomic_fetch_add(where, value, __ATOMIC_SEQ_CST) +
           __atomic_exchange_n(where, value, __ATOMIC_SEQ_CST);
#else
    return *where += value;
#endif
}

int __attribute__((noinline)) copy(char *to, const char *from, int n)
{
    int i = 0;
    while (i < n && from[i]) {
        to[i] = from[i];
        ++i;
    }
    for (int j = 0; j < n; j += 4)
        ((volatile uint32_t *)to)[j / 4] ^= (uint32_t)j * 0x01010101u;
    return i;
}

void start(void)
{
    char buffer[32];
    for (int n = 0;; ++n) {
        sink = (uint32_t)pick(n & 15);
        wide = divide(wide, n | 1, (uint64_t)n << 33, 7);
        precise = mix(real, precise + 1.0, n);
        sink = bits(sink, (unsigned)n) + (unsigned)saturate(n, (short)n, 3, (signed char)n);
        sink = (uint32_t)exchange(&table[n & 63], n) + (uint32_t)copy(buffer, "text", n & 31);
        real = (float)precise + (float)wide;
    }
}

__attribute__((section(".vectors"), used)) void *const vectors[2] = {(void *)0x20001000, start};
