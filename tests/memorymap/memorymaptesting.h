#pragma once

#include "memorymap/memorymap.h"
#include "project/macroexpander.h"

#include <sstream>
#include <string>
#include <vector>

// A memory map bound to an empty macro set that collects its warnings instead of printing them.
struct TestMemoryMap {
    TestMemoryMap() {
        map.setWarningHandler([this](const std::string &message) { warnings.push_back(message); });
    }
    MemoryMapElement *named(std::string_view name) const {
        const XMLNode *top = map.rootElement();
        for (XMLNode *node = map.rootElement(); node; node = node->nextInTree(top)) {
            auto *element = static_cast<MemoryMapElement *>(node);
            if (element->nameAttribute() == name)
                return element;
        }
        return nullptr;
    }

    MacroExpander macros;
    MemoryMap map{macros};
    std::vector<std::string> warnings;
};

inline std::vector<std::string> namesOf(const std::vector<MemoryMapElement *> &elements) {
    std::vector<std::string> names;
    for (const MemoryMapElement *element : elements)
        names.emplace_back(element->nameAttribute());
    return names;
}

// The document as the writer puts it in a file.
inline std::string written(MemoryMap &map) {
    std::ostringstream out;
    map.write(out, 2, 75);
    return out.str();
}
