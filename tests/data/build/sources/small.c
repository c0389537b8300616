/* More code than the deliberately tiny limit of asserted.ld allows. */
int scale(int x) { return x * 3 + 1; }
int sum(int x) { return scale(x) + scale(x + 1); }
