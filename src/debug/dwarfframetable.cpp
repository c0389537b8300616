#include "debug/dwarfframetable.h"

#include "core/hexception.h"
#include "debug/dwarfreader.h"
#include "debug/elffile.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

constexpr char kBad[] = "bad DWARF call frame information";
// A deeper stack of remembered states is no compiler's: it would only cost memory.
constexpr std::size_t kMaxRemembered = 64;

[[noreturn]] void bad() {
    throw HException(kBad);
}

// Factored offsets wrap instead of overflowing: damaged ones give wrong addresses, not
// undefined behaviour.
std::int64_t factored(std::uint64_t value, std::int64_t factor) {
    return std::int64_t(value * std::uint64_t(factor));
}

} // namespace

DwarfFrameTable DwarfFrameTable::fromElf(const ElfFile &elf) {
    return DwarfFrameTable(elf.section(".debug_frame"), elf.isLittleEndian(),
                           elf.is64Bit() ? 8 : 4);
}

std::optional<DwarfFrameTable::Cie> DwarfFrameTable::readCie(std::uint64_t offset,
                                                             unsigned addressSize) const {
    DwarfReader reader(m_bytes, m_little, kBad);
    reader.seek(offset);
    const auto [length, dwarf64] = reader.unitLength();
    const std::uint64_t end = reader.position() + length;
    if (reader.fixed(dwarf64 ? 8 : 4) != (dwarf64 ? ~std::uint64_t(0) : 0xffffffff))
        bad(); // an FDE names something else as its CIE
    const unsigned version = unsigned(reader.fixed(1));
    if (version != 1 && version != 3 && version != 4)
        throw HException("unsupported DWARF call frame version " + std::to_string(version));
    if (!reader.string().empty())
        return std::nullopt;
    Cie cie{};
    cie.addressSize = addressSize;
    if (version >= 4) {
        cie.addressSize = unsigned(reader.fixed(1));
        if (cie.addressSize == 0 || cie.addressSize > 8 || reader.fixed(1) != 0)
            throw HException("unsupported DWARF call frame address or segment size");
    }
    cie.codeAlignment = reader.uleb();
    cie.dataAlignment = reader.sleb();
    cie.initial.returnColumn = version == 1 ? reader.fixed(1) : reader.uleb();
    if (reader.position() > end)
        bad();
    execute(reader.position(), end - reader.position(), cie, cie.initial, nullptr,
            ~std::uint64_t(0));
    return cie;
}

DwarfFrameTable::DwarfFrameTable(std::span<const std::uint8_t> frames, bool littleEndian,
                                 unsigned addressSize)
    : m_bytes(frames.begin(), frames.end()), m_little(littleEndian) {
    DwarfReader reader(m_bytes, m_little, kBad);
    std::map<std::uint64_t, std::optional<std::size_t>> cieIndex; // by offset; none: unusable
    while (reader.left() > 0) {
        const auto [length, dwarf64] = reader.unitLength();
        const std::uint64_t end = reader.position() + length;
        if (length == 0)
            continue; // padding
        if (length < (dwarf64 ? 8u : 4u))
            bad(); // no room for the CIE pointer
        const std::uint64_t pointer = reader.fixed(dwarf64 ? 8 : 4);
        if (pointer == (dwarf64 ? ~std::uint64_t(0) : 0xffffffff)) {
            reader.seek(end); // a CIE counts once an FDE refers to it
            continue;
        }
        auto known = cieIndex.find(pointer);
        if (known == cieIndex.end()) {
            std::optional<Cie> cie = readCie(pointer, addressSize);
            std::optional<std::size_t> index;
            if (cie) {
                index = m_cies.size();
                m_cies.push_back(std::move(*cie));
            }
            known = cieIndex.emplace(pointer, index).first;
        }
        if (!known->second) {
            reader.seek(end); // described in a way this reader does not know
            continue;
        }
        const Cie &cie = m_cies[*known->second];
        const std::uint64_t start = reader.fixed(cie.addressSize);
        const std::uint64_t range = reader.fixed(cie.addressSize);
        if (reader.position() > end)
            bad();
        const Function function{start, start + range, *known->second, reader.position(),
                                end - reader.position()};
        // Damaged instructions show now, not in the middle of a step.
        Row row = cie.initial;
        row.location = start;
        execute(function.offset, function.size, cie, row, &cie.initial, ~std::uint64_t(0));
        if (range > 0)
            m_functions.push_back(function);
        reader.seek(end);
    }
    std::stable_sort(m_functions.begin(), m_functions.end(),
                     [](const Function &a, const Function &b) { return a.start < b.start; });
}

void DwarfFrameTable::execute(std::uint64_t offset, std::uint64_t size, const Cie &cie, Row &row,
                              const Row *initial, std::uint64_t address) const {
    DwarfReader reader(std::span<const std::uint8_t>(m_bytes).subspan(offset, size), m_little,
                       kBad);
    std::vector<Row> remembered;
    // False once the next row would begin past `address`.
    auto moveTo = [&](std::uint64_t location) {
        if (!initial || location < row.location)
            bad();
        if (location > address)
            return false;
        row.location = location;
        return true;
    };
    auto set = [&](std::uint64_t reg, Rule rule) {
        if (rule.kind == Rule::Unspecified)
            row.registers.erase(reg);
        else
            row.registers[reg] = rule;
    };
    auto restore = [&](std::uint64_t reg) {
        const auto kept = initial ? initial->registers.find(reg) : row.registers.end();
        set(reg, initial && kept != initial->registers.end() ? kept->second : Rule{});
    };
    while (reader.left() > 0) {
        const unsigned op = unsigned(reader.fixed(1));
        bool more = true;
        switch (op >> 6) {
        case 1: // DW_CFA_advance_loc
            more = moveTo(row.location + (op & 0x3f) * cie.codeAlignment);
            break;
        case 2: // DW_CFA_offset
            set(op & 0x3f, {Rule::Offset, factored(reader.uleb(), cie.dataAlignment)});
            break;
        case 3: // DW_CFA_restore
            restore(op & 0x3f);
            break;
        default:
            switch (op) {
            case 0x00: // DW_CFA_nop
                break;
            case 0x01: // DW_CFA_set_loc
                more = moveTo(reader.fixed(cie.addressSize));
                break;
            case 0x02: // DW_CFA_advance_loc1
            case 0x03: // DW_CFA_advance_loc2
            case 0x04: // DW_CFA_advance_loc4
                more = moveTo(row.location + reader.fixed(op == 0x02   ? 1
                                                          : op == 0x03 ? 2
                                                                       : 4) *
                                                 cie.codeAlignment);
                break;
            case 0x05: { // DW_CFA_offset_extended
                const std::uint64_t reg = reader.uleb();
                set(reg, {Rule::Offset, factored(reader.uleb(), cie.dataAlignment)});
                break;
            }
            case 0x06: // DW_CFA_restore_extended
                restore(reader.uleb());
                break;
            case 0x07: // DW_CFA_undefined
                set(reader.uleb(), {Rule::Undefined, 0});
                break;
            case 0x08: // DW_CFA_same_value
                set(reader.uleb(), {Rule::SameValue, 0});
                break;
            case 0x09: { // DW_CFA_register
                const std::uint64_t reg = reader.uleb();
                set(reg, {Rule::Register, std::int64_t(reader.uleb())});
                break;
            }
            case 0x0a: // DW_CFA_remember_state
                if (remembered.size() >= kMaxRemembered)
                    bad();
                remembered.push_back(row);
                break;
            case 0x0b: { // DW_CFA_restore_state
                if (remembered.empty())
                    bad();
                const std::uint64_t location = row.location;
                row = std::move(remembered.back());
                row.location = location;
                remembered.pop_back();
                break;
            }
            case 0x0c: // DW_CFA_def_cfa
                row.cfaRegister = reader.uleb();
                row.cfaOffset = std::int64_t(reader.uleb());
                row.cfaKnown = true;
                break;
            case 0x0d: // DW_CFA_def_cfa_register
                row.cfaRegister = reader.uleb();
                break;
            case 0x0e: // DW_CFA_def_cfa_offset
                row.cfaOffset = std::int64_t(reader.uleb());
                break;
            case 0x0f: // DW_CFA_def_cfa_expression
                reader.skip(reader.uleb());
                row.cfaKnown = false;
                break;
            case 0x10:   // DW_CFA_expression
            case 0x16: { // DW_CFA_val_expression
                const std::uint64_t reg = reader.uleb();
                reader.skip(reader.uleb());
                set(reg, {Rule::Unknown, 0});
                break;
            }
            case 0x11: { // DW_CFA_offset_extended_sf
                const std::uint64_t reg = reader.uleb();
                set(reg, {Rule::Offset, factored(std::uint64_t(reader.sleb()), cie.dataAlignment)});
                break;
            }
            case 0x12: // DW_CFA_def_cfa_sf
                row.cfaRegister = reader.uleb();
                row.cfaOffset = factored(std::uint64_t(reader.sleb()), cie.dataAlignment);
                row.cfaKnown = true;
                break;
            case 0x13: // DW_CFA_def_cfa_offset_sf
                row.cfaOffset = factored(std::uint64_t(reader.sleb()), cie.dataAlignment);
                break;
            case 0x14: { // DW_CFA_val_offset
                const std::uint64_t reg = reader.uleb();
                set(reg, {Rule::ValueOffset, factored(reader.uleb(), cie.dataAlignment)});
                break;
            }
            case 0x15: { // DW_CFA_val_offset_sf
                const std::uint64_t reg = reader.uleb();
                set(reg,
                    {Rule::ValueOffset, factored(std::uint64_t(reader.sleb()), cie.dataAlignment)});
                break;
            }
            case 0x2e: // DW_CFA_GNU_args_size
                reader.uleb();
                break;
            case 0x2f: { // DW_CFA_GNU_negative_offset_extended
                const std::uint64_t reg = reader.uleb();
                set(reg, {Rule::Offset, factored(0 - reader.uleb(), cie.dataAlignment)});
                break;
            }
            default:
                throw HException("unsupported DWARF call frame instruction " + std::to_string(op));
            }
        }
        if (!more)
            return;
    }
}

std::optional<DwarfFrameTable::Row> DwarfFrameTable::rowAt(std::uint64_t address) const {
    auto after = std::upper_bound(
        m_functions.begin(), m_functions.end(), address,
        [](std::uint64_t value, const Function &function) { return value < function.start; });
    // FDEs do not overlap: the last that starts at or before the address is the only one
    // that can cover it.
    if (after == m_functions.begin() || address >= std::prev(after)->end)
        return std::nullopt;
    const Function &function = *std::prev(after);
    const Cie &cie = m_cies[function.cie];
    Row row = cie.initial;
    row.location = function.start;
    execute(function.offset, function.size, cie, row, &cie.initial, address);
    return row;
}

std::optional<DwarfFrameTable::Caller>
DwarfFrameTable::unwind(std::uint64_t pc, std::uint64_t stackPointer,
                        const RegisterReader &readRegister, const MemoryReader &readMemory) const {
    const std::optional<Row> row = rowAt(pc);
    if (!row || !row->cfaKnown)
        return std::nullopt;
    const std::optional<std::uint64_t> base = readRegister(row->cfaRegister);
    if (!base)
        return std::nullopt;
    Caller caller;
    caller.cfa = *base + std::uint64_t(row->cfaOffset);
    // The value a rule gives the caller's register, or none.
    auto value = [&](std::uint64_t reg) -> std::optional<std::uint64_t> {
        const auto found = row->registers.find(reg);
        const Rule rule = found == row->registers.end() ? Rule{} : found->second;
        switch (rule.kind) {
        case Rule::Unspecified:
        case Rule::SameValue:
            return readRegister(reg);
        case Rule::Offset:
            return readMemory(caller.cfa + std::uint64_t(rule.value));
        case Rule::ValueOffset:
            return caller.cfa + std::uint64_t(rule.value);
        case Rule::Register:
            return readRegister(std::uint64_t(rule.value));
        case Rule::Undefined:
        case Rule::Unknown:
            break;
        }
        return std::nullopt;
    };
    caller.returnAddress = value(row->returnColumn);
    for (const auto &[reg, rule] : row->registers)
        caller.registers[reg] = value(reg);
    // The call overwrote it: the caller's own value is gone.
    caller.registers[row->returnColumn] = std::nullopt;
    caller.registers[stackPointer] = caller.cfa;
    return caller;
}
