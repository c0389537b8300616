#pragma once

#include "memorymap/memorymapelement.h"
#include "xml/xmlpp2.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class MacroExpander;

// The document class of memory-map and section-placement files: every element is a
// MemoryMapElement. A load parses the file, optionally runs the conditional preprocessor over
// it, replaces the root's Import children by the roots of the files they name, and evaluates
// the start and size of every element.
class MemoryMap : public XMLPP2 {
public:
    // The document keeps using `macros` (the system and global macros) for every load.
    explicit MemoryMap(const MacroExpander &macros);
    ~MemoryMap() override;

    std::unique_ptr<XMLElement> mkXMLElement(std::string_view name) override;

    // Loads a file. With `preprocess` the preprocessor runs over the tree with the macro set
    // and the items of `macros` ("name=value" separated by ";", backslash escapes) and with
    // macro expansion of attribute values on. Returns false when the file cannot be read or
    // does not parse; errorText() and errorLine() say why.
    bool load(const std::string &path, const std::string &macros = {}, bool preprocess = true);
    // Parses a text without preprocessing; imports are taken relative to the working directory.
    bool loadFromText(std::string_view text);

    MemoryMapElement *root() const;

    // Every MemorySegment of the document, found depth-first without looking inside a
    // segment, last in the document first.
    std::vector<MemoryMapElement *> segments() const;
    // Every ProgramSection below the segment, found depth-first without looking inside a
    // section, in document order.
    static std::vector<MemoryMapElement *> sections(const MemoryMapElement &segment);
    // The first MemorySegment in depth-first order whose name is `name`, or null.
    MemoryMapElement *findSegment(std::string_view name) const;

    // Evaluates every start and size again, depth-first from the root with base 0.
    void evaluateAddresses();
    // A preprocessed load evaluates each element as the preprocessor finishes it, which gives
    // the same addresses as evaluateAddresses() afterwards without another pass over the tree.
    void elementReady(XMLElement &element) override;

    // Hands the message to the warning handler: by default "warning: %s" on standard error,
    // the form of the command-line tools.
    void reportWarning(const std::string &message) override;
    void setWarningHandler(std::function<void(const std::string &)> handler);

    const MacroExpander &macros() const { return m_macros; }
    bool preprocessing() const { return m_preprocess; }
    // Whether the loaded file could not be written to.
    bool isReadOnly() const { return m_readOnly; }
    const std::string &macroString() const { return m_macroString; }
    // The loaded file, empty after loadFromText.
    const std::string &path() const { return m_path; }
    // Where relative Import file names are looked up ("" is the working directory).
    const std::string &importDirectory() const { return m_importDirectory; }

    // Imports nested deeper than this are not followed (the chain is reported).
    static constexpr int kMaxImportDepth = 32;

private:
    struct ImportChain;

    bool loadFile(const std::string &path, const std::string &macros, bool preprocess,
                  const ImportChain *chain);
    void finishLoad(const ImportChain *chain, bool evaluated);
    void resolveImports(const ImportChain *chain);

    const MacroExpander &m_macros;
    std::function<void(const std::string &)> m_warningHandler;
    bool m_preprocess = false;
    bool m_readOnly = false;
    std::string m_macroString;
    std::string m_path;
    std::string m_importDirectory;
};
