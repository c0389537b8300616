#pragma once

#include "loadfile/loadfilesection.h"

#include <cstdint>
#include <memory>

// A memory image read from disk: sections at load addresses and perhaps an entry point.
// Every failure is thrown as an HException.
class LoadFileInterface {
public:
    virtual ~LoadFileInterface() = default;

    virtual bool hasEntryPoint() const = 0;
    virtual void setEntryPoint(std::uint32_t address) = 0;
    virtual std::uint32_t entryPoint() const = 0;
    // False for raw binary images, which carry no addresses of their own.
    virtual bool hasLoadAddresses() const = 0;
    // Where a raw binary image is loaded; ignored by the other formats.
    virtual void setBaseAddress(std::uint32_t address) = 0;
    // Merges every section into one, filling the gaps with `fill`.
    virtual void makeContiguous(std::uint8_t fill) = 0;
    virtual void sortSections() = 0;
    // Fills the section list; false when the sections cannot be made.
    virtual bool readSections() = 0;

    // The sections in file order (or address order after sortSections), read on first use.
    LoadFileSectionList &sections();
    // The first section in list order holding all of [address, address + length), or null.
    LoadFileSectionInterface *findSection(std::uint32_t address, std::uint32_t length);

protected:
    LoadFileSections m_sections;
    bool m_sectionsRead = false;
    bool m_sectionsReadable = true;
};

// What every format shares: the entry point, merging and sorting.
class StandardLoadFile : public LoadFileInterface {
public:
    bool hasEntryPoint() const override { return m_hasEntryPoint; }
    void setEntryPoint(std::uint32_t address) override;
    std::uint32_t entryPoint() const override { return m_entryPoint; }
    bool hasLoadAddresses() const override { return true; }
    void setBaseAddress(std::uint32_t) override {}
    void makeContiguous(std::uint8_t fill) override;
    void sortSections() override;

protected:
    // Drops every section together with a merged image made from them.
    void clearSections();

private:
    bool m_hasEntryPoint = false;
    std::uint32_t m_entryPoint = 0;
    std::unique_ptr<std::uint8_t[]> m_contiguousData;
};
