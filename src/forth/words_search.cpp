// Word lists and the search order (index 0 of the order is searched first).
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fstext.h"
#include "forth/fswordsimpl.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"

namespace {

std::vector<FWordList *> &nonEmptyOrder(FSContext &c) {
    std::vector<FWordList *> &order = c.searchOrder();
    if (order.empty())
        forthThrow(kErrOrderUnderflow);
    return order;
}

// Leaves ( xt 1 ) for an immediate word, ( xt -1 ) for another, or 0 when not found.
void pushFound(FSContext &c, PColonChild *word) {
    if (!word) {
        c.pushInt(0);
        return;
    }
    c.push(Cell::codeAddress(word));
    c.pushInt(word->kind == WordKind::Immediate ? 1 : -1);
}

} // namespace

void wForth(FSContext &c) {
    std::vector<FWordList *> &order = c.searchOrder();
    if (order.empty())
        forthThrow(kErrOrderUnderflow, "No search order (VOCABULARY)");
    order.front() = c.forthList();
}

void wDefinitions(FSContext &c) {
    c.setCompilationList(nonEmptyOrder(c).front());
}

void wFind(FSContext &c) {
    // ( c-addr -- c-addr 0 | xt 1 | xt -1 ): c-addr is a counted string.
    Cell &name = c.peek(0);
    if (!isCharAddress(name))
        name.toRegion();
    PColonChild *word = c.find(textAt(cellAdd(name, Cell::integer(1)), charAt(name, 0)));
    if (!word) {
        c.pushInt(0);
        return;
    }
    c.pop();
    pushFound(c, word);
}

void wForthWordlist(FSContext &c) {
    c.pushInt(c.wordListId(c.forthList()));
}

void wGetCurrent(FSContext &c) {
    c.pushInt(c.wordListId(c.compilationList()));
}

void wSetCurrent(FSContext &c) {
    c.setCompilationList(c.wordList(c.popInt()));
}

void wGetOrder(FSContext &c) {
    std::vector<FWordList *> order = c.searchOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        c.pushInt(c.wordListId(*it));
    c.pushInt(std::int64_t(order.size()));
}

void wSetOrder(FSContext &c) {
    std::int64_t count = c.popInt();
    if (count == -1) {
        wOnly(c);
        return;
    }
    if (count < 0)
        forthThrow(kErrInvalidArgument, "negative search order size");
    if (count > FSContext::kSearchOrderSize)
        forthThrow(kErrOrderOverflow);
    c.need(int(count));
    std::vector<FWordList *> order;
    for (std::int64_t k = 0; k < count; ++k)
        order.push_back(c.wordList(c.peek(int(k)).toInteger()));
    for (std::int64_t k = 0; k < count; ++k)
        c.pop();
    c.searchOrder() = order;
}

void wSearchWordlist(FSContext &c) {
    // ( name wid -- 0 | xt 1 | xt -1 )
    FWordList *list = c.wordList(c.popInt());
    pushFound(c, list->find(popText(c)));
}

void wWordlist(FSContext &c) {
    c.pushInt(c.wordListId(c.newWordList("ANON-WORDLIST")));
}

void wWords(FSContext &c) {
    std::vector<FWordList *> &order = c.searchOrder();
    if (order.empty())
        return;
    std::string text;
    for (PColonChild *word : order.front()->words()) {
        text += word->displayName();
        text += ' ';
    }
    c.charge(text.size() / 16);
    c.type(text + "\n");
}

void wAlso(FSContext &c) {
    std::vector<FWordList *> &order = nonEmptyOrder(c);
    if (order.size() >= std::size_t(FSContext::kSearchOrderSize))
        forthThrow(kErrOrderOverflow);
    order.insert(order.begin(), order.front());
}

void wOnly(FSContext &c) {
    c.searchOrder() = {c.forthList()};
}

void wPrevious(FSContext &c) {
    std::vector<FWordList *> &order = nonEmptyOrder(c);
    order.erase(order.begin());
}

void wOrder(FSContext &c) {
    std::string text = "Search order:";
    for (FWordList *list : c.searchOrder())
        text += " " + list->name();
    text += "\nCompilation list: " + c.compilationList()->name() + "\n";
    c.type(text);
}

void wVocabulary(FSContext &c) {
    std::string name = c.parseRequiredName();
    PColonChild *word = c.newWord(name, WordKind::Ordinary, Behaviour::Vocabulary);
    word->vocabulary = c.newWordList(name);
    c.link(word);
}
