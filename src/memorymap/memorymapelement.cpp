#include "memorymap/memorymapelement.h"

#include "xml/xmlppexpression.h"

namespace {

constexpr std::string_view kAttributeNames[] = {
#define MEMORYMAP_ATTRIBUTE(enumerator, stem, text) text,
#include "memorymap/memorymapattributes.def"
#undef MEMORYMAP_ATTRIBUTE
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    if (text.size() != lowerCase.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != lowerCase[i])
            return false;
    }
    return true;
}

// The start of a block or register: a leading "+" places it relative to `base`. A text that
// does not evaluate leaves 0, relative or not.
std::uint32_t addressOf(std::string_view text, std::uint32_t base) {
    text = trimmed(text);
    std::optional<std::uint64_t> value = evaluateDocumentUnsigned(text);
    if (!value)
        return 0;
    std::uint32_t address = std::uint32_t(*value);
    return !text.empty() && text.front() == '+' ? address + base : address;
}

} // namespace

MemoryMapElement::MemoryMapElement(std::string_view tagName)
    : XMLElement(tagName), m_kind(kindOf(tagName)) {}

MemoryMapElement::~MemoryMapElement() = default;

MemoryMapElement::Kind MemoryMapElement::kindOf(std::string_view tagName) {
    // Dispatch on the length first: the reader asks for every element of a large file.
    switch (tagName.size()) {
    case 4:
        if (tagName == "Root")
            return Kind::Root;
        if (tagName == "Enum")
            return Kind::Enum;
        break;
    case 6:
        if (tagName == "Vector")
            return Kind::Vector;
        break;
    case 8:
        if (tagName == "Register")
            return Kind::Register;
        if (tagName == "BitField")
            return Kind::BitField;
        break;
    case 9:
        if (tagName == "Processor")
            return Kind::Processor;
        break;
    case 13:
        if (tagName == "MemorySegment")
            return Kind::MemorySegment;
        if (tagName == "RegisterGroup")
            return Kind::RegisterGroup;
        break;
    case 14:
        if (tagName == "ProgramSection")
            return Kind::ProgramSection;
        break;
    default:
        break;
    }
    return Kind::Other;
}

void MemoryMapElement::setTagName(std::string_view tagName) {
    XMLElement::setTagName(tagName);
    m_kind = kindOf(tagName);
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
    return equalsIgnoringCase(attribute(which), "yes");
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
    if (m_kind == Kind::Root || m_kind > Kind::Enum)
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
    switch (m_kind) {
    case Kind::MemorySegment:
    case Kind::ProgramSection:
    case Kind::RegisterGroup: {
        if (start) {
            m_start = addressOf(*start, base);
            m_childBase = m_start;
        }
        if (size) {
            if (std::optional<std::uint64_t> value = evaluateDocumentUnsigned(trimmed(*size)))
                m_size = std::uint32_t(*value);
        }
        return m_childBase;
    }
    default:
        // A register sits at an address inside its block; bit fields and enums count bits and
        // values from 0. None of them moves the base of what it contains.
        if (start)
            m_start = addressOf(*start, m_kind == Kind::Register ? base : 0);
        if (size)
            m_size = std::uint32_t(readPlainNumber(*size).value_or(0));
        return base;
    }
}

std::optional<std::uint64_t> readPlainNumber(std::string_view text) {
    text = trimmed(text);
    unsigned radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        radix = 8;
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            digit = unsigned((c | 0x20) - 'a' + 10);
        else
            return std::nullopt;
        if (digit >= radix || value > (UINT64_MAX - digit) / radix)
            return std::nullopt;
        value = value * radix + digit;
    }
    return value;
}
