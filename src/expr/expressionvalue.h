#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class BaseType;
class ExpressionValue;

// An object in target memory, supplied by the debugger engine: it knows its address and type
// and how to read and write itself.
class MarkerType {
public:
    virtual ~MarkerType() = default;
    virtual std::uint64_t address() const = 0;
    // The object's type, or null when the engine does not know it.
    virtual const BaseType *type() const = 0;
    // The object's current value as a plain value.
    virtual ExpressionValue read() = 0;
    // Writes a value given as text (as a user types it into a watch window).
    virtual void write(const std::string &text) = 0;
};

// The operators of the value table.
enum class BinaryOperator {
    Plus,
    Minus,
    Multiply,
    Divide,
    Mod,
    Lshift,
    Rshift,
    Lt,
    Le,
    Gt,
    Ge,
    Eq,
    Ne,
    BitAnd,
    BitXor,
    BitOr,
};

enum class UnaryOperator { Negate, BitNot, LogicalNot };

// A value of the evaluator. Integers are kept as 64 bits; the size (and the bit width of a
// bit-field) says how they read back: every conversion wraps the bits to that width, so
// integer arithmetic is two's complement modulo the size of the left operand.
class ExpressionValue {
public:
    enum Kind : std::uint32_t {
        Boolean = 0,
        Signed = 1,
        Unsigned = 2,
        String = 3,
        Marker = 4,
        Double = 5,
        Unknown = 6,
    };

    // The value of nothing: kind Unknown.
    ExpressionValue() = default;
    explicit ExpressionValue(bool value);
    ExpressionValue(std::int64_t value, std::uint32_t size, std::uint32_t bitWidth = 0);
    ExpressionValue(std::uint64_t value, std::uint32_t size, std::uint32_t bitWidth = 0);
    ExpressionValue(std::string text, std::uint32_t size);
    explicit ExpressionValue(std::shared_ptr<MarkerType> marker);
    ExpressionValue(std::uint32_t size, double value);
    // An int would otherwise silently become a boolean.
    ExpressionValue(int) = delete;

    Kind kind() const { return m_kind; }
    std::uint32_t size() const { return m_size; }
    std::uint32_t bitWidth() const { return m_bitWidth; }
    const std::string &text() const { return m_text; }
    const std::shared_ptr<MarkerType> &marker() const { return m_marker; }
    bool isInteger() const { return m_kind == Signed || m_kind == Unsigned; }
    bool isEmpty() const { return m_kind == Unknown; }

    // "boolean", "int", "unsigned char", "double", ...; `byteNaming` calls 1-byte integers
    // "byte" instead of "char".
    std::string typeName(bool byteNaming = false) const;

    // Integers wrap to their size or bit width (signed ones sign-extended); doubles truncate
    // toward zero and saturate at the ends of the range, NaN giving 0; strings and others
    // give 0.
    std::int64_t toSigned() const;
    std::uint64_t toUnsigned() const;
    double toDouble() const;
    // Whether the value is non-zero.
    bool toBoolean() const;

    // A target object is read into a plain value; other values are returned as they are.
    ExpressionValue loaded() const;

    // Sets the value from text in the form of its kind: "true"/"false", an integer literal
    // with an optional sign, a number, the text itself; a target object writes the text to
    // the target. Throws ParserException when the text does not fit the kind.
    void setFromText(std::string_view text);

    // The value as a user reads it: "true", "-5", "1.5", "\"a\\n\"".
    std::string toString() const;

    // The value table of the binary and unary operators. Target objects are loaded first.
    static ExpressionValue binary(BinaryOperator op, const ExpressionValue &left,
                                  const ExpressionValue &right);
    static ExpressionValue unary(UnaryOperator op, const ExpressionValue &operand);

private:
    // Significant bits of an integer: the bit width of a bit-field, else the size.
    unsigned integerBits() const;
    double doubleValue() const;

    Kind m_kind = Unknown;
    // The payload: a boolean as 0 or 1, an integer's bits, a double's bits.
    std::uint64_t m_bits = 0;
    std::uint32_t m_size = 2;
    std::uint32_t m_bitWidth = 0;
    std::string m_text;
    std::shared_ptr<MarkerType> m_marker;
};

// Character data as the user sees it: bytes that do not print are escaped ("\n", "\001").
std::string displayCharacterData(std::string_view data);
