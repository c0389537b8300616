#pragma once

#include "expr/expressionvalue.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

class BaseType;
class Expression;
class ExpressionParser;

// Called for every node of a tree, parents before children.
using ExpressionVisitor = void (*)(Expression &node, void *context);

// A node of an expression tree. A node owns its children and keeps the parser that built it,
// through which it reaches symbols, registers and target memory.
//
// Trees can be as deep as their text is long ("1+1+...+1" nests a million times), so every
// walk (evaluate, toString, visit, duplicate, destruction) is a loop over an explicit stack;
// node classes supply one step each (evaluateNode, textPiece, copyNode).
class Expression {
public:
    explicit Expression(ExpressionParser *parser) : m_parser(parser) {}
    virtual ~Expression();
    Expression(const Expression &) = delete;
    Expression &operator=(const Expression &) = delete;

    virtual ExpressionValue evaluate();
    virtual std::string toString() const;
    virtual void visit(ExpressionVisitor visitor, void *context);
    // A deep copy; throws "cannot duplicate expression" for a node class that cannot copy.
    virtual std::unique_ptr<Expression> duplicate() const;

    ExpressionParser *parser() const { return m_parser; }
    std::size_t childCount() const { return m_children.size(); }
    Expression *child(std::size_t index) const { return m_children[index].get(); }
    // The number of nodes in this tree.
    std::size_t nodeCount() const;

protected:
    // Nodes know how many children they get; reserving saves a reallocation per node.
    void reserveChildren(std::size_t count) { m_children.reserve(count); }
    void appendChild(std::unique_ptr<Expression> child);

    // One evaluation step. `values` holds the values of the children for which
    // evaluatesChild() answers true, in order; the others are left for the node to inspect.
    virtual ExpressionValue evaluateNode(std::span<ExpressionValue> values) = 0;
    virtual bool evaluatesChild(std::size_t index) const { return true; }
    // The text is piece 0, child 0, piece 1, child 1, ... piece childCount().
    virtual std::string textPiece(std::size_t index) const = 0;
    // This node without its children, or null when the class cannot be copied.
    virtual std::unique_ptr<Expression> copyNode() const { return nullptr; }

    // The parser, which a node that reaches symbols or the target cannot do without.
    ExpressionParser &context() const;

private:
    ExpressionParser *m_parser;
    std::vector<std::unique_ptr<Expression>> m_children;
};

// A literal. Its text is "0x" and the value as unsigned hexadecimal.
class ConstantExpression : public Expression {
public:
    ConstantExpression(ExpressionParser *parser, ExpressionValue value)
        : Expression(parser), m_value(std::move(value)) {}
    const ExpressionValue &value() const { return m_value; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue>) override { return m_value; }
    std::string textPiece(std::size_t) const override;

private:
    ExpressionValue m_value;
};

#define PALINDOR_CONSTANT_EXPRESSION(Class)                                                        \
    class Class final : public ConstantExpression {                                                \
    public:                                                                                        \
        using ConstantExpression::ConstantExpression;                                              \
                                                                                                   \
    protected:                                                                                     \
        std::unique_ptr<Expression> copyNode() const override {                                    \
            return std::make_unique<Class>(parser(), value());                                     \
        }                                                                                          \
    };
PALINDOR_CONSTANT_EXPRESSION(IntegerConstantExpression)
PALINDOR_CONSTANT_EXPRESSION(FloatConstantExpression)
PALINDOR_CONSTANT_EXPRESSION(StringConstantExpression)
#undef PALINDOR_CONSTANT_EXPRESSION

// A symbol name: asks the parser's first scope, then its second.
class IdentifierExpression final : public Expression {
public:
    IdentifierExpression(ExpressionParser *parser, std::string name)
        : Expression(parser), m_name(std::move(name)) {}
    const std::string &name() const { return m_name; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue>) override;
    std::string textPiece(std::size_t) const override { return m_name; }
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::string m_name;
};

// "a::b::c"; a leading empty name stands for the global scope ("::x").
class ScopedIdentifierExpression final : public Expression {
public:
    ScopedIdentifierExpression(ExpressionParser *parser, std::vector<std::string> names)
        : Expression(parser), m_names(std::move(names)) {}
    const std::vector<std::string> &names() const { return m_names; }
    std::string joinedNames() const;

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue>) override;
    std::string textPiece(std::size_t) const override { return joinedNames(); }
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::vector<std::string> m_names;
};

// "@name": a register of the target; the name is kept without the "@".
class RegisterExpression final : public Expression {
public:
    RegisterExpression(ExpressionParser *parser, std::string name)
        : Expression(parser), m_name(std::move(name)) {}
    const std::string &name() const { return m_name; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue>) override;
    std::string textPiece(std::size_t) const override { return "@" + m_name; }
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::string m_name;
};

class UnaryExpression : public Expression {
public:
    UnaryExpression(ExpressionParser *parser, UnaryOperator op, std::unique_ptr<Expression> operand)
        : Expression(parser), m_operator(op) {
        reserveChildren(1);
        appendChild(std::move(operand));
    }
    UnaryOperator unaryOperator() const { return m_operator; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override;

private:
    UnaryOperator m_operator;
};

#define PALINDOR_UNARY_EXPRESSION(Class, Operator)                                                 \
    class Class final : public UnaryExpression {                                                   \
    public:                                                                                        \
        Class(ExpressionParser *parser, std::unique_ptr<Expression> operand)                       \
            : UnaryExpression(parser, UnaryOperator::Operator, std::move(operand)) {}              \
                                                                                                   \
    protected:                                                                                     \
        std::unique_ptr<Expression> copyNode() const override {                                    \
            return std::make_unique<Class>(parser(), nullptr);                                     \
        }                                                                                          \
    };
PALINDOR_UNARY_EXPRESSION(NegateExpression, Negate)
PALINDOR_UNARY_EXPRESSION(BitNotExpression, BitNot)
PALINDOR_UNARY_EXPRESSION(LogicalNotExpression, LogicalNot)
#undef PALINDOR_UNARY_EXPRESSION

// Two operands; shown as "(" left, operator, right ")".
class BinaryExpression : public Expression {
public:
    BinaryExpression(ExpressionParser *parser, std::unique_ptr<Expression> left,
                     std::unique_ptr<Expression> right)
        : Expression(parser) {
        reserveChildren(2);
        appendChild(std::move(left));
        appendChild(std::move(right));
    }
    Expression *left() const { return child(0); }
    Expression *right() const { return child(1); }

protected:
    virtual const char *operatorText() const = 0;
    std::string textPiece(std::size_t index) const override;
};

// The operators of the value table; "+" on a pointer or array object asks the parser.
class OperatorExpression : public BinaryExpression {
public:
    OperatorExpression(ExpressionParser *parser, BinaryOperator op,
                       std::unique_ptr<Expression> left, std::unique_ptr<Expression> right)
        : BinaryExpression(parser, std::move(left), std::move(right)), m_operator(op) {}
    BinaryOperator binaryOperator() const { return m_operator; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    const char *operatorText() const override;

private:
    BinaryOperator m_operator;
};

#define PALINDOR_BINARY_EXPRESSION(Class, Base, ...)                                               \
    class Class final : public Base {                                                              \
    public:                                                                                        \
        Class(ExpressionParser *parser, std::unique_ptr<Expression> left,                          \
              std::unique_ptr<Expression> right)                                                   \
            : Base(parser, __VA_ARGS__ std::move(left), std::move(right)) {}                       \
                                                                                                   \
    protected:                                                                                     \
        std::unique_ptr<Expression> copyNode() const override {                                    \
            return std::make_unique<Class>(parser(), nullptr, nullptr);                            \
        }                                                                                          \
    };
#define OPERATOR_EXPRESSION(Class, Operator, Text, Token, CompoundToken)                           \
    PALINDOR_BINARY_EXPRESSION(Class, OperatorExpression, BinaryOperator::Operator, )
#include "expr/expressionoperators.def"
#undef OPERATOR_EXPRESSION

// The binary nodes with their own evaluation.
#define PALINDOR_SPECIAL_EXPRESSION(Class, Text)                                                   \
    class Class##Base : public BinaryExpression {                                                  \
    public:                                                                                        \
        using BinaryExpression::BinaryExpression;                                                  \
                                                                                                   \
    protected:                                                                                     \
        ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;                  \
        const char *operatorText() const override { return Text; }                                 \
    };                                                                                             \
    PALINDOR_BINARY_EXPRESSION(Class, Class##Base, )
// Both operands are evaluated and combined as booleans.
PALINDOR_SPECIAL_EXPRESSION(LogicalAndExpression, "&&")
PALINDOR_SPECIAL_EXPRESSION(LogicalOrExpression, "||")
// Stores the right value into the target object on the left; the value is read back.
PALINDOR_SPECIAL_EXPRESSION(AssignExpression, "=")
// A member by pointer-to-member object: "object.*member".
PALINDOR_SPECIAL_EXPRESSION(PtrToMemberExpression, ".*")
#undef PALINDOR_SPECIAL_EXPRESSION

// "array[index]"; also "*pointer", as index 0.
class LeftSquareBracketExpressionBase : public BinaryExpression {
public:
    using BinaryExpression::BinaryExpression;

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    const char *operatorText() const override { return "["; }
    std::string textPiece(std::size_t index) const override;
};
PALINDOR_BINARY_EXPRESSION(LeftSquareBracketExpression, LeftSquareBracketExpressionBase, )

// "object.member" (also "->" and "::"): the member is a name, not evaluated.
class DotExpressionBase : public BinaryExpression {
public:
    using BinaryExpression::BinaryExpression;

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    bool evaluatesChild(std::size_t index) const override { return index == 0; }
    const char *operatorText() const override { return "."; }
    std::string textPiece(std::size_t index) const override;
};
PALINDOR_BINARY_EXPRESSION(DotExpression, DotExpressionBase, )
#undef PALINDOR_BINARY_EXPRESSION

// "array[first:last]".
class ArraySliceExpression final : public Expression {
public:
    ArraySliceExpression(ExpressionParser *parser, std::unique_ptr<Expression> array,
                         std::unique_ptr<Expression> first, std::unique_ptr<Expression> last);

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override;
    std::unique_ptr<Expression> copyNode() const override;
};

// "&operand".
class AddressofExpression final : public Expression {
public:
    AddressofExpression(ExpressionParser *parser, std::unique_ptr<Expression> operand)
        : Expression(parser) {
        appendChild(std::move(operand));
    }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override { return index ? ")" : "(&"; }
    std::unique_ptr<Expression> copyNode() const override;
};

// addressof("file", line): the code address of a source line.
class AddressofLineExpression final : public Expression {
public:
    AddressofLineExpression(ExpressionParser *parser, std::string file, std::int64_t line)
        : Expression(parser), m_file(std::move(file)), m_line(line) {}
    const std::string &file() const { return m_file; }
    std::int64_t line() const { return m_line; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue>) override;
    std::string textPiece(std::size_t) const override;
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::string m_file;
    std::int64_t m_line;
};

// "((type)operand)".
class CastExpression final : public Expression {
public:
    CastExpression(ExpressionParser *parser, std::unique_ptr<BaseType> type,
                   std::unique_ptr<Expression> operand);
    ~CastExpression() override;
    const BaseType &type() const { return *m_type; }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override;
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::unique_ptr<BaseType> m_type;
};

// "function(argument,...)".
class CallExpression final : public Expression {
public:
    CallExpression(ExpressionParser *parser, std::unique_ptr<Expression> function,
                   std::vector<std::unique_ptr<Expression>> arguments);

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override;
    std::unique_ptr<Expression> copyNode() const override;
};

// "sizeof(operand)" or "sizeof(type)".
class SizeofExpression final : public Expression {
public:
    SizeofExpression(ExpressionParser *parser, std::unique_ptr<Expression> operand);
    SizeofExpression(ExpressionParser *parser, std::unique_ptr<BaseType> type);
    ~SizeofExpression() override;
    // Null when the operand is an expression.
    const BaseType *type() const { return m_type.get(); }

protected:
    ExpressionValue evaluateNode(std::span<ExpressionValue> values) override;
    std::string textPiece(std::size_t index) const override;
    std::unique_ptr<Expression> copyNode() const override;

private:
    std::unique_ptr<BaseType> m_type;
};
