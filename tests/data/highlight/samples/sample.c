#include <stdint.h>
/*! \brief Adds. \param a first */
static inline uint32_t add(uint32_t a, uint32_t b) { return a + b; }
const char *s = u8R"sql(SELECT "x" -- )sql" "\x41\0";
