#include "expr/expressionvalue.h"

#include "expr/expressionlexer.h"
#include "expr/parserexception.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>
#include <utility>

namespace {

std::int64_t signExtend(std::uint64_t bits, unsigned width) {
    if (width >= 64)
        return std::int64_t(bits);
    const std::uint64_t sign = std::uint64_t(1) << (width - 1);
    bits &= (std::uint64_t(1) << width) - 1;
    return std::int64_t((bits ^ sign) - sign);
}

std::uint64_t zeroExtend(std::uint64_t bits, unsigned width) {
    return width >= 64 ? bits : bits & ((std::uint64_t(1) << width) - 1);
}

// Conversions of doubles that C++ leaves undefined (NaN, infinities, out of range) saturate.
std::int64_t doubleToSigned(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775808.0)
        return INT64_MAX;
    if (value < -9223372036854775808.0)
        return INT64_MIN;
    return std::int64_t(value);
}

std::uint64_t doubleToUnsigned(double value) {
    if (value >= 18446744073709551616.0)
        return UINT64_MAX;
    if (value >= 0)
        return std::uint64_t(value);
    return std::uint64_t(doubleToSigned(value));
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

template <typename T> bool compare(BinaryOperator op, const T &a, const T &b) {
    switch (op) {
    case BinaryOperator::Lt:
        return a < b;
    case BinaryOperator::Gt:
        return b < a;
    case BinaryOperator::Ge:
        return !(a < b);
    case BinaryOperator::Le:
        return !(b < a);
    case BinaryOperator::Eq:
        return a == b;
    default:
        return !(a == b);
    }
}

bool isComparison(BinaryOperator op) {
    return op >= BinaryOperator::Lt && op <= BinaryOperator::Ne;
}

[[noreturn]] void unsupportedArithmetic() {
    throw ParserException("unsupported binary numeric operation");
}

[[noreturn]] void divideByZero() {
    throw ParserException("divide by zero");
}

// Boolean, signed and unsigned arithmetic share one body; T is the type of the operands.
// Signed operations run on the unsigned bits so that overflow wraps instead of being
// undefined.
template <typename T> T integerArithmetic(BinaryOperator op, T a, T b) {
    using U = std::make_unsigned_t<T>;
    switch (op) {
    case BinaryOperator::Plus:
        return T(U(a) + U(b));
    case BinaryOperator::Minus:
        return T(U(a) - U(b));
    case BinaryOperator::Multiply:
        return T(U(a) * U(b));
    case BinaryOperator::Divide:
    case BinaryOperator::Mod:
        if (b == 0)
            divideByZero();
        // The most negative value divided by -1 is its own (wrapped) negation.
        if constexpr (std::is_signed_v<T>) {
            if (b == T(-1))
                return op == BinaryOperator::Divide ? T(U(0) - U(a)) : T(0);
        }
        return op == BinaryOperator::Divide ? a / b : a % b;
    case BinaryOperator::BitAnd:
        return a & b;
    case BinaryOperator::BitXor:
        return a ^ b;
    case BinaryOperator::BitOr:
        return a | b;
    default:
        unsupportedArithmetic();
    }
}

// Counts outside 0..63 shift every bit out: 0, or -1 for a negative value shifted right.
template <typename T> T shift(BinaryOperator op, T value, std::int64_t count) {
    if (count < 0 || count >= 64)
        return op == BinaryOperator::Rshift && value < 0 ? T(-1) : T(0);
    if (op == BinaryOperator::Lshift)
        return T(std::make_unsigned_t<T>(value) << count);
    return value >> count;
}

} // namespace

ExpressionValue::ExpressionValue(bool value) : m_kind(Boolean), m_bits(value), m_size(0) {}

ExpressionValue::ExpressionValue(std::int64_t value, std::uint32_t size, std::uint32_t bitWidth)
    : m_kind(Signed), m_bits(std::uint64_t(value)), m_size(size), m_bitWidth(bitWidth) {}

ExpressionValue::ExpressionValue(std::uint64_t value, std::uint32_t size, std::uint32_t bitWidth)
    : m_kind(Unsigned), m_bits(value), m_size(size), m_bitWidth(bitWidth) {}

ExpressionValue::ExpressionValue(std::string text, std::uint32_t size)
    : m_kind(String), m_size(size), m_text(std::move(text)) {}

ExpressionValue::ExpressionValue(std::shared_ptr<MarkerType> marker)
    : m_kind(Marker), m_size(0), m_marker(std::move(marker)) {}

ExpressionValue::ExpressionValue(std::uint32_t size, double value)
    : m_kind(Double), m_bits(std::bit_cast<std::uint64_t>(value)), m_size(size) {}

unsigned ExpressionValue::integerBits() const {
    if (m_bitWidth > 0 && m_bitWidth < 64)
        return m_bitWidth;
    if (m_size == 1 || m_size == 2 || m_size == 4)
        return m_size * 8;
    return 64;
}

double ExpressionValue::doubleValue() const {
    return std::bit_cast<double>(m_bits);
}

std::string ExpressionValue::typeName(bool byteNaming) const {
    auto integerName = [this](const char *byteName) -> std::string {
        switch (m_size) {
        case 1:
            return byteName;
        case 2:
            return "short";
        case 4:
            return "int";
        default:
            return "long long";
        }
    };
    switch (m_kind) {
    case Boolean:
        return "boolean";
    case Signed:
        return integerName(byteNaming ? "byte" : "char");
    case Unsigned:
        return "unsigned " + integerName("char");
    case String:
        return "string";
    case Marker:
        return "marker";
    case Double:
        return m_size == 4 ? "float" : "double";
    default:
        return "unknown";
    }
}

std::int64_t ExpressionValue::toSigned() const {
    switch (m_kind) {
    case Boolean:
        return m_bits ? 1 : 0;
    case Signed:
        return signExtend(m_bits, integerBits());
    case Unsigned:
        return std::int64_t(zeroExtend(m_bits, integerBits()));
    case Double:
        return doubleToSigned(doubleValue());
    default:
        return 0;
    }
}

std::uint64_t ExpressionValue::toUnsigned() const {
    switch (m_kind) {
    case Unsigned:
        return zeroExtend(m_bits, integerBits());
    case Double:
        return doubleToUnsigned(doubleValue());
    default:
        return std::uint64_t(toSigned());
    }
}

double ExpressionValue::toDouble() const {
    switch (m_kind) {
    case Unsigned:
        return double(toUnsigned());
    case Double:
        return doubleValue();
    default:
        return double(toSigned());
    }
}

bool ExpressionValue::toBoolean() const {
    switch (m_kind) {
    case Boolean:
        return m_bits != 0;
    case Signed:
    case Unsigned:
        return toUnsigned() != 0;
    case Double:
        return doubleValue() != 0.0;
    default:
        return false;
    }
}

ExpressionValue ExpressionValue::loaded() const {
    if (m_kind != Marker)
        return *this;
    return m_marker ? m_marker->read() : ExpressionValue();
}

void ExpressionValue::setFromText(std::string_view text) {
    const std::string_view value = trimmed(text);
    switch (m_kind) {
    case Boolean:
        if (value != "true" && value != "false")
            throw ParserException("true or false expected");
        m_bits = value == "true";
        return;
    case Signed:
    case Unsigned: {
        const bool negative = value.starts_with('-');
        const std::string_view digits =
            negative || value.starts_with('+') ? value.substr(1) : value;
        const std::optional<IntegerLiteral> literal = readIntegerLiteral(digits);
        if (!literal)
            throw ParserException("integer expected");
        m_bits = negative ? 0 - literal->value : literal->value;
        return;
    }
    case String:
        m_text = std::string(text);
        return;
    case Double: {
        const std::string_view number = value.starts_with('+') ? value.substr(1) : value;
        double result = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result);
        if (number.empty() || error != std::errc() || end != number.data() + number.size())
            throw ParserException("number expected");
        m_bits = std::bit_cast<std::uint64_t>(result);
        return;
    }
    case Marker:
        if (m_marker) {
            m_marker->write(std::string(text));
            return;
        }
        break;
    default:
        break;
    }
    throw ParserException("cannot set value");
}

std::string ExpressionValue::toString() const {
    switch (m_kind) {
    case Boolean:
        return m_bits ? "true" : "false";
    case Signed:
        return std::to_string(toSigned());
    case Unsigned:
        return std::to_string(toUnsigned());
    case Double: {
        char buffer[32];
        auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, doubleValue());
        return std::string(buffer, end);
    }
    case String:
        return '"' + displayCharacterData(m_text) + '"';
    case Marker:
        return "marker";
    default:
        return {};
    }
}

ExpressionValue ExpressionValue::binary(BinaryOperator op, const ExpressionValue &leftOperand,
                                        const ExpressionValue &rightOperand) {
    ExpressionValue left = leftOperand.loaded();
    const ExpressionValue right = rightOperand.loaded();
    if (right.m_kind == Double && (left.m_kind == Boolean || left.isInteger()))
        left = ExpressionValue(8u, left.toDouble());

    if (isComparison(op)) {
        switch (left.m_kind) {
        case Boolean:
            return ExpressionValue(compare(op, left.toBoolean(), right.toBoolean()));
        case Signed:
            return ExpressionValue(compare(op, left.toSigned(), right.toSigned()));
        case Unsigned:
            return ExpressionValue(compare(op, left.toUnsigned(), right.toUnsigned()));
        case String: {
            const std::string other = right.m_kind == String ? right.m_text : right.toString();
            return ExpressionValue(compare(op, left.m_text, other));
        }
        default:
            throw ParserException("unsupported comparison operation");
        }
    }

    if (op == BinaryOperator::Lshift || op == BinaryOperator::Rshift) {
        if (!left.isInteger())
            throw ParserException("can only shift numeric values");
        if (right.m_kind != Signed)
            throw ParserException("integer shift value expected");
        if (left.m_kind == Signed)
            return ExpressionValue(shift(op, left.toSigned(), right.toSigned()), left.m_size);
        return ExpressionValue(shift(op, left.toUnsigned(), right.toSigned()), left.m_size);
    }

    switch (left.m_kind) {
    case Boolean: {
        const unsigned a = left.toBoolean(), b = right.toBoolean();
        if (op == BinaryOperator::Plus)
            return ExpressionValue(a + b != 0);
        if (op == BinaryOperator::Minus)
            return ExpressionValue((a ^ b) != 0);
        return ExpressionValue(integerArithmetic(op, a, b) != 0);
    }
    case Signed:
        return ExpressionValue(integerArithmetic(op, left.toSigned(), right.toSigned()),
                               left.m_size);
    case Unsigned:
        return ExpressionValue(integerArithmetic(op, left.toUnsigned(), right.toUnsigned()),
                               left.m_size);
    case Double: {
        const double a = left.doubleValue(), b = right.toDouble();
        switch (op) {
        case BinaryOperator::Plus:
            return ExpressionValue(left.m_size, a + b);
        case BinaryOperator::Minus:
            return ExpressionValue(left.m_size, a - b);
        case BinaryOperator::Multiply:
            return ExpressionValue(left.m_size, a * b);
        case BinaryOperator::Divide:
            if (b == 0.0)
                divideByZero();
            return ExpressionValue(left.m_size, a / b);
        default:
            unsupportedArithmetic();
        }
    }
    default:
        unsupportedArithmetic();
    }
}

ExpressionValue ExpressionValue::unary(UnaryOperator op, const ExpressionValue &operand) {
    const ExpressionValue value = operand.loaded();
    const Kind kind = value.m_kind;
    switch (op) {
    case UnaryOperator::LogicalNot:
        if (kind == Boolean || kind == Double || value.isInteger())
            return ExpressionValue(!value.toBoolean());
        break;
    case UnaryOperator::BitNot:
        if (kind == Signed)
            return ExpressionValue(std::int64_t(~value.toUnsigned()), value.m_size);
        if (kind == Unsigned)
            return ExpressionValue(~value.toUnsigned(), value.m_size);
        break;
    case UnaryOperator::Negate:
        // A boolean is negated as an int: true gives -1.
        if (kind == Boolean)
            return ExpressionValue(-value.toSigned(), 4);
        if (kind == Signed)
            return ExpressionValue(std::int64_t(0 - value.toUnsigned()), value.m_size);
        if (kind == Unsigned)
            return ExpressionValue(0 - value.toUnsigned(), value.m_size);
        if (kind == Double)
            return ExpressionValue(value.m_size, -value.doubleValue());
        break;
    }
    throw ParserException("unsupported unary num operation");
}

std::string displayCharacterData(std::string_view data) {
    static constexpr char controlLetters[] = "abtnvfr";
    std::string text;
    text.reserve(data.size());
    for (unsigned char byte : data) {
        if (byte >= 7 && byte <= 13) {
            text += '\\';
            text += controlLetters[byte - 7];
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
            text += escaped;
        } else {
            text += char(byte);
        }
    }
    return text;
}
