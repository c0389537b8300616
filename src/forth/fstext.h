#pragma once

// Characters and text on typed cells. A character address is either a data address (one
// character per cell of a region) or a string cell (read-only text, its payload the offset of
// the character). A text argument is a string cell alone, or the standard pair c-addr u: an
// integer on top of a character address is the length of the text there.
#include "forth/cell.h"

#include <cstdint>
#include <string>

class FSContext;

bool isCharAddress(const Cell &cell) noexcept;
// The character at address + index; -9 outside the region or the string.
unsigned char charAt(const Cell &address, std::int64_t index);
// Stores a character (the low eight bits of value) at address + index; -9 for a string cell.
void storeChar(const Cell &address, std::int64_t index, std::int64_t value);
// The text of `length` characters at the address.
std::string textAt(const Cell &address, std::int64_t length);

// Whether the top of the stack is a text argument in the pair form.
bool textPairOnTop(FSContext &c);
// Pops a text argument (either form).
std::string popText(FSContext &c);
// Pushes text in the standard form: a string cell and its length.
void pushText(FSContext &c, std::string text);
// Pops c-addr u as an address and a length, checking the length is not negative.
Cell popCharRange(FSContext &c, std::int64_t &length);
