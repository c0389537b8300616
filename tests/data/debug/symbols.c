/* Source of symbols.elf, the fixture of the debugger tests. Rebuild with:
 * arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -O1 -nostdlib -Wl,-Ttext=0x1000 \
 *     -Wl,-Tdata=0x20000000 -Wl,-e,_start -Wl,--build-id=none symbols.c -o symbols.elf */

unsigned int counter = 0x12345678;
unsigned char flags[4] = {1, 2, 3, 4};
unsigned short level = 0xbeef;
const char greeting[] = "hi there";

void tick(void)
{
    counter++;
}

void _start(void)
{
    for (;;)
        tick();
}
