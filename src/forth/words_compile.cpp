// Defining words, control flow, locals and exceptions.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fstext.h"
#include "forth/fswordsimpl.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

namespace {

constexpr const char *kNoOrigIf = "no <orig> on control stack; missing IF?";
constexpr const char *kNoDest = "no <dest> on control stack; missing BEGIN?";
constexpr const char *kNoColonSys =
    "no <colon-sys> on control stack; unterminated control structure?";

void requireDefinition(FSContext &c) {
    if (!c.defining())
        forthThrow(kErrCompileOnly);
}

PColonChild *findRequired(FSContext &c, const std::string &name) {
    PColonChild *word = c.find(name);
    if (!word)
        forthThrow(kErrUndefinedWord, name);
    return word;
}

PColonChild *newColon(FSContext &c, std::string name) {
    PColonChild *word = c.newWord(std::move(name), WordKind::Ordinary, Behaviour::Colon);
    // Until ';' publishes the body, running the word (through its execution token) is a no-op.
    word->code = {pcode{Op::Exit, {0}}};
    return word;
}

// Compiles a forward branch and records it as an unresolved <orig>.
void forwardBranch(FSContext &c, Op op) {
    requireDefinition(c);
    std::size_t position = c.codeHere();
    c.compileOp(op);
    c.csPush({CSEntry::CSOrig, position, {}});
}

void backwardBranch(FSContext &c, Op op, std::size_t target) {
    c.compileOp(op, std::int64_t(target) - std::int64_t(c.codeHere()));
}

void endLoop(FSContext &c, Op op) {
    CSEntry loop = c.csRequire(CSEntry::CSDoSys, "no <do-sys> on control stack; missing DO?");
    c.checkCodePosition(loop.pos + 1);
    backwardBranch(c, op, loop.pos + 1);
    std::size_t end = c.codeHere();
    c.resolve(loop.pos, end); // ?DO skips to it; DO keeps it so that LOOP knows its own frame
    for (std::size_t leave : loop.fixups)
        c.resolve(leave, end);
}

void requireLoop(FSContext &c, const char *message) {
    if (c.csFind(CSEntry::CSDoSys) < 0)
        forthThrow(kErrControlMismatch, message);
}

void abortQuoteRuntime(FSContext &c) {
    Cell text = c.pop();
    if (c.popInt() != 0)
        forthThrow(kErrAbortQuote, cellText(text));
}

// Reads names up to the closing bar, across lines if need be.
std::vector<std::string> parseLocalNames(FSContext &c) {
    std::vector<std::string> names;
    for (;;) {
        std::string name(c.parseName());
        if (name == "|")
            return names;
        if (name.empty()) {
            if (!c.refill())
                forthThrow(kErrInvalidArgument, "missing | after local names");
            continue;
        }
        names.push_back(name);
    }
}

// Locals that start empty instead of taking a value from the stack.
void declareTemporaries(FSContext &c, const std::vector<std::string> &names) {
    if (names.empty())
        return;
    std::int64_t first = c.declareLocal(names.front());
    for (std::size_t k = 1; k < names.size(); ++k)
        c.declareLocal(names[k]);
    c.compileOp(Op::TempsInit, first << 32 | std::int64_t(names.size()));
}

} // namespace

void wColon(FSContext &c) {
    c.beginDefinition(newColon(c, c.parseRequiredName()));
}

void wNoName(FSContext &c) {
    PColonChild *word = newColon(c, {});
    c.beginDefinition(word);
    c.push(Cell::codeAddress(word));
}

void wSemicolon(FSContext &c) {
    if (!c.compiling() || !c.defining())
        forthThrow(kErrNoDefinition);
    std::vector<CSEntry> &cs = c.controlStack();
    if (cs.empty() || cs.back().kind != CSEntry::CSColonSys)
        forthThrow(kErrControlMismatch, kNoColonSys);
    cs.pop_back();
    // Items rolled below the colon-sys are open structures of this definition.
    if (!cs.empty())
        forthThrow(kErrControlMismatch, kNoColonSys);
    c.flushPendingLocals();
    c.endDefinition();
}

void wCreate(FSContext &c) {
    std::string name = c.parseRequiredName();
    PMemory *region = c.newRegion(name, 0);
    PColonChild *word = c.newWord(name, WordKind::Ordinary, Behaviour::Create);
    word->region = region;
    c.link(word);
    c.setHereRegion(region);
}

void wVariable(FSContext &c) {
    std::string name = c.parseRequiredName();
    PMemory *region = c.newRegion(name, 1);
    region->at(0) = Cell::integer(0);
    PColonChild *word = c.newWord(name, WordKind::Ordinary, Behaviour::Variable);
    word->region = region;
    c.link(word);
    c.setHereRegion(region);
}

void wConstant(FSContext &c) {
    Cell value = c.pop();
    PColonChild *word = c.newWord(c.parseRequiredName(), WordKind::Ordinary, Behaviour::Constant);
    word->value = std::move(value);
    c.link(word);
}

void wValue(FSContext &c) {
    Cell value = c.pop();
    std::string name = c.parseRequiredName();
    PMemory *region = c.newRegion(name, 1);
    region->at(0) = std::move(value);
    PColonChild *word = c.newWord(name, WordKind::Ordinary, Behaviour::Value);
    word->region = region;
    c.link(word);
}

void wTo(FSContext &c) {
    std::string name = c.parseRequiredName();
    PColonChild *word = findRequired(c, name);
    if (word->behaviour == Behaviour::Value) {
        if (c.compiling()) {
            pcode item{Op::ValueSet, {0}};
            item.region = word->region;
            c.compile(item);
        } else {
            word->region->at(0) = c.pop();
        }
        return;
    }
    if (word->behaviour == Behaviour::TwoValue) {
        if (c.compiling()) {
            pcode address{Op::LitRegion, {0}};
            address.region = word->region;
            c.compile(address);
            pcode store{Op::Prim, {0}};
            store.fn = wTwoStore;
            c.compile(store);
        } else {
            c.push(Cell::dataAddress(word->region, 0));
            wTwoStore(c);
        }
        return;
    }
    if (word->behaviour == Behaviour::Local && c.compiling()) {
        c.compileOp(Op::LocalSet, word->localIndex);
        return;
    }
    forthThrow(kErrNoStoreMethod, name);
}

void wDoes(FSContext &c) {
    requireDefinition(c);
    std::vector<CSEntry> &cs = c.controlStack();
    if (cs.empty() || cs.back().kind != CSEntry::CSColonSys)
        forthThrow(kErrControlMismatch, kNoColonSys);
    c.compileOp(Op::Does);
}

void wToBody(FSContext &c) {
    PColonChild *word = c.pop().toWord();
    switch (word->behaviour) {
    case Behaviour::Create:
    case Behaviour::Variable:
    case Behaviour::Value:
        c.push(Cell::dataAddress(word->region, 0));
        return;
    default:
        forthThrow(kErrAbort, word->displayName() + " does not have a PFA");
    }
}

void wImmediate(FSContext &c) {
    if (!c.latest())
        forthThrow(kErrNoDefinition);
    c.latest()->kind = WordKind::Immediate;
}

void wRecurse(FSContext &c) {
    requireDefinition(c);
    pcode item{Op::CallColon, {0}};
    item.word = c.definition();
    c.compile(item);
}

void wExit(FSContext &c) {
    c.compileOp(Op::Exit);
}

void wLiteral(FSContext &c) {
    requireDefinition(c);
    c.compileLiteral(c.pop());
}

void wPostpone(FSContext &c) {
    PColonChild *word = findRequired(c, c.parseRequiredName());
    requireDefinition(c);
    if (word->kind == WordKind::Immediate) {
        c.compileWord(word);
        return;
    }
    c.compileLiteral(Cell::codeAddress(word));
    pcode item{Op::Prim, {0}};
    item.fn = wCompileComma;
    c.compile(item);
}

void wBracketCompile(FSContext &c) {
    PColonChild *word = findRequired(c, c.parseRequiredName());
    requireDefinition(c);
    c.compileWord(word);
}

void wCompileComma(FSContext &c) {
    PColonChild *word = c.peek(0).toWord();
    requireDefinition(c);
    c.pop();
    c.compileWord(word);
}

void wBracketTick(FSContext &c) {
    PColonChild *word = findRequired(c, c.parseRequiredName());
    requireDefinition(c);
    c.compileLiteral(Cell::codeAddress(word));
}

void wBracketChar(FSContext &c) {
    std::string name = c.parseRequiredName();
    requireDefinition(c);
    c.compileOp(Op::Lit, static_cast<unsigned char>(name[0]));
}

void wLeftBracket(FSContext &c) {
    c.setCompiling(false);
}

void wRightBracket(FSContext &c) {
    c.setCompiling(true);
}

void wIf(FSContext &c) {
    forwardBranch(c, Op::ZBranch);
}

void wAhead(FSContext &c) {
    forwardBranch(c, Op::Branch);
}

void wElse(FSContext &c) {
    CSEntry orig = c.csRequire(CSEntry::CSOrig, kNoOrigIf);
    forwardBranch(c, Op::Branch);
    c.resolve(orig.pos, c.codeHere());
}

void wThen(FSContext &c) {
    CSEntry orig = c.csRequire(CSEntry::CSOrig, kNoOrigIf);
    requireDefinition(c);
    c.resolve(orig.pos, c.codeHere());
}

void wBegin(FSContext &c) {
    requireDefinition(c);
    c.csPush({CSEntry::CSDest, c.codeHere(), {}});
}

void wWhile(FSContext &c) {
    if (c.csFind(CSEntry::CSDest) < 0)
        forthThrow(kErrControlMismatch, kNoDest);
    forwardBranch(c, Op::ZBranch);
}

void wRepeat(FSContext &c) {
    CSEntry orig = c.csRequire(CSEntry::CSOrig, "no <orig> on control stack; missing WHILE?");
    CSEntry dest = c.csRequire(CSEntry::CSDest, "no <dest> on control stack, missing BEGIN?");
    backwardBranch(c, Op::Branch, dest.pos);
    c.resolve(orig.pos, c.codeHere());
}

void wUntil(FSContext &c) {
    CSEntry dest = c.csRequire(CSEntry::CSDest, kNoDest);
    backwardBranch(c, Op::ZBranch, dest.pos);
}

void wAgain(FSContext &c) {
    CSEntry dest = c.csRequire(CSEntry::CSDest, kNoDest);
    backwardBranch(c, Op::Branch, dest.pos);
}

static void beginLoop(FSContext &c, Op op) {
    requireDefinition(c);
    std::size_t position = c.codeHere();
    c.compileOp(op);
    c.csPush({CSEntry::CSDoSys, position, {}});
}

void wDo(FSContext &c) {
    beginLoop(c, Op::Do);
}

void wQuestionDo(FSContext &c) {
    beginLoop(c, Op::QDo);
}

void wLoop(FSContext &c) {
    endLoop(c, Op::Loop);
}

void wPlusLoop(FSContext &c) {
    endLoop(c, Op::PlusLoop);
}

void wLeave(FSContext &c) {
    requireLoop(c, "LEAVE not in DO-LOOP");
    requireDefinition(c);
    std::size_t position = c.codeHere();
    c.compileOp(Op::Leave);
    c.csAt(c.csFind(CSEntry::CSDoSys)).fixups.push_back(position);
}

void wI(FSContext &c) {
    requireLoop(c, "I not in DO-LOOP");
    c.compileOp(Op::LoopI);
}

void wJ(FSContext &c) {
    requireLoop(c, "J not in DO-LOOP");
    c.compileOp(Op::LoopJ);
}

void wCase(FSContext &c) {
    requireDefinition(c);
    c.csPush({CSEntry::CSCaseSys, 0, {}});
}

void wOf(FSContext &c) {
    if (c.csFind(CSEntry::CSCaseSys) < 0)
        forthThrow(kErrControlMismatch, "OF not within CASE");
    requireDefinition(c);
    std::size_t position = c.codeHere();
    c.compileOp(Op::Of);
    c.csPush({CSEntry::CSOfSys, position, {}});
}

void wEndof(FSContext &c) {
    CSEntry of = c.csRequire(CSEntry::CSOfSys, "ENDOF not matched with OF");
    long caseSys = c.csFind(CSEntry::CSCaseSys);
    if (caseSys < 0)
        forthThrow(kErrControlMismatch, "OF not within CASE");
    std::size_t position = c.codeHere();
    c.compileOp(Op::Branch);
    c.csAt(caseSys).fixups.push_back(position);
    c.resolve(of.pos, c.codeHere());
}

void wEndcase(FSContext &c) {
    CSEntry caseSys = c.csRequire(CSEntry::CSCaseSys, "ENDCASE not matched with CASE");
    c.compileOp(Op::Drop);
    for (std::size_t endof : caseSys.fixups)
        c.resolve(endof, c.codeHere());
}

void wCsPick(FSContext &c) {
    std::int64_t index = c.popInt();
    std::vector<CSEntry> &cs = c.controlStack();
    if (index < 0 || std::uint64_t(index) >= cs.size())
        forthThrow(kErrControlMismatch, "CS-PICK outside stack");
    c.csPush(cs[cs.size() - 1 - std::size_t(index)]);
}

void wCsRoll(FSContext &c) {
    std::int64_t index = c.popInt();
    std::vector<CSEntry> &cs = c.controlStack();
    if (index < 0 || std::uint64_t(index) >= cs.size())
        forthThrow(kErrControlMismatch, "control stack underflow");
    CSEntry entry = c.csTake(long(cs.size() - 1 - std::size_t(index)));
    c.csPush(std::move(entry));
}

void wLocalsBar(FSContext &c) {
    requireDefinition(c);
    for (const std::string &name : parseLocalNames(c))
        c.declarePendingLocal(name);
    c.flushPendingLocals();
}

void wTempsBar(FSContext &c) {
    requireDefinition(c);
    c.flushPendingLocals();
    declareTemporaries(c, parseLocalNames(c));
}

void wBraceColon(FSContext &c) {
    // {: arguments | uninitialised -- outputs :}: the last argument is the top of the stack.
    requireDefinition(c);
    c.flushPendingLocals();
    std::vector<std::string> arguments, temporaries;
    int part = 0; // 0 arguments, 1 after |, 2 after --
    for (;;) {
        std::string name(c.parseName());
        if (name.empty()) {
            if (!c.refill())
                forthThrow(kErrInvalidArgument, "missing :} after local names");
            continue;
        }
        if (name == ":}")
            break;
        if (name == "|" && part == 0)
            part = 1;
        else if (name == "--")
            part = 2;
        else if (part == 0)
            arguments.push_back(name);
        else if (part == 1)
            temporaries.push_back(name);
    }
    for (auto name = arguments.rbegin(); name != arguments.rend(); ++name)
        c.declarePendingLocal(*name);
    c.flushPendingLocals();
    declareTemporaries(c, temporaries);
}

void wParenLocal(FSContext &c) {
    requireDefinition(c);
    std::string name = popText(c);
    if (name.empty())
        c.flushPendingLocals();
    else
        c.declarePendingLocal(name);
}

void wParenTemp(FSContext &c) {
    requireDefinition(c);
    std::string name = popText(c);
    if (name.empty())
        return;
    c.flushPendingLocals();
    std::int64_t index = c.declareLocal(name);
    c.compileOp(Op::TempsInit, index << 32 | 1);
}

void wCatch(FSContext &c) {
    c.catchWord();
}

void wThrow(FSContext &c) {
    std::int64_t code = c.popInt();
    if (code != 0)
        throw ForthException(long(code));
}

void wAbort(FSContext &c) {
    forthThrow(kErrAbort);
}

void wAbortQuote(FSContext &c) {
    std::string text = c.parse('"');
    if (!c.compiling()) {
        if (c.popInt() != 0)
            forthThrow(kErrAbortQuote, text);
        return;
    }
    requireDefinition(c);
    c.compileLiteral(Cell::string(text));
    pcode item{Op::Prim, {0}};
    item.fn = abortQuoteRuntime;
    c.compile(item);
}

void wBye(FSContext &c) {
    c.flushOutput();
    throw ForthBye();
}
