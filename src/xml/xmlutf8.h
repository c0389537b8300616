#pragma once

#include <cstddef>
#include <string>

// UTF-8 as the reader and the writer agree on it: shortest form, no surrogates, at most
// U+10FFFF. The writer writes such sequences as they are and every other byte as a numeric
// reference; the reader takes runs of references to bytes that form such sequences as those
// bytes, so files written byte by byte by earlier versions keep their text.

// The length of the valid sequence starting at `p` (1 for ASCII), or 0 when none starts there.
std::size_t utf8SequenceLength(const unsigned char *p, const unsigned char *end);

// Appends the UTF-8 encoding of a code point (at most U+10FFFF, not a surrogate).
void appendUtf8(std::string &out, unsigned codePoint);
