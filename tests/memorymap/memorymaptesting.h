#pragma once

#include "memorymap/memorymap.h"
#include "project/macroexpander.h"

#include <cstdio>
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

// Every element with its kind code and evaluated start and size, indented by depth; an
// imported root names its Import element's file.
inline std::string addressDump(const MemoryMap &map) {
    std::string dump;
    const XMLNode *top = map.rootElement();
    for (const XMLNode *node = top; node; node = node->nextInTree(top)) {
        int depth = 0;
        for (const XMLNode *up = node->parent(); up; up = up->parent())
            ++depth;
        const auto *element = static_cast<const MemoryMapElement *>(node);
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, " start=0x%08x size=0x%x", element->start(),
                      element->size());
        dump += std::string(2 * depth, ' ') + element->tagName() + "(" +
                std::to_string(int(element->kind())) + ") \"" +
                std::string(element->nameAttribute()) + "\"" + numbers;
        if (const MemoryMapElement *import = element->importElement())
            dump += std::string(" imported from ") + import->getAttribute("filename");
        dump += "\n";
    }
    return dump;
}
