#include "debug/standarddebugger.h"

#include "core/hexception.h"
#include "debug/dwarflocals.h"
#include "debug/lazymemoryblock.h"
#include "debug/memorytransfer.h"
#include "debug/thumbdisassembler.h"
#include "expr/expressiontypes.h"
#include "expr/parserexception.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

bool isIntegerSize(std::uint64_t size) {
    return size == 1 || size == 2 || size == 4 || size == 8;
}

ExpressionValue integerValue(std::uint64_t bits, unsigned size, bool isSigned) {
    if (isSigned)
        return ExpressionValue(std::int64_t(bits), size);
    return ExpressionValue(bits, size);
}

// A run of target memory: a symbol, or what a cast pointer points at. Objects of 1, 2, 4 or
// 8 bytes read as integers, others (arrays, structures) as their address; indexing a data
// object reads its bytes.
class TargetObject final : public MarkerType {
public:
    TargetObject(StandardDebugger &engine, std::uint64_t address, std::uint64_t size, bool isSigned,
                 bool isFunction)
        : m_engine(engine), m_address(address), m_size(size), m_signed(isSigned),
          m_function(isFunction) {}

    std::uint64_t address() const override { return m_address; }
    const BaseType *type() const override { return nullptr; }
    std::uint64_t size() const { return m_size; }
    // Without type information the elements of a data object are its bytes.
    bool hasElements() const { return !m_function && m_size > 0; }

    ExpressionValue read() override {
        const unsigned addressSize = m_engine.getAddressSizeInBytes();
        if (m_function || !isIntegerSize(m_size))
            return ExpressionValue(m_address, addressSize);
        LazyMemoryBlock block(m_engine, StandardDebugger::Cached, byteOrder(), m_address);
        const std::uint64_t bits = block.getInteger(unsigned(m_size));
        if (!block.complete())
            throw ParserException(memoryAccessError(false, m_address));
        return integerValue(bits, unsigned(m_size), m_signed);
    }

    void write(const std::string &text) override {
        ExpressionValue value = read();
        value.setFromText(text);
        put(value);
    }

    void put(const ExpressionValue &value) {
        if (m_function || !isIntegerSize(m_size))
            throw ParserException("cannot assign to this object");
        LazyMemoryBlock block(m_engine, StandardDebugger::Cached, byteOrder(), m_address);
        block.putInteger(value.loaded().toUnsigned(), unsigned(m_size));
        if (!block.complete())
            throw ParserException(memoryAccessError(true, m_address));
    }

private:
    MemoryBlockInterface::ByteOrder byteOrder() const {
        const ElfFile *symbols = m_engine.symbols();
        return symbols && !symbols->isLittleEndian()
                   ? MemoryBlockInterface::ByteOrder::BigEndian
                   : MemoryBlockInterface::ByteOrder::LittleEndian;
    }

    StandardDebugger &m_engine;
    std::uint64_t m_address;
    std::uint64_t m_size;
    bool m_signed;
    bool m_function;
};

// A pointer made by a cast: reads as its value, indexes the objects it points at.
class PointerObject final : public MarkerType {
public:
    PointerObject(std::uint64_t value, unsigned addressSize, unsigned elementSize,
                  bool elementSigned)
        : m_value(value), m_addressSize(addressSize), m_elementSize(elementSize),
          m_elementSigned(elementSigned) {}

    std::uint64_t address() const override { return 0; }
    const BaseType *type() const override { return nullptr; }
    ExpressionValue read() override { return ExpressionValue(m_value, m_addressSize); }
    void write(const std::string &) override {
        throw ParserException("cannot assign to this object");
    }

    std::uint64_t value() const { return m_value; }
    unsigned elementSize() const { return m_elementSize; }
    bool elementSigned() const { return m_elementSigned; }

private:
    std::uint64_t m_value;
    unsigned m_addressSize;
    unsigned m_elementSize;
    bool m_elementSigned;
};

class RegisterObject final : public MarkerType {
public:
    RegisterObject(StandardDebugger &engine, std::string name, unsigned size)
        : m_engine(engine), m_name(std::move(name)), m_size(size) {}

    std::uint64_t address() const override { return 0; }
    const BaseType *type() const override { return nullptr; }
    ExpressionValue read() override {
        std::uint64_t value = 0;
        if (!m_engine.getRegister(m_name, value))
            throw ParserException("unknown register");
        return ExpressionValue(value, m_size);
    }
    void write(const std::string &text) override {
        ExpressionValue value = read();
        value.setFromText(text);
        put(value);
    }
    void put(const ExpressionValue &value) {
        m_engine.setRegister(m_name, value.loaded().toUnsigned());
    }

private:
    StandardDebugger &m_engine;
    std::string m_name;
    unsigned m_size;
};

} // namespace

StandardDebugger::StandardDebugger(std::unique_ptr<DebugTarget> target,
                                   SymbolicDebuggerInterfaceHelpers *helpers)
    : m_target(std::move(target)), m_helpers(helpers) {}

StandardDebugger::~StandardDebugger() {
    if (current() == this)
        setCurrent(nullptr);
}

void StandardDebugger::loadSymbols(const std::string &elfPath) {
    m_symbols = std::make_unique<ElfFile>(elfPath);
    m_lines = {};
    m_frames = {};
    try {
        m_lines = DwarfLineTable::fromElf(*m_symbols);
    } catch (const HException &error) {
        if (m_helpers)
            m_helpers->error(elfPath + ": " + error.message() + ", no source lines");
    }
    try {
        m_frames = DwarfFrameTable::fromElf(*m_symbols);
    } catch (const HException &error) {
        if (m_helpers)
            m_helpers->error(elfPath + ": " + error.message() + ", no call frames");
    }
}

std::vector<std::string> StandardDebugger::getDisassemblyModes() {
    if (!registerIndex("xpsr"))
        return {};
    return {"Thumb"};
}

void StandardDebugger::setDisassemblyMode(const std::string &mode) {
    const std::vector<std::string> modes = getDisassemblyModes();
    if (std::find(modes.begin(), modes.end(), mode) == modes.end())
        throw HException("unknown disassembly mode: " + mode);
}

std::string StandardDebugger::getDisassemblyMode() {
    const std::vector<std::string> modes = getDisassemblyModes();
    return modes.empty() ? std::string() : modes.front();
}

std::vector<DisassembledInstruction> StandardDebugger::decodeFrom(std::uint64_t from,
                                                                  std::size_t count) {
    std::vector<std::uint8_t> code(fitAddressSpace(from, count * 4));
    code.resize(readMemory(Cached, from, code.size(), code.data()));
    std::vector<DisassembledInstruction> found;
    ThumbDisassembler disassembler;
    for (std::size_t at = 0; at + 2 <= code.size() && found.size() < count;) {
        const ThumbInstruction decoded =
            disassembler.decode(from + at, code.data() + at, code.size() - at);
        char units[16];
        if (decoded.size == 4)
            std::snprintf(units, sizeof units, "%04x %04x", unsigned(decoded.encoding >> 16),
                          unsigned(decoded.encoding & 0xffff));
        else
            std::snprintf(units, sizeof units, "%04x", unsigned(decoded.encoding));
        DisassembledInstruction instruction{from + at, decoded.size, units, decoded.text, {}};
        if (decoded.hasTarget)
            instruction.target = decoded.target;
        found.push_back(std::move(instruction));
        at += decoded.size;
    }
    return found;
}

std::optional<std::size_t> StandardDebugger::instructionsUpTo(std::uint64_t from,
                                                              std::uint64_t to) {
    std::vector<std::uint8_t> code(std::size_t(to - from));
    if (readMemory(Cached, from, code.size(), code.data()) != code.size())
        return std::nullopt;
    ThumbDisassembler disassembler;
    std::size_t count = 0, at = 0;
    while (at < code.size()) {
        const unsigned size =
            disassembler.decode(from + at, code.data() + at, code.size() - at).size;
        if (size == 0)
            return std::nullopt;
        at += size;
        ++count;
    }
    if (at != code.size())
        return std::nullopt;
    return count;
}

std::vector<DisassembledInstruction> StandardDebugger::disassemble(std::uint64_t address,
                                                                   int before, int after) {
    if (getDisassemblyModes().empty())
        return {};
    // Thumb addresses may carry the mode bit.
    address &= ~std::uint64_t(1);
    const std::size_t leading = std::size_t(std::max(0, before));
    const std::size_t following = std::size_t(std::max(0, after));
    // Code cannot be told from data going backwards: a function's start is a known
    // instruction boundary; without one, the earliest point whose decoding meets the address.
    constexpr std::uint64_t kFunctionReach = 0x1000;
    std::uint64_t start = address, functionStart = 0, functionEnd = 0;
    std::size_t skipped = 0;
    std::optional<std::size_t> lead;
    if (leading > 0 && getFunctionRange(address, functionStart, functionEnd) &&
        functionStart <= address && address - functionStart <= kFunctionReach) {
        lead = instructionsUpTo(functionStart, address);
        if (lead)
            start = functionStart;
    }
    // Decoding from inside an instruction falls into step within a few instructions.
    constexpr int kAttempts = 16;
    std::uint64_t back = std::min<std::uint64_t>(address, leading * 4);
    for (int attempt = 0; !lead && back > 0 && attempt < kAttempts; ++attempt, back -= 2) {
        lead = instructionsUpTo(address - back, address);
        if (lead)
            start = address - back;
    }
    if (lead && *lead > leading)
        skipped = *lead - leading;
    const std::size_t total = (lead ? *lead : 0) + following + 1;
    std::vector<DisassembledInstruction> found = decodeFrom(start, total);
    found.erase(found.begin(), found.begin() + std::ptrdiff_t(std::min(skipped, found.size())));
    // Nothing to show when the address itself cannot be read.
    const bool reachesAddress =
        std::any_of(found.begin(), found.end(),
                    [&](const DisassembledInstruction &i) { return i.address == address; });
    return reachesAddress ? found : std::vector<DisassembledInstruction>{};
}

bool StandardDebugger::getSourceLocation(std::uint64_t address, std::string &function,
                                         std::string &file, int &line, std::uint64_t &start,
                                         std::uint64_t &end) {
    std::uint64_t functionStart = 0, functionEnd = 0;
    const bool inFunction = getFunctionRange(address, functionStart, functionEnd);
    const std::optional<DwarfLineTable::Location> location = m_lines.find(address);
    if (!inFunction && !location)
        return false;
    function = inFunction ? m_symbols->functionAt(address)->name : std::string();
    file = location ? location->file : std::string();
    line = location ? location->line : 0;
    start = location ? location->start : functionStart;
    end = location ? location->end : functionEnd;
    return true;
}

std::vector<std::uint64_t> StandardDebugger::getLineAddresses(const std::string &file, int &line) {
    return m_lines.addresses(file, line);
}

bool StandardDebugger::getFunctionRange(std::uint64_t address, std::uint64_t &start,
                                        std::uint64_t &end) {
    const ElfFile::Symbol *symbol = m_symbols ? m_symbols->functionAt(address) : nullptr;
    if (!symbol)
        return false;
    start = symbol->value & ~std::uint64_t(1);
    end = start + symbol->size;
    return true;
}

bool StandardDebugger::keepsLinkRegister(std::uint64_t start, std::uint64_t end) {
    constexpr std::uint64_t kMaxScan = 0x10000;
    if (end - start > kMaxScan)
        return false;
    std::vector<std::uint8_t> code(std::size_t(end - start));
    if (readMemory(Cached, start, code.size(), code.data()) != code.size())
        return false;
    // Halfword by halfword: a data word that looks like a store only makes the answer "no".
    auto half = [&](std::size_t at) { return unsigned(code[at] | code[at + 1] << 8); };
    for (std::size_t at = 0; at + 2 <= code.size(); at += 2) {
        const unsigned first = half(at);
        if ((first & 0xff00) == 0xb500) // push {..., lr}
            return false;
        if (at + 4 > code.size())
            continue;
        const unsigned second = half(at + 2);
        if (first == 0xe92d && (second & 0x4000)) // stmdb sp!, {..., lr}
            return false;
        if (first == 0xf84d && (second & 0xf000) == 0xe000) // str lr, [sp, #-n]!
            return false;
        if ((first & 0xff78) == 0x4670) // mov rN, lr
            return false;
    }
    return true;
}

std::optional<std::vector<std::uint64_t>> StandardDebugger::unwind(std::size_t limit) {
    std::uint64_t pc = 0;
    const std::optional<std::size_t> stackPointer = registerIndex(getStackPointerName());
    if (m_frames.empty() || !stackPointer || !getRegister(getProgramCounterName(), pc))
        return std::nullopt;
    const std::vector<TargetRegister> &registers = m_target->registers();
    // What the frames unwound so far changed; the rest the callers share with the innermost.
    std::map<std::uint64_t, std::optional<std::uint64_t>> changed;
    auto readRegister = [&](std::uint64_t number) -> std::optional<std::uint64_t> {
        if (auto found = changed.find(number); found != changed.end())
            return found->second;
        return dwarfRegister(number);
    };
    auto readWord = [&](std::uint64_t address) {
        return readInteger(address, getAddressSizeInBytes());
    };
    const bool arm = registerIndex("lr").has_value();
    std::vector<std::uint64_t> found;
    std::optional<std::uint64_t> previousCfa;
    // A caller's rules are those of its call instruction, which lies just before the return
    // address (and may be the last of a function that never returns).
    std::uint64_t lookup = pc;
    while (found.size() < limit) {
        const std::optional<DwarfFrameTable::Caller> caller =
            m_frames.unwind(lookup, registers[*stackPointer].number, readRegister, readWord);
        if (!caller)
            return found.empty() ? std::nullopt : std::optional(found);
        // A frame that does not move the CFA would repeat for ever; an exception handler
        // returns through a magic value, not to code.
        if (caller->cfa == previousCfa || !caller->returnAddress ||
            (arm && *caller->returnAddress >= 0xf0000000))
            break;
        const std::uint64_t back = *caller->returnAddress & ~std::uint64_t(1);
        found.push_back(back);
        for (const auto &[number, value] : caller->registers)
            changed[number] = value;
        previousCfa = caller->cfa;
        lookup = back - 1;
    }
    return found;
}

std::optional<std::uint64_t> StandardDebugger::dwarfRegister(std::uint64_t number) {
    const std::vector<TargetRegister> &registers = m_target->registers();
    for (std::size_t i = 0; i < registers.size(); ++i) {
        if (registers[i].number == number)
            return registerValue(i);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> StandardDebugger::readInteger(std::uint64_t address, unsigned size,
                                                           MemoryContext context) {
    std::uint8_t bytes[8];
    if (size > sizeof bytes || readMemory(context, address, size, bytes) != size)
        return std::nullopt;
    const bool little = !m_symbols || m_symbols->isLittleEndian();
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value = value << 8 | bytes[little ? size - 1 - i : i];
    return value;
}

std::vector<std::uint64_t> StandardDebugger::getReturnAddresses() {
    constexpr std::size_t kMaxFrames = 64;
    if (std::optional<std::vector<std::uint64_t>> found = unwind(kMaxFrames))
        return *found;
    return SymbolicDebuggerInterface::getReturnAddresses();
}

bool StandardDebugger::getReturnAddress(std::uint64_t &address) {
    if (std::optional<std::vector<std::uint64_t>> found = unwind(1)) {
        if (found->empty())
            return false;
        address = found->front();
        return true;
    }
    std::uint64_t pc = 0, link = 0, start = 0, end = 0;
    const bool arm = registerIndex("lr").has_value();
    if (!getRegister(getProgramCounterName(), pc) || !getRegister(arm ? "lr" : "ra", link) ||
        !getFunctionRange(pc, start, end))
        return false;
    // An exception handler returns through a magic value, not to code.
    if (arm && link >= 0xf0000000)
        return false;
    const bool thumb = m_symbols->functionAt(pc)->value & 1;
    if (pc != start && !(arm && thumb && keepsLinkRegister(start, end)))
        return false;
    address = link & ~std::uint64_t(1);
    return true;
}

std::optional<std::vector<std::string>> StandardDebugger::getGlobalVariables() {
    std::vector<std::string> names;
    if (m_symbols) {
        for (const ElfFile::Symbol &symbol : m_symbols->symbols()) {
            if (symbol.isObject)
                names.push_back(symbol.name);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

namespace {

// A value of the type as evaluateExpression shows it.
std::string shown(std::uint64_t bits, const DwarfLocals::Type &type) {
    using Type = DwarfLocals::Type;
    const unsigned unused = 64 - 8 * type.size;
    switch (type.kind) {
    case Type::Signed:
        return std::to_string(std::int64_t(bits << unused) >> unused);
    case Type::Boolean:
        return bits ? "true" : "false";
    case Type::Float: {
        char text[64];
        if (type.size == 4) {
            float value;
            const std::uint32_t word = std::uint32_t(bits);
            std::memcpy(&value, &word, sizeof value);
            std::snprintf(text, sizeof text, "%.9g", double(value));
        } else if (type.size == 8) {
            double value;
            std::memcpy(&value, &bits, sizeof value);
            std::snprintf(text, sizeof text, "%.17g", value);
        } else {
            return "<unavailable>";
        }
        return text;
    }
    default:
        return std::to_string(bits);
    }
}

} // namespace

std::optional<std::vector<LocalVariable>> StandardDebugger::getLocalVariables() {
    std::uint64_t pc = 0;
    if (!m_symbols || !getRegister(getProgramCounterName(), pc))
        return std::nullopt;
    const std::optional<DwarfLocals::Scope> scope = DwarfLocals::find(*m_symbols, pc);
    if (!scope)
        return std::vector<LocalVariable>{};
    using Location = DwarfLocals::Location;
    // Where the frame base is, when the function's variables are kept relative to it.
    std::optional<std::uint64_t> frameBase;
    const Location &base = scope->frameBase;
    if (base.kind == Location::Cfa) {
        const std::optional<DwarfFrameTable::Row> row = m_frames.rowAt(pc);
        if (row && row->cfaKnown) {
            if (std::optional<std::uint64_t> value = dwarfRegister(row->cfaRegister))
                frameBase = *value + std::uint64_t(row->cfaOffset);
        }
    } else if (base.kind == Location::Register || base.kind == Location::RegisterOffset) {
        if (std::optional<std::uint64_t> value = dwarfRegister(base.number))
            frameBase = *value + std::uint64_t(base.offset);
    }
    auto readLocation = [&](const Location &where, unsigned size) -> std::optional<std::uint64_t> {
        switch (where.kind) {
        case Location::Register: {
            std::optional<std::uint64_t> bits = dwarfRegister(where.number);
            if (bits && size < 8)
                *bits &= (std::uint64_t(1) << (8 * size)) - 1;
            return bits;
        }
        case Location::FrameBase:
            if (!frameBase)
                return std::nullopt;
            return readInteger(*frameBase + std::uint64_t(where.offset), size);
        case Location::RegisterOffset:
            if (std::optional<std::uint64_t> value = dwarfRegister(where.number))
                return readInteger(*value + std::uint64_t(where.offset), size);
            return std::nullopt;
        case Location::Address:
            return readInteger(where.number, size);
        default:
            return std::nullopt;
        }
    };
    std::vector<LocalVariable> found;
    for (const DwarfLocals::Variable &variable : scope->variables) {
        LocalVariable local{variable.name, "<unavailable>",
                            variable.type.kind == DwarfLocals::Type::Pointer,
                            variable.type.pointsToChar};
        const Location &where = variable.location;
        const unsigned size = variable.type.size;
        // A type this engine cannot show stays unavailable.
        std::optional<std::uint64_t> bits;
        if (where.kind == Location::None)
            local.value = "<optimised out>";
        else if (variable.type.kind != DwarfLocals::Type::Other)
            bits = readLocation(where, size);
        if (bits)
            local.value = shown(*bits, variable.type);
        found.push_back(std::move(local));
    }
    return found;
}

std::uint64_t StandardDebugger::addressLimit() const {
    const unsigned bytes = m_target->addressSize();
    return bytes >= 8 ? 0 : std::uint64_t(1) << (8 * bytes);
}

std::size_t StandardDebugger::fitAddressSpace(std::uint64_t address, std::size_t length) const {
    const std::uint64_t limit = addressLimit();
    if (!limit)
        return length;
    return address >= limit ? 0 : std::size_t(std::min<std::uint64_t>(length, limit - address));
}

void StandardDebugger::invalidate() {
    m_cache.clear();
    m_registers.reset();
}

std::size_t StandardDebugger::readMemory(int context, std::uint64_t address, std::size_t length,
                                         void *destination) {
    length = fitAddressSpace(address, length);
    if (length == 0)
        return 0;
    auto *out = static_cast<std::uint8_t *>(destination);
    if (context != Cached || m_running)
        return m_target->readMemory(address, out, length);

    const std::uint64_t first = address / kBlockSize * kBlockSize;
    const std::uint64_t end = address + length;
    std::uint64_t block = first;
    while (block < end) {
        if (m_cache.count(block)) {
            block += kBlockSize;
            continue;
        }
        // One request for the whole run of missing blocks.
        std::uint64_t runEnd = block;
        while (runEnd < end && !m_cache.count(runEnd))
            runEnd += kBlockSize;
        if (const std::uint64_t limit = addressLimit())
            runEnd = std::min(runEnd, limit);
        std::vector<std::uint8_t> bytes(std::size_t(runEnd - block));
        const std::size_t got = m_target->readMemory(block, bytes.data(), bytes.size());
        for (std::uint64_t at = 0; at + kBlockSize <= got; at += kBlockSize)
            m_cache.emplace(block + at, std::vector<std::uint8_t>(
                                            bytes.begin() + std::ptrdiff_t(at),
                                            bytes.begin() + std::ptrdiff_t(at + kBlockSize)));
        if (got < bytes.size()) {
            // Memory ends inside this run: deliver what the target gives, uncached.
            std::size_t done = 0;
            for (std::uint64_t at = address;
                 at < end && m_cache.count(at / kBlockSize * kBlockSize);) {
                const std::uint64_t start = at / kBlockSize * kBlockSize;
                const std::size_t count =
                    std::size_t(std::min<std::uint64_t>(end, start + kBlockSize) - at);
                std::memcpy(out + (at - address), m_cache[start].data() + (at - start), count);
                done += count;
                at += count;
            }
            return done + m_target->readMemory(address + done, out + done, length - done);
        }
        block = runEnd;
    }
    for (std::uint64_t at = address; at < end;) {
        const std::uint64_t start = at / kBlockSize * kBlockSize;
        const std::size_t count =
            std::size_t(std::min<std::uint64_t>(end, start + kBlockSize) - at);
        std::memcpy(out + (at - address), m_cache[start].data() + (at - start), count);
        at += count;
    }
    return length;
}

std::size_t StandardDebugger::writeMemory(int context, std::uint64_t address, std::size_t length,
                                          const void *source) {
    length = fitAddressSpace(address, length);
    if (length == 0)
        return 0;
    // The cached blocks the write touches are read again when next asked for.
    const std::uint64_t first = address / kBlockSize * kBlockSize;
    m_cache.erase(m_cache.lower_bound(first), m_cache.lower_bound(address + length));
    return m_target->writeMemory(address, source, length);
}

namespace {

constexpr std::uint64_t kDebugExceptionMonitorControl = 0xE000EDFC;
// Its vector catch bits: the core halts on taking the exception.
struct VectorCatch {
    const char *name;
    unsigned bit;
};
constexpr VectorCatch kVectorCatches[] = {
    {"CoreReset", 0}, {"MemManage", 4}, {"NoCoprocessor", 5}, {"Checking", 6},
    {"State", 7},     {"BusFault", 8},  {"Interrupt", 9},     {"HardFault", 10},
};

} // namespace

std::optional<std::uint32_t> StandardDebugger::vectorCatchRegister() {
    if (!registerIndex("xpsr"))
        return std::nullopt;
    // A device register: read each time, never from the cache.
    const std::optional<std::uint64_t> value =
        readInteger(kDebugExceptionMonitorControl, 4, Direct);
    if (!value)
        throw HException("cannot read the debug exception and monitor control register");
    return std::uint32_t(*value);
}

std::optional<std::vector<TargetException>> StandardDebugger::getExceptions() {
    const std::optional<std::uint32_t> control = vectorCatchRegister();
    if (!control)
        return std::nullopt;
    std::vector<TargetException> found;
    for (const VectorCatch &vectorCatch : kVectorCatches)
        found.push_back({vectorCatch.name, bool(*control >> vectorCatch.bit & 1)});
    return found;
}

bool StandardDebugger::enableException(const std::string &name, bool enable) {
    const VectorCatch *chosen = nullptr;
    for (const VectorCatch &vectorCatch : kVectorCatches) {
        if (strcasecmp(vectorCatch.name, name.c_str()) == 0)
            chosen = &vectorCatch;
    }
    const std::optional<std::uint32_t> control = chosen ? vectorCatchRegister() : std::nullopt;
    if (!control)
        return false;
    const std::uint32_t mask = std::uint32_t(1) << chosen->bit;
    const std::uint32_t wanted = enable ? *control | mask : *control & ~mask;
    std::uint8_t bytes[4];
    const bool little = !m_symbols || m_symbols->isLittleEndian();
    for (unsigned i = 0; i < 4; ++i)
        bytes[little ? i : 3 - i] = std::uint8_t(wanted >> (8 * i));
    // The other bits (tracing, the debug monitor) stay as they were. A core without the
    // catch ignores the bit, which reading back tells.
    if (writeMemory(Direct, kDebugExceptionMonitorControl, 4, bytes) != 4 ||
        vectorCatchRegister() != wanted)
        throw HException(std::string("the target cannot ") + (enable ? "break on " : "ignore ") +
                         chosen->name);
    return true;
}

bool StandardDebugger::setBreakpoint(std::uint64_t address) {
    if (m_breakpoints.count(address))
        return true;
    bool hardware = false;
    if (!m_target->insertBreakpoint(address, false)) {
        if (!m_target->insertBreakpoint(address, true))
            return false;
        hardware = true;
    }
    m_breakpoints[address] = hardware;
    return true;
}

bool StandardDebugger::clearBreakpoint(std::uint64_t address) {
    auto found = m_breakpoints.find(address);
    if (found == m_breakpoints.end())
        return false;
    const bool removed = m_target->removeBreakpoint(address, found->second);
    m_breakpoints.erase(found);
    return removed;
}

std::uint64_t StandardDebugger::resolveLocation(const std::string &text) {
    if (m_symbols) {
        if (const ElfFile::Symbol *symbol = m_symbols->findSymbol(text))
            return symbol->isFunction ? symbol->value & ~std::uint64_t(1) : symbol->value;
    }
    const char *digits = text.c_str();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits += 2;
        base = 16;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = *digits ? std::strtoull(digits, &end, base) : 0;
    if (!*digits || *end || errno || (addressLimit() && value >= addressLimit()) ||
        digits[0] == '-' || digits[0] == '+' || digits[0] == ' ')
        throw HException(m_symbols ? "no symbol or address '" + text + "'"
                                   : "invalid address '" + text + "' (symbols need --elf)");
    return value;
}

std::vector<std::string> StandardDebugger::getRegisterNames() {
    std::vector<std::string> names;
    for (const TargetRegister &reg : m_target->registers())
        names.push_back(reg.name);
    return names;
}

std::optional<std::size_t> StandardDebugger::registerIndex(const std::string &name) {
    const std::vector<TargetRegister> &registers = m_target->registers();
    for (std::size_t i = 0; i < registers.size(); ++i) {
        if (strcasecmp(registers[i].name.c_str(), name.c_str()) == 0)
            return i;
    }
    return std::nullopt;
}

const std::vector<std::uint64_t> &StandardDebugger::registerValues() {
    if (!m_registers || m_running)
        m_registers = m_target->readRegisters();
    return *m_registers;
}

std::optional<std::uint64_t> StandardDebugger::registerValue(std::size_t index) {
    if (m_located)
        return index < m_located->size() ? (*m_located)[index] : std::nullopt;
    const std::vector<std::uint64_t> &values = registerValues();
    return index < values.size() ? std::optional(values[index]) : std::nullopt;
}

bool StandardDebugger::getRegister(const std::string &name, std::uint64_t &value) {
    const std::optional<std::size_t> index = registerIndex(name);
    const std::optional<std::uint64_t> found = index ? registerValue(*index) : std::nullopt;
    if (!found)
        return false;
    value = *found;
    return true;
}

bool StandardDebugger::setRegister(const std::string &name, std::uint64_t value) {
    const std::optional<std::size_t> index = registerIndex(name);
    if (!index)
        return false;
    if (m_located)
        throw HException("the registers of a located context cannot be written");
    m_target->writeRegister(*index, value);
    m_registers.reset();
    return true;
}

bool StandardDebugger::locateRegisters(const std::vector<std::optional<std::uint64_t>> &values) {
    if (m_running)
        throw HException("the target is running");
    if (values.size() > m_target->registers().size())
        throw HException("more register values than registers");
    m_located = values;
    m_located->resize(m_target->registers().size());
    return true;
}

void StandardDebugger::stopped(const StopEvent &event) {
    if (m_helpers && !event.output.empty())
        m_helpers->targetOutput(event.output);
    m_running = event.kind == StopEvent::TimedOut;
}

void StandardDebugger::go() {
    leaveRegisterContext();
    bool stepped = false;
    StopEvent first = stepOffBreakpoint(&stepped);
    if (stepped && (first.kind != StopEvent::Signal || first.code != 5)) {
        stopped(first);
        return;
    }
    invalidate();
    StopEvent event = m_target->resume(false, 0);
    if (stepped)
        event.output = first.output + event.output;
    stopped(event);
}

void StandardDebugger::stepInstruction() {
    step();
}

void StandardDebugger::stop() {
    if (!m_running)
        return;
    m_target->interrupt();
    StopEvent event = m_target->waitForStop(5000);
    stopped(event);
    if (event.kind == StopEvent::TimedOut)
        throw HException("the target does not stop");
}

bool StandardDebugger::waitForStop(int timeoutMs) {
    if (m_running)
        stopped(m_target->waitForStop(timeoutMs));
    return !m_running;
}

StopEvent StandardDebugger::stepOffBreakpoint(bool *stepped) {
    *stepped = false;
    std::uint64_t pc = 0;
    if (m_breakpoints.empty() || !getRegister(getProgramCounterName(), pc))
        return {};
    auto found = m_breakpoints.find(pc);
    if (found == m_breakpoints.end())
        return {};
    // Servers stop again at once on a breakpoint under the program counter: take it out for
    // one instruction.
    m_target->removeBreakpoint(pc, found->second);
    invalidate();
    StopEvent event = m_target->resume(true, 5000);
    m_target->insertBreakpoint(pc, found->second);
    *stepped = true;
    return event;
}

StopEvent StandardDebugger::continueFor(int timeoutMs, const std::function<bool()> &cancelled) {
    // Waits in slices, so that output shows as it comes and a cancel is seen soon.
    constexpr int kSlice = 200;
    leaveRegisterContext();
    bool stepped = false;
    StopEvent first = stepOffBreakpoint(&stepped);
    if (stepped && (first.kind != StopEvent::Signal || first.code != 5)) {
        stopped(first);
        if (first.kind == StopEvent::TimedOut)
            stop();
        return first;
    }
    invalidate();
    int waited = 0;
    StopEvent event = m_target->resume(false, kSlice);
    if (stepped)
        event.output = first.output + event.output;
    for (;;) {
        stopped(event);
        if (event.kind != StopEvent::TimedOut)
            return event;
        waited += kSlice;
        if ((timeoutMs > 0 && waited >= timeoutMs) || (cancelled && cancelled())) {
            m_target->interrupt();
            event = m_target->waitForStop(5000);
            stopped(event);
            if (event.kind == StopEvent::TimedOut)
                throw HException("the target does not stop");
            event.interrupted = true;
            return event;
        }
        event = m_target->waitForStop(kSlice);
    }
}

StopEvent StandardDebugger::step() {
    leaveRegisterContext();
    bool stepped = false;
    StopEvent event = stepOffBreakpoint(&stepped);
    if (stepped) {
        stopped(event);
        if (event.kind == StopEvent::TimedOut)
            stop();
        return event;
    }
    invalidate();
    event = m_target->resume(true, 5000);
    stopped(event);
    if (event.kind == StopEvent::TimedOut)
        stop();
    return event;
}

std::string StandardDebugger::evaluateExpression(const std::string &expression) {
    return evaluate(expression).loaded().toString();
}

std::shared_ptr<MarkerType> StandardDebugger::lookupSymbol(const std::vector<std::string> &names) {
    if (!m_symbols || names.size() != 1)
        return nullptr;
    const ElfFile::Symbol *symbol = m_symbols->findSymbol(names[0]);
    if (!symbol)
        return nullptr;
    // Without type information a data symbol reads as an unsigned integer of its size.
    const bool isFunction = symbol->isFunction || !symbol->isObject;
    return std::make_shared<TargetObject>(
        *this, symbol->isFunction ? symbol->value & ~std::uint64_t(1) : symbol->value, symbol->size,
        false, isFunction);
}

std::shared_ptr<MarkerType> StandardDebugger::lookupSecondScope(const std::string &) {
    return nullptr;
}

std::shared_ptr<MarkerType> StandardDebugger::lookupRegister(const std::string &name) {
    const std::optional<std::size_t> index = registerIndex(name);
    if (!index)
        return nullptr;
    const TargetRegister &reg = m_target->registers()[*index];
    return std::make_shared<RegisterObject>(*this, reg.name, reg.size);
}

ExpressionValue StandardDebugger::cast(const BaseType &type, const ExpressionValue &value) {
    const ExpressionValue plain = value.loaded();
    if (type.kind() == BaseType::Kind::Simple) {
        const auto &simple = static_cast<const SimpleType &>(type);
        if (simple.isFloatingPoint())
            return ExpressionValue(simple.size(), plain.toDouble());
        return integerValue(plain.toUnsigned(), simple.size(), !simple.isUnsigned());
    }
    if (type.kind() == BaseType::Kind::Pointer) {
        const BaseType &target = static_cast<const PointerType &>(type).target();
        unsigned size = getAddressSizeInBytes();
        bool isSigned = false;
        if (target.kind() == BaseType::Kind::Simple) {
            const auto &simple = static_cast<const SimpleType &>(target);
            if (simple.isFloatingPoint())
                throw ParserException("cannot cast");
            size = simple.size();
            isSigned = !simple.isUnsigned();
        } else if (target.kind() != BaseType::Kind::Pointer) {
            throw ParserException("cannot cast");
        }
        return ExpressionValue(std::make_shared<PointerObject>(
            plain.toUnsigned(), getAddressSizeInBytes(), size, isSigned));
    }
    throw ParserException("cannot cast");
}

ExpressionValue StandardDebugger::elementAt(const ExpressionValue &object,
                                            const ExpressionValue &index) {
    const std::int64_t offset = index.loaded().toSigned();
    if (auto *pointer = dynamic_cast<PointerObject *>(object.marker().get())) {
        const std::uint64_t address =
            pointer->value() + std::uint64_t(offset) * pointer->elementSize();
        return ExpressionValue(std::make_shared<TargetObject>(
            *this, address, pointer->elementSize(), pointer->elementSigned(), false));
    }
    if (auto *target = dynamic_cast<TargetObject *>(object.marker().get());
        target && target->hasElements()) {
        if (offset < 0 || std::uint64_t(offset) >= target->size())
            throw ParserException("index out of range");
        return ExpressionValue(std::make_shared<TargetObject>(
            *this, target->address() + std::uint64_t(offset), 1, false, false));
    }
    throw ParserException("cannot dereference");
}

ExpressionValue StandardDebugger::member(const ExpressionValue &, const std::string &) {
    throw ParserException("cannot dereference");
}

ExpressionValue StandardDebugger::scopedMember(const ExpressionValue &,
                                               const std::vector<std::string> &) {
    throw ParserException("cannot dereference");
}

ExpressionValue StandardDebugger::pointerToMember(const ExpressionValue &,
                                                  const ExpressionValue &) {
    throw ParserException("cannot dereference");
}

ExpressionValue StandardDebugger::addressOf(const ExpressionValue &value) {
    auto *target = dynamic_cast<TargetObject *>(value.marker().get());
    if (!target)
        throw ParserException("cannot take the address of this value");
    return ExpressionValue(target->address(), getAddressSizeInBytes());
}

ExpressionValue StandardDebugger::sizeOf(const ExpressionValue &value) {
    if (auto *target = dynamic_cast<TargetObject *>(value.marker().get()))
        return ExpressionValue(target->size(), 4);
    const ExpressionValue plain = value.loaded();
    return ExpressionValue(std::uint64_t(plain.size()), 4);
}

ExpressionValue StandardDebugger::sizeOfType(const BaseType &type) {
    if (type.kind() == BaseType::Kind::Simple)
        return ExpressionValue(std::uint64_t(static_cast<const SimpleType &>(type).size()), 4);
    if (type.kind() == BaseType::Kind::Pointer)
        return ExpressionValue(std::uint64_t(getAddressSizeInBytes()), 4);
    return ExpressionParser::sizeOfType(type);
}

void StandardDebugger::store(const ExpressionValue &target, const ExpressionValue &value) {
    MarkerType *marker = target.marker().get();
    if (auto *object = dynamic_cast<TargetObject *>(marker))
        object->put(value);
    else if (auto *reg = dynamic_cast<RegisterObject *>(marker))
        reg->put(value);
    else
        throw ParserException("this symbol not found");
}

ExpressionValue StandardDebugger::currentValue(const ExpressionValue &target) {
    if (!target.marker())
        throw ParserException("this symbol not found");
    return target.marker()->read();
}

ExpressionValue StandardDebugger::arraySlice(const ExpressionValue &, const ExpressionValue &,
                                             const ExpressionValue &) {
    throw ParserException("cannot array slice");
}
