#include "expr/simpleexpressionparser.h"

#include "expr/parserexception.h"

namespace {

[[noreturn]] void cannotDereference() {
    throw ParserException("cannot dereference");
}
[[noreturn]] void symbolNotFound() {
    throw ParserException("this symbol not found");
}

} // namespace

std::shared_ptr<MarkerType>
SimpleExpressionParser::lookupSymbol(const std::vector<std::string> &names) {
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i)
        joined += (i ? "::" : "") + names[i];
    throw ParserException(joined + " symbol not found");
}

std::shared_ptr<MarkerType> SimpleExpressionParser::lookupSecondScope(const std::string &name) {
    throw ParserException(name + " symbol not found");
}

std::shared_ptr<MarkerType> SimpleExpressionParser::lookupRegister(const std::string &) {
    throw ParserException("unknown register");
}

ExpressionValue SimpleExpressionParser::cast(const BaseType &, const ExpressionValue &) {
    throw ParserException("cannot cast");
}

ExpressionValue SimpleExpressionParser::elementAt(const ExpressionValue &,
                                                  const ExpressionValue &) {
    cannotDereference();
}

ExpressionValue SimpleExpressionParser::member(const ExpressionValue &, const std::string &) {
    cannotDereference();
}

ExpressionValue SimpleExpressionParser::scopedMember(const ExpressionValue &,
                                                     const std::vector<std::string> &) {
    cannotDereference();
}

ExpressionValue SimpleExpressionParser::pointerToMember(const ExpressionValue &,
                                                        const ExpressionValue &) {
    cannotDereference();
}

void SimpleExpressionParser::store(const ExpressionValue &, const ExpressionValue &) {
    symbolNotFound();
}

ExpressionValue SimpleExpressionParser::currentValue(const ExpressionValue &) {
    symbolNotFound();
}

ExpressionValue SimpleExpressionParser::arraySlice(const ExpressionValue &, const ExpressionValue &,
                                                   const ExpressionValue &) {
    throw ParserException("cannot array slice");
}

ExpressionValue evaluateConstantExpression(std::string_view text) {
    SimpleExpressionParser parser;
    return parser.evaluate(text);
}

namespace {

ExpressionValue evaluateNumber(std::string_view text) {
    ExpressionValue value = evaluateConstantExpression(text);
    const auto kind = value.kind();
    if (kind != ExpressionValue::Boolean && kind != ExpressionValue::Double && !value.isInteger())
        throw ParserException("numeric expression expected");
    return value;
}

} // namespace

std::int64_t evaluateSignedConstant(std::string_view text) {
    return evaluateNumber(text).toSigned();
}

std::uint64_t evaluateUnsignedConstant(std::string_view text) {
    return evaluateNumber(text).toUnsigned();
}
