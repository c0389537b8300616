// Output, parsing, strings, conditional interpretation and input words.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fswordsimpl.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"

#include <algorithm>
#include <cstdio>

namespace {

void pushString(FSContext &c, std::string text) {
    if (text.size() > FSContext::kStringLimit)
        forthThrow(kErrStringOverflow);
    c.charge(text.size() / 16);
    c.push(Cell::string(std::move(text)));
}

// A string literal: pushed when interpreting, compiled when compiling.
void stringLiteral(FSContext &c, std::string text) {
    if (c.compiling())
        c.compileLiteral(Cell::string(std::move(text)));
    else
        pushString(c, std::move(text));
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
    Cell text = c.pop();
    c.type(text.toText());
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

void wParen(FSContext &c) {
    c.parseAcrossLines(')');
}

void wBackslash(FSContext &c) {
    if (FSInput *source = c.input())
        source->in = source->line.size();
}

void wChar(FSContext &c) {
    std::string name = c.parseRequiredName();
    c.pushInt(static_cast<unsigned char>(name[0]));
}

void wWord(FSContext &c) {
    char delimiter = char(c.popInt());
    pushString(c, c.parseWord(delimiter));
}

void wParse(FSContext &c) {
    char delimiter = char(c.popInt());
    pushString(c, c.parse(delimiter));
}

void wToNumber(FSContext &c) {
    // ( n string -- n' rest ): accumulates the leading digits of the string in BASE.
    c.need(2);
    std::string text = c.peek(0).toText();
    std::uint64_t value = std::uint64_t(c.peek(1).toInteger());
    int radix = c.base();
    std::size_t pos = 0;
    for (; pos < text.size() && digitValue(text[pos]) < radix; ++pos)
        value = value * std::uint64_t(radix) + std::uint64_t(digitValue(text[pos]));
    c.pop();
    c.pop();
    c.pushInt(std::int64_t(value));
    pushString(c, text.substr(pos));
}

void wHtmlEscape(FSContext &c) {
    std::string text = c.pop().toText();
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
    pushString(c, std::move(escaped));
}

void wStringArg(FSContext &c) {
    // ( template x -- string ): every %n with the lowest n (1 to 99) becomes the text of x.
    c.need(2);
    std::string value = cellText(c.peek(0), c.base());
    std::string pattern = c.peek(1).toText();
    c.pop();
    c.pop();
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
        pushString(c, std::move(pattern));
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
    pushString(c, std::move(result));
}

void wCommaComma(FSContext &c) {
    c.need(2);
    int base = c.base();
    std::string second = cellText(c.peek(0), base);
    std::string first = cellText(c.peek(1), base);
    c.pop();
    c.pop();
    if (first.size() + second.size() > FSContext::kStringLimit)
        forthThrow(kErrStringOverflow);
    pushString(c, first + second);
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
    }
    c.pushFlag(!restored);
}

void wEvaluate(FSContext &c) {
    Cell text = c.pop();
    c.evaluate(text.toText());
}
