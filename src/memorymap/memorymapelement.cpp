#include "memorymap/memorymapelement.h"

#include "xml/xmlppexpression.h"

#include <utility>

namespace {

using Kind = MemoryMapElement::Kind;

// The most numerous elements of a device's map first.
constexpr std::pair<std::string_view, Kind> kKinds[] = {
    {"BitField", Kind::BitField},
    {"Register", Kind::Register},
    {"Enum", Kind::Enum},
    {"RegisterGroup", Kind::RegisterGroup},
    {"MemorySegment", Kind::MemorySegment},
    {"ProgramSection", Kind::ProgramSection},
    {"Root", Kind::Root},
    {"Processor", Kind::Processor},
    {"Vector", Kind::Vector},
};

constexpr std::string_view kAttributeNames[] = {
#define MEMORYMAP_ATTRIBUTE(enumerator, stem, text) text,
#include "memorymap/memorymapattributes.def"
#undef MEMORYMAP_ATTRIBUTE
};

// A decimal number of up to nine digits without a leading zero, or "0x" and up to eight
// hexadecimal digits: the usual start or size, which every reading of them gives alike.
// False for any other text, which takes the full way. (The value goes out through a
// reference: an optional built on the stack and read back whole stalls the load.)
bool readShortNumber(std::string_view text, std::uint32_t &value) {
    value = 0;
    if (text.size() > 2 && text.size() <= 10 && text[0] == '0' && text[1] == 'x') {
        for (char c : text.substr(2)) {
            const unsigned lower = unsigned(c | 0x20);
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (lower >= 'a' && lower <= 'f')
                digit = lower - 'a' + 10;
            else
                return false;
            value = value << 4 | digit;
        }
        return true;
    }
    if (text.empty() || text.size() > 9 || (text[0] == '0' && text.size() > 1))
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + unsigned(c - '0');
    }
    return true;
}

// The start of a block or register: a leading "+" places it relative to `base`. A text that
// does not evaluate leaves 0, relative or not.
std::uint32_t addressOf(std::string_view text, std::uint32_t base) {
    const bool relative = !text.empty() && text.front() == '+';
    if (std::uint32_t value; readShortNumber(relative ? text.substr(1) : text, value))
        return relative ? value + base : value;
    text = trimDocumentBlanks(text);
    std::optional<std::uint64_t> value = evaluateDocumentUnsigned(text);
    if (!value)
        return 0;
    std::uint32_t address = std::uint32_t(*value);
    return !text.empty() && text.front() == '+' ? address + base : address;
}

} // namespace

MemoryMapElement::MemoryMapElement(std::string_view tagName) : XMLElement(tagName) {
    setClassCode(std::uint8_t(kindOf(tagName)));
}

MemoryMapElement::~MemoryMapElement() = default;

MemoryMapElement::Kind MemoryMapElement::kindOf(std::string_view tagName) {
    // Every element of a large file comes through here: the length and the first letter
    // rule out all names but one before any bytes are compared.
    for (const auto &[name, kind] : kKinds) {
        if (name.size() == tagName.size() && name.front() == tagName.front() && name == tagName)
            return kind;
    }
    return Kind::Other;
}

void MemoryMapElement::setTagName(std::string_view tagName) {
    XMLElement::setTagName(tagName);
    setClassCode(std::uint8_t(kindOf(tagName)));
}

void MemoryMapElement::setImport(std::unique_ptr<MemoryMapElement> import, std::time_t modified) {
    m_import = std::move(import);
    m_importTime = modified;
}

std::string_view MemoryMapElement::attributeName(Attribute attribute) {
    return kAttributeNames[std::size_t(attribute)];
}

bool MemoryMapElement::has(Attribute attribute) const {
    return hasAttribute(attributeName(attribute));
}

std::string_view MemoryMapElement::attribute(Attribute attribute) const {
    std::optional<XMLAttribute> found = getAttributeList().attribute(attributeName(attribute));
    return found ? found->value.view() : std::string_view();
}

bool MemoryMapElement::isYes(Attribute which) const {
    return isYesValue(attribute(which));
}

MemoryMapElement::Access MemoryMapElement::access() const {
    std::string_view text = accessAttribute();
    if (text == "ReadOnly")
        return Access::ReadOnly;
    if (text == "WriteOnly")
        return Access::WriteOnly;
    if (text == "None")
        return Access::None;
    return Access::ReadWrite;
}

std::string MemoryMapElement::blanksToUnderscores(std::string_view text) {
    std::string name(text);
    for (char &c : name) {
        if (c == ' ')
            c = '_';
    }
    return name;
}

std::uint32_t MemoryMapElement::evaluateAddress(std::uint32_t base) {
    m_childBase = base;
    const Kind kind = this->kind();
    if (kind == Kind::Root || kind > Kind::Enum)
        return base;
    m_start = 0;
    m_size = 0;
    // One pass over the attributes: this runs for every element of large files.
    std::optional<std::string_view> start, size;
    for (const XMLAttribute &attribute : getAttributeList()) {
        const std::string_view name = attribute.name;
        if (name.size() == 5 && name == "start")
            start = attribute.value.view();
        else if (name.size() == 4 && name == "size")
            size = attribute.value.view();
    }
    switch (kind) {
    case Kind::MemorySegment:
    case Kind::ProgramSection:
    case Kind::RegisterGroup: {
        if (start) {
            m_start = addressOf(*start, base);
            m_childBase = m_start;
        }
        if (size) {
            if (std::uint32_t value; readShortNumber(*size, value))
                m_size = value;
            else if (std::optional<std::uint64_t> value =
                         evaluateDocumentUnsigned(trimDocumentBlanks(*size)))
                m_size = std::uint32_t(*value);
        }
        return m_childBase;
    }
    default:
        // A register sits at an address inside its block; bit fields and enums count bits and
        // values from 0. None of them moves the base of what it contains.
        if (start)
            m_start = addressOf(*start, kind == Kind::Register ? base : 0);
        if (size) {
            std::uint32_t value;
            m_size = readShortNumber(*size, value)
                         ? value
                         : std::uint32_t(readPlainNumber(*size).value_or(0));
        }
        return base;
    }
}
