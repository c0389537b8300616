// Output, parsing, strings, conditional interpretation and input words.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fstext.h"
#include "forth/fswordsimpl.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// A string literal as c-addr u: pushed when interpreting, compiled when compiling.
void stringLiteral(FSContext &c, std::string text) {
    if (!c.compiling()) {
        pushText(c, std::move(text));
        return;
    }
    std::int64_t length = std::int64_t(text.size());
    c.compileLiteral(Cell::string(std::move(text)));
    c.compileOp(Op::Lit, length);
}

// A cell operand of the engine's string words: text in either form, or any other cell.
std::string popOperandText(FSContext &c, int base) {
    if (textPairOnTop(c))
        return popText(c);
    return cellText(c.pop(), base);
}

// Text of S\" with its escapes replaced; the closing quote is the first unescaped one.
std::string parseEscaped(FSContext &c) {
    FSInput *source = c.input();
    if (!source)
        return {};
    c.loadIn(source);
    const std::string &line = source->line;
    std::size_t pos = source->in;
    std::string text;
    auto hex = [](char ch) { return ch >= '0' && ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10; };
    while (pos < line.size() && line[pos] != '"') {
        char ch = line[pos++];
        if (ch != '\\' || pos >= line.size()) {
            text += ch;
            continue;
        }
        char escape = line[pos++];
        switch (escape) {
        case 'a':
            text += '\a';
            break;
        case 'b':
            text += '\b';
            break;
        case 'e':
            text += '\x1b';
            break;
        case 'f':
            text += '\f';
            break;
        case 'l':
            text += '\n';
            break;
        case 'm':
            text += "\r\n";
            break;
        case 'n':
            text += '\n';
            break;
        case 'q':
            text += '"';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'v':
            text += '\v';
            break;
        case 'z':
            text += '\0';
            break;
        case 'x':
            if (pos + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos])) &&
                std::isxdigit(static_cast<unsigned char>(line[pos + 1]))) {
                text += char(hex(line[pos]) * 16 + hex(line[pos + 1]));
                pos += 2;
                break;
            }
            forthThrow(kErrInvalidArgument, "\\x needs two hexadecimal digits");
        default:
            text += escape; // \" and \\ and any other character stand for themselves
        }
    }
    source->in = pos < line.size() ? pos + 1 : pos;
    c.storeIn();
    return text;
}

// A counted string as a string cell: the count character, then the text.
Cell countedString(std::string text) {
    if (text.size() > 255)
        forthThrow(kErrStringOverflow, "counted string longer than 255 characters");
    return Cell::string(char(text.size()) + text);
}

void compilePrimitive(FSContext &c, FSPrimitive fn) {
    pcode item{Op::Prim, {0}};
    item.fn = fn;
    c.compile(item);
}

// Skips words of a false [IF] branch: up to the matching [ELSE] (when wanted) or [THEN].
void skipConditional(FSContext &c, bool stopAtElse) {
    int depth = 0;
    for (;;) {
        std::string word = FWordList::key(c.parseName());
        if (word.empty()) {
            if (!c.refill())
                forthThrow(kErrUnexpectedEof, "[IF] has no matching [THEN]");
            continue;
        }
        if (word == "[IF]") {
            ++depth;
        } else if (word == "[ELSE]") {
            if (depth == 0 && stopAtElse)
                return;
        } else if (word == "[THEN]") {
            if (depth == 0)
                return;
            --depth;
        }
    }
}

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return 99;
}

} // namespace

void wDot(FSContext &c) {
    Cell value = c.pop();
    c.type(cellText(value, c.base()) + " ");
}

void wDotR(FSContext &c) {
    std::int64_t width = c.popInt();
    std::string text = cellText(c.pop(), c.base());
    if (width > std::int64_t(text.size()))
        c.spaces(width - std::int64_t(text.size()));
    c.type(text);
}

void wDotS(FSContext &c) {
    std::string text = "<";
    text += std::to_string(c.depth());
    text += "> ";
    for (int k = c.depth() - 1; k >= 0; --k)
        text += cellText(c.peek(k), c.base()) + " ";
    c.type(text);
}

void wEmit(FSContext &c) {
    c.emit(char(c.popInt()));
}

void wType(FSContext &c) {
    c.type(popText(c));
}

void wCr(FSContext &c) {
    c.emit('\n');
}

void wSpace(FSContext &c) {
    c.emit(' ');
}

void wSpaces(FSContext &c) {
    c.spaces(c.popInt());
}

void wDotQuote(FSContext &c) {
    std::string text = c.parse('"');
    if (!c.compiling()) {
        c.type(text);
        return;
    }
    c.compileLiteral(Cell::string(std::move(text)));
    compilePrimitive(c, wType);
}

void wDotParen(FSContext &c) {
    c.type(c.parse(')'));
}

void wSQuote(FSContext &c) {
    stringLiteral(c, c.parse('"'));
}

void wSBackslashQuote(FSContext &c) {
    stringLiteral(c, parseEscaped(c));
}

void wCQuote(FSContext &c) {
    Cell counted = countedString(c.parse('"'));
    if (c.compiling())
        c.compileLiteral(counted);
    else
        c.push(std::move(counted));
}

void wSliteral(FSContext &c) {
    if (!c.compiling())
        forthThrow(kErrCompileOnly);
    stringLiteral(c, popText(c));
}

void wParen(FSContext &c) {
    c.parseAcrossLines(')');
}

void wBackslash(FSContext &c) {
    if (FSInput *source = c.input()) {
        source->in = source->line.size();
        c.storeIn();
    }
}

void wChar(FSContext &c) {
    std::string name = c.parseRequiredName();
    c.pushInt(static_cast<unsigned char>(name[0]));
}

void wWord(FSContext &c) {
    char delimiter = char(c.popInt());
    c.push(countedString(c.parseWord(delimiter)));
}

void wParse(FSContext &c) {
    char delimiter = char(c.popInt());
    pushText(c, c.parse(delimiter));
}

void wParseName(FSContext &c) {
    pushText(c, std::string(c.parseName()));
}

void wSource(FSContext &c) {
    FSInput *source = c.input();
    pushText(c, source ? source->line : std::string());
}

void wToIn(FSContext &c) {
    c.push(Cell::dataAddress(c.toInRegion(), 0));
}

// Accumulates digits of BASE into ud from the character range; stops at the first other one.
static void convertDigits(FSContext &c, Cell address, std::int64_t length, unsigned __int128 ud) {
    int radix = c.base();
    std::int64_t pos = 0;
    for (; pos < length && digitValue(char(charAt(address, pos))) < radix; ++pos)
        ud = ud * unsigned(radix) + unsigned(digitValue(char(charAt(address, pos))));
    c.pushInt(std::int64_t(std::uint64_t(ud)));
    c.pushInt(std::int64_t(std::uint64_t(ud >> 64)));
    address.i += pos;
    c.push(std::move(address));
    c.pushInt(length - pos);
}

static unsigned __int128 popUnsignedDouble(FSContext &c) {
    c.need(2);
    std::uint64_t high = std::uint64_t(c.peek(0).toInteger());
    std::uint64_t low = std::uint64_t(c.peek(1).toInteger());
    c.pop();
    c.pop();
    return (unsigned __int128)high << 64 | low;
}

void wToNumber(FSContext &c) {
    // ( ud c-addr u -- ud' c-addr' u' )
    std::int64_t length;
    Cell address = popCharRange(c, length);
    convertDigits(c, std::move(address), length, popUnsignedDouble(c));
}

void wConvert(FSContext &c) {
    // ( ud c-addr -- ud' c-addr' ): the digits start after c-addr; no length, so the text or
    // region ends the conversion.
    Cell address = c.pop();
    std::int64_t length = 0;
    if (address.type == CellType::String)
        length = std::int64_t(address.str->text.size()) - address.i - 1;
    else
        length = std::int64_t(address.toRegion()->size()) - address.i - 1;
    address.i += 1;
    convertDigits(c, std::move(address), std::max<std::int64_t>(length, 0), popUnsignedDouble(c));
    c.pop();
}

void wHtmlEscape(FSContext &c) {
    std::string text = popText(c);
    std::string escaped;
    for (char ch : text) {
        unsigned char byte = static_cast<unsigned char>(ch);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z')) {
            escaped += ch;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "%%%02x", byte);
            escaped += code;
        }
    }
    pushText(c, std::move(escaped));
}

void wStringArg(FSContext &c) {
    // ( template x -- string ): every %n with the lowest n (1 to 99) becomes the text of x.
    std::string value = popOperandText(c, c.base());
    std::string pattern = popText(c);
    auto markerAt = [&](std::size_t pos, std::size_t &length) {
        if (pattern[pos] != '%' || pos + 1 >= pattern.size())
            return 0;
        int number = 0;
        length = 1;
        while (length < 3 && pos + length < pattern.size() && pattern[pos + length] >= '0' &&
               pattern[pos + length] <= '9')
            number = number * 10 + (pattern[pos + length++] - '0');
        return number;
    };
    int lowest = 100;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < pattern.size(); ++pos) {
        int number = markerAt(pos, length);
        if (number > 0 && number < lowest)
            lowest = number;
    }
    if (lowest == 100) {
        pushText(c, std::move(pattern));
        return;
    }
    std::string result;
    for (std::size_t pos = 0; pos < pattern.size(); ++pos) {
        if (markerAt(pos, length) == lowest) {
            result += value;
            pos += length - 1;
            if (result.size() > FSContext::kStringLimit)
                forthThrow(kErrStringOverflow);
        } else {
            result += pattern[pos];
        }
    }
    pushText(c, std::move(result));
}

void wCommaComma(FSContext &c) {
    int base = c.base();
    std::string second = popOperandText(c, base);
    std::string first = popOperandText(c, base);
    if (first.size() + second.size() > FSContext::kStringLimit)
        forthThrow(kErrStringOverflow);
    pushText(c, first + second);
}

void wBracketIf(FSContext &c) {
    if (c.popInt() == 0)
        skipConditional(c, true);
}

void wBracketElse(FSContext &c) {
    skipConditional(c, false);
}

void wBracketThen(FSContext &c) {}

void wDefined(FSContext &c) {
    c.pushFlag(c.find(c.parseRequiredName()) != nullptr);
}

void wUndefined(FSContext &c) {
    c.pushFlag(c.find(c.parseRequiredName()) == nullptr);
}

void wQuery(FSContext &c) {
    if (!c.refill())
        forthThrow(kErrUnexpectedEof, "no more input");
}

void wRefill(FSContext &c) {
    c.pushFlag(c.refill());
}

void wSourceId(FSContext &c) {
    FSInput *source = c.input();
    if (!source || source->kind == FSInput::Console)
        c.pushInt(0);
    else if (source->kind == FSInput::String)
        c.pushInt(-1);
    else
        c.pushInt(source->fileId);
}

void wSaveInput(FSContext &c) {
    FSInput *source = c.input();
    if (!source)
        forthThrow(kErrUnsupported, "no input source");
    c.loadIn(source);
    c.pushInt(source->lineStart);
    c.pushInt(source->lineNumber);
    c.pushInt(std::int64_t(source->in));
    c.pushInt(3);
}

void wRestoreInput(FSContext &c) {
    std::int64_t count = c.popInt();
    if (count != 3) {
        for (std::int64_t k = 0; k < count && c.depth() > 0; ++k)
            c.pop();
        c.pushFlag(true);
        return;
    }
    c.need(3);
    std::int64_t in = c.peek(0).toInteger();
    std::int64_t lineNumber = c.peek(1).toInteger();
    std::int64_t lineStart = c.peek(2).toInteger();
    c.pop();
    c.pop();
    c.pop();
    FSInput *source = c.input();
    bool restored = false;
    if (source && source->lineNumber == lineNumber && source->lineStart == lineStart) {
        restored = true; // still on the saved line
    } else if (source && source->kind == FSInput::String && lineStart >= 0 &&
               std::uint64_t(lineStart) < source->text.size()) {
        source->next = std::size_t(lineStart);
        restored = c.refill();
    } else if (source && source->kind == FSInput::File && lineStart >= 0) {
        restored = std::fseek(source->file, lineStart, SEEK_SET) == 0 && c.refill();
    }
    if (restored) {
        source->lineNumber = lineNumber;
        source->in =
            std::size_t(std::clamp<std::int64_t>(in, 0, std::int64_t(source->line.size())));
        c.storeIn();
    }
    c.pushFlag(!restored);
}

void wEvaluate(FSContext &c) {
    c.evaluate(popText(c));
}
