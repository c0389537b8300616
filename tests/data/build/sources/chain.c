/* An error inside a header reached through a chain of includes. */
#include "outer.h"

int use(void) { return broken(); }
