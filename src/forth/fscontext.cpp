#include "forth/fscontext.h"
#include "forth/fsfuse.h"

#include "core/version.h"
#include "forth/forthexception.h"
#include "forth/fswords.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

FSContext::FSContext() : m_localsList(std::make_unique<FWordList>("LOCALS")) {
    m_wordlists.push_back(std::make_unique<FWordList>("FORTH"));
    m_order.push_back(forthList());
    m_compilation = forthList();
    m_hereRegion = newRegion("DATA-SPACE", 0);
    m_state = newRegion("STATE", 1);
    m_state->at(0) = Cell::integer(0);
    m_base = newRegion("BASE", 1);
    m_base->at(0) = Cell::integer(10);
    m_toIn = newRegion(">IN", 1);
    m_toIn->at(0) = Cell::integer(0);
    m_pad = newRegion("PAD", kPadSize);
    m_files.push_back(nullptr); // fileid 0 is never a file: OPEN-FILE answers it on failure
    setInstructionBudget(0);
    setOutput([](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });

    for (const FSWordDef &def : builtinWords()) {
        auto word = std::make_unique<PColonChild>(def.name, def.kind, Behaviour::Native);
        word->builtIn = true;
        word->fn = def.fn;
        if (!def.fn) {
            pcode op{def.op, {0}};
            pcode exit{Op::Exit, {0}};
            word->code = {op, exit};
        }
        word->list = forthList();
        forthList()->add(word.get());
        m_words.push_back(std::move(word));
    }
}

FSContext::~FSContext() {
    m_inputs.clear();
    for (FILE *file : m_files) {
        if (file)
            std::fclose(file);
    }
}

std::string FSContext::banner() {
    return std::string(kProductName) + " Forth " + version();
}

void FSContext::setInstructionBudget(std::uint64_t steps) {
    m_budgetLeft = steps == 0 ? UINT64_MAX : steps;
    m_chunk = std::int64_t(std::min<std::uint64_t>(4096, m_budgetLeft));
    m_ticks = m_chunk;
}

void FSContext::tickSlow() {
    std::uint64_t used = std::uint64_t(m_chunk - m_ticks);
    if (m_budgetLeft != UINT64_MAX)
        m_budgetLeft -= std::min(used, m_budgetLeft);
    m_chunk = std::int64_t(std::min<std::uint64_t>(4096, m_budgetLeft));
    m_ticks = m_chunk;
    checkInterrupt();
    if (m_budgetLeft == 0)
        forthThrow(kErrInterrupt, "instruction budget exhausted");
}

void FSContext::checkInterrupt() {
    if (m_interrupt && *m_interrupt) {
        *m_interrupt = 0;
        forthThrow(kErrInterrupt);
    }
}

void FSContext::stackOverflow() {
    forthThrow(kErrStackOverflow);
}

void FSContext::stackUnderflow() {
    forthThrow(kErrStackUnderflow);
}

Cell &FSContext::peek(int n) {
    if (n < 0)
        forthThrow(kErrInvalidArgument, "negative stack index");
    need(n + 1);
    return m_sp[-1 - n];
}

// The return stack is an array like the data stack and fails the same way; -5 is kept for
// nesting too deep (calls, input sources).
void FSContext::rpush(Cell cell) {
    if (m_rp == kStackSize)
        stackOverflow();
    m_rstack[m_rp++] = std::move(cell);
}

Cell FSContext::rpop() {
    if (m_rp == 0)
        stackUnderflow();
    return std::move(m_rstack[--m_rp]);
}

Cell &FSContext::rpeek(int n) {
    if (n < 0 || n >= m_rp)
        stackUnderflow();
    return m_rstack[m_rp - 1 - n];
}

void FSContext::resetAfterError() {
    while (m_sp != stackBase())
        (--m_sp)->clear();
    resetAfterQuit();
}

void FSContext::resetAfterQuit() {
    while (m_rp > 0)
        m_rstack[--m_rp].clear();
    m_lp = 0;
    m_fp = 0;
    dropLocals(0);
    m_localsBase = 0;
    m_catchDepth = 0;
    m_cs.clear();
    m_defining = nullptr;
    clearCompilation();
    setCompiling(false);
    m_inputs.clear();
    flushOutput();
}

// --- Dictionary -------------------------------------------------------------------------

PColonChild *FSContext::find(std::string_view name) const {
    if (m_defining && m_localCount > 0) {
        if (PColonChild *local = m_localsList->find(name))
            return local;
    }
    for (FWordList *list : m_order) {
        if (PColonChild *word = list->find(name))
            return word;
    }
    return nullptr;
}

PColonChild *FSContext::newWord(std::string name, WordKind kind, Behaviour behaviour) {
    auto word = std::make_unique<PColonChild>(std::move(name), kind, behaviour);
    if (const FSInput *source = m_inputs.empty() ? nullptr : m_inputs.back().get()) {
        word->file = source->name;
        word->line = source->lineNumber;
    }
    // Headers are small but a program can make them in a loop.
    charge(16);
    m_words.push_back(std::move(word));
    return m_words.back().get();
}

void FSContext::link(PColonChild *word) {
    word->list = m_compilation;
    if (PColonChild *hidden = m_compilation->add(word))
        warnRedefinition(word, hidden);
    m_latest = word;
}

int FSContext::saveMarker() {
    Marker marker{{}, m_order, m_compilation, m_latest, m_hereRegion};
    for (const auto &list : m_wordlists)
        marker.listSizes.push_back(list->size());
    m_markers.push_back(std::move(marker));
    return int(m_markers.size() - 1);
}

void FSContext::restoreMarker(int index) {
    // Headers stay allocated: compiled code may still call them through earlier words.
    const Marker &marker = m_markers[std::size_t(index)];
    for (std::size_t k = 0; k < marker.listSizes.size(); ++k)
        m_wordlists[k]->truncate(marker.listSizes[k]);
    m_order = marker.order;
    m_compilation = marker.compilation;
    m_latest = marker.latest;
    m_hereRegion = marker.here;
}

void FSContext::warnRedefinition(PColonChild *word, PColonChild *hidden) {
    if (!m_messages)
        return;
    const std::string &list = m_compilation->name();
    if (hidden->builtIn) {
        m_messages->warning(word->file, word->line,
                            "redefining built-in " + word->name() + " in vocabulary " + list);
        return;
    }
    m_messages->warning(word->file, word->line,
                        "redefining " + word->name() + " in vocabulary " + list);
    m_messages->warning(hidden->file, hidden->line, " previously defined here");
}

PMemory *FSContext::newRegion(std::string name, std::size_t size) {
    if (std::int64_t(size) > unused())
        forthThrow(kErrInvalidAddress, "data space exhausted");
    m_regions.push_back(std::make_unique<PMemory>(std::move(name), size));
    m_usedCells += std::int64_t(size);
    return m_regions.back().get();
}

void FSContext::allot(std::int64_t cells) {
    std::int64_t size = std::int64_t(m_hereRegion->size());
    if (cells > unused())
        forthThrow(kErrInvalidAddress, "data space exhausted");
    if (cells < -size)
        forthThrow(kErrInvalidAddress, "ALLOT below start of region");
    charge(std::uint64_t(cells > 0 ? cells : 0) / 64);
    m_hereRegion->resize(std::size_t(size + cells));
    m_usedCells += cells;
}

bool FSContext::resizeRegion(PMemory *region, std::size_t size) {
    std::int64_t growth = std::int64_t(size) - std::int64_t(region->size());
    if (size > std::size_t(kDataSpaceCells) || growth > unused())
        return false;
    charge(std::uint64_t(growth > 0 ? growth : 0) / 64);
    region->resize(size);
    m_usedCells += growth;
    return true;
}

void FSContext::comma(Cell cell) {
    if (unused() < 1)
        forthThrow(kErrInvalidAddress, "data space exhausted");
    m_hereRegion->append(std::move(cell));
    ++m_usedCells;
}

int FSContext::base() const {
    const Cell &cell = m_base->at(0);
    if (cell.type != CellType::Integer || cell.i < 2 || cell.i > 36)
        forthThrow(kErrInvalidArgument, "BASE must be an integer from 2 to 36");
    return int(cell.i);
}

bool FSContext::compiling() const {
    const Cell &cell = m_state->at(0);
    return !(cell.isInteger() && cell.integerValue() == 0);
}

void FSContext::setCompiling(bool on) {
    m_state->at(0) = Cell::integer(on ? -1 : 0);
}

FWordList *FSContext::newWordList(std::string name) {
    charge(16);
    m_wordlists.push_back(std::make_unique<FWordList>(std::move(name)));
    return m_wordlists.back().get();
}

FWordList *FSContext::wordList(std::int64_t id) const {
    if (id < 0 || std::uint64_t(id) >= m_wordlists.size())
        forthThrow(kErrInvalidWordlist);
    return m_wordlists[std::size_t(id)].get();
}

std::int64_t FSContext::wordListId(const FWordList *list) const {
    for (std::size_t i = 0; i < m_wordlists.size(); ++i) {
        if (m_wordlists[i].get() == list)
            return std::int64_t(i);
    }
    forthThrow(kErrInvalidWordlist);
}

// --- Compilation ------------------------------------------------------------------------

void FSContext::beginDefinition(PColonChild *word) {
    if (m_defining)
        forthThrow(kErrControlMismatch, "definition already in progress");
    m_defining = word;
    clearCompilation();
    m_cs.clear();
    csPush({CSEntry::CSColonSys, 0, {}});
    setCompiling(true);
}

void FSContext::endDefinition() {
    compileOp(Op::Exit);
    fuseOperations(m_code);
    PColonChild *word = m_defining;
    word->code = std::move(m_code);
    word->literals = std::move(m_literals);
    m_defining = nullptr;
    clearCompilation();
    setCompiling(false);
    if (word->name().empty())
        m_latest = word;
    else
        link(word);
}

void FSContext::clearCompilation() {
    m_code.clear();
    m_literals.clear();
    m_localsList->clear();
    m_localCount = 0;
    m_pendingLocals.clear();
}

void FSContext::compile(pcode item) {
    if (!m_defining)
        forthThrow(kErrCompileOnly);
    m_code.push_back(item);
}

void FSContext::compileOp(Op op, std::int64_t operand) {
    pcode item{op, {0}};
    item.i = operand;
    compile(item);
}

void FSContext::compileWord(PColonChild *word) {
    pcode item{Op::Call, {0}};
    item.word = word;
    switch (word->behaviour) {
    case Behaviour::Native:
        if (word->fn) {
            item.op = Op::Prim;
            item.fn = word->fn;
        } else {
            item = word->code.front();
        }
        break;
    case Behaviour::Colon:
        item.op = Op::CallColon;
        break;
    case Behaviour::Constant:
        compileLiteral(word->value);
        return;
    case Behaviour::Variable:
        item.op = Op::LitRegion;
        item.region = word->region;
        break;
    case Behaviour::Value:
        item.op = Op::ValueGet;
        item.region = word->region;
        break;
    case Behaviour::Local:
        item.op = Op::LocalGet;
        item.i = word->localIndex;
        break;
    case Behaviour::Create:
        item.op = Op::CallCreate;
        break;
    case Behaviour::Vocabulary:
    case Behaviour::Defer:
    case Behaviour::TwoValue:
    case Behaviour::Marker:
        break;
    }
    compile(item);
}

void FSContext::compileLiteral(const Cell &cell) {
    pcode item{Op::Lit, {0}};
    switch (cell.type) {
    case CellType::Empty:
    case CellType::Integer:
        item.i = cell.integerValue();
        break;
    case CellType::Float:
        item.op = Op::LitFloat;
        item.f = cell.f;
        break;
    default:
        if (!m_defining)
            forthThrow(kErrCompileOnly);
        m_literals.push_back(std::make_unique<Cell>(cell));
        item.op = Op::LitCell;
        item.cell = m_literals.back().get();
        break;
    }
    compile(item);
}

void FSContext::resolve(std::size_t from, std::size_t to) {
    checkCodePosition(from + 1);
    checkCodePosition(to);
    m_code[from].i = std::int64_t(to) - std::int64_t(from);
}

void FSContext::checkCodePosition(std::size_t position) const {
    // Control-stack items only ever point into the definition being compiled; anything else
    // would patch or jump outside its code.
    if (!m_defining || position > m_code.size())
        forthThrow(kErrControlMismatch, "control structure outside the current definition");
}

void FSContext::csPush(CSEntry entry) {
    if (m_cs.size() >= kControlStackSize)
        forthThrow(kErrControlMismatch, "control stack overflow");
    m_cs.push_back(std::move(entry));
}

long FSContext::csFind(CSEntry::Kind kind, int n) const {
    for (long i = long(m_cs.size()) - 1; i >= 0; --i) {
        if (m_cs[std::size_t(i)].kind == kind && --n == 0)
            return i;
    }
    return -1;
}

CSEntry FSContext::csTake(long position) {
    if (position < 0 || std::size_t(position) >= m_cs.size())
        forthThrow(kErrControlMismatch, "control stack underflow");
    CSEntry entry = std::move(m_cs[std::size_t(position)]);
    m_cs.erase(m_cs.begin() + position);
    return entry;
}

CSEntry FSContext::csRequire(CSEntry::Kind kind, const char *message) {
    long position = csFind(kind);
    if (position < 0)
        forthThrow(kErrControlMismatch, message);
    return csTake(position);
}

int FSContext::declareLocal(const std::string &name) {
    if (!m_defining)
        forthThrow(kErrCompileOnly);
    PColonChild *local = newWord(name, WordKind::Ordinary, Behaviour::Local);
    local->localIndex = m_localCount++;
    m_localsList->add(local);
    return local->localIndex;
}

void FSContext::flushPendingLocals() {
    if (m_pendingLocals.empty())
        return;
    std::int64_t first = m_localCount;
    std::int64_t count = std::int64_t(m_pendingLocals.size());
    for (const std::string &name : m_pendingLocals)
        declareLocal(name);
    m_pendingLocals.clear();
    compileOp(Op::LocalsInit, first << 32 | count);
}

// --- Input ------------------------------------------------------------------------------

static bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// >IN is a variable of the program: the top source's parse position is read from it before
// parsing and written back after, so a program that stores into it moves the parser.
void FSContext::loadIn(FSInput *source) {
    const Cell &cell = m_toIn->at(0);
    std::int64_t value = cell.type == CellType::Integer ? cell.i : 0;
    source->in = std::size_t(std::clamp<std::int64_t>(value, 0, std::int64_t(source->line.size())));
}

void FSContext::storeIn() {
    FSInput *source = input();
    m_toIn->at(0) = Cell::integer(source ? std::int64_t(source->in) : 0);
}

std::string_view FSContext::parseName() {
    FSInput *source = input();
    if (!source)
        return {};
    loadIn(source);
    const std::string &line = source->line;
    std::size_t pos = std::min(source->in, line.size());
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    std::size_t start = pos;
    while (pos < line.size() && !isBlank(line[pos]))
        ++pos;
    source->in = pos < line.size() ? pos + 1 : pos;
    storeIn();
    return std::string_view(line).substr(start, pos - start);
}

std::string FSContext::parseRequiredName() {
    std::string name(parseName());
    if (name.empty())
        forthThrow(kErrInvalidArgument, "name expected");
    return name;
}

std::string FSContext::parse(char delimiter) {
    FSInput *source = input();
    if (!source)
        return {};
    loadIn(source);
    const std::string &line = source->line;
    std::size_t start = std::min(source->in, line.size());
    std::size_t end = line.find(delimiter, start);
    if (delimiter == ' ') {
        // A blank delimiter stands for any white space.
        end = start;
        while (end < line.size() && !isBlank(line[end]))
            ++end;
    }
    if (end == std::string::npos || end >= line.size()) {
        source->in = line.size();
        storeIn();
        return line.substr(start);
    }
    source->in = end + 1;
    storeIn();
    return line.substr(start, end - start);
}

std::string FSContext::parseWord(char delimiter) {
    FSInput *source = input();
    if (!source)
        return {};
    loadIn(source);
    const std::string &line = source->line;
    std::size_t pos = std::min(source->in, line.size());
    while (pos < line.size() &&
           (line[pos] == delimiter || (delimiter == ' ' && isBlank(line[pos]))))
        ++pos;
    source->in = pos;
    storeIn();
    return parse(delimiter);
}

std::string FSContext::parseAcrossLines(char delimiter) {
    std::string text;
    for (;;) {
        FSInput *source = input();
        if (!source)
            return text;
        loadIn(source);
        std::size_t start = std::min(source->in, source->line.size());
        if (source->line.find(delimiter, start) != std::string::npos)
            return text + parse(delimiter);
        text += source->line.substr(start) + "\n";
        source->in = source->line.size();
        storeIn();
        if (source->kind == FSInput::Console || !refill())
            return text;
    }
}

bool FSContext::readConsoleLine(std::string &line) {
    return m_consoleReader && m_consoleReader(line);
}

bool FSContext::refill() {
    FSInput *source = input();
    if (!source)
        return false;
    std::string line;
    switch (source->kind) {
    case FSInput::Console:
        if (!m_consoleReader || !m_consoleReader(line))
            return false;
        ++m_consoleLines;
        break;
    case FSInput::String: {
        if (source->next >= source->text.size())
            return false;
        source->lineStart = long(source->next);
        std::size_t end = source->text.find('\n', source->next);
        if (end == std::string::npos)
            end = source->text.size();
        line = source->text.substr(source->next, end - source->next);
        source->next = end + 1;
        break;
    }
    case FSInput::File: {
        source->lineStart = std::ftell(source->file);
        char *buffer = nullptr;
        std::size_t capacity = 0;
        ssize_t length = getline(&buffer, &capacity, source->file);
        if (length < 0) {
            std::free(buffer);
            return false;
        }
        line.assign(buffer, std::size_t(length));
        std::free(buffer);
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        break;
    }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    source->line = std::move(line);
    source->in = 0;
    storeIn();
    ++source->lineNumber;
    return true;
}

bool FSContext::convertNumber(std::string_view word, Cell &out) const {
    int radix = base();
    // Floats: digits, signs, points and an exponent mark, read only in decimal.
    if (radix == 10) {
        bool exponent = false, digit = false, plain = true;
        for (char c : word) {
            if (c >= '0' && c <= '9')
                digit = true;
            else if (c == 'E' || c == 'e')
                exponent = true;
            else if (c != '+' && c != '-' && c != '.')
                plain = false;
        }
        if (plain && exponent && digit) {
            std::string text(word);
            if (text.back() == 'E' || text.back() == 'e')
                text += '0';
            char *end = nullptr;
            double value = std::strtod(text.c_str(), &end);
            if (end == text.c_str() + text.size()) {
                out = Cell::real(value);
                return true;
            }
        }
    }
    unsigned __int128 value;
    bool negative;
    if (!parseInteger(word, radix, value, negative) || value > UINT64_MAX)
        return false; // more than a cell holds
    std::uint64_t magnitude = std::uint64_t(value);
    out = Cell::integer(std::int64_t(negative ? 0 - magnitude : magnitude));
    return true;
}

bool FSContext::convertDouble(std::string_view word, Cell &low, Cell &high) const {
    // A double-cell number ends with a point: "1." or "-1.".
    if (word.size() < 2 || word.back() != '.')
        return false;
    unsigned __int128 value;
    bool negative;
    if (!parseInteger(word.substr(0, word.size() - 1), base(), value, negative))
        return false;
    if (negative)
        value = 0 - value;
    low = Cell::integer(std::int64_t(std::uint64_t(value)));
    high = Cell::integer(std::int64_t(std::uint64_t(value >> 64)));
    return true;
}

// Integer text: a radix prefix ($ 16, % 2, # 10) and a sign in either order, then digits of the
// radix up to the end; or a character in quotes ('z').
bool FSContext::parseInteger(std::string_view word, int radix, unsigned __int128 &value,
                             bool &negative) {
    negative = false;
    if (word.size() == 3 && word[0] == '\'' && word[2] == '\'') {
        value = static_cast<unsigned char>(word[1]);
        return true;
    }
    std::size_t pos = 0;
    auto sign = [&] {
        if (pos < word.size() && (word[pos] == '-' || word[pos] == '+'))
            negative = word[pos++] == '-';
    };
    auto prefix = [&] {
        if (pos < word.size()) {
            switch (word[pos]) {
            case '$':
                radix = 16, ++pos;
                break;
            case '%':
                radix = 2, ++pos;
                break;
            case '#':
                radix = 10, ++pos;
                break;
            }
        }
    };
    sign();
    std::size_t afterSign = pos;
    prefix();
    if (pos == afterSign + 1 && afterSign == 0)
        sign(); // "#-1289": the sign after the prefix
    if (pos == word.size())
        return false;
    value = 0;
    for (; pos < word.size(); ++pos) {
        char c = word[pos];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                    : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                           : 99;
        if (digit >= radix)
            return false;
        if (value > (~(unsigned __int128)0 - unsigned(digit)) / unsigned(radix))
            return false;
        value = value * unsigned(radix) + unsigned(digit);
    }
    return true;
}

void FSContext::interpretWord(std::string_view word) {
    if (PColonChild *found = find(word)) {
        if (compiling() && found->kind != WordKind::Immediate)
            compileWord(found);
        else
            execute(found);
        return;
    }
    Cell number;
    if (!convertNumber(word, number)) {
        Cell high;
        if (!convertDouble(word, number, high))
            forthThrow(kErrUndefinedWord, std::string(word));
        if (compiling()) {
            compileLiteral(number);
            compileLiteral(high);
        } else {
            push(std::move(number));
            push(std::move(high));
        }
        return;
    }
    if (compiling())
        compileLiteral(number);
    else
        push(std::move(number));
}

void FSContext::runSource(std::unique_ptr<FSInput> source) {
    if (!m_inputs.empty()) {
        interpretSource(std::move(source));
        return;
    }
    // The top level: QUIT ends up here, having dropped every nested source on its way.
    try {
        interpretSource(std::move(source));
    } catch (const ForthQuit &) {
        resetAfterQuit();
    }
}

void FSContext::interpretSource(std::unique_ptr<FSInput> source) {
    if (m_inputs.size() >= std::size_t(kInputDepth)) {
        if (source->kind == FSInput::File)
            closeFile(source->fileId);
        forthThrow(kErrReturnOverflow, "input sources nested too deeply");
    }
    m_inputs.push_back(std::move(source));
    storeIn();
    // Pops the source however the interpretation ends.
    struct Pop {
        FSContext *context;
        ~Pop() {
            FSInput *done = context->m_inputs.back().get();
            if (done->kind == FSInput::File)
                context->closeFile(done->fileId);
            context->m_inputs.pop_back();
            context->storeIn();
            if (context->m_inputs.empty())
                context->flushOutput();
        }
    } pop{this};
    try {
        for (;;) {
            std::string_view word = parseName();
            if (word.empty()) {
                // A console line is one unit: the console reads the next one itself.
                FSInput *current = input();
                if (current->kind == FSInput::Console || !refill())
                    break;
                continue;
            }
            interpretWord(word);
        }
    } catch (ForthException &error) {
        FSInput *current = input();
        if (current && current->kind == FSInput::File && !error.hasLocation())
            error.setLocation(current->name, current->lineNumber);
        throw;
    }
}

void FSContext::evaluate(std::string_view text, const std::string &label) {
    auto source = std::make_unique<FSInput>();
    source->kind = FSInput::String;
    source->name = label;
    source->text = std::string(text);
    runSource(std::move(source));
}

void FSContext::interpretConsoleLine(const std::string &line) {
    auto source = std::make_unique<FSInput>();
    source->kind = FSInput::Console;
    source->line = line;
    source->lineNumber = ++m_consoleLines;
    runSource(std::move(source));
}

void FSContext::includeFile(const std::string &path) {
    if (!m_fileAccess)
        forthThrow(kErrUnsupported, "file access disabled");
    int error = 0;
    int id = openFile(path, "r", error);
    if (id == 0) {
        std::string text = std::string("i/o error ") + std::to_string(error);
        if (error == EISDIR)
            text += ": " + path + " is a directory";
        forthThrow(kErrAbort, text);
    }
    includeOpenFile(id, path);
}

void FSContext::includeOpenFile(int id, const std::string &name) {
    auto source = std::make_unique<FSInput>();
    source->kind = FSInput::File;
    source->name = name;
    source->file = m_files[std::size_t(id)];
    source->fileId = id;
    runSource(std::move(source));
}

int FSContext::openFile(const std::string &name, const char *mode, int &error) {
    if (!m_fileAccess)
        forthThrow(kErrUnsupported, "file access disabled");
    if (name.find('\0') != std::string::npos) {
        // The system would see only the part before the NUL: another file.
        error = ENOENT;
        return 0;
    }
    errno = 0;
    FILE *file = std::fopen(name.c_str(), mode);
    if (!file) {
        error = errno ? errno : EIO;
        return 0;
    }
    // A directory opens for reading but has no text: refuse it here, where the name is known.
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        error = EISDIR;
        return 0;
    }
    for (std::size_t i = 1; i < m_files.size(); ++i) {
        if (!m_files[i]) {
            m_files[i] = file;
            return int(i);
        }
    }
    m_files.push_back(file);
    return int(m_files.size() - 1);
}

FILE *FSContext::file(std::int64_t id) const {
    if (id <= 0 || std::uint64_t(id) >= m_files.size())
        return nullptr;
    return m_files[std::size_t(id)];
}

bool FSContext::fileInUse(std::int64_t id) const {
    for (const auto &source : m_inputs) {
        if (source->kind == FSInput::File && source->fileId == id)
            return true;
    }
    return false;
}

int FSContext::closeFile(std::int64_t id) {
    FILE *handle = file(id);
    if (!handle)
        return -1;
    m_files[std::size_t(id)] = nullptr;
    return std::fclose(handle) == 0 ? 0 : -1;
}

// --- Output -----------------------------------------------------------------------------

void FSContext::type(std::string_view text) {
    m_out.append(text);
    if (m_out.size() >= 8192)
        flushOutput();
}

void FSContext::flushOutput() {
    if (m_out.empty())
        return;
    if (m_sink)
        m_sink(m_out);
    m_out.clear();
}

void FSContext::spaces(std::int64_t count) {
    while (count > 0) {
        std::int64_t chunk = std::min<std::int64_t>(count, 256);
        charge(std::uint64_t(chunk) / 16 + 1);
        m_out.append(std::size_t(chunk), ' ');
        count -= chunk;
        if (m_out.size() >= 8192)
            flushOutput();
    }
}
