#include "debug/dwarflocals.h"

#include "debug/dwarfreader.h"
#include "debug/elffile.h"

#include <map>

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
constexpr std::uint64_t kImplicitConstant = 0x21, kIndirect = 0x16;

// An attribute's value: a number (constants, addresses, references made section-relative), a
// block (expressions) or a text; `form` tells which reading applies.
struct Value {
    std::uint64_t form = 0;
    std::uint64_t number = 0;
    std::span<const std::uint8_t> block;
    std::string text;
    bool isBlock = false;
    bool isText = false;
};

struct Abbreviation {
    std::uint64_t tag = 0;
    bool children = false;
    struct Spec {
        std::uint64_t attribute;
        std::uint64_t form;
        std::int64_t constant;
    };
    std::vector<Spec> specs;
};

struct Entry {
    std::uint64_t tag = 0; // 0: the end of a list of siblings
    bool children = false;
    std::map<std::uint64_t, Value> values;
    const Value *get(std::uint64_t attribute) const {
        auto found = values.find(attribute);
        return found == values.end() ? nullptr : &found->second;
    }
};

class UnitReader {
public:
    UnitReader(DwarfReader &info, std::span<const std::uint8_t> abbreviations,
               std::span<const std::uint8_t> strings, std::span<const std::uint8_t> lineStrings,
               bool little)
        : m_info(info), m_abbreviationBytes(abbreviations), m_strings(strings),
          m_lineStrings(lineStrings), m_little(little) {}

    // Reads the unit header at the reader's position; false for a unit without entries of
    // code (type units), which the reader has passed.
    bool begin() {
        m_start = m_info.position();
        const auto [length, dwarf64] = m_info.unitLength();
        m_end = m_info.position() + length;
        m_offsetSize = dwarf64 ? 8 : 4;
        m_version = unsigned(m_info.fixed(2));
        if (m_version < 2 || m_version > 5) {
            m_info.seek(m_end);
            return false;
        }
        std::uint64_t abbreviations = 0;
        if (m_version == 5) {
            const unsigned type = unsigned(m_info.fixed(1));
            m_addressSize = unsigned(m_info.fixed(1));
            abbreviations = m_info.fixed(m_offsetSize);
            if (type != 1 && type != 3) {
                m_info.seek(m_end);
                return false;
            }
        } else {
            abbreviations = m_info.fixed(m_offsetSize);
            m_addressSize = unsigned(m_info.fixed(1));
        }
        if (m_addressSize == 0 || m_addressSize > 8)
            m_info.fail();
        readAbbreviations(abbreviations);
        return true;
    }
    std::uint64_t end() const { return m_end; }
    unsigned addressSize() const { return m_addressSize; }

    Entry next() {
        Entry entry;
        const std::uint64_t code = m_info.uleb();
        if (code == 0)
            return entry;
        auto found = m_abbreviations.find(code);
        if (found == m_abbreviations.end())
            m_info.fail();
        entry.tag = found->second.tag;
        entry.children = found->second.children;
        for (const Abbreviation::Spec &spec : found->second.specs) {
            Value value = read(spec.form, spec.constant);
            if (value.form)
                entry.values[spec.attribute] = std::move(value);
        }
        if (m_info.position() > m_end)
            m_info.fail();
        return entry;
    }

    // The entry at a section offset within this unit.
    std::optional<Entry> entryAt(std::uint64_t offset) {
        if (offset <= m_start || offset >= m_end)
            return std::nullopt;
        const std::uint64_t back = m_info.position();
        m_info.seek(offset);
        Entry entry = next();
        m_info.seek(back);
        return entry;
    }

private:
    void readAbbreviations(std::uint64_t offset) {
        m_abbreviations.clear();
        DwarfReader reader(m_abbreviationBytes, m_little, kBad);
        reader.seek(offset);
        for (std::uint64_t code = reader.uleb(); code != 0; code = reader.uleb()) {
            Abbreviation &abbreviation = m_abbreviations[code];
            abbreviation.specs.clear();
            abbreviation.tag = reader.uleb();
            abbreviation.children = reader.fixed(1) != 0;
            for (;;) {
                const std::uint64_t attribute = reader.uleb();
                const std::uint64_t form = reader.uleb();
                const std::int64_t constant = form == kImplicitConstant ? reader.sleb() : 0;
                if (attribute == 0 && form == 0)
                    break;
                abbreviation.specs.push_back({attribute, form, constant});
            }
        }
    }

    Value read(std::uint64_t form, std::int64_t constant) {
        // An indirect form names the real one in the data; a chain of them is hostile.
        for (int i = 0; form == kIndirect; ++i) {
            if (i == 4)
                m_info.fail();
            form = m_info.uleb();
        }
        Value value;
        value.form = form;
        switch (form) {
        case 0x01: // addr
            value.number = m_info.fixed(m_addressSize);
            break;
        case 0x0b:
        case 0x0c: // data1 flag
            value.number = m_info.fixed(1);
            break;
        case 0x05:
            value.number = m_info.fixed(2);
            break;
        case 0x06:
        case 0x17: // data4 sec_offset
            value.number = m_info.fixed(form == 0x17 ? m_offsetSize : 4);
            break;
        case 0x07:
            value.number = m_info.fixed(8);
            break;
        case 0x0d:
            value.number = std::uint64_t(m_info.sleb());
            break;
        case 0x0f:
            value.number = m_info.uleb();
            break;
        case 0x19: // flag present
            value.number = 1;
            break;
        case kImplicitConstant:
            value.number = std::uint64_t(constant);
            break;
        case 0x11:
        case 0x12:
        case 0x13:
        case 0x14:
        case 0x15: { // unit-relative references
            const unsigned sizes[] = {1, 2, 4, 8};
            value.number =
                m_start + (form == 0x15 ? m_info.uleb() : m_info.fixed(sizes[form - 0x11]));
            break;
        }
        case 0x10: // ref_addr
            value.number = m_info.fixed(m_version == 2 ? m_addressSize : m_offsetSize);
            break;
        case 0x0a:
        case 0x03:
        case 0x04:
        case 0x09:
        case 0x18: { // blocks and expressions
            const std::uint64_t size = form == 0x0a   ? m_info.fixed(1)
                                       : form == 0x03 ? m_info.fixed(2)
                                       : form == 0x04 ? m_info.fixed(4)
                                                      : m_info.uleb();
            const std::uint64_t at = m_info.position();
            m_info.skip(size);
            value.block = m_info.bytes().subspan(at, size);
            value.isBlock = true;
            break;
        }
        case 0x08:
            value.text = m_info.string();
            value.isText = true;
            break;
        case 0x0e:
        case 0x1f: // strp line_strp
            value.text = DwarfReader(form == 0x0e ? m_strings : m_lineStrings, m_little, kBad)
                             .stringAt(m_info.fixed(m_offsetSize));
            value.isText = true;
            break;
        default: // string indexes and the rest: not needed here
            m_info.skipForm(form, m_offsetSize, m_addressSize, m_version);
            value.form = 0;
            break;
        }
        return value;
    }

    DwarfReader &m_info;
    std::span<const std::uint8_t> m_abbreviationBytes, m_strings, m_lineStrings;
    bool m_little;
    std::uint64_t m_start = 0, m_end = 0;
    unsigned m_offsetSize = 4, m_addressSize = 4, m_version = 0;
    std::map<std::uint64_t, Abbreviation> m_abbreviations;
};

// [low, high) of an entry with a code range, or none.
std::optional<std::pair<std::uint64_t, std::uint64_t>> codeRange(const Entry &entry) {
    const Value *low = entry.get(kLowPc);
    const Value *high = entry.get(kHighPc);
    if (!low || !high || low->isBlock || high->isBlock || low->isText || high->isText)
        return std::nullopt;
    // An address form is the end itself; a constant is the length.
    const std::uint64_t end = high->form == 0x01 ? high->number : low->number + high->number;
    return std::pair(low->number, end);
}

// The single-operation expressions that -O0 code uses.
DwarfLocals::Location location(const Value *value, unsigned addressSize, bool little) {
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
DwarfLocals::Type typeOf(UnitReader &unit, const Entry &entry, bool nested = false) {
    using Type = DwarfLocals::Type;
    Type type;
    std::optional<Entry> at = entry;
    // Typedefs and qualifiers lead to the type; a hostile chain ends in a loop.
    for (int hops = 0; hops < 32; ++hops) {
        const Value *reference = at->get(kType);
        at = reference ? unit.entryAt(reference->number) : std::nullopt;
        if (!at)
            return type;
        const std::uint64_t tag = at->tag;
        if (tag == kTypedef || tag == kConstType || tag == kVolatileType || tag == kRestrictType ||
            tag == kAtomicType)
            continue;
        const Value *size = at->get(kByteSize);
        if (tag == kPointerType) {
            type.kind = Type::Pointer;
            type.size = size ? unsigned(size->number) : unit.addressSize();
            const Type pointee = nested ? Type{} : typeOf(unit, *at, true);
            type.pointsToChar = pointee.size == 1 && pointee.kind != Type::Pointer &&
                                pointee.kind != Type::Other && pointee.kind != Type::Boolean;
        } else if (tag == kBaseType && size) {
            const Value *encoding = at->get(kEncoding);
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
                                                    bool littleEndian, std::uint64_t pc) {
    DwarfReader info(infoBytes, littleEndian, kBad);
    UnitReader unit(info, abbreviations, strings, lineStrings, littleEndian);
    while (info.left() > 0) {
        if (!unit.begin())
            continue;
        std::optional<Scope> scope;
        // Whether the children of each open entry are the function's locals; the walk keeps
        // its own stack so that deep nesting cannot overflow the call stack.
        std::vector<bool> open;
        std::size_t scopeDepth = 0; // entries open around the function
        while (info.position() < unit.end()) {
            const Entry entry = unit.next();
            if (entry.tag == 0) {
                if (open.empty())
                    continue; // padding
                open.pop_back();
                if (scope && open.size() == scopeDepth)
                    return scope;
                continue;
            }
            const bool collecting = !open.empty() && open.back();
            bool childrenCollect = false;
            const auto range = codeRange(entry);
            const bool holdsPc = range && range->first <= pc && pc < range->second;
            if (entry.tag == kSubprogram && holdsPc && !scope) {
                scope.emplace();
                scopeDepth = open.size();
                if (const Value *name = entry.get(kName); name && name->isText)
                    scope->function = name->text;
                scope->frameBase =
                    location(entry.get(kFrameBase), unit.addressSize(), littleEndian);
                childrenCollect = true;
            } else if (entry.tag == kLexicalBlock && collecting) {
                // A block without a range covers its parent's; one given as a range list is
                // not followed.
                childrenCollect = range ? holdsPc : !entry.get(kRanges);
            } else if ((entry.tag == kFormalParameter || entry.tag == kVariable) && collecting &&
                       !entry.get(kDeclaration)) {
                Variable variable;
                const Value *name = entry.get(kName);
                variable.name = name && name->isText ? name->text : "?";
                variable.type = typeOf(unit, entry);
                variable.location =
                    location(entry.get(kLocation), unit.addressSize(), littleEndian);
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
                elf.section(".debug_line_str"), elf.isLittleEndian(), pc);
}
