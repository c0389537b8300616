/* Errors reported through macro expansions. */
#define SCALE(x) ((x) * missing_factor)
#define TWICE(x) SCALE(SCALE(x))

int scaled(int v) { return TWICE(v); }
