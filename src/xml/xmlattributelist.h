#pragma once

#include "xml/xmlallocator.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An attribute value that may be absent: a null value differs from an empty one. It converts
// from C strings (a null pointer is no value), std::string, std::string_view and std::nullopt.
// Two words, so that it travels in registers through the virtual setAttribute.
class XMLValue {
public:
    constexpr XMLValue() = default;
    constexpr XMLValue(std::nullopt_t) {}
    XMLValue(const char *text)
        : m_data(text), m_size(text ? std::char_traits<char>::length(text) : 0) {}
    constexpr XMLValue(std::string_view text)
        : m_data(text.data() ? text.data() : ""), m_size(text.size()) {}
    XMLValue(const std::string &text) : m_data(text.data()), m_size(text.size()) {}

    bool isNull() const { return !m_data; }
    // The bytes, or null for no value. Values taken from an attribute list are NUL-terminated
    // and may also hold NUL bytes of their own (a "&#0;" reference); size() is authoritative.
    const char *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return {m_data ? m_data : "", m_size}; }

private:
    const char *m_data = nullptr;
    std::size_t m_size = 0;
};

// One attribute as the list shows it; the name is NUL-terminated too.
struct XMLAttribute {
    std::string_view name;
    XMLValue value;
};

// The attributes of an element in insertion order, packed into one block so that an element
// costs one allocation for all of them. Lookups scan the block; an element with very many
// attributes gets a hash index so that building it stays linear.
class XMLAttributeList {
public:
    XMLAttributeList() = default;
    XMLAttributeList(const XMLAttributeList &other);
    XMLAttributeList &operator=(const XMLAttributeList &other);
    XMLAttributeList(XMLAttributeList &&other) noexcept;
    XMLAttributeList &operator=(XMLAttributeList &&other) noexcept;
    ~XMLAttributeList() = default;

    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // The bytes the packed attributes take; reserve() this much to copy them in one go.
    std::size_t byteSize() const { return m_used; }

    // Replaces the value of an existing name in place, or appends the pair at the end.
    void set(std::string_view name, XMLValue value);
    // Appends a pair whose name the list does not hold yet (see contains()), skipping set()'s
    // lookup: for readers that have checked the names already. The texts must not lie inside
    // this list's block.
    void append(std::string_view name, XMLValue value);
    // Returns whether the name was there.
    bool remove(std::string_view name);
    // The name bits answer most misses inline: a reader asks this of every attribute it adds.
    bool contains(std::string_view name) const {
        return (m_names & nameBit(name)) && find(name) != kNotFound;
    }
    // The value (NUL-terminated) or null when the name is absent or has no value.
    const char *get(std::string_view name) const;
    // The attribute itself, or nullopt when the name is absent.
    std::optional<XMLAttribute> attribute(std::string_view name) const;
    // Whether some value holds the byte: one scan of the whole block, for callers that ask it
    // of every element of a large document (the preprocessor looking for macro references).
    bool anyValueContains(char byte) const;
    void clear();
    // The two length words before each entry's name.
    static constexpr std::size_t kHeader = 2 * sizeof(std::uint32_t);
    // What one attribute takes in the block.
    static constexpr std::size_t entryBytes(std::size_t nameLength, std::size_t valueLength) {
        return kHeader + nameLength + valueLength + 2;
    }
    // Room for `bytes` more bytes (a sum of entryBytes), so that a reader that knows a tag's
    // attributes fills the block with one allocation.
    void reserve(std::size_t bytes);

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = XMLAttribute;
        using difference_type = std::ptrdiff_t;
        using pointer = const XMLAttribute *;
        using reference = XMLAttribute;

        const_iterator() = default;
        // Inline: callers walk every attribute of every element of large documents.
        XMLAttribute operator*() const {
            const std::uint32_t nameLength = word(m_at), valueLength = word(m_at + 4);
            XMLAttribute attribute{{m_at + kHeader, nameLength}, {}};
            if (valueLength != kNoValue)
                attribute.value = std::string_view(m_at + kHeader + nameLength + 1, valueLength);
            return attribute;
        }
        const_iterator &operator++() {
            const std::uint32_t valueLength = word(m_at + 4);
            m_at += kHeader + word(m_at) + 1 + (valueLength == kNoValue ? 0 : valueLength + 1);
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator &other) const { return m_at == other.m_at; }

    private:
        friend class XMLAttributeList;
        explicit const_iterator(const char *at) : m_at(at) {}
        static std::uint32_t word(const char *at) {
            std::uint32_t value;
            std::memcpy(&value, at, sizeof value);
            return value;
        }
        const char *m_at = nullptr;
    };
    const_iterator begin() const { return const_iterator(m_data.get()); }
    const_iterator end() const { return const_iterator(m_data.get() + m_used); }

private:
    static constexpr std::uint32_t kNotFound = ~std::uint32_t(0);
    static constexpr std::uint32_t kNoValue = ~std::uint32_t(0);
    // Below this count a linear scan beats maintaining the index.
    static constexpr std::uint32_t kIndexThreshold = 16;

    // Open addressing over entry offsets plus one (0 marks a free slot).
    using Index = std::vector<std::uint32_t>;

    std::uint32_t find(std::string_view name) const;
    std::uint32_t scan(std::string_view name) const;
    void grow(std::size_t needed);
    void buildIndex() const;
    void indexAdd(std::uint32_t offset) const;
    static std::uint32_t nameBit(std::string_view name) {
        if (name.empty())
            return 1;
        unsigned mix = unsigned(name.size()) * 7 + static_cast<unsigned char>(name.front()) * 3 +
                       static_cast<unsigned char>(name.back());
        return std::uint32_t(1) << (mix & 31);
    }

    // Each entry: name length and value length (kNoValue for none) as 32-bit words, then the
    // name and the value, each followed by a NUL.
    std::unique_ptr<char, XMLRelease> m_data;
    std::uint32_t m_used = 0;
    std::uint32_t m_capacity = 0;
    std::uint32_t m_count = 0;
    // One bit per name present, chosen by its length and end bytes: most lookups of a name
    // that is not there (every attribute a reader adds) end here without a scan.
    std::uint32_t m_names = 0;
    mutable std::unique_ptr<Index> m_index;
};
