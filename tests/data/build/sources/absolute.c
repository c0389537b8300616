/* Stops at a header named by an absolute path that does not exist. */
#include "/nonexistent/palindor/absent.h"
