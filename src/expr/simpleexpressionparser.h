#pragma once

#include "expr/expressionparser.h"

// The parser for places without a debugger: constants and operators work, every symbol,
// register, type and target access fails with its message.
class SimpleExpressionParser final : public ExpressionParser {
public:
    SimpleExpressionParser() = default;

    std::shared_ptr<MarkerType> lookupSymbol(const std::vector<std::string> &names) override;
    std::shared_ptr<MarkerType> lookupSecondScope(const std::string &name) override;
    std::shared_ptr<MarkerType> lookupRegister(const std::string &name) override;
    bool isTypeName(const std::string &name) override { return false; }
    std::intptr_t engineHook(int request, void *data) override { return 0; }
    ExpressionValue cast(const BaseType &type, const ExpressionValue &value) override;
    ExpressionValue elementAt(const ExpressionValue &object, const ExpressionValue &index) override;
    ExpressionValue member(const ExpressionValue &object, const std::string &name) override;
    ExpressionValue scopedMember(const ExpressionValue &object,
                                 const std::vector<std::string> &names) override;
    ExpressionValue pointerToMember(const ExpressionValue &object,
                                    const ExpressionValue &member) override;
    void store(const ExpressionValue &target, const ExpressionValue &value) override;
    ExpressionValue currentValue(const ExpressionValue &target) override;
    ExpressionValue arraySlice(const ExpressionValue &array, const ExpressionValue &first,
                               const ExpressionValue &last) override;
};

// Constant expressions in documents (memory-map addresses, preprocessor conditions and
// definitions), evaluated with a SimpleExpressionParser. Each throws ParserException with the
// evaluator's message when the text does not evaluate.
ExpressionValue evaluateConstantExpression(std::string_view text);
// The same for a number: an empty text, a string or any other non-number throws
// "numeric expression expected". Booleans count 0 or 1, doubles truncate toward zero.
std::int64_t evaluateSignedConstant(std::string_view text);
std::uint64_t evaluateUnsignedConstant(std::string_view text);
