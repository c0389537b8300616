#pragma once

#include "project/propertyvaluegroupclass.h"

#include <memory>
#include <string>
#include <vector>

class MacroExpander;
class PropertyNode;
class PropertyRegistry;
class XMLElement;

// A property groups file: each <group> below the root ("name", "page" defaulting to
// "General", "group", "short", "long", "default", "order") becomes an Enumeration whose
// choices are its <groupEntry> children ("name", optional "family"); each entry's <property>
// children ("name", "value") are the values choosing it sets.
//
// The file goes through the conditional preprocessor. Problems are warnings: a group, entry
// or property without a name and a second entry of the same key are skipped.
class PropertyGroupsFile {
public:
    static std::vector<std::unique_ptr<PropertyValueGroupClass>> read(const XMLElement &root,
                                                                      const PropertyWarning &warn);

    // Reads and preprocesses the file, with `macros` (may be null) for $(...) references.
    // A file that cannot be read or is not well-formed throws HException naming it.
    static std::vector<std::unique_ptr<PropertyValueGroupClass>>
    load(const std::string &path, const MacroExpander *macros, const PropertyWarning &warn);
    // The same for a text; `currentFile` anchors relative include names.
    static std::vector<std::unique_ptr<PropertyValueGroupClass>>
    loadText(std::string_view text, const std::string &currentFile, const MacroExpander *macros,
             const PropertyWarning &warn);

    // Loads the file a project names and makes its groups that project's own.
    static void loadForProject(PropertyRegistry &registry, const PropertyNode *project,
                               const std::string &path, const MacroExpander *macros,
                               const PropertyWarning &warn);
};
