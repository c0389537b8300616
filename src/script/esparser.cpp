// The parsing half of ESCompiler: tokens to a tree of ESNodes.
#include "script/escompiler.h"

#include "script/escode.h"
#include "script/escontext.h"
#include "script/esnode.h"
#include "script/esnumber.h"
#include "script/essource.h"
#include "script/esstring.h"
#include "script/estoken.h"

namespace {

bool hasOwnSideEffect(int kind) {
    if (esIsCompoundAssignment(kind))
        return true;
    switch (kind) {
    case '=':
    case T_INC:
    case T_DEC:
    case N_POSTINC:
    case N_POSTDEC:
    case T_DELETE:
    case N_CALL:
    case N_NEWCALL:
        return true;
    default:
        return false;
    }
}

// Binary operators by level, lowest first; -1 for tokens that are not binary operators.
// `===` and `!==` belong to no level, so an expression stops before them.
int binaryLevel(int code) {
    switch (code) {
    case T_OROR:
        return 0;
    case T_ANDAND:
        return 1;
    case '|':
        return 2;
    case '^':
        return 3;
    case '&':
        return 4;
    case T_EQ:
    case T_NE:
        return 5;
    case '<':
    case '>':
    case T_LE:
    case T_GE:
        return 6;
    case T_SHL:
    case T_SHR:
    case T_USHR:
        return 7;
    case '+':
    case '-':
        return 8;
    case '*':
    case '/':
    case '%':
        return 9;
    default:
        return -1;
    }
}

bool isAssignment(int code) {
    return code == '=' || esIsCompoundAssignment(code);
}

} // namespace

void ESCompiler::advance() {
    m_token = m_lexer.next();
}

void ESCompiler::syntaxError(const QString &message, int line) {
    m_context.throwSyntaxError(message, m_source.get(), line);
}

void ESCompiler::syntaxError(const QString &message) {
    syntaxError(message, m_token.line);
}

void ESCompiler::expect(int code) {
    if (m_token.code != code)
        syntaxError(QStringLiteral("expected %1 found %2")
                        .arg(esTokenName(code), esTokenName(m_token.code)));
    advance();
}

void ESCompiler::statementEnd() {
    if (m_token.code == ';') {
        advance();
        return;
    }
    if (m_token.code == '}' || m_token.code == T_EOF || m_token.newlineBefore)
        return;
    expect(';');
}

ESNode *ESCompiler::node(int kind, int line, ESNode *a, ESNode *b, ESNode *c, ESNode *d) {
    ESNode &n = m_nodes.emplace_back();
    n.kind = kind;
    n.line = line;
    n.child[0] = a;
    n.child[1] = b;
    n.child[2] = c;
    n.child[3] = d;
    n.sideEffects = hasOwnSideEffect(kind);
    for (ESNode *child : n.child) {
        if (child && child->sideEffects)
            n.sideEffects = true;
    }
    return &n;
}

ESNode *ESCompiler::chain(int kind, const std::vector<ESNode *> &items) {
    ESNode *list = nullptr;
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        list = node(kind, (*it)->line, *it, list);
    return list;
}

// Program and function bodies: statements, with the function declarations of this level
// gathered in front so that they exist before the first statement runs.
ESNode *ESCompiler::parseSourceElements(int end) {
    std::vector<ESNode *> declarations;
    std::vector<ESNode *> statements;
    while (m_token.code != end && m_token.code != T_EOF) {
        if (m_token.code == T_FUNCTION && m_lexer.peek().code == T_IDENT) {
            declarations.push_back(parseFunction(true));
            continue;
        }
        if (ESNode *s = parseStatement())
            statements.push_back(s);
    }
    declarations.insert(declarations.end(), statements.begin(), statements.end());
    return chain(';', declarations);
}

ESNode *ESCompiler::parseBlock() {
    int line = m_token.line;
    expect('{');
    std::vector<ESNode *> statements;
    while (m_token.code != '}') {
        if (m_token.code == T_EOF)
            expect('}');
        if (ESNode *s = parseStatement())
            statements.push_back(s);
    }
    advance();
    return node('{', line, chain(';', statements));
}

ESNode *ESCompiler::parseVarList(int line) {
    std::vector<ESNode *> declarators;
    for (;;) {
        if (m_token.code != T_IDENT)
            expect(T_IDENT);
        ESNode *d = node(T_IDENT, m_token.line);
        d->string = m_token.string;
        if (m_current >= 0)
            declare(m_functions[std::size_t(m_current)].code.get(), d->string, ESVariable::Local);
        else
            m_programNames.push_back(d->string);
        advance();
        if (m_token.code == '=') {
            advance();
            d->child[0] = parseAssignment();
            d->sideEffects = true;
        }
        declarators.push_back(d);
        if (m_token.code != ',')
            break;
        advance();
    }
    return node(T_VAR, line, chain(',', declarators));
}

ESNode *ESCompiler::parseStatement() {
    checkDepth(m_token.line);
    int line = m_token.line;
    switch (m_token.code) {
    case '{':
        return parseBlock();
    case ';':
        advance();
        return nullptr;
    case T_VAR: {
        advance();
        ESNode *list = parseVarList(line);
        statementEnd();
        return list;
    }
    case T_IF: {
        advance();
        expect('(');
        ESNode *condition = parseExpression();
        expect(')');
        ESNode *then = parseStatement();
        ESNode *otherwise = nullptr;
        if (m_token.code == T_ELSE) {
            advance();
            otherwise = parseStatement();
        }
        return node(T_IF, line, condition, then, otherwise);
    }
    case T_WHILE: {
        advance();
        expect('(');
        ESNode *condition = parseExpression();
        expect(')');
        return node(T_WHILE, line, condition, parseStatement());
    }
    case T_DO: {
        advance();
        ESNode *body = parseBlock();
        expect(T_WHILE);
        expect('(');
        ESNode *condition = parseExpression();
        expect(')');
        statementEnd();
        return node(T_DO, line, body, condition);
    }
    case T_FOR:
        return parseFor();
    case T_CONTINUE:
    case T_BREAK: {
        int kind = m_token.code;
        advance();
        ESNode *n = node(kind, line);
        if (m_token.code == T_IDENT && !m_token.newlineBefore) {
            n->string = m_token.string;
            advance();
        }
        statementEnd();
        return n;
    }
    case T_RETURN: {
        if (m_current < 0)
            syntaxError(esTokenName(T_RETURN) + QStringLiteral(" not in a function"));
        advance();
        ESNode *value = nullptr;
        if (m_token.code != ';' && m_token.code != '}' && m_token.code != T_EOF &&
            !m_token.newlineBefore)
            value = parseExpression();
        statementEnd();
        return node(T_RETURN, line, value);
    }
    case T_WITH: {
        advance();
        expect('(');
        ESNode *object = parseExpression();
        expect(')');
        ++m_withNesting;
        ESNode *body = parseStatement();
        --m_withNesting;
        return node(T_WITH, line, object, body);
    }
    case T_SWITCH:
        return parseSwitch();
    case T_IDENT:
        if (m_lexer.followedBy(m_token.end, u':')) {
            ESString *label = m_token.string;
            advance();
            advance();
            ESNode *n = node(N_LABEL, line, parseStatement());
            n->string = label;
            return n;
        }
        break;
    default:
        break;
    }
    ESNode *expression = parseExpression();
    statementEnd();
    return expression;
}

ESNode *ESCompiler::parseFor() {
    int line = m_token.line;
    advance();
    expect('(');
    ESNode *init = nullptr;
    if (m_token.code == T_VAR) {
        int varLine = m_token.line;
        advance();
        if (m_token.code == T_IN)
            syntaxError(QStringLiteral("too many variables in for-in expression"));
        ESNode *list = parseVarList(varLine);
        if (m_token.code == T_IN) {
            if (list->child[0]->child[1])
                syntaxError(QStringLiteral("too many variables in for-in expression"));
            advance();
            ESNode *object = parseExpression();
            expect(')');
            ESNode *declarator = list->child[0]->child[0];
            ESNode *n = node(N_FORVARIN, line, declarator->child[0], object, parseStatement());
            n->string = declarator->string;
            return n;
        }
        init = node(N_FORVAR, varLine, list);
    } else if (m_token.code != ';') {
        init = parseExpression();
        if (m_token.code == T_IN) {
            advance();
            ESNode *object = parseExpression();
            expect(')');
            return node(N_FORIN, line, init, object, parseStatement());
        }
    }
    expect(';');
    ESNode *condition = m_token.code == ';' ? nullptr : parseExpression();
    expect(';');
    ESNode *update = m_token.code == ')' ? nullptr : parseExpression();
    expect(')');
    return node(T_FOR, line, init, condition, update, parseStatement());
}

ESNode *ESCompiler::parseSwitch() {
    int line = m_token.line;
    advance();
    expect('(');
    ESNode *discriminant = parseExpression();
    expect(')');
    expect('{');
    std::vector<ESNode *> clauses;
    bool seenDefault = false;
    while (m_token.code != '}') {
        int clauseLine = m_token.line;
        ESNode *clause;
        if (m_token.code == T_CASE) {
            advance();
            clause = node(T_CASE, clauseLine, parseExpression());
        } else if (m_token.code == T_DEFAULT) {
            if (seenDefault)
                syntaxError(QStringLiteral("default case already defined"));
            seenDefault = true;
            advance();
            clause = node(T_DEFAULT, clauseLine);
        } else {
            syntaxError(QStringLiteral("expected 'case' or 'default' but found '%1'")
                            .arg(esTokenName(m_token.code)));
        }
        expect(':');
        std::vector<ESNode *> statements;
        while (m_token.code != T_CASE && m_token.code != T_DEFAULT && m_token.code != '}') {
            if (m_token.code == T_EOF)
                expect('}');
            if (ESNode *s = parseStatement())
                statements.push_back(s);
        }
        clause->child[1] = chain(';', statements);
        clauses.push_back(clause);
    }
    advance();
    return node(T_SWITCH, line, discriminant, chain(',', clauses));
}

ESNode *ESCompiler::parseExpression() {
    ESNode *first = parseAssignment();
    if (m_token.code != ',')
        return first;
    std::vector<ESNode *> items{first};
    while (m_token.code == ',') {
        advance();
        items.push_back(parseAssignment());
    }
    return chain(',', items);
}

ESNode *ESCompiler::parseAssignment() {
    checkDepth(m_token.line);
    ESNode *target = parseConditional();
    if (!isAssignment(m_token.code))
        return target;
    int kind = m_token.code;
    int line = m_token.line;
    advance();
    return node(kind, line, target, parseAssignment());
}

ESNode *ESCompiler::parseConditional() {
    ESNode *condition = parseBinary(0);
    if (m_token.code != '?')
        return condition;
    int line = m_token.line;
    advance();
    ESNode *then = parseAssignment();
    expect(':');
    return node('?', line, condition, then, parseAssignment());
}

// Precedence climbing over the binary levels; each level is left-associative.
ESNode *ESCompiler::parseBinary(int level) {
    checkDepth(m_token.line);
    ESNode *left = parseUnary();
    for (;;) {
        int opLevel = binaryLevel(m_token.code);
        if (opLevel < level)
            return left;
        int kind = m_token.code;
        int line = m_token.line;
        advance();
        left = node(kind, line, left, parseBinary(opLevel + 1));
    }
}

ESNode *ESCompiler::parseUnary() {
    checkDepth(m_token.line);
    int line = m_token.line;
    int kind;
    switch (m_token.code) {
    case T_DELETE:
    case T_VOID:
    case T_TYPEOF:
    case T_INC:
    case T_DEC:
    case '~':
    case '!':
        kind = m_token.code;
        break;
    case '-':
        kind = N_NEG;
        break;
    case '+':
        kind = N_PLUS;
        break;
    default:
        return parsePostfix();
    }
    advance();
    ESNode *operand = parseUnary();
    if (kind == N_NEG && operand->kind == T_NUMBER) {
        // A negative literal is one constant.
        operand->number = -operand->number;
        return operand;
    }
    return node(kind, line, operand);
}

ESNode *ESCompiler::parsePostfix() {
    ESNode *operand = parseCall();
    if ((m_token.code == T_INC || m_token.code == T_DEC) && !m_token.newlineBefore) {
        int kind = m_token.code == T_INC ? N_POSTINC : N_POSTDEC;
        int line = m_token.line;
        advance();
        return node(kind, line, operand);
    }
    return operand;
}

ESNode *ESCompiler::parseCall() {
    ESNode *callee = parseMember();
    for (;;) {
        if (m_token.code == '(') {
            int line = m_token.line;
            callee = node(N_CALL, line, callee, parseArguments());
        } else if (m_token.code == '.' || m_token.code == '[') {
            callee = parseMemberSuffix(callee);
        } else {
            return callee;
        }
    }
}

ESNode *ESCompiler::parseMember() {
    checkDepth(m_token.line);
    ESNode *object;
    if (m_token.code == T_NEW) {
        int line = m_token.line;
        advance();
        ESNode *constructor = parseMember();
        object = node(N_NEWCALL, line, constructor);
        if (m_token.code == '(') {
            object->child[1] = parseArguments();
            object->hasArguments = true;
            if (object->child[1] && object->child[1]->sideEffects)
                object->sideEffects = true;
        }
    } else {
        object = parsePrimary();
    }
    while (m_token.code == '.' || m_token.code == '[')
        object = parseMemberSuffix(object);
    return object;
}

// `.name` and `[key]`; a literal key becomes a `.name` with the key's text.
ESNode *ESCompiler::parseMemberSuffix(ESNode *object) {
    int line = m_token.line;
    if (m_token.code == '.') {
        advance();
        if (m_token.code != T_IDENT)
            expect(T_IDENT);
        ESNode *n = node('.', line, object);
        n->string = m_token.string;
        advance();
        return n;
    }
    advance();
    ESNode *key = parseExpression();
    expect(']');
    if (key->kind == T_STRING || key->kind == T_NUMBER) {
        ESNode *n = node('.', line, object);
        n->string =
            key->kind == T_STRING ? key->string : m_context.intern(esNumberToString(key->number));
        return n;
    }
    return node('[', line, object, key);
}

ESNode *ESCompiler::parseArguments() {
    expect('(');
    std::vector<ESNode *> arguments;
    if (m_token.code != ')') {
        for (;;) {
            arguments.push_back(parseAssignment());
            if (m_token.code != ',')
                break;
            advance();
        }
    }
    expect(')');
    return chain(',', arguments);
}

ESNode *ESCompiler::parsePrimary() {
    int line = m_token.line;
    ESNode *n;
    switch (m_token.code) {
    case T_IDENT:
    case T_STRING:
        n = node(m_token.code, line);
        n->string = m_token.string;
        advance();
        return n;
    case T_NUMBER:
        n = node(T_NUMBER, line);
        n->number = m_token.number;
        advance();
        return n;
    case T_THIS:
    case T_TRUE:
    case T_FALSE:
    case T_NULL:
        n = node(m_token.code, line);
        advance();
        return n;
    case '(':
        advance();
        n = parseExpression();
        expect(')');
        return n;
    case T_FUNCTION:
        return parseFunction(false);
    case '[':
        return parseArrayLiteral();
    case '{':
        return parseObjectLiteral();
    default:
        syntaxError(QStringLiteral("expected an expression, found ") + esTokenName(m_token.code));
    }
}

ESNode *ESCompiler::parseArrayLiteral() {
    int line = m_token.line;
    advance();
    std::vector<ESNode *> elements;
    if (m_token.code == ']') {
        advance();
    } else {
        for (;;) {
            if (m_token.code == ',' || m_token.code == ']')
                elements.push_back(node(N_EMPTY, m_token.line));
            else
                elements.push_back(parseAssignment());
            if (m_token.code == ']') {
                advance();
                break;
            }
            if (m_token.code != ',')
                syntaxError(QStringLiteral("']' or ',' expected, found ") +
                            esTokenName(m_token.code));
            advance();
            if (m_token.code == ']') {
                // A comma before the bracket adds one more undefined element.
                elements.push_back(node(N_EMPTY, m_token.line));
                advance();
                break;
            }
        }
    }
    return node(N_ARRAYINIT, line, chain(',', elements));
}

ESNode *ESCompiler::parseObjectLiteral() {
    int line = m_token.line;
    advance();
    std::vector<ESNode *> pairs;
    while (m_token.code != '}') {
        ESString *key;
        if (m_token.code == T_IDENT || m_token.code == T_STRING)
            key = m_token.string;
        else if (m_token.code == T_NUMBER)
            key = m_context.intern(esNumberToString(m_token.number));
        else
            syntaxError(QStringLiteral("number, string, or identifier expected in object "
                                       "initialiser"));
        int pairLine = m_token.line;
        advance();
        expect(':');
        ESNode *pair = node(':', pairLine, parseAssignment());
        pair->string = key;
        pairs.push_back(pair);
        if (m_token.code != ',')
            break;
        advance();
    }
    expect('}');
    return node(N_OBJECTINIT, line, chain(',', pairs));
}

ESNode *ESCompiler::parseFunction(bool declaration) {
    // Function declarations nest through source elements, not through statements.
    checkDepth(m_token.line);
    int line = m_token.line;
    advance();
    ESString *name = nullptr;
    if (m_token.code == T_IDENT) {
        name = m_token.string;
        advance();
        if (m_current >= 0)
            declare(m_functions[std::size_t(m_current)].code.get(), name, ESVariable::FunctionName);
        else
            m_programNames.push_back(name);
    }
    int index = int(m_functions.size());
    Function &f = m_functions.emplace_back();
    f.code = std::make_unique<ESCode>(m_source, name ? name : m_context.intern("anonymous"),
                                      m_functionBase + index);
    f.parent = m_current;
    f.insideWith =
        m_withNesting > 0 || (m_current >= 0 && m_functions[std::size_t(m_current)].insideWith);
    parseParameters(f, false);
    expect('{');
    int saved = m_current;
    m_current = index;
    ESNode *body = parseSourceElements('}');
    m_current = saved;
    expect('}');
    m_functions[std::size_t(index)].body = body;
    ESNode *n = node(T_FUNCTION, line);
    n->function = index;
    n->string = name;
    n->declaration = declaration;
    // A named literal assigns itself to its name.
    n->sideEffects = name != nullptr;
    return n;
}

void ESCompiler::parseParameters(Function &function, bool untilEnd) {
    if (!untilEnd)
        expect('(');
    int end = untilEnd ? int(T_EOF) : int(')');
    if (m_token.code != end) {
        for (;;) {
            if (m_token.code != T_IDENT)
                expect(T_IDENT);
            declare(function.code.get(), m_token.string, ESVariable::DeclaredParameter);
            advance();
            if (m_token.code != ',')
                break;
            advance();
        }
    }
    expect(end);
}

ESString *ESCompiler::temporaryName() {
    return m_context.intern(QStringLiteral("CG%1").arg(++m_temporaries));
}

void ESCompiler::declare(ESCode *code, ESString *name, int flags) {
    int existing = code->findVariable(name);
    if (flags == ESVariable::DeclaredParameter) {
        // A repeated parameter name renames the earlier one, so the last one wins.
        if (existing >= 0)
            code->m_variables[std::size_t(existing)].name = temporaryName();
        code->m_variables.push_back({name, flags});
        code->m_parameterCount = int(code->m_variables.size());
        return;
    }
    if (existing < 0) {
        code->m_variables.push_back({name, flags});
        existing = int(code->m_variables.size()) - 1;
    }
    // `var arguments` declares nothing new: the variable still starts as the arguments
    // object. A parameter of that name hides the object.
    if (flags == ESVariable::Arguments && existing >= code->m_parameterCount)
        code->m_argumentsIndex = existing;
}
