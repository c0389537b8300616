/* A program to step through: a loop calling a leaf function. */

int counter;
int value;

static int __attribute__((noinline)) twice(int x)
{
    return x * 2;
}

int __attribute__((noinline)) step(int n)
{
    int total = 0;
    for (int i = 0; i < n; ++i)
        total += twice(i);
    counter = total;
    return total;
}

void start(void)
{
    for (;;) {
        value = step(4);
        value += 1;
    }
}

__attribute__((section(".vectors"), used)) void *const vectors[2] = {(void *)0x20001000, start};
