#include "debug/dwarflocals.h"

#include "debug/dwarfreader.h"
#include "debug/dwarfunitreader.h"
#include "debug/elffile.h"

namespace {

constexpr char kBad[] = "bad DWARF debugging information";

enum Tag : std::uint64_t {
    kEnumerationType = 0x04,
    kFormalParameter = 0x05,
    kLexicalBlock = 0x0b,
    kPointerType = 0x0f,
    kTypedef = 0x16,
    kBaseType = 0x24,
    kConstType = 0x26,
    kSubprogram = 0x2e,
    kVariable = 0x34,
    kVolatileType = 0x35,
    kRestrictType = 0x37,
    kAtomicType = 0x47,
};
enum Attribute : std::uint64_t {
    kLocation = 0x02,
    kName = 0x03,
    kByteSize = 0x0b,
    kLowPc = 0x11,
    kHighPc = 0x12,
    kDeclaration = 0x3c,
    kEncoding = 0x3e,
    kFrameBase = 0x40,
    kType = 0x49,
    kRanges = 0x55,
};

// [low, high) of an entry with a code range, or none.
std::optional<std::pair<std::uint64_t, std::uint64_t>>
codeRange(const DwarfUnitReader::Entry &entry) {
    const DwarfUnitReader::Value *low = entry.get(kLowPc);
    const DwarfUnitReader::Value *high = entry.get(kHighPc);
    if (!low || !high || low->isBlock || high->isBlock || low->isText || high->isText)
        return std::nullopt;
    // An address form is the end itself; a constant is the length.
    const std::uint64_t end = high->form == 0x01 ? high->number : low->number + high->number;
    return std::pair(low->number, end);
}

// The single-operation expressions that -O0 code uses.
DwarfLocals::Location location(const DwarfUnitReader::Value *value, unsigned addressSize,
                               bool little) {
    using Location = DwarfLocals::Location;
    Location found;
    if (!value)
        return found;
    found.kind = Location::Unsupported;
    if (!value->isBlock || value->block.empty())
        return found;
    DwarfReader expression(value->block, little, kBad);
    const unsigned op = unsigned(expression.fixed(1));
    if (op == 0x91) { // fbreg
        found = {Location::FrameBase, 0, expression.sleb()};
    } else if (op == 0x03) { // addr
        found = {Location::Address, expression.fixed(addressSize), 0};
    } else if (op >= 0x50 && op <= 0x6f) { // reg0..31
        found = {Location::Register, op - 0x50u, 0};
    } else if (op >= 0x70 && op <= 0x8f) { // breg0..31
        found = {Location::RegisterOffset, op - 0x70u, expression.sleb()};
    } else if (op == 0x9c) { // call_frame_cfa
        found = {Location::Cfa, 0, 0};
    } else {
        return found;
    }
    // Anything after the first operation (a piece, arithmetic) changes the meaning.
    if (expression.left() != 0)
        found = {Location::Unsupported, 0, 0};
    return found;
}

// `nested` for a pointer's target or an enumeration's underlying type, which go no deeper.
// The expression of the .debug_loc list at `offset` that holds `pc`; empty when none does.
std::span<const std::uint8_t> listEntry(std::span<const std::uint8_t> lists, bool little,
                                        unsigned addressSize, std::uint64_t offset,
                                        std::uint64_t base, std::uint64_t pc) {
    DwarfReader list(lists, little, kBad);
    list.seek(offset);
    const std::uint64_t selectsBase =
        addressSize == 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (8 * addressSize)) - 1;
    for (;;) {
        const std::uint64_t begin = list.fixed(addressSize);
        const std::uint64_t end = list.fixed(addressSize);
        if (begin == 0 && end == 0)
            return {};
        if (begin == selectsBase) {
            base = end;
            continue;
        }
        const std::uint64_t size = list.fixed(2);
        const std::uint64_t at = list.position();
        list.skip(size);
        if (base + begin <= pc && pc < base + end)
            return list.bytes().subspan(at, size);
    }
}

DwarfLocals::Type typeOf(DwarfUnitReader &unit, const DwarfUnitReader::Entry &entry,
                         bool nested = false) {
    using Type = DwarfLocals::Type;
    Type type;
    std::optional<DwarfUnitReader::Entry> at = entry;
    // Typedefs and qualifiers lead to the type; a hostile chain ends in a loop.
    for (int hops = 0; hops < 32; ++hops) {
        const DwarfUnitReader::Value *reference = at->get(kType);
        at = reference ? unit.entryAt(reference->number) : std::nullopt;
        if (!at)
            return type;
        const std::uint64_t tag = at->tag;
        if (tag == kTypedef || tag == kConstType || tag == kVolatileType || tag == kRestrictType ||
            tag == kAtomicType)
            continue;
        const DwarfUnitReader::Value *size = at->get(kByteSize);
        if (tag == kPointerType) {
            type.kind = Type::Pointer;
            type.size = size ? unsigned(size->number) : unit.addressSize();
            const Type pointee = nested ? Type{} : typeOf(unit, *at, true);
            type.pointsToChar = pointee.size == 1 && pointee.kind != Type::Pointer &&
                                pointee.kind != Type::Other && pointee.kind != Type::Boolean;
        } else if (tag == kBaseType && size) {
            const DwarfUnitReader::Value *encoding = at->get(kEncoding);
            const std::uint64_t code = encoding ? encoding->number : 0;
            type.size = unsigned(size->number);
            type.kind = code == 0x02                                   ? Type::Boolean
                        : code == 0x04                                 ? Type::Float
                        : code == 0x05 || code == 0x06                 ? Type::Signed
                        : code == 0x07 || code == 0x08 || code == 0x10 ? Type::Unsigned
                                                                       : Type::Other;
        } else if (tag == kEnumerationType && size) {
            // The value as the number it is stored as.
            const Type underlying = !nested && at->get(kType) ? typeOf(unit, *at, true) : Type{};
            type.kind = underlying.kind == Type::Signed ? Type::Signed : Type::Unsigned;
            type.size = unsigned(size->number);
        }
        if (type.size != 1 && type.size != 2 && type.size != 4 && type.size != 8)
            type = {};
        return type;
    }
    return type;
}

} // namespace

std::optional<DwarfLocals::Scope> DwarfLocals::find(std::span<const std::uint8_t> infoBytes,
                                                    std::span<const std::uint8_t> abbreviations,
                                                    std::span<const std::uint8_t> strings,
                                                    std::span<const std::uint8_t> lineStrings,
                                                    std::span<const std::uint8_t> locations,
                                                    bool littleEndian, std::uint64_t pc) {
    DwarfReader info(infoBytes, littleEndian, kBad);
    DwarfUnitReader unit(info, abbreviations, strings, lineStrings, littleEndian);
    while (info.left() > 0) {
        if (!unit.begin())
            continue;
        std::optional<Scope> scope;
        // Location lists count from the unit's base address, its first entry's low_pc.
        std::uint64_t base = 0;
        bool first = true;
        auto where = [&](const DwarfUnitReader::Value *value) {
            // Before version 4 a 4- or 8-byte constant is a list's offset too.
            const bool isList =
                value && unit.version() < 5 &&
                (value->form == 0x17 ||
                 (unit.version() < 4 && (value->form == 0x06 || value->form == 0x07)));
            if (!isList)
                return location(value, unit.addressSize(), littleEndian);
            DwarfUnitReader::Value entry;
            entry.isBlock = true;
            entry.block =
                listEntry(locations, littleEndian, unit.addressSize(), value->number, base, pc);
            // No entry for the address: the value does not exist there.
            return entry.block.empty() ? Location{}
                                       : location(&entry, unit.addressSize(), littleEndian);
        };
        // Whether the children of each open entry are the function's locals; the walk keeps
        // its own stack so that deep nesting cannot overflow the call stack.
        std::vector<bool> open;
        std::size_t scopeDepth = 0; // entries open around the function
        while (info.position() < unit.end()) {
            const DwarfUnitReader::Entry entry = unit.next();
            if (entry.tag == 0) {
                if (open.empty())
                    continue; // padding
                open.pop_back();
                if (scope && open.size() == scopeDepth)
                    return scope;
                continue;
            }
            if (first) {
                if (const DwarfUnitReader::Value *low = entry.get(kLowPc))
                    base = low->number;
                first = false;
            }
            const bool collecting = !open.empty() && open.back();
            bool childrenCollect = false;
            const auto range = codeRange(entry);
            const bool holdsPc = range && range->first <= pc && pc < range->second;
            if (entry.tag == kSubprogram && holdsPc && !scope) {
                scope.emplace();
                scopeDepth = open.size();
                if (const DwarfUnitReader::Value *name = entry.get(kName); name && name->isText)
                    scope->function = name->text;
                scope->frameBase = where(entry.get(kFrameBase));
                childrenCollect = true;
            } else if (entry.tag == kLexicalBlock && collecting) {
                // A block without a range covers its parent's; one given as a range list is
                // not followed.
                childrenCollect = range ? holdsPc : !entry.get(kRanges);
            } else if ((entry.tag == kFormalParameter || entry.tag == kVariable) && collecting &&
                       !entry.get(kDeclaration)) {
                Variable variable;
                const DwarfUnitReader::Value *name = entry.get(kName);
                variable.name = name && name->isText ? name->text : "?";
                variable.type = typeOf(unit, entry);
                variable.location = where(entry.get(kLocation));
                scope->variables.push_back(std::move(variable));
            }
            if (entry.children)
                open.push_back(childrenCollect);
            else if (entry.tag == kSubprogram && childrenCollect)
                return scope; // a function without locals
        }
        if (scope)
            return scope;
        info.seek(unit.end());
    }
    return std::nullopt;
}

std::optional<DwarfLocals::Scope> DwarfLocals::find(const ElfFile &elf, std::uint64_t pc) {
    return find(elf.section(".debug_info"), elf.section(".debug_abbrev"), elf.section(".debug_str"),
                elf.section(".debug_line_str"), elf.section(".debug_loc"), elf.isLittleEndian(),
                pc);
}
