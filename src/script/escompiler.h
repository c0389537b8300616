#pragma once

#include "script/eslexer.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class ESCode;
class ESContext;
class ESObject;
class ESSource;
class ESString;
struct ESNode;

// Turns source text into byte code: the lexer, a recursive-descent parser building a tree
// of ESNodes, name resolution and the code generator. One compiler serves a context.
class ESCompiler {
public:
    explicit ESCompiler(ESContext &context);
    ~ESCompiler();

    // Compiles a program. Its functions are registered with the context; nothing is
    // registered when compilation fails (a SyntaxError or a fatal error is raised).
    // With `inScope` the program is eval code run in a caller's scope: its names are
    // looked up along the scope chain, and the names it declares with `var` or `function`
    // are the variables of the returned code.
    std::unique_ptr<ESCode> compileProgram(const QString &fileName, const QString &text,
                                           bool inScope = false);
    // Compiles a parameter list and a body into a function object named "anonymous".
    ESObject *compileFunction(const QString &fileName, const QString &parameters,
                              const QString &body);

private:
    struct Function {
        std::unique_ptr<ESCode> code;
        ESNode *body = nullptr;
        int parent = -1;         // enclosing function in this compilation, -1 the program
        bool insideWith = false; // the literal stands inside a `with` statement
    };
    struct Reference {
        enum Kind { Global, Argument, Local, ArgumentM, LocalM, Name } kind;
        int index;
        ESString *name;
    };
    struct Target {
        ESNode *node;
        bool loop;
        bool breakable;
        std::vector<ESString *> labels;
        int withDepth;
        int continueTarget; // known start of a loop, or -1 for a forward chain
    };

    void begin(const QString &fileName, const QString &text);
    void finish();
    void rollBack();

    // Parser.
    void advance();
    [[noreturn]] void syntaxError(const QString &message, int line);
    [[noreturn]] void syntaxError(const QString &message);
    void expect(int code);
    void statementEnd();
    void checkDepth(int line);
    ESNode *node(int kind, int line, ESNode *a = nullptr, ESNode *b = nullptr, ESNode *c = nullptr,
                 ESNode *d = nullptr);
    ESNode *chain(int kind, const std::vector<ESNode *> &items);
    ESNode *parseSourceElements(int end);
    ESNode *parseStatement();
    ESNode *parseBlock();
    ESNode *parseVarList(int line);
    ESNode *parseFor();
    ESNode *parseSwitch();
    ESNode *parseExpression();
    ESNode *parseAssignment();
    ESNode *parseConditional();
    ESNode *parseBinary(int level);
    ESNode *parseUnary();
    ESNode *parsePostfix();
    ESNode *parseCall();
    ESNode *parseMember();
    ESNode *parseMemberSuffix(ESNode *object);
    ESNode *parsePrimary();
    ESNode *parseArguments();
    ESNode *parseArrayLiteral();
    ESNode *parseObjectLiteral();
    ESNode *parseFunction(bool declaration);
    void parseParameters(Function &function, bool untilEnd);
    void declare(ESCode *code, ESString *name, int flags);
    ESString *temporaryName();

    // Code generator.
    void generateAll();
    void generateFunction(Function &function);
    void generateProgram(ESNode *body);
    void genStatements(ESNode *list, bool needValue);
    void genStatement(ESNode *node, bool needValue);
    void genExpression(ESNode *node, bool needValue);
    void genLoop(ESNode *node, bool needValue);
    void genForIn(ESNode *node);
    void genSwitch(ESNode *node);
    void genJump(ESNode *node, bool isBreak);
    void genAssign(ESNode *node, bool needValue);
    void genCompound(ESNode *node, bool needValue);
    void genIncDec(ESNode *node, bool needValue);
    void genDelete(ESNode *node, bool needValue);
    void genCall(ESNode *node, bool needValue);
    void genNew(ESNode *node, bool needValue);
    void genStoreTarget(ESNode *target);
    bool targetMustComeFirst(ESNode *target, ESNode *value);
    std::vector<Reference> genTargetFirst(ESNode *target);
    void genSwapped(ESNode *left, ESNode *right);
    Reference temporary(ESNode *node);
    void genJumpIfTrue(ESNode *condition, int target);
    int genList(ESNode *list);
    Reference resolve(ESString *name);
    int globalSlot(ESString *name, std::uint32_t attributes = 0);
    void markMaterialised(int from, int to);
    void emitLoad(const Reference &ref);
    void emitStore(const Reference &ref);
    void emitCall(const Reference &ref, int argc);
    void emitNumber(double value);
    void emitOp(int opcode);
    void emitOp(int opcode, int operand);
    void emitOp(int opcode, int operand, int operand2);
    int stringOperand(ESString *name);
    int here() const;
    void emitJumpTo(int opcode, int target);
    void emitJumpChain(int opcode, std::uint16_t &chain);
    void patch(std::uint16_t chain, int target);
    Target *findTarget(ESString *label, bool loop, bool breakable);

    ESContext &m_context;
    ESLexer m_lexer;
    ESToken m_token;
    std::deque<ESNode> m_nodes;
    std::vector<Function> m_functions;
    std::shared_ptr<const ESSource> m_source;
    int m_current = -1;     // the function being parsed, -1 for the program
    int m_withNesting = 0;  // `with` statements around the parse position
    int m_functionBase = 0; // index of this compilation's first function in the context
    int m_globalCount = 0;  // global entries before this compilation
    int m_temporaries = 0;  // numbers the "CG%1" names
    bool m_inScope = false; // compiling eval code for a caller's scope
    std::vector<ESString *> m_programNames; // names the program declares, in order

    // Generation state.
    ESCode *m_code = nullptr;
    Function *m_function = nullptr;
    int m_functionIndex = -1;
    int m_pass = 1;
    int m_withDepth = 0;
    int m_line = 0;
    std::vector<Target> m_targets;
    std::vector<ESString *> m_pendingLabels;
};
