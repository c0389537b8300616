#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Constant expressions written in documents: preprocessor conditions, definitions and loop
// bounds, and memory-map addresses and sizes. Each gives exactly what the constant evaluator
// gives, or nothing when the text does not evaluate.
//
// Most such texts are a bare decimal or "0x" number, perhaps after a "+"; those are read
// directly, without the evaluator's allocations. Anything else goes to the evaluator after
// tabs, carriage returns and newlines become blanks: attribute values may be laid out over
// several lines, and a conforming XML reader would have normalised them that way.
std::optional<std::int64_t> evaluateDocumentSigned(std::string_view text);
std::optional<std::uint64_t> evaluateDocumentUnsigned(std::string_view text);
// True when the text evaluates to something that is not zero; false when it is empty, zero
// or does not evaluate.
bool evaluateDocumentCondition(std::string_view text);

// "0x" and the upper-case hexadecimal digits of the value, the form <define hex_expression>
// and the loop macros write.
std::string_view formatUpperHex(std::uint64_t value, char (&buffer)[19]);
