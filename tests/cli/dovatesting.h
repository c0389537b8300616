#pragma once

#include <initializer_list>
#include <string>
#include <utility>

// Memory maps and placements for the dova tests, written compactly.

struct TestSegment {
    const char *name;
    const char *start;
    const char *size;
    bool readOnly = false;
};

inline std::string memoryMapXml(std::initializer_list<TestSegment> segments) {
    std::string text = "<!DOCTYPE Board_Memory_Definition_File>\n<Root name=\"test\">\n";
    for (const TestSegment &segment : segments)
        text += std::string("  <MemorySegment name=\"") + segment.name + "\" start=\"" +
                segment.start + "\" size=\"" + segment.size + "\"" +
                (segment.readOnly ? " access=\"ReadOnly\"" : "") + " />\n";
    return text + "</Root>\n";
}

// Each segment name with the ProgramSection elements it holds.
inline std::string
placementXml(std::initializer_list<std::pair<const char *, std::string>> segments) {
    std::string text = "<!DOCTYPE Board_Memory_Definition_File>\n<Root name=\"test\">\n";
    for (const auto &[name, sections] : segments)
        text += std::string("  <MemorySegment name=\"") + name + "\">\n" + sections +
                "  </MemorySegment>\n";
    return text + "</Root>\n";
}
