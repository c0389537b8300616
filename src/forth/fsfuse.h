#pragma once

#include "forth/pcode.h"

#include <vector>

// Rewrites the first item of common sequences (a literal and an operator, a comparison and a
// conditional branch, an address sum and a fetch or store) into one operation that does the
// work of the whole sequence on integer and address operands. Positions do not move: the
// items it covers stay behind it, so branches into the middle of a sequence still work, and
// the fused operation falls back on running them one by one for any other operand types.
void fuseOperations(std::vector<pcode> &code);
