#include "expr/expressionlexer.h"

#include "expr/parserexception.h"

#include <array>
#include <charconv>
#include <limits>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

std::size_t digitsFrom(std::string_view text, std::size_t i, bool (*isDigitOf)(char)) {
    while (i < text.size() && isDigitOf(text[i]))
        ++i;
    return i;
}

// The integer suffix U?L?L?u?l?l?, each letter at most once and in that order.
std::size_t suffixFrom(std::string_view text, std::size_t i) {
    for (char letter : std::string_view("ULLull")) {
        if (i < text.size() && text[i] == letter)
            ++i;
    }
    return i;
}

// One character of the Unicode space-separator category, in UTF-8.
std::size_t spaceCharacterLength(std::string_view text) {
    static constexpr std::array<std::string_view, 17> spaces = {
        " ",
        "\xC2\xA0",
        "\xE1\x9A\x80",
        "\xE2\x80\x80",
        "\xE2\x80\x81",
        "\xE2\x80\x82",
        "\xE2\x80\x83",
        "\xE2\x80\x84",
        "\xE2\x80\x85",
        "\xE2\x80\x86",
        "\xE2\x80\x87",
        "\xE2\x80\x88",
        "\xE2\x80\x89",
        "\xE2\x80\x8A",
        "\xE2\x80\xAF",
        "\xE2\x81\x9F",
        "\xE3\x80\x80",
    };
    for (std::string_view space : spaces) {
        if (text.starts_with(space))
            return space.size();
    }
    return 0;
}

std::size_t matchSpace(std::string_view text, std::string_view) {
    std::size_t i = 0;
    while (std::size_t n = spaceCharacterLength(text.substr(i)))
        i += n;
    return i;
}

std::size_t matchString(std::string_view text, std::string_view) {
    if (text.empty() || text[0] != '"')
        return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i + 1;
    }
    return 0;
}

std::size_t matchHex(std::string_view text, std::string_view) {
    if (!text.starts_with("0x"))
        return 0;
    return suffixFrom(text, digitsFrom(text, 2, isHexDigit));
}

std::size_t matchBinary(std::string_view text, std::string_view) {
    if (!text.starts_with("0b"))
        return 0;
    return digitsFrom(text, 2, [](char c) { return c == '0' || c == '1'; });
}

std::size_t matchFraction(std::string_view text, std::string_view) {
    std::size_t point = digitsFrom(text, 0, isDigit);
    if (point == 0 || point >= text.size() || text[point] != '.')
        return 0;
    std::size_t end = digitsFrom(text, point + 1, isDigit);
    return end > point + 1 ? end : 0;
}

std::size_t matchDecimal(std::string_view text, std::string_view) {
    std::size_t end = digitsFrom(text, 0, isDigit);
    return end ? suffixFrom(text, end) : 0;
}

std::size_t matchIdentifier(std::string_view text, std::string_view) {
    if (text.empty() || !(isLetter(text[0]) || text[0] == '$'))
        return 0;
    return digitsFrom(text, 1, [](char c) { return isLetter(c) || isDigit(c) || c == '$'; });
}

std::size_t matchRegister(std::string_view text, std::string_view) {
    if (text.empty() || text[0] != '@')
        return 0;
    return digitsFrom(text, 1, [](char c) { return isLetter(c) || isDigit(c); });
}

std::size_t matchLiteral(std::string_view text, std::string_view literal) {
    // The first byte rules out most operators before a full comparison.
    return !text.empty() && text[0] == literal[0] && text.starts_with(literal) ? literal.size() : 0;
}

// The C token set in registration order: the first recogniser that matches wins.
constexpr Lexer::Recogniser kCRecognisers[] = {
    {matchSpace, {}, TokenSpace, kNotBinary},
    {matchString, {}, TokenString, kNotBinary},
    {matchHex, {}, TokenHex, kNotBinary},
    {matchBinary, {}, TokenBinary, kNotBinary},
    {matchFraction, {}, TokenFraction, kNotBinary},
    {matchDecimal, {}, TokenDecimal, kNotBinary},
    {matchIdentifier, {}, TokenIdentifier, kNotBinary},
    {matchRegister, {}, TokenRegister, kNotBinary},
    {matchLiteral, ";", TokenSemicolon, 10},
    {matchLiteral, "::", TokenScope, 10},
    {matchLiteral, ":", TokenColon, 10},
    {matchLiteral, "(", TokenLeftParen, 10},
    {matchLiteral, ")", TokenRightParen, 10},
    {matchLiteral, "[", TokenLeftBracket, 10},
    {matchLiteral, "]", TokenRightBracket, 10},
    {matchLiteral, "{", TokenLeftBrace, 10},
    {matchLiteral, "}", TokenRightBrace, 10},
    {matchLiteral, ".", TokenDot, 10},
    {matchLiteral, "->", TokenArrow, 10},
    {matchLiteral, "++", TokenIncrement, 10},
    {matchLiteral, "--", TokenDecrement, 10},
    {matchLiteral, "!=", TokenNe, 5},
    {matchLiteral, "!", TokenNot, 10},
    {matchLiteral, "~", TokenTilde, 10},
    {matchLiteral, "*=", TokenStarAssign, -3},
    {matchLiteral, "*", TokenStar, 9},
    {matchLiteral, "/=", TokenSlashAssign, -3},
    {matchLiteral, "/", TokenSlash, 9},
    {matchLiteral, "%=", TokenPercentAssign, -3},
    {matchLiteral, "%", TokenPercent, 9},
    {matchLiteral, "+=", TokenPlusAssign, -3},
    {matchLiteral, "+", TokenPlus, 8},
    {matchLiteral, "-=", TokenMinusAssign, -3},
    {matchLiteral, "-", TokenMinus, 8},
    {matchLiteral, "<<=", TokenLshiftAssign, -3},
    {matchLiteral, "<<", TokenLshift, 7},
    {matchLiteral, ">>>=", TokenUnsignedRshiftAssign, -3},
    {matchLiteral, ">>>", TokenUnsignedRshift, 7},
    {matchLiteral, ">>=", TokenRshiftAssign, -3},
    {matchLiteral, ">>", TokenRshift, 7},
    {matchLiteral, "<=", TokenLe, 6},
    {matchLiteral, "<", TokenLt, 6},
    {matchLiteral, ">=", TokenGe, 6},
    {matchLiteral, ">", TokenGt, 6},
    {matchLiteral, "==", TokenEq, 5},
    {matchLiteral, "^=", TokenCaretAssign, -3},
    {matchLiteral, "^", TokenCaret, 3},
    {matchLiteral, "&=", TokenAmpAssign, -3},
    {matchLiteral, "&&", TokenAndAnd, 1},
    {matchLiteral, "&", TokenAmp, 4},
    {matchLiteral, "|=", TokenPipeAssign, -3},
    {matchLiteral, "||", TokenOrOr, 0},
    {matchLiteral, "|", TokenPipe, 2},
    {matchLiteral, "?", TokenQuestion, -1},
    {matchLiteral, "=", TokenAssign, -2},
    {matchLiteral, ",", TokenComma, -4},
};

// Replacement texts may not grow without end (a macro that doubles at every level would).
constexpr std::size_t kMaxReplacements = 10000;
constexpr std::size_t kMaxReplacedBytes = std::size_t(1) << 20;

} // namespace

void Lexer::start(std::string_view text) {
    m_state = State();
    m_state.inputs.push_back({std::make_shared<const std::string>(text), 0});
    advance();
}

void Lexer::advance() {
    for (;;) {
        State::Input &input = m_state.inputs.back();
        const std::string_view rest = std::string_view(*input.text).substr(input.position);
        if (rest.empty()) {
            if (m_state.inputs.size() > 1) {
                m_state.inputs.pop_back();
                continue;
            }
            m_state.current = Token();
            m_state.currentStart = input.position;
            return;
        }
        const Recogniser *found = nullptr;
        std::size_t length = 0;
        for (const Recogniser &recogniser : m_recognisers) {
            length = recogniser.match(rest, recogniser.literal);
            if (length) {
                found = &recogniser;
                break;
            }
        }
        if (!found)
            throw ParserException("unrecognised token: " + std::string(rest));
        const std::size_t tokenStart = input.position;
        input.position += length;
        if (found->token == TokenSpace)
            continue;

        Token token{found->token, found->precedence, std::string(rest.substr(0, length))};
        ++m_state.tokenCount;
        if (m_state.inputs.size() <= kMaxMacroDepth) {
            std::string text = replacement(token);
            if (!text.empty() && text != token.text) {
                m_state.replacedBytes += text.size();
                if (++m_state.replacements > kMaxReplacements ||
                    m_state.replacedBytes > kMaxReplacedBytes)
                    throw ParserException("macro expansion too large");
                m_state.inputs.push_back({std::make_shared<const std::string>(std::move(text)), 0});
                continue;
            }
        }
        m_state.current = std::move(token);
        m_state.currentStart =
            m_state.inputs.size() == 1 ? tokenStart : m_state.inputs.front().position;
        return;
    }
}

CStyleLexer::CStyleLexer() {
    for (const Recogniser &recogniser : kCRecognisers)
        addRecogniser(recogniser);
}

std::string CStyleLexer::replacement(const Token &token) {
    return token.number == TokenIdentifier ? expandMacro(token.text) : std::string();
}

std::optional<IntegerLiteral> readIntegerLiteral(std::string_view text) {
    unsigned base = 10;
    std::size_t first = 0;
    std::size_t length = matchHex(text, {});
    if (length) {
        base = 16;
        first = 2;
    } else if ((length = matchBinary(text, {}))) {
        base = 2;
        first = 2;
    } else {
        length = matchDecimal(text, {});
    }
    if (length == 0 || length != text.size())
        return std::nullopt;

    IntegerLiteral literal{0, false};
    std::size_t i = first;
    for (; i < text.size() && isHexDigit(text[i]) && unsigned(hexValue(text[i])) < base; ++i) {
        const unsigned digit = hexValue(text[i]);
        if (literal.value > (UINT64_MAX - digit) / base)
            throw ParserException("integer constant too large");
        literal.value = literal.value * base + digit;
    }
    literal.isUnsigned = text.substr(i).find_first_of("uU") != std::string_view::npos;
    return literal;
}

double readFractionLiteral(std::string_view token) {
    double value = 0;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Out of range is an overflow when the whole part is not zero, else an underflow.
        const std::string_view whole = token.substr(0, token.find('.'));
        return whole.find_first_not_of('0') == std::string_view::npos
                   ? 0.0
                   : std::numeric_limits<double>::infinity();
    }
    return value;
}

// Each escape letter followed by the character it stands for.
constexpr std::string_view kSimpleEscapes = "a\ab\bf\fn\nr\rt\tv\v";

std::string readStringLiteral(std::string_view token) {
    const std::string_view body = token.substr(1, token.size() >= 2 ? token.size() - 2 : 0);
    std::string text;
    text.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            text += body[i];
            continue;
        }
        const char escape = body[++i];
        const std::size_t simple = kSimpleEscapes.find(escape);
        if (simple != std::string_view::npos && simple % 2 == 0) {
            text += kSimpleEscapes[simple + 1];
        } else if (escape == 'x' && i + 1 < body.size() && isHexDigit(body[i + 1])) {
            // As many hexadecimal digits as follow; the value is cut to a byte.
            unsigned value = 0;
            for (; i + 1 < body.size() && isHexDigit(body[i + 1]); ++i)
                value = (value * 16 + hexValue(body[i + 1])) & 0xff;
            text += char(value);
        } else if (escape >= '0' && escape <= '7') {
            unsigned value = escape - '0';
            for (int digits = 1;
                 digits < 3 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7';
                 ++digits, ++i)
                value = value * 8 + (body[i + 1] - '0');
            text += char(value & 0xff);
        } else {
            text += escape;
        }
    }
    return text;
}
