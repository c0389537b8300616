// The generating half of ESCompiler: name resolution and byte code, plus the entry points.
#include "script/escompiler.h"

#include "script/escode.h"
#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esnode.h"
#include "script/esobject.h"
#include "script/esopcodes.h"
#include "script/essource.h"
#include "script/esstring.h"
#include "script/esstringpool.h"
#include "script/estoken.h"

#include <cmath>

namespace {

constexpr int kMaxOperand = 0xFFFF;

[[noreturn]] void compilerError(const char *what) {
    throw ESFatalError(std::string("compiler error: ") + what);
}

int arithmeticOpcode(int kind) {
    switch (kind) {
    case '+':
    case T_ADD_ASSIGN:
        return OP_ADD;
    case '-':
    case T_SUB_ASSIGN:
        return OP_SUB;
    case '*':
    case T_MUL_ASSIGN:
        return OP_MUL;
    case '/':
    case T_DIV_ASSIGN:
        return OP_DIV;
    case '%':
    case T_MOD_ASSIGN:
        return OP_MOD;
    case '&':
    case T_AND_ASSIGN:
        return OP_BITAND;
    case '|':
    case T_OR_ASSIGN:
        return OP_BITOR;
    case '^':
    case T_XOR_ASSIGN:
        return OP_BITXOR;
    case T_SHL:
    case T_SHL_ASSIGN:
        return OP_SHL;
    case T_SHR:
    case T_SHR_ASSIGN:
        return OP_SHR;
    case T_USHR:
    case T_USHR_ASSIGN:
        return OP_USHR;
    default:
        return -1;
    }
}

bool isLoop(int kind) {
    return kind == T_WHILE || kind == T_DO || kind == T_FOR || kind == N_FORIN ||
           kind == N_FORVARIN;
}

// Walks a ',' or ';' chain.
template <class F> void forEach(ESNode *list, F f) {
    for (ESNode *n = list; n; n = n->child[1])
        f(n->child[0]);
}

} // namespace

ESCompiler::ESCompiler(ESContext &context) : m_context(context), m_lexer(context) {}

ESCompiler::~ESCompiler() = default;

void ESCompiler::begin(const QString &fileName, const QString &text) {
    // A compilation that starts with the native stack nearly used up comes from a script
    // recursing through eval, load or Function: its source is not what is too deep.
    constexpr std::size_t kCompileHeadroom = 128 * 1024;
    if (m_context.nativeStackLow(kCompileHeadroom))
        ESContext::fatal("virtual machine stack too small");
    m_source = std::make_shared<ESSource>(fileName, text);
    m_nodes.clear();
    m_functions.clear();
    m_current = -1;
    m_withNesting = 0;
    m_inScope = false;
    m_programNames.clear();
    m_functionBase = m_context.functionCount();
    m_globalCount = m_context.globalObject()->m_properties.size();
    m_context.m_compileSource = m_source.get();
    m_lexer.start(m_source->text(), m_source.get());
}

void ESCompiler::rollBack() {
    m_context.globalObject()->m_properties.truncate(m_globalCount);
    m_functions.clear();
    m_nodes.clear();
    m_context.m_compileSource = nullptr;
}

// Registers the functions with the context and prints the listings.
void ESCompiler::finish() {
    m_context.m_compileSource = nullptr;
    m_nodes.clear();
    for (Function &f : m_functions) {
        ESCode *code = f.code.get();
        m_context.m_functions.push_back(std::move(f.code));
        if (m_context.debugFlags() & ESContext::kDebugListing)
            m_context.listing(code);
    }
    m_functions.clear();
}

std::unique_ptr<ESCode> ESCompiler::compileProgram(const QString &fileName, const QString &text,
                                                   bool inScope) {
    begin(fileName, text);
    m_inScope = inScope;
    try {
        advance();
        ESNode *body = parseSourceElements(T_EOF);
        if (m_token.code != T_EOF)
            expect(T_EOF);
        generateAll();
        auto program = std::make_unique<ESCode>(m_source, m_context.intern("program"), -1);
        m_code = program.get();
        m_function = nullptr;
        m_functionIndex = -1;
        generateProgram(body);
        if (m_inScope) {
            for (ESString *name : m_programNames)
                if (program->findVariable(name) < 0)
                    program->m_variables.push_back({name, ESVariable::Local});
        }
        finish();
        if (m_context.debugFlags() & ESContext::kDebugListing)
            m_context.listing(program.get());
        return program;
    } catch (...) {
        rollBack();
        throw;
    }
}

ESObject *ESCompiler::compileFunction(const QString &fileName, const QString &parameters,
                                      const QString &body) {
    begin(fileName, parameters);
    try {
        Function &f = m_functions.emplace_back();
        f.code = std::make_unique<ESCode>(m_source, m_context.intern("anonymous"), m_functionBase);
        advance();
        parseParameters(f, true);
        m_source = std::make_shared<ESSource>(fileName, body);
        m_context.m_compileSource = m_source.get();
        m_functions[0].code->m_source = m_source;
        m_lexer.start(m_source->text(), m_source.get());
        m_current = 0;
        advance();
        ESNode *tree = parseSourceElements(T_EOF);
        if (m_token.code != T_EOF)
            expect(T_EOF);
        m_functions[0].body = tree;
        generateAll();
        ESCode *code = m_functions[0].code.get();
        finish();
        return m_context.newFunction(code, nullptr);
    } catch (...) {
        rollBack();
        throw;
    }
}

void ESCompiler::checkDepth(int line) {
    // Deep nesting in the source must end in an error, not in a native stack overflow.
    if (m_context.nativeStackLow())
        syntaxError(QStringLiteral("nesting too deep"), line);
}

// Every function body is compiled once, which resolves names and decides which functions
// keep their variables in an activation object; those (and users of eval) are compiled
// again once every body has been seen.
void ESCompiler::generateAll() {
    for (std::size_t i = 0; i < m_functions.size(); ++i) {
        m_pass = 1;
        m_functionIndex = int(i);
        generateFunction(m_functions[i]);
    }
    for (std::size_t i = 0; i < m_functions.size(); ++i) {
        ESCode *code = m_functions[i].code.get();
        if (code->m_materialised || code->m_usesEval) {
            m_pass = 2;
            m_functionIndex = int(i);
            generateFunction(m_functions[i]);
        }
    }
    m_pass = 1;
}

void ESCompiler::generateFunction(Function &function) {
    m_function = &function;
    m_code = function.code.get();
    m_code->m_code.clear();
    m_code->m_lines.clear();
    m_code->m_numbers.clear();
    m_withDepth = 0;
    m_targets.clear();
    m_pendingLabels.clear();
    m_line = function.body ? function.body->line : 1;
    genStatements(function.body, false);
    emitOp(OP_RETU);
    m_code->computeMaxStack();
}

void ESCompiler::generateProgram(ESNode *body) {
    m_withDepth = 0;
    m_targets.clear();
    m_pendingLabels.clear();
    m_line = body ? body->line : 1;
    genStatements(body, true);
    emitOp(OP_RET);
    m_code->computeMaxStack();
}

// Statements of a list in order; when a value is needed it is the value of the last one
// that is not a function declaration.
void ESCompiler::genStatements(ESNode *list, bool needValue) {
    ESNode *last = nullptr;
    if (needValue) {
        forEach(list, [&](ESNode *s) {
            if (!s->declaration)
                last = s;
        });
    }
    forEach(list, [&](ESNode *s) { genStatement(s, s == last); });
    if (needValue && !last)
        emitOp(OP_UNDEFINED);
}

void ESCompiler::genStatement(ESNode *node, bool needValue) {
    checkDepth(node->line);
    int savedLine = m_line;
    m_line = node->line;
    switch (node->kind) {
    case '{':
        genStatements(node->child[0], needValue);
        m_line = savedLine;
        return;
    case T_VAR:
        forEach(node->child[0], [&](ESNode *d) {
            Reference ref = resolve(d->string);
            if (d->child[0]) {
                genExpression(d->child[0], true);
                emitStore(ref);
            }
        });
        break;
    case T_IF: {
        genExpression(node->child[0], true);
        std::uint16_t otherwise = ESNode::kNoChain;
        emitJumpChain(OP_JF, otherwise);
        if (node->child[1])
            genStatement(node->child[1], false);
        if (node->child[2]) {
            std::uint16_t end = ESNode::kNoChain;
            emitJumpChain(OP_J, end);
            patch(otherwise, here());
            genStatement(node->child[2], false);
            patch(end, here());
        } else {
            patch(otherwise, here());
        }
        break;
    }
    case T_WHILE:
    case T_DO:
    case T_FOR:
        genLoop(node, needValue);
        break;
    case N_FORIN:
    case N_FORVARIN:
        genForIn(node);
        break;
    case T_SWITCH:
        genSwitch(node);
        break;
    case T_CONTINUE:
    case T_BREAK:
        genJump(node, node->kind == T_BREAK);
        break;
    case T_RETURN:
        if (node->child[0]) {
            genExpression(node->child[0], true);
            emitOp(OP_RET);
        } else {
            emitOp(OP_RETU);
        }
        break;
    case T_WITH:
        genExpression(node->child[0], true);
        emitOp(OP_WITH);
        ++m_withDepth;
        if (node->child[1])
            genStatement(node->child[1], false);
        --m_withDepth;
        emitOp(OP_ENDWITH);
        break;
    case N_LABEL: {
        std::vector<ESString *> labels;
        ESNode *inner = node;
        while (inner && inner->kind == N_LABEL) {
            labels.push_back(inner->string);
            inner = inner->child[0];
        }
        if (inner && (isLoop(inner->kind) || inner->kind == T_SWITCH)) {
            m_pendingLabels = labels;
            genStatement(inner, false);
        } else {
            // A labelled statement that is not a loop: `break label` ends it.
            node->breakChain = ESNode::kNoChain;
            m_targets.push_back({node, false, false, labels, m_withDepth, -1});
            if (inner)
                genStatement(inner, false);
            m_targets.pop_back();
            patch(node->breakChain, here());
        }
        break;
    }
    case N_LINE:
    case N_COL:
        break;
    default:
        genExpression(node, needValue);
        m_line = savedLine;
        return;
    }
    if (needValue)
        emitOp(OP_UNDEFINED);
    m_line = savedLine;
}

void ESCompiler::genLoop(ESNode *node, bool) {
    node->breakChain = ESNode::kNoChain;
    node->continueChain = ESNode::kNoChain;
    std::vector<ESString *> labels;
    labels.swap(m_pendingLabels);
    if (node->kind == T_WHILE) {
        int top = here();
        genExpression(node->child[0], true);
        emitJumpChain(OP_JF, node->breakChain);
        m_targets.push_back({node, true, true, labels, m_withDepth, top});
        if (node->child[1])
            genStatement(node->child[1], false);
        m_targets.pop_back();
        emitJumpTo(OP_J, top);
    } else if (node->kind == T_DO) {
        int top = here();
        m_targets.push_back({node, true, true, labels, m_withDepth, -1});
        genStatement(node->child[0], false);
        m_targets.pop_back();
        patch(node->continueChain, here());
        genJumpIfTrue(node->child[1], top);
    } else {
        ESNode *init = node->child[0];
        if (init && init->kind == N_FORVAR)
            genStatement(init->child[0], false);
        else if (init)
            genExpression(init, false);
        std::uint16_t test = ESNode::kNoChain;
        emitJumpChain(OP_J, test);
        int body = here();
        m_targets.push_back({node, true, true, labels, m_withDepth, -1});
        if (node->child[3])
            genStatement(node->child[3], false);
        m_targets.pop_back();
        patch(node->continueChain, here());
        if (node->child[2])
            genExpression(node->child[2], false);
        patch(test, here());
        if (node->child[1])
            genJumpIfTrue(node->child[1], body);
        else
            emitJumpTo(OP_J, body);
    }
    patch(node->breakChain, here());
}

// `a < b` (and `a > b`) that jumps when true uses JLT; other conditions test their value.
void ESCompiler::genJumpIfTrue(ESNode *condition, int target) {
    int savedLine = m_line;
    m_line = condition->line;
    if (condition->kind == '<' || condition->kind == '>') {
        if (condition->kind == '>') {
            genSwapped(condition->child[0], condition->child[1]);
        } else {
            genExpression(condition->child[0], true);
            genExpression(condition->child[1], true);
        }
        emitJumpTo(OP_JLT, target);
    } else {
        genExpression(condition, true);
        emitJumpTo(OP_JT, target);
    }
    m_line = savedLine;
}

void ESCompiler::genForIn(ESNode *node) {
    node->breakChain = ESNode::kNoChain;
    node->continueChain = ESNode::kNoChain;
    std::vector<ESString *> labels;
    labels.swap(m_pendingLabels);
    if (node->kind == N_FORVARIN && node->child[0]) {
        genExpression(node->child[0], true);
        emitStore(resolve(node->string));
    }
    if (!node->temporary) {
        node->temporary = temporaryName();
        if (m_function)
            declare(m_code, node->temporary, ESVariable::Local);
        else
            globalSlot(node->temporary, ESProperty::DontEnum | ESProperty::DontDelete);
    }
    Reference temporary = resolve(node->temporary);
    genExpression(node->child[1], true);
    emitOp(OP_ENUM);
    emitStore(temporary);
    std::uint16_t test = ESNode::kNoChain;
    emitJumpChain(OP_J, test);
    int body = here();
    if (node->kind == N_FORVARIN)
        emitStore(resolve(node->string));
    else
        genStoreTarget(node->child[0]);
    m_targets.push_back({node, true, true, labels, m_withDepth, -1});
    if (node->child[2])
        genStatement(node->child[2], false);
    m_targets.pop_back();
    patch(node->continueChain, here());
    patch(test, here());
    emitLoad(temporary);
    emitJumpTo(OP_NEXT, body);
    patch(node->breakChain, here());
}

void ESCompiler::genSwitch(ESNode *node) {
    node->breakChain = ESNode::kNoChain;
    std::vector<ESString *> labels;
    labels.swap(m_pendingLabels);
    genExpression(node->child[0], true);
    ESNode *defaultClause = nullptr;
    forEach(node->child[1], [&](ESNode *clause) {
        clause->breakChain = ESNode::kNoChain; // the clause's entry
        if (clause->kind == T_DEFAULT) {
            defaultClause = clause;
            return;
        }
        int savedLine = m_line;
        m_line = clause->line;
        emitOp(OP_DUP);
        genExpression(clause->child[0], true);
        emitOp(OP_IDENTITY);
        emitJumpChain(OP_JT_DROP, clause->breakChain);
        m_line = savedLine;
    });
    emitOp(OP_DROP);
    emitJumpChain(OP_J, defaultClause ? defaultClause->breakChain : node->breakChain);
    m_targets.push_back({node, false, true, labels, m_withDepth, -1});
    forEach(node->child[1], [&](ESNode *clause) {
        patch(clause->breakChain, here());
        genStatements(clause->child[1], false);
    });
    m_targets.pop_back();
    patch(node->breakChain, here());
}

ESCompiler::Target *ESCompiler::findTarget(ESString *label, bool loop, bool breakable) {
    for (auto it = m_targets.rbegin(); it != m_targets.rend(); ++it) {
        if (label) {
            for (ESString *l : it->labels) {
                if (l == label)
                    return &*it;
            }
        } else if ((loop && it->loop) || (!loop && breakable && it->breakable)) {
            return &*it;
        }
    }
    return nullptr;
}

void ESCompiler::genJump(ESNode *node, bool isBreak) {
    Target *target = findTarget(node->string, !isBreak, isBreak);
    if (node->string && !target)
        syntaxError(QStringLiteral("can't find label ") + node->string->text(), node->line);
    if (isBreak && !target)
        syntaxError(QStringLiteral("'break' not in a 'for' or 'while' loop"), node->line);
    if (!isBreak && !target)
        return; // `continue` outside any loop does nothing
    if (!isBreak && !target->loop)
        syntaxError(QStringLiteral("labeled 'continue' doesn't mark a loop"), node->line);
    // Leaving a `with` body by a jump must leave its scope too.
    for (int i = target->withDepth; i < m_withDepth; ++i)
        emitOp(OP_ENDWITH);
    if (isBreak)
        emitJumpChain(OP_J, target->node->breakChain);
    else if (target->continueTarget >= 0)
        emitJumpTo(OP_J, target->continueTarget);
    else
        emitJumpChain(OP_J, target->node->continueChain);
}

void ESCompiler::genExpression(ESNode *node, bool needValue) {
    if (!needValue && !node->sideEffects)
        return;
    checkDepth(node->line);
    int savedLine = m_line;
    m_line = node->line;
    switch (node->kind) {
    case T_NUMBER:
        emitNumber(node->number);
        break;
    case T_STRING:
        emitOp(OP_STR, stringOperand(node->string));
        break;
    case T_IDENT:
        emitLoad(resolve(node->string));
        break;
    case T_THIS:
        emitOp(OP_THIS);
        break;
    case T_TRUE:
        emitOp(OP_TRUE_);
        break;
    case T_FALSE:
        emitOp(OP_FALSE_);
        break;
    case T_NULL:
        emitOp(OP_NULL_);
        break;
    case N_EMPTY:
        emitOp(OP_UNDEFINED);
        break;
    case T_FUNCTION:
        emitOp(OP_CLOSURE, m_functionBase + node->function);
        if (node->string) {
            if (needValue)
                emitOp(OP_DUP);
            emitStore(resolve(node->string));
            m_line = savedLine;
            return;
        }
        break;
    case N_ARRAYINIT: {
        int n = genList(node->child[0]);
        if (n > kMaxOperand)
            compilerError("array literal too large");
        emitOp(OP_MKARRAY, n);
        break;
    }
    case N_OBJECTINIT:
        emitOp(OP_NEWOBJ);
        forEach(node->child[0], [&](ESNode *pair) {
            genExpression(pair->child[0], true);
            emitOp(OP_INITF, stringOperand(pair->string));
        });
        break;
    case '>':
    case T_GE:
        genSwapped(node->child[0], node->child[1]);
        emitOp(node->kind == '>' ? OP_LT : OP_LE);
        break;
    case '<':
    case T_LE:
    case T_EQ:
    case T_NE:
        genExpression(node->child[0], true);
        genExpression(node->child[1], true);
        emitOp(node->kind == '<'    ? OP_LT
               : node->kind == T_LE ? OP_LE
               : node->kind == T_EQ ? OP_EQ
                                    : OP_NE);
        break;
    case T_ANDAND:
    case T_OROR: {
        genExpression(node->child[0], true);
        std::uint16_t end = ESNode::kNoChain;
        emitJumpChain(node->kind == T_ANDAND ? OP_LOGAND : OP_LOGOR, end);
        genExpression(node->child[1], true);
        patch(end, here());
        break;
    }
    case '?': {
        genExpression(node->child[0], true);
        std::uint16_t otherwise = ESNode::kNoChain, end = ESNode::kNoChain;
        emitJumpChain(OP_JF, otherwise);
        genExpression(node->child[1], needValue);
        emitJumpChain(OP_J, end);
        patch(otherwise, here());
        genExpression(node->child[2], needValue);
        patch(end, here());
        m_line = savedLine;
        return;
    }
    case '!':
    case '~':
    case N_NEG:
    case N_PLUS:
    case T_TYPEOF:
        genExpression(node->child[0], true);
        emitOp(node->kind == '!'      ? OP_LOGNOT
               : node->kind == '~'    ? OP_BITNOT
               : node->kind == N_NEG  ? OP_NEG
               : node->kind == N_PLUS ? OP_POS
                                      : OP_TYPEOF);
        break;
    case T_VOID:
        if (!needValue) {
            genExpression(node->child[0], false);
            m_line = savedLine;
            return;
        }
        if (node->child[0]->sideEffects) {
            genExpression(node->child[0], true);
            emitOp(OP_VOID);
        } else {
            emitOp(OP_UNDEFINED);
        }
        break;
    case '=':
        genAssign(node, needValue);
        m_line = savedLine;
        return;
    case T_INC:
    case T_DEC:
    case N_POSTINC:
    case N_POSTDEC:
        genIncDec(node, needValue);
        m_line = savedLine;
        return;
    case T_DELETE:
        genDelete(node, needValue);
        m_line = savedLine;
        return;
    case '.':
        genExpression(node->child[0], true);
        emitOp(OP_GETF, stringOperand(node->string));
        break;
    case '[':
        genExpression(node->child[0], true);
        genExpression(node->child[1], true);
        emitOp(OP_GETX);
        break;
    case N_CALL:
        genCall(node, needValue);
        m_line = savedLine;
        return;
    case N_NEWCALL:
        genNew(node, needValue);
        m_line = savedLine;
        return;
    case ',':
        for (ESNode *n = node; n; n = n->child[1])
            genExpression(n->child[0], n->child[1] ? false : needValue);
        m_line = savedLine;
        return;
    default: {
        if (esIsCompoundAssignment(node->kind)) {
            genCompound(node, needValue);
            m_line = savedLine;
            return;
        }
        int op = arithmeticOpcode(node->kind);
        if (op < 0)
            syntaxError(QStringLiteral("expected an expression, found ") + esTokenName(node->kind),
                        node->line);
        genExpression(node->child[0], true);
        genExpression(node->child[1], true);
        emitOp(op);
        break;
    }
    }
    if (!needValue)
        emitOp(OP_DROP);
    m_line = savedLine;
}

int ESCompiler::genList(ESNode *list) {
    int n = 0;
    forEach(list, [&](ESNode *item) {
        genExpression(item, true);
        ++n;
    });
    return n;
}

// The store half of an assignment: the value is on the stack.
void ESCompiler::genStoreTarget(ESNode *target) {
    switch (target->kind) {
    case T_IDENT:
        emitStore(resolve(target->string));
        break;
    case '.':
        genExpression(target->child[0], true);
        emitOp(OP_PUTF, stringOperand(target->string));
        break;
    case '[':
        genExpression(target->child[0], true);
        genExpression(target->child[1], true);
        emitOp(OP_PUTX);
        break;
    default:
        syntaxError(QStringLiteral("not lsh?"), target->line);
    }
}

void ESCompiler::genAssign(ESNode *node, bool needValue) {
    ESNode *target = node->child[0];
    if (target->kind != T_IDENT && target->kind != '.' && target->kind != '[')
        syntaxError(QStringLiteral("not lsh?"), node->line);
    if (target->kind != T_IDENT && targetMustComeFirst(target, node->child[1])) {
        std::vector<Reference> parts = genTargetFirst(target);
        genExpression(node->child[1], true);
        if (needValue)
            emitOp(OP_DUP);
        for (const Reference &part : parts)
            emitLoad(part);
        if (target->kind == '.')
            emitOp(OP_PUTF, stringOperand(target->string));
        else
            emitOp(OP_PUTX);
        return;
    }
    genExpression(node->child[1], true);
    if (needValue)
        emitOp(OP_DUP);
    genStoreTarget(target);
}

namespace {

// Evaluating the node has no effect and its value cannot be changed by anything else.
bool isConstant(const ESNode *node) {
    switch (node->kind) {
    case T_NUMBER:
    case T_STRING:
    case T_TRUE:
    case T_FALSE:
    case T_NULL:
    case T_THIS:
        return true;
    default:
        return false;
    }
}

// Whether evaluating `second` before `first` could be told apart from the source order.
bool orderMatters(const ESNode *first, const ESNode *second) {
    if (isConstant(first) || isConstant(second))
        return false;
    return first->sideEffects || second->sideEffects;
}

} // namespace

// The stack machine's comparisons and stores want the operands in the other order than
// the source's. When that order could be observed, the earlier operands wait in compiler
// temporaries so that they are still evaluated first.
bool ESCompiler::targetMustComeFirst(ESNode *target, ESNode *value) {
    if (orderMatters(target->child[0], value))
        return true;
    return target->kind == '[' && orderMatters(target->child[1], value);
}

std::vector<ESCompiler::Reference> ESCompiler::genTargetFirst(ESNode *target) {
    std::vector<Reference> parts;
    int count = target->kind == '[' ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        genExpression(target->child[i], true);
        parts.push_back(temporary(target->child[i]));
        emitStore(parts.back());
    }
    return parts;
}

// Leaves `right` below `left` on the stack, evaluating `left` first.
void ESCompiler::genSwapped(ESNode *left, ESNode *right) {
    if (!orderMatters(left, right)) {
        genExpression(right, true);
        genExpression(left, true);
        return;
    }
    genExpression(left, true);
    Reference held = temporary(left);
    emitStore(held);
    genExpression(right, true);
    emitLoad(held);
}

// A hidden variable of the code being generated, one per node that needs one; it is
// addressed directly, also inside `with`.
ESCompiler::Reference ESCompiler::temporary(ESNode *node) {
    if (!node->temporary) {
        node->temporary = temporaryName();
        if (m_function)
            declare(m_code, node->temporary, ESVariable::Local);
    }
    if (!m_function)
        return {Reference::Global,
                globalSlot(node->temporary, ESProperty::DontEnum | ESProperty::DontDelete),
                node->temporary};
    int index = m_code->findVariable(node->temporary) - m_code->m_parameterCount;
    if (index > kMaxOperand)
        compilerError("too many variables");
    return {m_code->m_materialised ? Reference::LocalM : Reference::Local, index, node->temporary};
}

void ESCompiler::genCompound(ESNode *node, bool needValue) {
    ESNode *target = node->child[0];
    int op = arithmeticOpcode(node->kind);
    switch (target->kind) {
    case T_IDENT: {
        Reference ref = resolve(target->string);
        emitLoad(ref);
        genExpression(node->child[1], true);
        emitOp(op);
        if (needValue)
            emitOp(OP_DUP);
        emitStore(ref);
        return;
    }
    case '.':
    case '[':
        if (targetMustComeFirst(target, node->child[1])) {
            std::vector<Reference> parts = genTargetFirst(target);
            genExpression(node->child[1], true);
            for (const Reference &part : parts)
                emitLoad(part);
        } else {
            genExpression(node->child[1], true);
            genExpression(target->child[0], true);
            if (target->kind == '[')
                genExpression(target->child[1], true);
        }
        if (target->kind == '.')
            emitOp(OP_STR, stringOperand(target->string));
        break;
    default:
        syntaxError(QStringLiteral("not lsh?"), node->line);
    }
    emitOp(op + 1); // the property form follows each plain operator
    if (!needValue)
        emitOp(OP_DROP);
}

void ESCompiler::genIncDec(ESNode *node, bool needValue) {
    ESNode *target = node->child[0];
    bool increment = node->kind == T_INC || node->kind == N_POSTINC;
    bool postfix = node->kind == N_POSTINC || node->kind == N_POSTDEC;
    switch (target->kind) {
    case T_IDENT: {
        Reference ref = resolve(target->string);
        if (ref.kind == Reference::Name) {
            // A variable found by name: read, convert, add and store back.
            emitLoad(ref);
            emitOp(OP_POS);
            if (needValue && postfix)
                emitOp(OP_DUP);
            emitOp(OP_NUM_1);
            emitOp(increment ? OP_ADD : OP_SUB);
            if (needValue && !postfix)
                emitOp(OP_DUP);
            emitStore(ref);
            return;
        }
        static const int kForms[2][5] = {{OP_DECG, OP_DECA, OP_DECL, OP_DECAM, OP_DECLM},
                                         {OP_INCG, OP_INCA, OP_INCL, OP_INCM, OP_INCLM}};
        if (needValue && postfix) {
            // The old value, converted to a number as the increment converts it.
            emitLoad(ref);
            emitOp(OP_POS);
        }
        emitOp(kForms[increment][ref.kind], ref.index);
        if (needValue && !postfix)
            emitLoad(ref);
        return;
    }
    case '.':
        genExpression(target->child[0], true);
        emitOp(OP_STR, stringOperand(target->string));
        break;
    case '[':
        genExpression(target->child[0], true);
        genExpression(target->child[1], true);
        break;
    default:
        syntaxError(QStringLiteral("not lsh?"), node->line);
    }
    emitOp(increment ? (postfix ? OP_POSTINCX : OP_PREINCX) : (postfix ? OP_POSTDECX : OP_PREDECX));
    if (!needValue)
        emitOp(OP_DROP);
}

void ESCompiler::genDelete(ESNode *node, bool needValue) {
    ESNode *target = node->child[0];
    switch (target->kind) {
    case T_IDENT: {
        Reference ref = resolve(target->string);
        if (ref.kind != Reference::Name) {
            if (needValue)
                emitOp(OP_FALSE_);
            return;
        }
        emitOp(OP_DELETEW, stringOperand(ref.name));
        break;
    }
    case '.':
        genExpression(target->child[0], true);
        emitOp(OP_STR, stringOperand(target->string));
        emitOp(OP_DELETEX);
        break;
    case '[':
        genExpression(target->child[0], true);
        genExpression(target->child[1], true);
        emitOp(OP_DELETEX);
        break;
    default:
        syntaxError(QStringLiteral("not lsh?"), node->line);
    }
    if (!needValue)
        emitOp(OP_DROP);
}

void ESCompiler::genCall(ESNode *node, bool needValue) {
    int argc = genList(node->child[1]);
    if (argc > kMaxOperand)
        compilerError("too many arguments");
    ESNode *callee = node->child[0];
    switch (callee->kind) {
    case T_IDENT:
        emitCall(resolve(callee->string), argc);
        break;
    case '.':
        genExpression(callee->child[0], true);
        emitOp(OP_CALLF, stringOperand(callee->string), argc);
        break;
    case '[':
        genExpression(callee->child[0], true);
        genExpression(callee->child[1], true);
        emitOp(OP_CALLX, argc);
        break;
    default:
        // A computed callee: the function value itself is on the stack.
        genExpression(callee, true);
        emitOp(OP_CALL, argc);
        break;
    }
    if (!needValue)
        emitOp(OP_DROP);
}

void ESCompiler::genNew(ESNode *node, bool needValue) {
    if (node->hasArguments) {
        int argc = genList(node->child[1]);
        if (argc > kMaxOperand)
            compilerError("too many arguments");
        genExpression(node->child[0], true);
        emitOp(OP_NEWA, argc);
    } else {
        genExpression(node->child[0], true);
        emitOp(OP_NEW);
    }
    if (!needValue)
        emitOp(OP_DROP);
}

void ESCompiler::markMaterialised(int from, int to) {
    for (int f = from; f >= 0; f = m_functions[std::size_t(f)].parent) {
        m_functions[std::size_t(f)].code->m_materialised = true;
        if (f == to)
            break;
    }
}

ESCompiler::Reference ESCompiler::resolve(ESString *name) {
    if (!m_function) {
        if (m_withDepth > 0 || m_inScope)
            return {Reference::Name, 0, name};
        return {Reference::Global, globalSlot(name), name};
    }
    const ESNames &names = m_context.names();
    if (m_pass == 1 && (name == names.arguments || name == names.eval)) {
        // Eval code reaches the variables of this function and of those around it by name.
        markMaterialised(m_functionIndex, -1);
        if (name == names.eval)
            m_code->m_usesEval = true;
        declare(m_code, names.arguments, ESVariable::Arguments);
    }
    if (m_withDepth > 0) {
        markMaterialised(m_functionIndex, -1);
        return {Reference::Name, 0, name};
    }
    int index = m_code->findVariable(name);
    if (index >= 0) {
        bool m = m_code->m_materialised;
        if (index < m_code->m_parameterCount)
            return {m ? Reference::ArgumentM : Reference::Argument, index, name};
        index -= m_code->m_parameterCount;
        if (index > kMaxOperand)
            compilerError("too many variables");
        return {m ? Reference::LocalM : Reference::Local, index, name};
    }
    // Eval code may declare variables in this function or in any around it.
    bool evalAround = m_code->m_usesEval;
    for (int f = m_function->parent; f >= 0; f = m_functions[std::size_t(f)].parent) {
        if (m_functions[std::size_t(f)].code->findVariable(name) >= 0) {
            markMaterialised(m_functionIndex, f);
            return {Reference::Name, 0, name};
        }
        evalAround = evalAround || m_functions[std::size_t(f)].code->m_usesEval;
    }
    if (m_function->insideWith || m_inScope || evalAround)
        return {Reference::Name, 0, name};
    return {Reference::Global, globalSlot(name), name};
}

int ESCompiler::globalSlot(ESString *name, std::uint32_t attributes) {
    ESPropertyTable &table = m_context.globalObject()->m_properties;
    int slot = table.findAny(name);
    if (slot < 0)
        slot = table.append(name, ESValue::undefined(), attributes);
    if (slot > kMaxOperand)
        compilerError("too many global variables");
    return slot;
}

void ESCompiler::emitLoad(const Reference &ref) {
    static const int kOps[] = {OP_GETG, OP_GETA, OP_GETL, OP_GETAM, OP_GETLM, OP_GETW};
    emitOp(kOps[ref.kind], ref.kind == Reference::Name ? stringOperand(ref.name) : ref.index);
}

void ESCompiler::emitStore(const Reference &ref) {
    static const int kOps[] = {OP_PUTG, OP_PUTA, OP_PUTL, OP_PUTAM, OP_PUTLM, OP_PUTW};
    emitOp(kOps[ref.kind], ref.kind == Reference::Name ? stringOperand(ref.name) : ref.index);
}

void ESCompiler::emitCall(const Reference &ref, int argc) {
    static const int kOps[] = {OP_CALLG, OP_CALLA, OP_CALLL, OP_CALLAM, OP_CALLLM, OP_CALLW};
    emitOp(kOps[ref.kind], ref.kind == Reference::Name ? stringOperand(ref.name) : ref.index, argc);
}

void ESCompiler::emitNumber(double value) {
    static const struct {
        double value;
        int opcode;
    } kSmall[] = {{0, OP_NUM_0}, {1, OP_NUM_1}, {2, OP_NUM_2},
                  {3, OP_NUM_3}, {4, OP_NUM_4}, {-1, OP_NUM_M1}};
    for (const auto &s : kSmall) {
        // -0 keeps its sign through the constant pool.
        if (value == s.value && !(value == 0 && std::signbit(value))) {
            emitOp(s.opcode);
            return;
        }
    }
    std::vector<double> &pool = m_code->m_numbers;
    int k = 0;
    while (k < int(pool.size()) && !(pool[std::size_t(k)] == value &&
                                     std::signbit(pool[std::size_t(k)]) == std::signbit(value)))
        ++k;
    if (k == int(pool.size())) {
        if (k > kMaxOperand)
            compilerError("too many constants");
        pool.push_back(value);
    }
    emitOp(OP_NUM, k);
}

int ESCompiler::stringOperand(ESString *name) {
    if (name->poolIndex() > kMaxOperand)
        compilerError("too many strings");
    return name->poolIndex();
}

void ESCompiler::emitOp(int opcode) {
    m_code->m_code.push_back(std::uint8_t(opcode));
    m_code->m_lines.push_back(std::uint32_t(m_line));
}

void ESCompiler::emitOp(int opcode, int operand) {
    emitOp(opcode);
    for (int shift : {8, 0}) {
        m_code->m_code.push_back(std::uint8_t(operand >> shift));
        m_code->m_lines.push_back(std::uint32_t(m_line));
    }
}

void ESCompiler::emitOp(int opcode, int operand, int operand2) {
    emitOp(opcode, operand);
    for (int shift : {8, 0}) {
        m_code->m_code.push_back(std::uint8_t(operand2 >> shift));
        m_code->m_lines.push_back(std::uint32_t(m_line));
    }
}

int ESCompiler::here() const {
    return m_code->size();
}

void ESCompiler::emitJumpTo(int opcode, int target) {
    if (target > kMaxOperand)
        compilerError("patch constant too large");
    emitOp(opcode, target);
}

// An unresolved jump's operand holds the previous jump of its chain; 0xFFFF ends it.
void ESCompiler::emitJumpChain(int opcode, std::uint16_t &chain) {
    int operandAt = here() + 1;
    if (operandAt >= kMaxOperand)
        compilerError("patch constant too large");
    emitOp(opcode, chain);
    chain = std::uint16_t(operandAt);
}

void ESCompiler::patch(std::uint16_t chain, int target) {
    if (chain == ESNode::kNoChain)
        return;
    if (target > kMaxOperand)
        compilerError("patch constant too large");
    std::vector<std::uint8_t> &code = m_code->m_code;
    while (chain != ESNode::kNoChain) {
        std::uint16_t next = std::uint16_t(code[chain] << 8 | code[chain + 1u]);
        code[chain] = std::uint8_t(target >> 8);
        code[chain + 1u] = std::uint8_t(target);
        chain = next;
    }
}
