/* Includes the broken header one level down. */
#include "broken.h"
