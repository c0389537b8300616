// Any text must parse and evaluate to a value or a ParserException; a tree must print, copy
// and visit consistently.
#include "expr/expression.h"
#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void useValue(const ExpressionValue &value) {
    (void)value.typeName();
    (void)value.toString();
    (void)value.toSigned();
    (void)value.toUnsigned();
    (void)value.toDouble();
    (void)value.toBoolean();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    SimpleExpressionParser parser;

    std::size_t position = 0;
    try {
        parser.parse(text, &position);
        check(position <= size);
    } catch (const ParserException &) {
    }

    std::unique_ptr<Expression> tree;
    try {
        tree = parser.parse(text);
    } catch (const ParserException &) {
        return 0;
    }
    if (!tree)
        return 0;

    const std::string shown = tree->toString();
    std::unique_ptr<Expression> copy = tree->duplicate();
    check(copy->toString() == shown);
    std::size_t visited = 0;
    copy->visit([](Expression &, void *count) { ++*static_cast<std::size_t *>(count); }, &visited);
    check(visited == tree->nodeCount());
    tree.reset();

    try {
        useValue(copy->evaluate());
    } catch (const ParserException &) {
    }

    // The same text as a value typed into a watch window.
    for (ExpressionValue value : {ExpressionValue(false), ExpressionValue(std::int64_t(0), 2),
                                  ExpressionValue(std::uint64_t(0), 4), ExpressionValue(4u, 0.0),
                                  ExpressionValue(std::string(), 0)}) {
        try {
            value.setFromText(text);
            useValue(value);
        } catch (const ParserException &) {
        }
    }
    return 0;
}
