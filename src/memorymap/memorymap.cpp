#include "memorymap/memorymap.h"

#include "project/macromap.h"
#include "xml/xmlpp.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every element of a memory map's tree comes from its factory, so elements are
// MemoryMapElements; other nodes (none without keep-content) are skipped.
MemoryMapElement *asMemoryMapElement(XMLNode *node) {
    return node && node->isElement() ? static_cast<MemoryMapElement *>(node) : nullptr;
}

// Imports may fan out (a file importing another twice, which does the same ...), and each
// imported file may generate many elements as it is preprocessed: a whole load follows at
// most this many imports, and starts no further one once its files hold this many elements.
constexpr int kMaxImports = 4096;
constexpr std::size_t kMaxImportedElements = 2000000;

std::size_t countElements(const XMLNode &root) {
    std::size_t count = 0;
    for (const XMLNode *node = &root; node; node = node->nextInTree(&root))
        count += node->isElement();
    return count;
}

} // namespace

// The files being imported, innermost first, for cycle and depth checks, and what the whole
// load has used so far: imports followed, and elements of the files read (each file's own,
// counted once; a top-level file without imports is never counted).
struct MemoryMap::ImportChain {
    struct Usage {
        int imports = 0;
        std::size_t elements = 0;
    };
    std::string file; // canonical; empty for a text
    const ImportChain *outer = nullptr;
    int depth = 0;
    Usage *usage = nullptr;
};

MemoryMap::MemoryMap(const MacroExpander &macros) : m_macros(macros) {
    setMacroExpander(&macros);
}

MemoryMap::~MemoryMap() = default;

std::unique_ptr<XMLElement> MemoryMap::mkXMLElement(std::string_view name) {
    return std::make_unique<MemoryMapElement>(name);
}

bool MemoryMap::load(const std::string &path, const std::string &macros, bool preprocess) {
    ImportChain::Usage usage;
    ImportChain chain{XmlPP::canonicalPath(path), nullptr, 0, &usage};
    return loadFile(path, macros, preprocess, &chain);
}

bool MemoryMap::loadFile(const std::string &path, const std::string &macros, bool preprocess,
                         const ImportChain *chain) {
    m_path = path;
    m_macroString = macros;
    m_preprocess = preprocess;
    const std::string::size_type slash = path.rfind('/');
    m_importDirectory = slash == std::string::npos
                            ? std::string()
                            : path.substr(0, std::max<std::size_t>(slash, 1));
    clearFragments();
    if (!parseFile(path)) {
        m_readOnly = false;
        return false;
    }
    m_readOnly = access(path.c_str(), W_OK) != 0;
    const bool evaluated = preprocess && rootElement();
    if (evaluated)
        XmlPP::processConditionals(*this, rootElement(), path, MacroMap::fromList(macros), true);
    if (chain->outer && rootElement())
        chain->usage->elements += countElements(*rootElement());
    finishLoad(chain, evaluated);
    return true;
}

bool MemoryMap::loadFromText(std::string_view text) {
    m_path.clear();
    m_macroString.clear();
    m_preprocess = false;
    m_readOnly = false;
    m_importDirectory.clear();
    clearFragments();
    if (!parse(text))
        return false;
    ImportChain::Usage usage;
    ImportChain chain{{}, nullptr, 0, &usage};
    finishLoad(&chain, false);
    return true;
}

// Imported roots take the place of children of the root, whose children are evaluated from
// base 0 as in their own files: evaluated there, they need no further pass here.
void MemoryMap::finishLoad(const ImportChain *chain, bool evaluated) {
    resolveImports(chain);
    if (!evaluated)
        evaluateAddresses();
}

void MemoryMap::resolveImports(const ImportChain *chain) {
    MemoryMapElement *top = root();
    if (!top)
        return;
    bool counted = chain->outer != nullptr; // imported files count themselves as they load
    for (XMLNode *node = top->firstChild(); node;) {
        XMLNode *next = node->nextSibling();
        MemoryMapElement *element = asMemoryMapElement(node);
        const char *filename = element ? element->getAttribute("filename") : nullptr;
        if (!filename || element->tagName() != "Import") {
            node = next;
            continue;
        }
        if (!counted) {
            chain->usage->elements += countElements(*top);
            counted = true;
        }
        const std::string path = XmlPP::resolvePath(m_path, filename);
        const std::string file = XmlPP::canonicalPath(path);

        bool cycle = false;
        for (const ImportChain *link = chain; link && !cycle; link = link->outer)
            cycle = !link->file.empty() && link->file == file;
        if (cycle) {
            reportWarning("cannot import " + path + ": files import each other");
        } else if (chain->depth >= kMaxImportDepth) {
            reportWarning("cannot import " + path + ": imports nested deeper than " +
                          std::to_string(kMaxImportDepth));
        } else if (chain->usage->imports >= kMaxImports) {
            reportWarning("cannot import " + path + ": more than " + std::to_string(kMaxImports) +
                          " imports");
        } else if (chain->usage->elements > kMaxImportedElements) {
            reportWarning("cannot import " + path + ": the files read hold more than " +
                          std::to_string(kMaxImportedElements) + " elements");
        } else {
            ++chain->usage->imports;
            ImportChain inner{file, chain, chain->depth + 1, chain->usage};
            MemoryMap imported(m_macros);
            imported.setWarningHandler(
                [this](const std::string &message) { reportWarning(message); });
            // A file that does not load, or holds no root, leaves the Import element as it is.
            if (imported.loadFile(path, m_macroString, m_preprocess, &inner) && imported.root()) {
                std::unique_ptr<MemoryMapElement> importedRoot(
                    static_cast<MemoryMapElement *>(imported.takeRootElement().release()));
                struct stat status;
                std::time_t modified = stat(path.c_str(), &status) == 0 ? status.st_mtime : 0;
                MemoryMapElement *newRoot = importedRoot.get();
                std::unique_ptr<XMLNode> old = top->replaceChild(element, std::move(importedRoot));
                newRoot->setImport(std::unique_ptr<MemoryMapElement>(
                                       static_cast<MemoryMapElement *>(old.release())),
                                   modified);
            }
        }
        node = next;
    }
}

void MemoryMap::evaluateAddresses() {
    MemoryMapElement *top = root();
    if (!top)
        return;
    // Depth-first without recursion; `bases` holds the base of each open ancestor's children.
    std::vector<std::uint32_t> bases;
    std::uint32_t base = 0;
    XMLNode *node = top;
    for (;;) {
        std::uint32_t childBase = base;
        if (MemoryMapElement *element = asMemoryMapElement(node))
            childBase = element->evaluateAddress(base);
        if (XMLNode *child = node->firstChild()) {
            bases.push_back(base);
            base = childBase;
            node = child;
            continue;
        }
        while (node != top && !node->nextSibling()) {
            node = node->parent();
            base = bases.back();
            bases.pop_back();
        }
        if (node == top)
            break;
        node = node->nextSibling();
    }
}

void MemoryMap::elementReady(XMLElement &element) {
    const MemoryMapElement *parent = asMemoryMapElement(element.parent());
    static_cast<MemoryMapElement &>(element).evaluateAddress(parent ? parent->childBase() : 0);
}

MemoryMapElement *MemoryMap::root() const {
    return static_cast<MemoryMapElement *>(rootElement());
}

std::vector<MemoryMapElement *> MemoryMap::segments() const {
    std::vector<MemoryMapElement *> found;
    const XMLNode *top = rootElement();
    for (XMLNode *node = rootElement(); node;) {
        MemoryMapElement *element = asMemoryMapElement(node);
        bool segment = element && element->kind() == MemoryMapElement::Kind::MemorySegment;
        if (segment)
            found.push_back(element);
        node = node->nextInTree(top, !segment);
    }
    return {found.rbegin(), found.rend()};
}

std::vector<MemoryMapElement *> MemoryMap::sections(const MemoryMapElement &segment) {
    std::vector<MemoryMapElement *> found;
    for (XMLNode *node = segment.firstChild(); node;) {
        MemoryMapElement *element = asMemoryMapElement(node);
        bool section = element && element->kind() == MemoryMapElement::Kind::ProgramSection;
        if (section)
            found.push_back(element);
        node = node->nextInTree(&segment, !section);
    }
    return found;
}

MemoryMapElement *MemoryMap::findSegment(std::string_view name) const {
    const XMLNode *top = rootElement();
    for (XMLNode *node = rootElement(); node; node = node->nextInTree(top)) {
        MemoryMapElement *element = asMemoryMapElement(node);
        if (element && element->kind() == MemoryMapElement::Kind::MemorySegment &&
            element->has(MemoryMapElement::Attribute::Name) && element->nameAttribute() == name)
            return element;
    }
    return nullptr;
}

void MemoryMap::reportWarning(const std::string &message) {
    if (m_warningHandler)
        m_warningHandler(message);
    else
        XMLPP2::reportWarning(message);
}

void MemoryMap::setWarningHandler(std::function<void(const std::string &)> handler) {
    m_warningHandler = std::move(handler);
}
