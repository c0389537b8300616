#include "xml/xmlppexpression.h"

#include "expr/expressionvalue.h"
#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include <string>

namespace {

// A plain integer literal, perhaps after one "+": decimal digits, or "0x" and hexadecimal
// digits, without a suffix. The digit limits keep every accepted value inside 64 bits, where
// the evaluator gives the same bits (a signed 64-bit constant, unchanged by unary plus).
// The value of a hexadecimal digit (either case), or 16 for any other character.
unsigned digitValue(char c) {
    if (c >= '0' && c <= '9')
        return unsigned(c - '0');
    const char lower = char(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? unsigned(lower - 'a' + 10) : 16;
}

std::optional<std::uint64_t> plainLiteral(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    if (text.size() > 2 && text[0] == '0' && text[1] == 'x') {
        text.remove_prefix(2);
        if (text.size() > 16)
            return std::nullopt;
        for (char c : text) {
            const unsigned digit = digitValue(c);
            if (digit > 15)
                return std::nullopt;
            value = value << 4 | digit;
        }
        return value;
    }
    if (text.size() > 19)
        return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + unsigned(c - '0');
    }
    return value;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string normalisedSpace(std::string_view text) {
    std::string copy(text);
    for (char &c : copy) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return copy;
}

} // namespace

std::optional<std::int64_t> evaluateDocumentSigned(std::string_view text) {
    if (std::optional<std::uint64_t> literal = plainLiteral(text))
        return std::int64_t(*literal);
    try {
        return evaluateSignedConstant(normalisedSpace(text));
    } catch (const ParserException &) {
        return std::nullopt;
    }
}

std::optional<std::uint64_t> evaluateDocumentUnsigned(std::string_view text) {
    if (std::optional<std::uint64_t> literal = plainLiteral(text))
        return literal;
    try {
        return evaluateUnsignedConstant(normalisedSpace(text));
    } catch (const ParserException &) {
        return std::nullopt;
    }
}

bool evaluateDocumentCondition(std::string_view text) {
    if (std::optional<std::uint64_t> literal = plainLiteral(text))
        return *literal != 0;
    if (text.empty())
        return false;
    try {
        return evaluateConstantExpression(normalisedSpace(text)).toBoolean();
    } catch (const ParserException &) {
        return false;
    }
}

std::string_view formatUpperHex(std::uint64_t value, char (&buffer)[19]) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char *end = buffer + sizeof buffer;
    char *at = end;
    do {
        *--at = kDigits[value & 15];
        value >>= 4;
    } while (value);
    *--at = 'x';
    *--at = '0';
    return {at, std::size_t(end - at)};
}

std::optional<std::uint64_t> readPlainNumber(std::string_view text) {
    text = trimDocumentBlanks(text);
    unsigned radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        radix = 8;
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        const unsigned digit = digitValue(c);
        if (digit >= radix || __builtin_mul_overflow(value, std::uint64_t(radix), &value) ||
            __builtin_add_overflow(value, digit, &value))
            return std::nullopt;
    }
    return value;
}

std::string_view trimDocumentBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isYesValue(std::string_view text) {
    return text.size() == 3 && (text[0] | 0x20) == 'y' && (text[1] | 0x20) == 'e' &&
           (text[2] | 0x20) == 's';
}
