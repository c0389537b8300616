#pragma once

#include "xml/xmlelement.h"
#include "xml/xmlppexpression.h" // readPlainNumber, for the users of sizes

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// One element of a memory-map or section-placement document. The tag name selects its kind;
// start and size hold the addresses evaluated after a load (0 until then, and when the text
// does not evaluate). An imported file's root keeps the Import element it replaced.
class MemoryMapElement : public XMLElement {
public:
    // The codes are those the rest of the system stores and compares.
    enum class Kind : int {
        MemorySegment = 0,
        Register = 1,
        ProgramSection = 2,
        Root = 3,
        RegisterGroup = 4,
        BitField = 5,
        Enum = 6,
        Processor = 7,
        Vector = 8,
        Other = 9,
    };

    enum class Attribute {
#define MEMORYMAP_ATTRIBUTE(enumerator, stem, text) enumerator,
#include "memorymap/memorymapattributes.def"
#undef MEMORYMAP_ATTRIBUTE
    };

    // What `access` says; absent or any other value (including another case) is read-write.
    enum class Access { ReadWrite, ReadOnly, WriteOnly, None };

    explicit MemoryMapElement(std::string_view tagName);
    ~MemoryMapElement() override;

    static Kind kindOf(std::string_view tagName);

    Kind kind() const {
        return Kind(classCode());
    }
    void setTagName(std::string_view tagName) override;

    std::uint32_t start() const {
        return m_start;
    }
    void setStart(std::uint32_t start) {
        m_start = start;
    }
    std::uint32_t size() const {
        return m_size;
    }
    void setSize(std::uint32_t size) {
        m_size = size;
    }

    // The Import element this imported root took the place of, or null.
    MemoryMapElement *importElement() const {
        return m_import.get();
    }
    // The modification time of the imported file (0 for elements that were not imported).
    std::time_t importTime() const {
        return m_importTime;
    }
    void setImport(std::unique_ptr<MemoryMapElement> import, std::time_t modified);

    // The file name of an attribute.
    static std::string_view attributeName(Attribute attribute);
    bool has(Attribute attribute) const;
    // The value, or empty when the attribute is absent. Valid until the element changes.
    std::string_view attribute(Attribute attribute) const;
    // Boolean attributes are true only when the value is "Yes" in any case.
    bool isYes(Attribute attribute) const;

    // One presence test and one value accessor per attribute: hasName() and nameAttribute(),
    // hasRunin() and runinAttribute(), and so on.
#define MEMORYMAP_ATTRIBUTE(enumerator, stem, text)                                                \
    bool has##enumerator() const {                                                                 \
        return has(Attribute::enumerator);                                                         \
    }                                                                                              \
    std::string_view stem##Attribute() const {                                                     \
        return attribute(Attribute::enumerator);                                                   \
    }
#include "memorymap/memorymapattributes.def"
#undef MEMORYMAP_ATTRIBUTE

    Access access() const;
    bool isReadOnly() const {
        return access() == Access::ReadOnly;
    }

    // The name as linker symbols use it: every blank replaced by "_".
    std::string symbolName() const {
        return blanksToUnderscores(nameAttribute());
    }
    static std::string blanksToUnderscores(std::string_view text);

    // Evaluates start and size against `base` (the start of the enclosing block) and returns
    // the base for the children, which childBase() keeps.
    std::uint32_t evaluateAddress(std::uint32_t base);
    std::uint32_t childBase() const {
        return m_childBase;
    }

private:
    std::uint32_t m_start = 0;
    std::uint32_t m_size = 0;
    std::uint32_t m_childBase = 0;
    std::unique_ptr<MemoryMapElement> m_import;
    std::time_t m_importTime = 0;
};
