/* Stops at a header that does not exist. */
#include "absent.h"

int after(void) { return 0; }
