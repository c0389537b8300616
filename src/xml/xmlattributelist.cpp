#include "xml/xmlattributelist.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHeader = 2 * sizeof(std::uint32_t);

std::uint32_t readWord(const char *at) {
    std::uint32_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

void writeWord(char *at, std::uint32_t word) {
    std::memcpy(at, &word, sizeof word);
}

std::size_t valueBytes(std::uint32_t valueLength) {
    return valueLength == ~std::uint32_t(0) ? 0 : std::size_t(valueLength) + 1;
}

std::size_t entrySize(const char *entry) {
    return kHeader + readWord(entry) + 1 + valueBytes(readWord(entry + 4));
}

std::string_view entryName(const char *entry) {
    return {entry + kHeader, readWord(entry)};
}

std::uint32_t hashName(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

} // namespace

// Open addressing over entry offsets plus one (0 marks a free slot).
struct XMLAttributeList::Index {
    std::vector<std::uint32_t> slots;
};

XMLAttributeList::XMLAttributeList() = default;
XMLAttributeList::~XMLAttributeList() = default;

XMLAttributeList::XMLAttributeList(const XMLAttributeList &other)
    : m_used(other.m_used), m_capacity(other.m_used), m_count(other.m_count) {
    if (m_used) {
        m_data = std::make_unique_for_overwrite<char[]>(m_used);
        std::memcpy(m_data.get(), other.m_data.get(), m_used);
    }
}

XMLAttributeList &XMLAttributeList::operator=(const XMLAttributeList &other) {
    if (this != &other)
        *this = XMLAttributeList(other);
    return *this;
}

XMLAttributeList::XMLAttributeList(XMLAttributeList &&other) noexcept
    : m_data(std::move(other.m_data)), m_used(other.m_used), m_capacity(other.m_capacity),
      m_count(other.m_count), m_index(std::move(other.m_index)) {
    other.m_used = other.m_capacity = other.m_count = 0;
}

XMLAttributeList &XMLAttributeList::operator=(XMLAttributeList &&other) noexcept {
    m_data = std::move(other.m_data);
    m_index = std::move(other.m_index);
    m_used = other.m_used;
    m_capacity = other.m_capacity;
    m_count = other.m_count;
    other.m_used = other.m_capacity = other.m_count = 0;
    return *this;
}

XMLAttribute XMLAttributeList::const_iterator::operator*() const {
    std::uint32_t valueLength = readWord(m_at + 4);
    XMLAttribute attribute;
    attribute.name = entryName(m_at);
    if (valueLength != kNoValue) {
        attribute.value = m_at + kHeader + attribute.name.size() + 1;
        attribute.valueLength = valueLength;
    }
    return attribute;
}

XMLAttributeList::const_iterator &XMLAttributeList::const_iterator::operator++() {
    m_at += entrySize(m_at);
    return *this;
}

void XMLAttributeList::reserve(std::size_t bytes) {
    if (m_used + bytes > m_capacity)
        grow(bytes);
}

void XMLAttributeList::grow(std::size_t needed) {
    std::size_t wanted = std::size_t(m_used) + needed;
    if (wanted <= m_capacity)
        return;
    if (wanted >= kNotFound)
        throw std::length_error("attribute list too long");
    std::size_t capacity = std::max<std::size_t>({wanted, m_capacity + m_capacity / 2, 32});
    capacity = std::min<std::size_t>(capacity, kNotFound - 1);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_used)
        std::memcpy(data.get(), m_data.get(), m_used);
    m_data = std::move(data);
    m_capacity = std::uint32_t(capacity);
}

std::uint32_t XMLAttributeList::scan(std::string_view name) const {
    const char *data = m_data.get();
    for (std::uint32_t at = 0; at < m_used; at += std::uint32_t(entrySize(data + at))) {
        if (entryName(data + at) == name)
            return at;
    }
    return kNotFound;
}

void XMLAttributeList::buildIndex() const {
    std::size_t size = 64;
    while (size < std::size_t(m_count) * 4)
        size *= 2;
    m_index = std::make_unique<Index>();
    m_index->slots.assign(size, 0);
    const char *data = m_data.get();
    for (std::uint32_t at = 0; at < m_used; at += std::uint32_t(entrySize(data + at)))
        indexAdd(at);
}

void XMLAttributeList::indexAdd(std::uint32_t offset) const {
    std::vector<std::uint32_t> &slots = m_index->slots;
    if (std::size_t(m_count) * 2 > slots.size()) {
        buildIndex(); // the entry at `offset` is already in the block, so it is included
        return;
    }
    std::size_t mask = slots.size() - 1;
    std::size_t slot = hashName(entryName(m_data.get() + offset)) & mask;
    while (slots[slot])
        slot = (slot + 1) & mask;
    slots[slot] = offset + 1;
}

std::uint32_t XMLAttributeList::find(std::string_view name) const {
    if (m_count <= kIndexThreshold)
        return scan(name);
    if (!m_index)
        buildIndex();
    const std::vector<std::uint32_t> &slots = m_index->slots;
    std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hashName(name) & mask; slots[slot]; slot = (slot + 1) & mask) {
        std::uint32_t at = slots[slot] - 1;
        if (entryName(m_data.get() + at) == name)
            return at;
    }
    return kNotFound;
}

void XMLAttributeList::set(std::string_view name, std::optional<std::string_view> value) {
    // The caller may pass views into this very block, which growing or shifting would move.
    std::string nameCopy, valueCopy;
    const char *begin = m_data.get(), *end = begin + m_capacity;
    auto inside = [&](std::string_view text) {
        return !text.empty() && text.data() >= begin && text.data() < end;
    };
    if (inside(name))
        name = nameCopy.assign(name);
    if (value && inside(*value))
        value = valueCopy.assign(*value);
    if (name.size() >= kNotFound || (value && value->size() >= kNoValue))
        throw std::length_error("attribute too long");

    std::size_t newValueBytes = value ? value->size() + 1 : 0;
    std::uint32_t at = find(name);
    if (at == kNotFound) {
        std::size_t size = kHeader + name.size() + 1 + newValueBytes;
        grow(size);
        char *entry = m_data.get() + m_used;
        writeWord(entry, std::uint32_t(name.size()));
        writeWord(entry + 4, value ? std::uint32_t(value->size()) : kNoValue);
        std::memcpy(entry + kHeader, name.data(), name.size());
        entry[kHeader + name.size()] = '\0';
        if (value) {
            char *text = entry + kHeader + name.size() + 1;
            if (!value->empty())
                std::memcpy(text, value->data(), value->size());
            text[value->size()] = '\0';
        }
        at = m_used;
        m_used += std::uint32_t(size);
        ++m_count;
        if (m_index)
            indexAdd(at);
        return;
    }

    std::uint32_t nameLength = readWord(m_data.get() + at);
    std::size_t oldValueBytes = valueBytes(readWord(m_data.get() + at + 4));
    std::size_t valueAt = at + kHeader + nameLength + 1;
    if (newValueBytes != oldValueBytes) {
        if (newValueBytes > oldValueBytes)
            grow(newValueBytes - oldValueBytes);
        char *data = m_data.get();
        std::memmove(data + valueAt + newValueBytes, data + valueAt + oldValueBytes,
                     m_used - valueAt - oldValueBytes);
        m_used = std::uint32_t(m_used + newValueBytes - oldValueBytes);
        m_index.reset(); // later entries moved
    }
    char *entry = m_data.get() + at;
    writeWord(entry + 4, value ? std::uint32_t(value->size()) : kNoValue);
    if (value) {
        if (!value->empty())
            std::memcpy(entry + kHeader + nameLength + 1, value->data(), value->size());
        entry[kHeader + nameLength + 1 + value->size()] = '\0';
    }
}

bool XMLAttributeList::remove(std::string_view name) {
    std::uint32_t at = find(name);
    if (at == kNotFound)
        return false;
    char *data = m_data.get();
    std::size_t size = entrySize(data + at);
    std::memmove(data + at, data + at + size, m_used - at - size);
    m_used -= std::uint32_t(size);
    --m_count;
    m_index.reset();
    return true;
}

const char *XMLAttributeList::get(std::string_view name) const {
    std::optional<XMLAttribute> found = attribute(name);
    return found ? found->value : nullptr;
}

std::optional<XMLAttribute> XMLAttributeList::attribute(std::string_view name) const {
    std::uint32_t at = find(name);
    if (at == kNotFound)
        return std::nullopt;
    return *const_iterator(m_data.get() + at);
}

void XMLAttributeList::clear() {
    m_used = 0;
    m_count = 0;
    m_index.reset();
}
