#include "expr/expression.h"

#include "core/hexformat.h"
#include "expr/expressionparser.h"
#include "expr/expressiontypes.h"
#include "expr/parserexception.h"

#include <utility>

Expression::~Expression() {
    // Children are taken apart here, one level at a time, so that a deep tree does not
    // recurse through the destructors.
    std::vector<std::unique_ptr<Expression>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<Expression> node = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<Expression> &child : node->m_children)
            pending.push_back(std::move(child));
        node->m_children.clear();
    }
}

void Expression::appendChild(std::unique_ptr<Expression> child) {
    if (child)
        m_children.push_back(std::move(child));
}

ExpressionParser &Expression::context() const {
    if (!m_parser)
        throw ParserException("expression has no parser");
    return *m_parser;
}

ExpressionValue Expression::evaluate() {
    struct Frame {
        Expression *node;
        std::size_t nextChild;
        std::size_t firstValue; // where this node's child values start on the value stack
    };
    std::vector<Frame> frames{{this, 0, 0}};
    std::vector<ExpressionValue> values;
    for (;;) {
        Frame &frame = frames.back();
        Expression *node = frame.node;
        while (frame.nextChild < node->childCount() && !node->evaluatesChild(frame.nextChild))
            ++frame.nextChild;
        if (frame.nextChild < node->childCount()) {
            Expression *child = node->child(frame.nextChild++);
            frames.push_back({child, 0, values.size()});
            continue;
        }
        const std::size_t first = frame.firstValue;
        ExpressionValue value =
            node->evaluateNode(std::span(values).subspan(first, values.size() - first));
        values.resize(first);
        frames.pop_back();
        if (frames.empty())
            return value;
        values.push_back(std::move(value));
    }
}

std::string Expression::toString() const {
    struct Item {
        const Expression *node;
        std::size_t nextPiece;
    };
    std::string text;
    std::vector<Item> stack{{this, 0}};
    while (!stack.empty()) {
        const Expression *node = stack.back().node;
        const std::size_t piece = stack.back().nextPiece++;
        text += node->textPiece(piece);
        if (piece == node->childCount())
            stack.pop_back();
        else
            stack.push_back({node->child(piece), 0});
    }
    return text;
}

void Expression::visit(ExpressionVisitor visitor, void *context) {
    std::vector<Expression *> pending{this};
    while (!pending.empty()) {
        Expression *node = pending.back();
        pending.pop_back();
        visitor(*node, context);
        for (std::size_t i = node->childCount(); i-- > 0;)
            pending.push_back(node->child(i));
    }
}

std::size_t Expression::nodeCount() const {
    std::size_t count = 0;
    std::vector<const Expression *> pending{this};
    while (!pending.empty()) {
        const Expression *node = pending.back();
        pending.pop_back();
        ++count;
        for (const std::unique_ptr<Expression> &child : node->m_children)
            pending.push_back(child.get());
    }
    return count;
}

std::unique_ptr<Expression> Expression::duplicate() const {
    auto copyOf = [](const Expression &node) {
        std::unique_ptr<Expression> copy = node.copyNode();
        if (!copy)
            throw ParserException("cannot duplicate expression");
        return copy;
    };
    std::unique_ptr<Expression> root = copyOf(*this);
    std::vector<std::pair<const Expression *, Expression *>> pending{{this, root.get()}};
    while (!pending.empty()) {
        auto [original, copy] = pending.back();
        pending.pop_back();
        for (const std::unique_ptr<Expression> &child : original->m_children) {
            copy->appendChild(copyOf(*child));
            pending.push_back({child.get(), copy->m_children.back().get()});
        }
    }
    return root;
}

std::string ConstantExpression::textPiece(std::size_t) const {
    return "0x" + hex(m_value.toUnsigned());
}

ExpressionValue IdentifierExpression::evaluateNode(std::span<ExpressionValue>) {
    ExpressionParser &parser = context();
    std::shared_ptr<MarkerType> object = parser.lookupSymbol({m_name});
    if (!object)
        object = parser.lookupSecondScope(m_name);
    if (!object)
        throw ParserException(m_name + " symbol not found");
    return ExpressionValue(std::move(object));
}

std::unique_ptr<Expression> IdentifierExpression::copyNode() const {
    return std::make_unique<IdentifierExpression>(parser(), m_name);
}

std::string ScopedIdentifierExpression::joinedNames() const {
    std::string text;
    for (std::size_t i = 0; i < m_names.size(); ++i)
        text += (i ? "::" : "") + m_names[i];
    return text;
}

ExpressionValue ScopedIdentifierExpression::evaluateNode(std::span<ExpressionValue>) {
    std::shared_ptr<MarkerType> object = context().lookupSymbol(m_names);
    if (!object)
        throw ParserException(joinedNames() + " symbol not found");
    return ExpressionValue(std::move(object));
}

std::unique_ptr<Expression> ScopedIdentifierExpression::copyNode() const {
    return std::make_unique<ScopedIdentifierExpression>(parser(), m_names);
}

ExpressionValue RegisterExpression::evaluateNode(std::span<ExpressionValue>) {
    std::shared_ptr<MarkerType> object = context().lookupRegister(m_name);
    if (!object)
        throw ParserException("unknown register");
    return ExpressionValue(std::move(object));
}

std::unique_ptr<Expression> RegisterExpression::copyNode() const {
    return std::make_unique<RegisterExpression>(parser(), m_name);
}

ExpressionValue UnaryExpression::evaluateNode(std::span<ExpressionValue> values) {
    return ExpressionValue::unary(m_operator, values[0]);
}

std::string UnaryExpression::textPiece(std::size_t index) const {
    static constexpr const char *texts[] = {"-", "~", "!"};
    return index ? std::string() : texts[int(m_operator)];
}

std::string BinaryExpression::textPiece(std::size_t index) const {
    return index == 0 ? "(" : index == 1 ? operatorText() : ")";
}

ExpressionValue OperatorExpression::evaluateNode(std::span<ExpressionValue> values) {
    const ExpressionValue &left = values[0];
    if (m_operator == BinaryOperator::Plus && left.kind() == ExpressionValue::Marker &&
        left.marker()) {
        ExpressionParser &parser = context();
        const BaseType *type = left.marker()->type();
        const ExpressionValue right = values[1].loaded();
        if ((parser.isPointerType(type) || parser.isArrayType(type)) && right.isInteger())
            return parser.pointerAdd(left, right);
    }
    return ExpressionValue::binary(m_operator, left, values[1]);
}

const char *OperatorExpression::operatorText() const {
    switch (m_operator) {
#define OPERATOR_EXPRESSION(Class, Operator, Text, Token, CompoundToken)                           \
    case BinaryOperator::Operator:                                                                 \
        return Text;
#include "expr/expressionoperators.def"
#undef OPERATOR_EXPRESSION
    }
    return "";
}

ExpressionValue LogicalAndExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    const bool left = values[0].loaded().toBoolean();
    const bool right = values[1].loaded().toBoolean();
    return ExpressionValue(left && right);
}

ExpressionValue LogicalOrExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    const bool left = values[0].loaded().toBoolean();
    const bool right = values[1].loaded().toBoolean();
    return ExpressionValue(left || right);
}

ExpressionValue AssignExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    if (values[0].kind() != ExpressionValue::Marker)
        throw ParserException("this symbol not found");
    ExpressionParser &parser = context();
    parser.store(values[0], values[1].loaded());
    return parser.currentValue(values[0]);
}

ExpressionValue PtrToMemberExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    if (values[0].kind() != ExpressionValue::Marker || values[1].kind() != ExpressionValue::Marker)
        throw ParserException("bad expression type");
    return context().pointerToMember(values[0], values[1]);
}

ExpressionValue LeftSquareBracketExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    if (values[0].kind() != ExpressionValue::Marker)
        throw ParserException("bad expression type");
    ExpressionParser &parser = context();
    ExpressionValue index = values[1];
    if (index.kind() == ExpressionValue::Marker)
        index = parser.currentValue(index);
    if (index.isEmpty())
        throw ParserException("bad index type");
    return parser.elementAt(values[0], index);
}

std::string LeftSquareBracketExpressionBase::textPiece(std::size_t index) const {
    return index == 1 ? "[" : index == 2 ? "]" : "";
}

ExpressionValue DotExpressionBase::evaluateNode(std::span<ExpressionValue> values) {
    if (values[0].kind() != ExpressionValue::Marker)
        throw ParserException("bad expression type");
    if (auto *name = dynamic_cast<const IdentifierExpression *>(right()))
        return context().member(values[0], name->name());
    if (auto *names = dynamic_cast<const ScopedIdentifierExpression *>(right()))
        return context().scopedMember(values[0], names->names());
    return ExpressionValue();
}

std::string DotExpressionBase::textPiece(std::size_t index) const {
    return index == 1 ? "." : "";
}

ArraySliceExpression::ArraySliceExpression(ExpressionParser *parser,
                                           std::unique_ptr<Expression> array,
                                           std::unique_ptr<Expression> first,
                                           std::unique_ptr<Expression> last)
    : Expression(parser) {
    reserveChildren(3);
    appendChild(std::move(array));
    appendChild(std::move(first));
    appendChild(std::move(last));
}

ExpressionValue ArraySliceExpression::evaluateNode(std::span<ExpressionValue> values) {
    return context().arraySlice(values[0], values[1], values[2]);
}

std::string ArraySliceExpression::textPiece(std::size_t index) const {
    static constexpr const char *texts[] = {"", "[", ":", "]"};
    return texts[index];
}

std::unique_ptr<Expression> ArraySliceExpression::copyNode() const {
    return std::make_unique<ArraySliceExpression>(parser(), nullptr, nullptr, nullptr);
}

ExpressionValue AddressofExpression::evaluateNode(std::span<ExpressionValue> values) {
    return context().addressOf(values[0]);
}

std::unique_ptr<Expression> AddressofExpression::copyNode() const {
    return std::make_unique<AddressofExpression>(parser(), nullptr);
}

ExpressionValue AddressofLineExpression::evaluateNode(std::span<ExpressionValue>) {
    return context().addressOfLine(m_file, m_line);
}

std::string AddressofLineExpression::textPiece(std::size_t) const {
    return "addressof(\"" + displayCharacterData(m_file) + "\"," + std::to_string(m_line) + ")";
}

std::unique_ptr<Expression> AddressofLineExpression::copyNode() const {
    return std::make_unique<AddressofLineExpression>(parser(), m_file, m_line);
}

CastExpression::CastExpression(ExpressionParser *parser, std::unique_ptr<BaseType> type,
                               std::unique_ptr<Expression> operand)
    : Expression(parser), m_type(std::move(type)) {
    appendChild(std::move(operand));
}

CastExpression::~CastExpression() = default;

ExpressionValue CastExpression::evaluateNode(std::span<ExpressionValue> values) {
    return context().cast(*m_type, values[0]);
}

std::string CastExpression::textPiece(std::size_t index) const {
    return index ? ")" : "((" + m_type->toString() + ")";
}

std::unique_ptr<Expression> CastExpression::copyNode() const {
    return std::make_unique<CastExpression>(parser(), m_type->duplicate(), nullptr);
}

CallExpression::CallExpression(ExpressionParser *parser, std::unique_ptr<Expression> function,
                               std::vector<std::unique_ptr<Expression>> arguments)
    : Expression(parser) {
    reserveChildren(1 + arguments.size());
    appendChild(std::move(function));
    for (std::unique_ptr<Expression> &argument : arguments)
        appendChild(std::move(argument));
}

ExpressionValue CallExpression::evaluateNode(std::span<ExpressionValue> values) {
    const std::vector<ExpressionValue> arguments(values.begin() + 1, values.end());
    return context().call(values[0], arguments);
}

std::string CallExpression::textPiece(std::size_t index) const {
    if (index == 0)
        return {};
    if (index == childCount())
        return index == 1 ? "()" : ")";
    return index == 1 ? "(" : ",";
}

std::unique_ptr<Expression> CallExpression::copyNode() const {
    return std::make_unique<CallExpression>(parser(), nullptr,
                                            std::vector<std::unique_ptr<Expression>>());
}

SizeofExpression::SizeofExpression(ExpressionParser *parser, std::unique_ptr<Expression> operand)
    : Expression(parser) {
    appendChild(std::move(operand));
}

SizeofExpression::SizeofExpression(ExpressionParser *parser, std::unique_ptr<BaseType> type)
    : Expression(parser), m_type(std::move(type)) {}

SizeofExpression::~SizeofExpression() = default;

ExpressionValue SizeofExpression::evaluateNode(std::span<ExpressionValue> values) {
    if (m_type)
        return context().sizeOfType(*m_type);
    return context().sizeOf(values[0]);
}

std::string SizeofExpression::textPiece(std::size_t index) const {
    if (m_type)
        return "sizeof(" + m_type->toString() + ")";
    return index ? ")" : "sizeof(";
}

std::unique_ptr<Expression> SizeofExpression::copyNode() const {
    if (m_type)
        return std::make_unique<SizeofExpression>(parser(), m_type->duplicate());
    return std::make_unique<SizeofExpression>(parser(), std::unique_ptr<Expression>());
}
