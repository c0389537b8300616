#pragma once

#include "expr/expressionvalue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class BaseType;
class CStyleLexer;
class Expression;

// Turns C-like expression text into a tree and is the context the tree evaluates in: symbols,
// registers, types and target memory are reached through the operations below, which an
// implementation (the debugger engine, or SimpleExpressionParser for constants) supplies.
// Every error is a ParserException.
class ExpressionParser {
public:
    virtual ~ExpressionParser();
    ExpressionParser(const ExpressionParser &) = delete;
    ExpressionParser &operator=(const ExpressionParser &) = delete;

    // The tree of `text`, or null when it holds no token. Without `position` the whole text
    // must be one expression; with it, parsing stops before the first token that cannot
    // continue the expression and `position` receives that token's offset.
    std::unique_ptr<Expression> parse(std::string_view text, std::size_t *position = nullptr);
    // Parses and evaluates `text`; an empty value for a text without tokens.
    ExpressionValue evaluate(std::string_view text);

    // Symbols and registers: null when there is no such object.
    virtual std::shared_ptr<MarkerType> lookupSymbol(const std::vector<std::string> &names) = 0;
    virtual std::shared_ptr<MarkerType> lookupSecondScope(const std::string &name) = 0;
    virtual std::shared_ptr<MarkerType> lookupRegister(const std::string &name) = 0;
    // Whether a name is a type name; structure tags are asked as "struct " and the tag.
    virtual bool isTypeName(const std::string &name) = 0;
    // A request of the engine's own.
    virtual std::intptr_t engineHook(int request, void *data) = 0;
    virtual ExpressionValue cast(const BaseType &type, const ExpressionValue &value) = 0;
    virtual bool isPointerType(const BaseType *type);
    virtual bool isArrayType(const BaseType *type);
    // Element `index` of an array or pointer object.
    virtual ExpressionValue elementAt(const ExpressionValue &object,
                                      const ExpressionValue &index) = 0;
    virtual ExpressionValue member(const ExpressionValue &object, const std::string &name) = 0;
    virtual ExpressionValue scopedMember(const ExpressionValue &object,
                                         const std::vector<std::string> &names) = 0;
    virtual ExpressionValue pointerToMember(const ExpressionValue &object,
                                            const ExpressionValue &member) = 0;
    virtual ExpressionValue addressOf(const ExpressionValue &value);
    virtual ExpressionValue sizeOf(const ExpressionValue &value);
    virtual ExpressionValue sizeOfType(const BaseType &type);
    virtual ExpressionValue addressOfLine(const std::string &file, std::int64_t line);
    // Writes `value` into the target object, and reads the object's current value.
    virtual void store(const ExpressionValue &target, const ExpressionValue &value) = 0;
    virtual ExpressionValue currentValue(const ExpressionValue &target) = 0;
    virtual ExpressionValue call(const ExpressionValue &function,
                                 const std::vector<ExpressionValue> &arguments);
    // A pointer or array object plus an integer.
    virtual ExpressionValue pointerAdd(const ExpressionValue &pointer,
                                       const ExpressionValue &offset);
    virtual ExpressionValue arraySlice(const ExpressionValue &array, const ExpressionValue &first,
                                       const ExpressionValue &last) = 0;

protected:
    ExpressionParser();
    // For engines whose lexer expands macros.
    explicit ExpressionParser(std::unique_ptr<CStyleLexer> lexer);

private:
    std::unique_ptr<CStyleLexer> m_lexer;
};

// The parser of the debugger engine, which derives from it.
class DebugExpressionParser : public ExpressionParser {
protected:
    using ExpressionParser::ExpressionParser;
};
