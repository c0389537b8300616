#pragma once

#include "expr/expressionlexer.h"
#include "expr/expressionparser.h"
#include "expr/expressiontypes.h"
#include "expr/parserexception.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// A target object of the test engine: a value cell with optional elements and members.
class TestObject : public MarkerType {
public:
    TestObject(std::uint64_t address, ExpressionValue value, std::unique_ptr<BaseType> type = {})
        : m_address(address), value(std::move(value)), m_type(std::move(type)) {}
    std::uint64_t address() const override { return m_address; }
    const BaseType *type() const override { return m_type.get(); }
    ExpressionValue read() override { return value; }
    void write(const std::string &text) override { value.setFromText(text); }

    std::uint64_t m_address;
    ExpressionValue value;
    std::unique_ptr<BaseType> m_type;
    std::vector<std::shared_ptr<TestObject>> elements;
    std::map<std::string, std::shared_ptr<TestObject>> members;
};

// A lexer whose macros come from a table.
class TableLexer : public CStyleLexer {
public:
    std::string expandMacro(const std::string &identifier) override {
        auto found = macros.find(identifier);
        return found == macros.end() ? std::string() : found->second;
    }
    std::map<std::string, std::string> macros;
};

// A debugger engine in miniature: globals, locals and registers are TestObjects, and every
// engine operation leaves a line in `log` so that tests see which operation ran with what.
class TestEngine : public DebugExpressionParser {
public:
    explicit TestEngine(TableLexer *ownLexer = new TableLexer)
        : DebugExpressionParser(std::unique_ptr<CStyleLexer>(ownLexer)), lexer(ownLexer) {}

    std::shared_ptr<TestObject> &global(const std::string &name, std::int64_t value) {
        return globals[name] = std::make_shared<TestObject>(0x1000 + 4 * globals.size(),
                                                            ExpressionValue(value, 4));
    }

    std::shared_ptr<MarkerType> lookupSymbol(const std::vector<std::string> &names) override {
        std::string joined = names.front();
        for (std::size_t i = 1; i < names.size(); ++i)
            joined += "::" + names[i];
        auto found = globals.find(joined);
        return found == globals.end() ? nullptr : found->second;
    }
    std::shared_ptr<MarkerType> lookupSecondScope(const std::string &name) override {
        auto found = locals.find(name);
        return found == locals.end() ? nullptr : found->second;
    }
    std::shared_ptr<MarkerType> lookupRegister(const std::string &name) override {
        auto found = registers.find(name);
        return found == registers.end() ? nullptr : found->second;
    }
    bool isTypeName(const std::string &name) override {
        log.push_back("isTypeName " + name);
        for (const std::string &type : typeNames) {
            if (type == name)
                return true;
        }
        return false;
    }
    std::intptr_t engineHook(int, void *) override { return 0; }
    ExpressionValue cast(const BaseType &type, const ExpressionValue &value) override {
        log.push_back("cast " + type.toString() + " " + value.loaded().toString());
        return ExpressionValue(value.loaded().toSigned(), 4);
    }
    ExpressionValue elementAt(const ExpressionValue &object,
                              const ExpressionValue &index) override {
        log.push_back("elementAt " + index.toString());
        auto &elements = objectOf(object).elements;
        const std::int64_t i = index.toSigned();
        if (i < 0 || std::size_t(i) >= elements.size())
            throw ParserException("index out of range");
        return ExpressionValue(std::shared_ptr<MarkerType>(elements[i]));
    }
    ExpressionValue member(const ExpressionValue &object, const std::string &name) override {
        log.push_back("member " + name);
        return memberOf(object, name);
    }
    ExpressionValue scopedMember(const ExpressionValue &object,
                                 const std::vector<std::string> &names) override {
        log.push_back("scopedMember " + names.front() + "::" + names.back());
        return memberOf(object, names.back());
    }
    ExpressionValue pointerToMember(const ExpressionValue &object,
                                    const ExpressionValue &member) override {
        log.push_back("pointerToMember");
        return ExpressionValue(member.loaded().toSigned(), 4);
    }
    ExpressionValue sizeOfType(const BaseType &type) override {
        return ExpressionValue(std::uint64_t(type.kind() == BaseType::Kind::Simple
                                                 ? static_cast<const SimpleType &>(type).size()
                                                 : 4),
                               4);
    }
    void store(const ExpressionValue &target, const ExpressionValue &value) override {
        log.push_back("store " + value.toString());
        objectOf(target).value = ExpressionValue(value.toSigned(), 4);
    }
    ExpressionValue currentValue(const ExpressionValue &target) override {
        return objectOf(target).value;
    }
    ExpressionValue call(const ExpressionValue &function,
                         const std::vector<ExpressionValue> &arguments) override {
        std::int64_t sum = 0;
        for (const ExpressionValue &argument : arguments)
            sum += argument.loaded().toSigned();
        log.push_back("call " + std::to_string(arguments.size()));
        return ExpressionValue(sum, 4);
    }
    ExpressionValue pointerAdd(const ExpressionValue &pointer,
                               const ExpressionValue &offset) override {
        return ExpressionValue(objectOf(pointer).address() + 4 * offset.toUnsigned(), 4);
    }
    ExpressionValue arraySlice(const ExpressionValue &, const ExpressionValue &first,
                               const ExpressionValue &last) override {
        log.push_back("arraySlice " + first.toString() + ":" + last.toString());
        return ExpressionValue();
    }

    TableLexer *lexer;
    std::map<std::string, std::shared_ptr<TestObject>> globals, locals, registers;
    std::vector<std::string> typeNames;
    std::vector<std::string> log;

private:
    static TestObject &objectOf(const ExpressionValue &value) {
        return static_cast<TestObject &>(*value.marker());
    }
    static ExpressionValue memberOf(const ExpressionValue &object, const std::string &name) {
        auto &members = objectOf(object).members;
        auto found = members.find(name);
        if (found == members.end())
            throw ParserException("no member named " + name);
        return ExpressionValue(std::shared_ptr<MarkerType>(found->second));
    }
};
