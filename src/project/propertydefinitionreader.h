#pragma once

#include "project/genericpropertyclass.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class PropertyRegistry;
class XMLElement;

// Reads XML property definitions (installed by packages, or a generic options file): one
// <property> element per definition below the root, with the attributes "name", "type" (a
// type name), "page", "group", "short", "long", "default", "filter", "specialvalue",
// "enumeration" (choices separated by ";"), "minimum", "maximum", "singlestep" (decimal) and
// "order" (decimal, "0x" hexadecimal or "0" octal, with a sign).
//
// Problems are warnings and cost only the field concerned: an unknown type is read as String
// (never as a Boolean with invented choices), a number that does not parse or fit is 0, an
// element without a name or of another kind is skipped.
class PropertyDefinitionReader {
public:
    explicit PropertyDefinitionReader(PropertyWarning warn) : m_warn(std::move(warn)) {}

    std::vector<std::unique_ptr<GenericPropertyClass>> read(const XMLElement &root) const;
    // The definitions of a text or file. A file that cannot be read or is not well-formed
    // throws HException with the path, the line and the reader's message.
    std::vector<std::unique_ptr<GenericPropertyClass>> readText(std::string_view text) const;
    std::vector<std::unique_ptr<GenericPropertyClass>> readFile(const std::string &path) const;

    // Reads the file and registers each definition; returns how many.
    std::size_t registerFile(PropertyRegistry &registry, const std::string &path) const;

private:
    std::unique_ptr<GenericPropertyClass> readDefinition(const XMLElement &element) const;

    PropertyWarning m_warn;
};
