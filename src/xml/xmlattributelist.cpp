#include "xml/xmlattributelist.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHeader = XMLAttributeList::kHeader;

std::uint32_t readWord(const char *at) {
    std::uint32_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

void writeWord(char *at, std::uint32_t word) {
    std::memcpy(at, &word, sizeof word);
}

// Names and values are mostly a few bytes long: overlapping fixed-size moves avoid a library
// call per copy without reading past either end.
inline void copyShort(char *to, const char *from, std::size_t size) {
    if (size >= 8 && size <= 16) {
        std::uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + size - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + size - 8, &tail, 8);
    } else if (size >= 4 && size < 8) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + size - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + size - 4, &tail, 4);
    } else if (size > 0 && size < 4) {
        to[0] = from[0];
        to[size / 2] = from[size / 2];
        to[size - 1] = from[size - 1];
    } else if (size > 16) {
        std::memcpy(to, from, size);
    }
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

XMLAttributeList::XMLAttributeList(const XMLAttributeList &other)
    : m_used(other.m_used), m_capacity(other.m_used), m_count(other.m_count),
      m_names(other.m_names) {
    if (m_used) {
        m_data.reset(static_cast<char *>(xmlAllocate(m_used)));
        std::memcpy(m_data.get(), other.m_data.get(), m_used);
    }
}

XMLAttributeList &XMLAttributeList::operator=(const XMLAttributeList &other) {
    if (this == &other)
        return *this;
    // Every element a reader builds gets its attributes this way: one exact block, one copy.
    if (other.m_used > m_capacity) {
        m_data.reset(static_cast<char *>(xmlAllocate(other.m_used)));
        m_capacity = other.m_used;
    }
    if (other.m_used)
        std::memcpy(m_data.get(), other.m_data.get(), other.m_used);
    m_used = other.m_used;
    m_count = other.m_count;
    m_names = other.m_names;
    m_index.reset();
    return *this;
}

XMLAttributeList::XMLAttributeList(XMLAttributeList &&other) noexcept
    : m_data(std::move(other.m_data)), m_used(other.m_used), m_capacity(other.m_capacity),
      m_count(other.m_count), m_names(other.m_names), m_index(std::move(other.m_index)) {
    other.m_used = other.m_capacity = other.m_count = other.m_names = 0;
}

XMLAttributeList &XMLAttributeList::operator=(XMLAttributeList &&other) noexcept {
    m_data = std::move(other.m_data);
    m_index = std::move(other.m_index);
    m_used = other.m_used;
    m_capacity = other.m_capacity;
    m_count = other.m_count;
    m_names = other.m_names;
    other.m_used = other.m_capacity = other.m_count = other.m_names = 0;
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
    std::unique_ptr<char, XMLRelease> data(static_cast<char *>(xmlAllocate(capacity)));
    if (m_used)
        std::memcpy(data.get(), m_data.get(), m_used);
    m_data = std::move(data);
    m_capacity = std::uint32_t(capacity);
}

std::uint32_t XMLAttributeList::scan(std::string_view name) const {
    // The common case is a handful of short names that differ in length or first byte.
    const char *data = m_data.get();
    const std::size_t length = name.size();
    for (std::uint32_t at = 0; at < m_used; at += std::uint32_t(entrySize(data + at))) {
        const char *entry = data + at;
        if (readWord(entry) == length &&
            (length == 0 ||
             (entry[kHeader] == name[0] && std::memcmp(entry + kHeader, name.data(), length) == 0)))
            return at;
    }
    return kNotFound;
}

void XMLAttributeList::buildIndex() const {
    std::size_t size = 64;
    while (size < std::size_t(m_count) * 4)
        size *= 2;
    m_index = std::make_unique<Index>(size, 0);
    const char *data = m_data.get();
    for (std::uint32_t at = 0; at < m_used; at += std::uint32_t(entrySize(data + at)))
        indexAdd(at);
}

void XMLAttributeList::indexAdd(std::uint32_t offset) const {
    std::vector<std::uint32_t> &slots = (*m_index);
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
    if (!(m_names & nameBit(name)))
        return kNotFound;
    if (m_count <= kIndexThreshold)
        return scan(name);
    if (!m_index)
        buildIndex();
    const std::vector<std::uint32_t> &slots = (*m_index);
    std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hashName(name) & mask; slots[slot]; slot = (slot + 1) & mask) {
        std::uint32_t at = slots[slot] - 1;
        if (entryName(m_data.get() + at) == name)
            return at;
    }
    return kNotFound;
}

void XMLAttributeList::set(std::string_view name, XMLValue value) {
    // The caller may pass views into this very block, which growing or shifting would move:
    // such a call works on copies (rare, so the common call builds no strings).
    const char *begin = m_data.get(), *end = begin + m_capacity;
    auto inside = [&](const char *text) { return text && text >= begin && text < end; };
    if (inside(name.data()) || inside(value.data())) {
        const std::string nameCopy(name), valueCopy(value.view());
        set(nameCopy, value.isNull() ? XMLValue() : XMLValue(valueCopy));
        return;
    }
    if (name.size() >= kNotFound || value.size() >= kNoValue)
        throw std::length_error("attribute too long");

    std::size_t newValueBytes = value.isNull() ? 0 : value.size() + 1;
    std::uint32_t valueWord = value.isNull() ? kNoValue : std::uint32_t(value.size());
    const std::uint32_t at = m_names & nameBit(name) ? find(name) : kNotFound;
    if (at == kNotFound) {
        append(name, value);
        return;
    }
    std::size_t oldValueBytes = valueBytes(readWord(m_data.get() + at + 4));
    const std::size_t valueAt = at + kHeader + readWord(m_data.get() + at) + 1;
    if (newValueBytes != oldValueBytes) {
        if (newValueBytes > oldValueBytes)
            grow(newValueBytes - oldValueBytes);
        char *data = m_data.get();
        std::memmove(data + valueAt + newValueBytes, data + valueAt + oldValueBytes,
                     m_used - valueAt - oldValueBytes);
        m_used = std::uint32_t(m_used + newValueBytes - oldValueBytes);
        m_index.reset(); // later entries moved
    }
    char *data = m_data.get();
    writeWord(data + at + 4, valueWord);
    if (!value.isNull()) {
        copyShort(data + valueAt, value.data(), value.size());
        data[valueAt + value.size()] = '\0';
    }
}

void XMLAttributeList::append(std::string_view name, XMLValue value) {
    if (name.size() >= kNotFound || value.size() >= kNoValue)
        throw std::length_error("attribute too long");
    const std::size_t size = entryBytes(name.size(), value.size()) - (value.isNull() ? 1 : 0);
    if (m_used + size > m_capacity)
        grow(size);
    const std::uint32_t at = m_used;
    char *entry = m_data.get() + at;
    writeWord(entry, std::uint32_t(name.size()));
    writeWord(entry + 4, value.isNull() ? kNoValue : std::uint32_t(value.size()));
    copyShort(entry + kHeader, name.data(), name.size());
    entry[kHeader + name.size()] = '\0';
    if (!value.isNull()) {
        char *text = entry + kHeader + name.size() + 1;
        copyShort(text, value.data(), value.size());
        text[value.size()] = '\0';
    }
    m_used += std::uint32_t(size);
    ++m_count;
    m_names |= nameBit(name);
    if (m_index)
        indexAdd(at);
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
    m_names = 0;
    for (const XMLAttribute &attribute : *this)
        m_names |= nameBit(attribute.name);
    m_index.reset();
    return true;
}

const char *XMLAttributeList::get(std::string_view name) const {
    std::optional<XMLAttribute> found = attribute(name);
    return found ? found->value.data() : nullptr;
}

std::optional<XMLAttribute> XMLAttributeList::attribute(std::string_view name) const {
    std::uint32_t at = find(name);
    if (at == kNotFound)
        return std::nullopt;
    return *const_iterator(m_data.get() + at);
}

bool XMLAttributeList::anyValueContains(char byte) const {
    // The block also holds names and length words; only a hit there needs the closer look.
    if (!m_used || !std::memchr(m_data.get(), byte, m_used))
        return false;
    for (const XMLAttribute &attribute : *this) {
        if (attribute.value.view().find(byte) != std::string_view::npos)
            return true;
    }
    return false;
}

void XMLAttributeList::clear() {
    m_used = 0;
    m_count = 0;
    m_names = 0;
    m_index.reset();
}
