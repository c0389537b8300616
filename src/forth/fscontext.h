#pragma once

#include "forth/cell.h"
#include "forth/pcode.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class FWordList;
class PColonChild;
class PMemory;
enum class WordKind : std::uint8_t;
enum class Behaviour : std::uint8_t;

// Receives warnings that point at a source file and line (redefinitions).
class FSMessageInterface {
public:
    virtual ~FSMessageInterface() = default;
    virtual void warning(const std::string &file, long line, const std::string &text) = 0;
};

// The user's keyboard for KEY and KEY?.
class FSKeyboard {
public:
    virtual ~FSKeyboard() = default;
    // The next character (0-255), waiting for it; -1 at the end of input or on an interrupt.
    virtual int key() = 0;
    // Whether key() would return at once.
    virtual bool keyReady() = 0;
};

// An item of the control-flow stack while a definition is compiled.
struct CSEntry {
    enum Kind { CSOrig, CSDest, CSDoSys, CSCaseSys, CSOfSys, CSColonSys };
    Kind kind;
    std::size_t pos = 0;             // code index of the branch or target
    std::vector<std::size_t> fixups; // LEAVEs of a DO, ENDOFs of a CASE
};

// The source the outer interpreter reads: a console line, a string or a file.
struct FSInput {
    enum Kind { Console, String, File };
    Kind kind = Console;
    std::string name;   // file name, or the label of a string
    std::string line;   // the current line
    std::size_t in = 0; // >IN: parse position within the line
    long lineNumber = 0;
    std::string text;     // String: the whole text
    std::size_t next = 0; // String: where the next line starts
    FILE *file = nullptr; // File
    int fileId = 0;       // File: index in the table of open files
    long lineStart = 0;   // String, File: offset of the current line
};

// One Forth world: stacks, dictionary, input and output. Single-threaded; every error leaves
// through ForthException.
class FSContext {
public:
    static constexpr int kStackSize = 512;
    static constexpr int kLoopStackSize = 1024;
    static constexpr std::size_t kControlStackSize = 1024;
    static constexpr int kCatchDepth = 128;
    static constexpr std::size_t kCallDepth = 65536;
    static constexpr std::size_t kLocalsSize = 65536;
    static constexpr int kSearchOrderSize = 16;
    static constexpr int kInputDepth = 64;
    static constexpr std::size_t kStringLimit = std::size_t(16) << 20;
    static constexpr std::int64_t kDataSpaceCells = std::int64_t(4) << 20;
    static constexpr std::size_t kPadSize = 1024;

    FSContext();
    ~FSContext();
    FSContext(const FSContext &) = delete;
    FSContext &operator=(const FSContext &) = delete;

    static const char *version() { return "1.0.0"; }
    static std::string banner();

    // --- Interfaces of the console ------------------------------------------------------
    // Interprets text (lines separated by newlines) as an input source.
    void evaluate(std::string_view text, const std::string &label = {});
    // Interprets one line typed at the console; REFILL and QUERY ask the console reader for
    // more lines.
    void interpretConsoleLine(const std::string &line);
    // INCLUDE: interprets a file line by line.
    void includeFile(const std::string &path);
    // INCLUDE-FILE: interprets an open file of the table and closes it at its end.
    void includeOpenFile(int id, const std::string &name);
    // After an uncaught error: empty the stacks, leave compilation, drop nested input.
    void resetAfterError();
    // After QUIT: as resetAfterError, but the data stack stays.
    void resetAfterQuit();

    void setOutput(std::function<void(std::string_view)> sink) { m_sink = std::move(sink); }
    void flushOutput();
    void setConsoleReader(std::function<bool(std::string &)> reader) {
        m_consoleReader = std::move(reader);
    }
    void setMessageInterface(FSMessageInterface *messages) { m_messages = messages; }
    // Without a keyboard KEY throws -21 and KEY? answers false.
    void setKeyboard(FSKeyboard *keyboard) { m_keyboard = keyboard; }
    FSKeyboard *keyboard() const { return m_keyboard; }
    // Throws -28 when the interrupt flag is set (clearing it).
    void checkInterrupt();
    // Stops runaway programs: after about `steps` calls and backward branches the running
    // program throws -28. Zero means no limit.
    void setInstructionBudget(std::uint64_t steps);
    // When set (from a signal handler, say) the running program throws -28 soon after.
    void setInterruptFlag(volatile std::sig_atomic_t *flag) { m_interrupt = flag; }
    // Without file access the file words throw -21 (used when the input is untrusted).
    void setFileAccess(bool allowed) { m_fileAccess = allowed; }
    bool fileAccess() const { return m_fileAccess; }

    // --- Data stack -------------------------------------------------------------------
    int depth() const { return int(m_sp - stackBase()); }
    void push(Cell cell) {
        if (m_sp == stackBase() + kStackSize)
            stackOverflow();
        *m_sp++ = std::move(cell);
    }
    void pushInt(std::int64_t value) { push(Cell::integer(value)); }
    void pushFlag(bool flag) { pushInt(flag ? -1 : 0); }
    Cell pop() {
        if (m_sp == stackBase())
            stackUnderflow();
        return std::move(*--m_sp);
    }
    std::int64_t popInt() { return pop().toInteger(); }
    // The n-th cell from the top (0 is the top).
    Cell &peek(int n = 0);
    // Makes sure at least n cells are on the stack.
    void need(int n) {
        if (depth() < n)
            stackUnderflow();
    }
    [[noreturn]] static void stackOverflow();
    [[noreturn]] static void stackUnderflow();

    // --- Return stack -----------------------------------------------------------------
    void rpush(Cell cell);
    Cell rpop();
    Cell &rpeek(int n = 0);
    int rdepth() const { return m_rp; }

    // --- Loop stack --------------------------------------------------------------------
    struct LoopFrame {
        std::int64_t index;
        std::int64_t limit;
        const pcode *body; // where LOOP goes back to
        const pcode *end;  // past the LOOP of the DO that made the frame
    };
    int loopDepth() const { return m_lp; }

    // --- Execution ---------------------------------------------------------------------
    void execute(PColonChild *word);
    // Budget accounting for work that is not a call or branch (long strings, output).
    void charge(std::uint64_t steps) {
        m_ticks -= std::int64_t(steps);
        if (m_ticks < 0)
            tickSlow();
    }
    void catchWord();

    // --- Dictionary --------------------------------------------------------------------
    PColonChild *find(std::string_view name) const;
    PColonChild *newWord(std::string name, WordKind kind, Behaviour behaviour);
    // Adds a header to the compilation list, warning when it hides one.
    void link(PColonChild *word);
    PColonChild *latest() const { return m_latest; }
    PMemory *newRegion(std::string name, std::size_t size);
    PMemory *hereRegion() const { return m_hereRegion; }
    void setHereRegion(PMemory *region) { m_hereRegion = region; }
    void allot(std::int64_t cells);
    // Grows or shrinks a region within the data space; false when the space is exhausted.
    bool resizeRegion(PMemory *region, std::size_t size);
    void comma(Cell cell);
    std::int64_t unused() const { return kDataSpaceCells - m_usedCells; }
    PMemory *stateRegion() const { return m_state; }
    PMemory *baseRegion() const { return m_base; }
    PMemory *toInRegion() const { return m_toIn; }
    PMemory *padRegion() const { return m_pad; }
    // Pictured numeric output, built from the right between <# and #>.
    std::string &hold() { return m_hold; }
    // REPLACES' names (upper case) and their texts, for SUBSTITUTE.
    std::map<std::string, std::string> &substitutions() { return m_substitutions; }
    int base() const;
    bool compiling() const;
    void setCompiling(bool on);

    // Word lists and the search order. Word-list ids are integers (indexes).
    FWordList *forthList() const { return m_wordlists.front().get(); }
    FWordList *newWordList(std::string name);
    FWordList *wordList(std::int64_t id) const;
    std::int64_t wordListId(const FWordList *list) const;
    std::vector<FWordList *> &searchOrder() { return m_order; }
    FWordList *compilationList() const { return m_compilation; }
    void setCompilationList(FWordList *list) { m_compilation = list; }

    // MARKER: records the dictionary as it is now; restoring forgets every later header and
    // brings back the search order, the compilation list and the data region.
    int saveMarker();
    void restoreMarker(int index);

    // --- Compilation -------------------------------------------------------------------
    bool defining() const { return m_defining != nullptr; }
    PColonChild *definition() const { return m_defining; }
    void beginDefinition(PColonChild *word);
    void endDefinition();
    std::size_t codeHere() const { return m_code.size(); }
    pcode &codeAt(std::size_t index) { return m_code[index]; }
    void compile(pcode item);
    void compileOp(Op op, std::int64_t operand = 0);
    void compileWord(PColonChild *word);
    void compileLiteral(const Cell &cell);
    // Points the branch at `from` to `to` (code indexes).
    void resolve(std::size_t from, std::size_t to);
    void checkCodePosition(std::size_t position) const;
    void csPush(CSEntry entry);
    // Position of the n-th (1-based) item of a kind from the top, or -1.
    long csFind(CSEntry::Kind kind, int n = 1) const;
    CSEntry csTake(long position);
    CSEntry &csAt(long position) { return m_cs[std::size_t(position)]; }
    std::vector<CSEntry> &controlStack() { return m_cs; }
    // Requires an item of the kind, else -22 with the message.
    CSEntry csRequire(CSEntry::Kind kind, const char *message);
    // Locals of the definition being compiled.
    int declareLocal(const std::string &name);
    void flushPendingLocals();
    void declarePendingLocal(const std::string &name) { m_pendingLocals.push_back(name); }

    // --- Input -------------------------------------------------------------------------
    FSInput *input() { return m_inputs.empty() ? nullptr : m_inputs.back().get(); }
    // The next blank-delimited word of the current line (empty at its end).
    std::string_view parseName();
    // A name that must be there (for defining words).
    std::string parseRequiredName();
    // Text up to the delimiter, which is consumed; WORD skips leading delimiters first.
    std::string parse(char delimiter);
    std::string parseWord(char delimiter);
    // Like parse, but a missing delimiter continues on the next lines of the source.
    std::string parseAcrossLines(char delimiter);
    bool refill();
    // >IN mirrors the top source's parse position: loadIn reads a position the program stored,
    // storeIn publishes the parser's.
    void loadIn(FSInput *source);
    void storeIn();
    void interpretWord(std::string_view word);
    bool convertNumber(std::string_view word, Cell &out) const;
    bool convertDouble(std::string_view word, Cell &low, Cell &high) const;
    static bool parseInteger(std::string_view word, int radix, unsigned __int128 &value,
                             bool &negative);
    // A line from the console reader (ACCEPT); false without one or at the end of input.
    bool readConsoleLine(std::string &line);
    // Interprets a source on top of the current ones; at the top level QUIT ends it quietly.
    void runSource(std::unique_ptr<FSInput> source);
    int openFile(const std::string &name, const char *mode, int &error);
    FILE *file(std::int64_t id) const;
    int closeFile(std::int64_t id);
    // Whether an input source is reading the file: it must stay open until that source ends.
    bool fileInUse(std::int64_t id) const;

    // --- Output ------------------------------------------------------------------------
    void type(std::string_view text);
    void emit(char c) { type(std::string_view(&c, 1)); }
    void spaces(std::int64_t count);

private:
    void runCode(const pcode *code);
    // Call frames: a frame for a call returning to ret; growFrames throws -5 at the limit.
    void pushFrame(const pcode *ret);
    void growFrames();
    // Empties the locals above top.
    void dropLocals(std::size_t top);
    void interpretSource(std::unique_ptr<FSInput> source);
    void tickSlow();
    // Forgets the code, literals and locals of the definition being compiled.
    void clearCompilation();
    void warnRedefinition(PColonChild *word, PColonChild *hidden);

    // Two cells below the stack that stay empty: a cell at sp[-1] or sp[-2] tagged other than
    // Empty is on the stack, so a fast path that checks the tags of its operands needs no
    // separate depth check.
    static constexpr int kStackGuard = 2;
    Cell m_stackCells[kStackGuard + kStackSize];
    Cell *stackBase() { return m_stackCells + kStackGuard; }
    const Cell *stackBase() const { return m_stackCells + kStackGuard; }
    Cell *m_sp = stackBase();
    Cell m_rstack[kStackSize];
    int m_rp = 0;
    // A frame below the loop stack whose next index is its limit: LOOP on an empty loop stack
    // takes its exit path, where the underflow is checked, and never writes it.
    LoopFrame m_loopCells[1 + kLoopStackSize] = {{-1, 0, nullptr, nullptr}};
    LoopFrame *loopBase() { return m_loopCells + 1; }
    int m_lp = 0;
    struct CallFrame {
        const pcode *ret;
        std::uint32_t loopDepth;
        std::uint32_t localsBase;
    };
    // Both grow and never shrink; m_fp and m_localsTop say how much is in use, so a call
    // costs no allocation and no size computation.
    std::vector<CallFrame> m_frames;
    std::size_t m_fp = 0;
    std::vector<Cell> m_locals;
    std::size_t m_localsTop = 0;
    std::size_t m_localsBase = 0;
    int m_catchDepth = 0;

    std::vector<std::unique_ptr<PColonChild>> m_words;
    std::vector<std::unique_ptr<PMemory>> m_regions;
    std::vector<std::unique_ptr<FWordList>> m_wordlists;
    std::vector<FWordList *> m_order;
    FWordList *m_compilation = nullptr;
    PColonChild *m_latest = nullptr;
    PMemory *m_hereRegion = nullptr;
    PMemory *m_state = nullptr;
    PMemory *m_base = nullptr;
    PMemory *m_toIn = nullptr;
    PMemory *m_pad = nullptr;
    std::string m_hold;
    std::map<std::string, std::string> m_substitutions;
    struct Marker {
        std::vector<std::size_t> listSizes; // of m_wordlists at the time
        std::vector<FWordList *> order;
        FWordList *compilation;
        PColonChild *latest;
        PMemory *here;
    };
    std::vector<Marker> m_markers;
    std::int64_t m_usedCells = 0;

    PColonChild *m_defining = nullptr;
    std::vector<pcode> m_code;
    std::vector<std::unique_ptr<Cell>> m_literals;
    std::vector<CSEntry> m_cs;
    std::unique_ptr<FWordList> m_localsList;
    int m_localCount = 0;
    std::vector<std::string> m_pendingLocals;

    std::vector<std::unique_ptr<FSInput>> m_inputs;
    std::vector<FILE *> m_files;
    bool m_fileAccess = true;

    std::function<void(std::string_view)> m_sink;
    std::string m_out;
    std::function<bool(std::string &)> m_consoleReader;
    FSMessageInterface *m_messages = nullptr;
    FSKeyboard *m_keyboard = nullptr;

    std::int64_t m_ticks = 0;
    std::int64_t m_chunk = 0;
    std::uint64_t m_budgetLeft = 0;
    long m_consoleLines = 0;
    volatile std::sig_atomic_t *m_interrupt = nullptr;
};
