#include "expr/expression.h"
#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include "expressiontestengine.h"

#include <gtest/gtest.h>

namespace {

std::string errorOf(ExpressionParser &parser, std::string_view text) {
    try {
        parser.evaluate(text);
    } catch (const ParserException &error) {
        return error.what();
    }
    return "no error";
}

std::string errorOf(std::string_view text) {
    SimpleExpressionParser parser;
    return errorOf(parser, text);
}

// The value as "type value", e.g. "long long 7".
std::string valueOf(ExpressionParser &parser, std::string_view text) {
    const ExpressionValue value = parser.evaluate(text);
    return value.typeName() + " " + value.toString();
}

std::string valueOf(std::string_view text) {
    SimpleExpressionParser parser;
    return valueOf(parser, text);
}

std::string treeOf(ExpressionParser &parser, std::string_view text) {
    return parser.parse(text)->toString();
}

TEST(ExpressionParser, PrecedenceAndAssociativity) {
    const std::pair<const char *, const char *> cases[] = {
        {"1+2*3", "long long 7"},       {"(1+2)*3", "long long 9"},      {"10-2-3", "long long 5"},
        {"100/10/5", "long long 2"},    {"1<<2+1", "long long 8"},       {"1+2<4", "boolean true"},
        {"3>2==1<2", "boolean true"},   {"6&3|8", "long long 10"},       {"1|6^5&4", "long long 3"},
        {"1==1&&0||1", "boolean true"}, {"-2*-3", "long long 6"},        {"!0+1", "boolean true"},
        {"- -3", "long long 3"},        {"+5", "long long 5"},           {"~0", "long long -1"},
        {"0x10+1", "long long 17"},     {"0b101", "long long 5"},        {"1.5", "double 1.5"},
        {"2u", "unsigned long long 2"}, {"\"a\\n\"", "string \"a\\n\""}, {"1+7%4*2", "long long 7"},
        {"8>>1-1", "long long 8"},      {"1<2!=2<1", "boolean true"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(valueOf(text), expected) << text;

    SimpleExpressionParser parser;
    EXPECT_EQ(treeOf(parser, "a=b=1"), "((a=b)=0x1)");
    EXPECT_EQ(treeOf(parser, "a+=b+=1"), "((a=(a+b))=((a=(a+b))+0x1))");
    EXPECT_EQ(treeOf(parser, "a<<=b|1"), "(a=(a<<(b|0x1)))");
}

TEST(ExpressionParser, TextForms) {
    TestEngine engine;
    engine.typeNames = {"T", "ns::U", "struct S"};
    const std::pair<const char *, const char *> cases[] = {
        {"1+2*3", "(0x1+(0x2*0x3))"},
        {"-x+~y-!z", "((-x+~y)-!z)"},
        {"0x1F", "0x1f"},
        {"-1", "-0x1"},
        {"1.5", "0x1"},
        {"a[i+1]", "a[(i+0x1)]"},
        {"*p", "p[0x0]"},
        {"&x", "(&x)"},
        {"a[1:n]", "a[0x1:n]"},
        {"a.b->c", "a.b.c"},
        {"a.b::c", "a.b::c"},
        {"(a)::b", "a.b"},
        {"a.*m", "(a.*m)"},
        {"a->*m", "(a.*m)"},
        {"x++", "(x=(x+0x1))"},
        {"--x", "(x=(x-0x1))"},
        {"x <<= 2", "(x=(x<<0x2))"},
        {"f()", "f()"},
        {"f(1,-x)(y)", "f(0x1,-x)(y)"},
        {"::g", "::g"},
        {"::ns::g", "::ns::g"},
        {"ns::v", "ns::v"},
        {"@r0", "@r0"},
        {"sizeof x", "sizeof(x)"},
        {"sizeof(x)", "sizeof(x)"},
        {"sizeof(unsigned long long)", "sizeof(unsigned long long)"},
        {"(const unsigned volatile int)x", "((unsigned int)x)"},
        {"(char*[4])x", "((char*[4])x)"},
        {"(T)x", "((T)x)"},
        {"(ns::U*)x", "((ns::U*)x)"},
        {"(V)x", "V"},
        {"(struct S)x", "((struct S)x)"},
        {"(struct {int a; char b:3; T;})x", "((struct {int a;char b:3;T;})x)"},
        {"(struct {})x", "((struct {})x)"},
        {"(register 32 EN 0 1 \"MODE\" 1 2;)r", "((register 32 \"EN\" 0 1 \"MODE\" 1 2;)r)"},
        {"addressof(\"main.c\", 12)", "addressof(\"main.c\",12)"},
    };
    for (const auto &[text, expected] : cases) {
        std::size_t position = 0;
        auto tree = engine.parse(text, &position);
        ASSERT_TRUE(tree) << text;
        EXPECT_EQ(tree->toString(), expected) << text;
    }
}

TEST(ExpressionParser, ParseErrors) {
    const std::pair<const char *, const char *> cases[] = {
        {"1 ? 2 : 3", "operator not supported"},
        {"1,2", "operator not supported"},
        {"8 >>> 1", "operator not supported"},
        {"x >>>= 1", "operator not supported"},
        {"1+", "unexpected token "},
        {")", "unexpected token )"},
        {"1 2", "unexpected token 2"},
        {"1;", "unexpected token ;"},
        {"(1", "')' expected"},
        {"a[1", "expected ']'"},
        {"a[1:2", "expected ']'"},
        {"a.", "identifier expected"},
        {"a.*1", "identifier expected"},
        {"a::", "identifier expected"},
        {"::1", "identifier expected"},
        {"(a)::1", "identifier expected"},
        {"addressof x", "'(' expected"},
        {"addressof(1", "string expected"},
        {"addressof(\"f\" 1", "',' expected"},
        {"addressof(\"f\", x", "int expected"},
        {"addressof(\"f\", 1", "')' expected"},
        {"sizeof(int", "')' expected"},
        {"(int x", "')' expected"},
        {"(int[x])y", "UserType expected"},
        {"(int[4)y", "']' expected"},
        {"(struct", "'{' expected"},
        {"(struct 1", "'{' expected"},
        {"(struct {", "struct parse error"},
        {"(struct {1", "struct parse error"},
        {"(struct {int a : x;})y", "integer must follow ':'"},
        {"(struct {int a})y", "';' expected"},
        {"(struct S)y", "struct type not found"},
        {"(register x", "size expected"},
        {"(register 8 1", "fieldname expected"},
        {"(register 8 a", "bitoffset expected"},
        {"(register 8 a 1 x", "bitsize expected"},
        {"(register 8 a 1 2", "fieldname expected"},
        {"f(1 2)", "')' expected"},
        {"f(1,", "unexpected token "},
        {"#", "unrecognised token: #"},
        {"0x1ffffffffffffffff", "integer constant too large"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(errorOf(text), expected) << text;
}

TEST(ExpressionParser, SimpleParserMessages) {
    const std::pair<const char *, const char *> cases[] = {
        {"x+1", "x symbol not found"},
        {"ns::x", "ns::x symbol not found"},
        {"::x", "::x symbol not found"},
        {"@r0", "unknown register"},
        {"(int)1", "cannot cast"},
        {"sizeof(int)", "sizeof(typename) not implemented"},
        {"sizeof 1", "sizeof expression not implemented"},
        {"&1", "addressof not implemented"},
        {"addressof(\"a.c\", 3)", "addressof not implemented"},
        {"1(2)", "function calling not implemented"},
        {"1[2]", "bad expression type"},
        {"*1", "bad expression type"},
        {"1.x", "bad expression type"},
        {"1[2:3]", "cannot array slice"},
        {"1 = 2", "this symbol not found"},
        {"1 += 2", "this symbol not found"},
        {"1++", "this symbol not found"},
        // Without a type of that name, "(T)" is a parenthesised name.
        {"(T)1", "unexpected token 1"},
        {"5/0", "divide by zero"},
        {"5%0", "divide by zero"},
        {"1.0/0.0", "divide by zero"},
        {"1.5==1.5", "unsupported comparison operation"},
        {"1<<2u", "integer shift value expected"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(errorOf(text), expected) << text;

    // Pointer arithmetic needs an engine's object; the base refuses it.
    SimpleExpressionParser parser;
    try {
        parser.pointerAdd(ExpressionValue(), ExpressionValue(std::int64_t(1), 8));
        ADD_FAILURE() << "no error";
    } catch (const ParserException &error) {
        EXPECT_STREQ(error.what(), "addressof not implemented");
    }
}

TEST(ExpressionParser, EmptyTextAndStopPosition) {
    SimpleExpressionParser parser;
    EXPECT_EQ(parser.parse(""), nullptr);
    EXPECT_EQ(parser.parse("\xC2\xA0 "), nullptr);
    EXPECT_TRUE(parser.evaluate("  ").isEmpty());

    std::size_t position = 99;
    auto tree = parser.parse("1 + 2 ; rest", &position);
    ASSERT_TRUE(tree);
    EXPECT_EQ(position, 6u);
    EXPECT_EQ(tree->evaluate().toSigned(), 3);
    EXPECT_TRUE(parser.parse("  ", &position) == nullptr);
    EXPECT_EQ(position, 2u);
}

TEST(ExpressionParser, DuplicateAndVisit) {
    SimpleExpressionParser parser;
    auto tree = parser.parse("-(1+f(2,3))[4:5] * sizeof(int)");
    auto copy = tree->duplicate();
    EXPECT_EQ(copy->toString(), tree->toString());
    EXPECT_EQ(copy->nodeCount(), tree->nodeCount());
    tree.reset();
    EXPECT_EQ(copy->toString(), "(-(0x1+f(0x2,0x3))[0x4:0x5]*sizeof(int))");

    std::string order;
    copy->visit(
        [](Expression &node, void *context) {
            auto *text = static_cast<std::string *>(context);
            if (auto *constant = dynamic_cast<ConstantExpression *>(&node))
                *text += constant->value().toString();
        },
        &order);
    EXPECT_EQ(order, "12345");
}

TEST(ExpressionParser, IncrementsAndAssignmentsStoreThroughTheEngine) {
    TestEngine engine;
    auto &x = engine.global("x", 1);
    EXPECT_EQ(valueOf(engine, "x++"), "int 2");
    EXPECT_EQ(x->value.toSigned(), 2);
    EXPECT_EQ(valueOf(engine, "++x"), "int 3");
    EXPECT_EQ(valueOf(engine, "x--"), "int 2");
    EXPECT_EQ(valueOf(engine, "x *= 5"), "int 10");
    EXPECT_EQ(valueOf(engine, "x = 7 + 1"), "int 8");
    EXPECT_EQ(engine.log.back(), "store 8");
    // "a=b=1" is "(a=b)=1": the left assignment answers a value, not an object.
    engine.global("y", 4);
    EXPECT_EQ(errorOf(engine, "x=y=1"), "this symbol not found");
    EXPECT_EQ(x->value.toSigned(), 4);
}

TEST(ExpressionParser, NamesResolveThroughTheEngine) {
    TestEngine engine;
    engine.global("g", 5);
    engine.global("ns::v", 6);
    engine.global("::top", 7);
    engine.locals["loc"] =
        std::make_shared<TestObject>(0x2000, ExpressionValue(std::int64_t(8), 4));
    engine.registers["sp"] =
        std::make_shared<TestObject>(0, ExpressionValue(std::uint64_t(0x20001000), 4));
    EXPECT_EQ(valueOf(engine, "g + 1"), "int 6");
    EXPECT_EQ(valueOf(engine, "ns::v"), "marker marker");
    EXPECT_EQ(valueOf(engine, "ns::v * 2"), "int 12");
    EXPECT_EQ(valueOf(engine, "::top - 1"), "int 6");
    EXPECT_EQ(valueOf(engine, "loc == 8"), "boolean true");
    EXPECT_EQ(valueOf(engine, "@sp + 0x10"), "unsigned int 536875024");
    EXPECT_EQ(errorOf(engine, "nothing"), "nothing symbol not found");
    EXPECT_EQ(errorOf(engine, "ns::nothing"), "ns::nothing symbol not found");
    EXPECT_EQ(errorOf(engine, "@pc"), "unknown register");
}

TEST(ExpressionParser, MembersElementsAndPointers) {
    TestEngine engine;
    auto &s = engine.global("s", 0);
    s->members["a"] = std::make_shared<TestObject>(0x10, ExpressionValue(std::int64_t(11), 4));
    auto &arr = engine.global("arr", 0);
    for (std::int64_t i = 0; i < 3; ++i)
        arr->elements.push_back(
            std::make_shared<TestObject>(0x40 + 4 * i, ExpressionValue(10 * i, 4)));
    engine.global("i", 2);
    engine.globals["p"] = std::make_shared<TestObject>(
        0x100, ExpressionValue(std::int64_t(0), 4),
        std::make_unique<PointerType>(std::make_unique<SimpleType>("int")));
    engine.globals["q"] = std::make_shared<TestObject>(
        0x200, ExpressionValue(std::int64_t(0), 4),
        std::make_unique<ArrayType>(std::make_unique<SimpleType>("int"), 8));

    EXPECT_EQ(valueOf(engine, "s.a + 1"), "int 12");
    EXPECT_EQ(valueOf(engine, "s->a"), "marker marker");
    EXPECT_EQ(valueOf(engine, "s.x::a + 0"), "int 11");
    EXPECT_EQ(engine.log.back(), "scopedMember x::a");
    EXPECT_EQ(valueOf(engine, "(s)::a + 0"), "int 11");
    EXPECT_EQ(engine.log.back(), "member a");
    EXPECT_EQ(valueOf(engine, "arr[1] + 0"), "int 10");
    // An index that is an object is read first.
    EXPECT_EQ(valueOf(engine, "arr[i] + 0"), "int 20");
    EXPECT_EQ(engine.log.back(), "elementAt 2");
    EXPECT_EQ(valueOf(engine, "*arr + 5"), "int 5");
    EXPECT_EQ(valueOf(engine, "arr[2] = 4"), "int 4");
    EXPECT_EQ(valueOf(engine, "p + 2"), "unsigned int 264");
    EXPECT_EQ(valueOf(engine, "q + i"), "unsigned int 520");
    EXPECT_EQ(valueOf(engine, "s + 1"), "int 1");
    EXPECT_EQ(valueOf(engine, "s.*i"), "int 2");
    EXPECT_EQ(errorOf(engine, "arr[7]"), "index out of range");
    EXPECT_EQ(errorOf(engine, "arr[\"\" == \"\" ? 1 : 2]"), "operator not supported");
    EXPECT_EQ(errorOf(engine, "s.*1"), "identifier expected");
    EXPECT_EQ(errorOf(engine, "(1).a"), "bad expression type");
    EXPECT_EQ(errorOf(engine, "s.*(1)"), "identifier expected");
}

TEST(ExpressionParser, EmptyIndexIsRejected) {
    TestEngine engine;
    engine.global("arr", 0)->elements.push_back(
        std::make_shared<TestObject>(0, ExpressionValue(std::int64_t(1), 4)));
    engine.global("nothing", 0)->value = ExpressionValue();
    EXPECT_EQ(errorOf(engine, "arr[nothing]"), "bad index type");
}

TEST(ExpressionParser, TypesCastsCallsAndSlicesReachTheEngine) {
    TestEngine engine;
    engine.typeNames = {"T", "struct S"};
    engine.global("x", 300);
    engine.global("f", 0);
    EXPECT_EQ(valueOf(engine, "(unsigned char)x"), "int 300");
    EXPECT_EQ(engine.log.back(), "cast unsigned char 300");
    EXPECT_EQ(valueOf(engine, "(T*)x + 1"), "int 301");
    EXPECT_EQ(engine.log.back(), "cast T* 300");
    // A name the engine does not know as a type is an ordinary parenthesised expression.
    EXPECT_EQ(valueOf(engine, "(x)+1"), "int 301");
    EXPECT_EQ(engine.log.back(), "isTypeName x");
    EXPECT_EQ(valueOf(engine, "sizeof(short)"), "unsigned int 2");
    EXPECT_EQ(valueOf(engine, "sizeof(struct S*)"), "unsigned int 4");
    EXPECT_EQ(valueOf(engine, "f(1, x)(2)"), "int 2");
    EXPECT_EQ(engine.log.back(), "call 1");
    EXPECT_EQ(valueOf(engine, "x[1:2]"), "unknown ");
    EXPECT_EQ(engine.log.back(), "arraySlice 1:2");
}

TEST(ExpressionParser, TypesCopyWithTheirTree) {
    TestEngine engine;
    engine.typeNames = {"T"};
    auto tree = engine.parse("(struct {unsigned char a:3; T b;}*[2])(register 8 \"f\\n\" 0 4;)x");
    auto copy = tree->duplicate();
    tree.reset();
    EXPECT_EQ(copy->toString(),
              "((struct {unsigned char a:3;T b;}*[2])((register 8 \"f\\n\" 0 4;)x))");

    const SimpleType unsignedShort("unsigned short"), real("double"), plain("long");
    EXPECT_TRUE(unsignedShort.isUnsigned());
    EXPECT_FALSE(unsignedShort.isFloatingPoint());
    EXPECT_EQ(unsignedShort.size(), 2u);
    EXPECT_TRUE(real.isFloatingPoint());
    EXPECT_EQ(real.size(), 8u);
    EXPECT_FALSE(plain.isUnsigned());
    EXPECT_EQ(plain.size(), 4u);
}

TEST(ExpressionParser, EngineLexerExpandsMacros) {
    TestEngine engine;
    engine.lexer->macros = {{"TWICE", "2*"}, {"N", "(3+4)"}};
    EXPECT_EQ(valueOf(engine, "TWICE N"), "long long 14");
}

} // namespace
