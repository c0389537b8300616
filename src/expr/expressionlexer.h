#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Token numbers of the C expression language. The numbers are part of the lexer's interface:
// engines that extend the grammar compare against them.
enum ExpressionToken : int {
    TokenEnd = 0,
    TokenSpace = 2,
    TokenDecimal = 3,
    TokenHex = 4,
    TokenBinary = 5,
    TokenFraction = 6,
    TokenString = 7,
    TokenIdentifier = 8,
    TokenRegister = 9,
    TokenSemicolon = 10,
    TokenColon = 11,
    TokenScope = 12,
    TokenLeftParen = 13,
    TokenRightParen = 14,
    TokenLeftBracket = 15,
    TokenRightBracket = 16,
    TokenLeftBrace = 17,
    TokenRightBrace = 18,
    TokenDot = 19,
    TokenArrow = 20,
    TokenIncrement = 21,
    TokenDecrement = 22,
    TokenTilde = 23,
    TokenNot = 24,
    TokenStar = 25,
    TokenSlash = 26,
    TokenPercent = 27,
    TokenPlus = 28,
    TokenMinus = 29,
    TokenLshift = 30,
    TokenRshift = 31,
    TokenUnsignedRshift = 32,
    TokenLt = 33,
    TokenLe = 34,
    TokenGt = 35,
    TokenGe = 36,
    TokenEq = 37,
    TokenNe = 38,
    TokenAmp = 39,
    TokenCaret = 40,
    TokenPipe = 41,
    TokenAndAnd = 42,
    TokenOrOr = 43,
    TokenQuestion = 44,
    TokenAssign = 45,
    TokenPlusAssign = 46,
    TokenMinusAssign = 47,
    TokenStarAssign = 48,
    TokenSlashAssign = 49,
    TokenPercentAssign = 50,
    TokenRshiftAssign = 51,
    TokenLshiftAssign = 52,
    TokenUnsignedRshiftAssign = 53,
    TokenAmpAssign = 54,
    TokenCaretAssign = 55,
    TokenPipeAssign = 56,
    TokenComma = 57,
};

// The precedence of a token that is no binary operator.
inline constexpr int kNotBinary = 10;

struct Token {
    int number = TokenEnd;
    int precedence = kNotBinary;
    std::string text; // as written; empty at the end of the input
};

// Splits text into tokens. Recognisers are tried in the order they were added and the first
// that matches wins, so longer operators must be added before their prefixes.
class Lexer {
public:
    // How many bytes at the start of `text` form the token (0 for no match). `literal` is
    // the recogniser's fixed text, for the recognisers that have one.
    using Matcher = std::size_t (*)(std::string_view text, std::string_view literal);

    struct Recogniser {
        Matcher match;
        std::string_view literal;
        int token;
        int precedence;
    };

    // Where the lexer stands; lets the parser look ahead and come back.
    struct State {
        struct Input {
            std::shared_ptr<const std::string> text;
            std::size_t position;
        };
        std::vector<Input> inputs;
        Token current;
        std::size_t currentStart = 0;
        std::size_t tokenCount = 0;
        std::size_t replacements = 0;
        std::size_t replacedBytes = 0;
    };

    // Replacement texts are read inside each other at most this deep.
    static constexpr std::size_t kMaxMacroDepth = 100;

    Lexer() = default;
    virtual ~Lexer() = default;
    Lexer(const Lexer &) = delete;
    Lexer &operator=(const Lexer &) = delete;

    void addRecogniser(const Recogniser &recogniser) { m_recognisers.push_back(recogniser); }

    // Starts on a new text and reads its first token.
    void start(std::string_view text);
    const Token &current() const { return m_state.current; }
    void advance();

    // Offset in the outermost text where the current token starts; for a token of a
    // replacement text, the offset just after the identifier that was replaced.
    std::size_t position() const { return m_state.currentStart; }
    // Tokens read since start(); lets the parser bound the work a text may cause.
    std::size_t tokenCount() const { return m_state.tokenCount; }

    State save() const { return m_state; }
    void restore(State state) { m_state = std::move(state); }

protected:
    // Offered every token before it becomes current; a non-empty answer that differs from the
    // token's text is read in its place, before the rest of the input.
    virtual std::string replacement(const Token &token) { return {}; }

private:
    std::vector<Recogniser> m_recognisers;
    State m_state;
};

// The lexer of C expressions, with macro expansion of identifiers.
class CStyleLexer : public Lexer {
public:
    CStyleLexer();

    // The replacement text of an identifier; empty when it is no macro.
    virtual std::string expandMacro(const std::string &identifier) { return {}; }

protected:
    std::string replacement(const Token &token) override;
};

// Reading literals the way the lexer writes them. Each takes the whole text of one token.
struct IntegerLiteral {
    std::uint64_t value;
    bool isUnsigned; // a "u" or "U" suffix
};
// Decimal, "0x" hexadecimal or "0b" binary with the lexer's suffixes; nothing when the text is
// not exactly one such literal. Throws ParserException for a value above 64 bits.
std::optional<IntegerLiteral> readIntegerLiteral(std::string_view text);
// The value of a decimal fraction token ("1.5"); too large a fraction gives infinity.
double readFractionLiteral(std::string_view token);
// The characters of a C string literal token (quotes included), escapes resolved.
std::string readStringLiteral(std::string_view token);
