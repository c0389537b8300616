#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Values written in documents.
//
// Constant expressions: preprocessor conditions, definitions and loop bounds, and memory-map
// addresses and sizes. Each gives exactly what the constant evaluator gives, or nothing when
// the text does not evaluate.
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

// An unsigned number in C notation ("0x" hexadecimal, a leading "0" octal, else decimal),
// with blanks around it allowed; nothing unless the whole text is such a number that fits in
// 64 bits. Register, bit-field and enum sizes and placement sizes are read this way.
std::optional<std::uint64_t> readPlainNumber(std::string_view text);

// The text without the blanks, tabs and line breaks around it.
std::string_view trimDocumentBlanks(std::string_view text);

// Flags are true only when the value is "Yes", in any case.
bool isYesValue(std::string_view text);
