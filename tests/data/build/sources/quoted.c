/* Diagnostics whose text quotes program text that looks like a diagnostic. */
int printf(const char *format, ...);
#warning "error: board not configured"

static int unused_helper(void) { return 1; }

int report(int v) {
    int spare;
    printf("error: %d\n", v)
    return 0;
}
