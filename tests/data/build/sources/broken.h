/* Uses a name nobody declared. */
static inline int broken(void) { return undeclared_value; }
