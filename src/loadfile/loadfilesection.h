#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One run of bytes of a load file at its load address.
class LoadFileSectionInterface {
public:
    virtual ~LoadFileSectionInterface() = default;

    virtual const std::string &name() const = 0;
    virtual std::uint32_t address() const = 0;
    virtual std::uint32_t length() const = 0;
    // The bytes as read; with `useWorkingCopy` the working copy instead, once there is one.
    virtual const std::uint8_t *data(bool useWorkingCopy = false) const = 0;
    // A modifiable copy of the bytes, made on first use and kept until discarded.
    virtual std::uint8_t *workingCopy() = 0;
    virtual void discardWorkingCopy() = 0;

    // One past the last byte; 64 bits wide so a section ending at 4 GiB stays ordered.
    std::uint64_t end() const { return std::uint64_t(address()) + length(); }
};

// Orders sections by start address.
struct LoadFileSectionLess {
    bool operator()(const LoadFileSectionInterface &a, const LoadFileSectionInterface &b) const {
        return a.address() < b.address();
    }
};

// A section over bytes that someone else owns (the load file, or a derived class).
class StandardLoadFileSection : public LoadFileSectionInterface {
public:
    StandardLoadFileSection(std::string name, std::uint32_t address, std::uint32_t length,
                            const std::uint8_t *data);

    const std::string &name() const override { return m_name; }
    std::uint32_t address() const override { return m_address; }
    std::uint32_t length() const override { return m_length; }
    const std::uint8_t *data(bool useWorkingCopy = false) const override;
    std::uint8_t *workingCopy() override;
    void discardWorkingCopy() override { m_workingCopy.reset(); }

    // Bytes of all sections made since start-up: a rough measure of what images cost.
    static std::uint64_t totalDataSize() { return m_totalDataSize; }
    // The counter itself, under the name diagnostics and older callers use.
    static inline std::uint64_t m_totalDataSize = 0;

protected:
    // Lets a growing section move and lengthen its bytes.
    void setData(const std::uint8_t *data, std::uint32_t length);

private:
    std::string m_name;
    std::uint32_t m_address;
    std::uint32_t m_length;
    const std::uint8_t *m_data;
    std::unique_ptr<std::uint8_t[]> m_workingCopy;
};

// A section that owns its bytes and grows as records are appended: the text readers build
// every section this way.
class ExpandingLoadFileSection : public StandardLoadFileSection {
public:
    ExpandingLoadFileSection(std::string name, std::uint32_t address);
    ~ExpandingLoadFileSection() override;
    ExpandingLoadFileSection(const ExpandingLoadFileSection &) = delete;
    ExpandingLoadFileSection &operator=(const ExpandingLoadFileSection &) = delete;

    // Appends bytes at the end; the section must not reach past 4 GiB.
    void append(const std::uint8_t *bytes, std::size_t count);

private:
    std::uint8_t *m_buffer = nullptr; // malloc'ed so growth can use realloc
    std::size_t m_capacity = 0;
};

// An owning list of sections.
class LoadFileSectionList {
public:
    using Item = std::unique_ptr<LoadFileSectionInterface>;

    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    LoadFileSectionInterface &operator[](std::size_t index) const { return *m_items[index]; }
    std::vector<Item>::const_iterator begin() const { return m_items.begin(); }
    std::vector<Item>::const_iterator end() const { return m_items.end(); }

    void append(Item section) { m_items.push_back(std::move(section)); }
    void clear() { m_items.clear(); }
    std::uint64_t totalLength() const;
    // Orders by start address; sections with equal starts keep their order.
    void sortByAddress();

private:
    std::vector<Item> m_items;
};

// The sections of a load file: the list every operation uses, and a second list of the same
// kind kept for callers that attach further sections of their own.
class LoadFileSections {
public:
    LoadFileSectionList &sections() { return m_sections; }
    const LoadFileSectionList &sections() const { return m_sections; }
    LoadFileSectionList &extraSections() { return m_extraSections; }
    const LoadFileSectionList &extraSections() const { return m_extraSections; }

private:
    LoadFileSectionList m_sections;
    LoadFileSectionList m_extraSections;
};
