#include "debug/dwarfunitreader.h"

#include "debug/dwarfreader.h"

namespace {

constexpr char kBad[] = "bad DWARF debugging information";
constexpr std::uint64_t kImplicitConstant = 0x21, kIndirect = 0x16;

} // namespace

DwarfUnitReader::DwarfUnitReader(DwarfReader &info, std::span<const std::uint8_t> abbreviations,
                                 std::span<const std::uint8_t> strings,
                                 std::span<const std::uint8_t> lineStrings, bool littleEndian)
    : m_info(info), m_abbreviationBytes(abbreviations), m_strings(strings),
      m_lineStrings(lineStrings), m_little(littleEndian) {}

bool DwarfUnitReader::begin() {
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

DwarfUnitReader::Entry DwarfUnitReader::next() {
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

std::optional<DwarfUnitReader::Entry> DwarfUnitReader::entryAt(std::uint64_t offset) {
    if (offset <= m_start || offset >= m_end)
        return std::nullopt;
    const std::uint64_t back = m_info.position();
    m_info.seek(offset);
    Entry entry = next();
    m_info.seek(back);
    return entry;
}

void DwarfUnitReader::readAbbreviations(std::uint64_t offset) {
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

DwarfUnitReader::Value DwarfUnitReader::read(std::uint64_t form, std::int64_t constant) {
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
        value.number = m_start + (form == 0x15 ? m_info.uleb() : m_info.fixed(sizes[form - 0x11]));
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
