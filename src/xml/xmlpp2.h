#pragma once

#include "xml/xmldocument.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

class MacroExpander;

// The document class of files that go through the conditional preprocessor. Its warnings
// (which never stop a load) arrive at reportWarning; typed documents route them to their log.
// The document also carries what the preprocessor consults besides its macro map: the macro
// set that expands $(...) references, and the table of fragments defined with <xmldef>.
class XMLPP2 : public XMLDocument {
public:
    using XMLDocument::XMLDocument;
    ~XMLPP2() override;

    // Writes "warning: %s" and a newline to standard error.
    virtual void reportWarning(const std::string &message);

    // Called by the preprocessor for every element that stays in the tree, once its attributes
    // are final and after its parent: typed documents compute what they derive from
    // attributes in the same pass. Does nothing here.
    virtual void elementReady(XMLElement &element);

    // The global and system macros consulted with the preprocessor's map; null when the
    // document is bound to none (then only the map applies).
    const MacroExpander *macroExpander() const { return m_macroExpander; }
    void setMacroExpander(const MacroExpander *expander) { m_macroExpander = expander; }

    // The fragment stored under the name, or null.
    const XMLElement *fragment(std::string_view name) const;
    // Stores (or replaces) a fragment; copies made from an earlier one are unaffected.
    void setFragment(std::string name, std::unique_ptr<XMLElement> fragment);
    void clearFragments();

private:
    const MacroExpander *m_macroExpander = nullptr;
    std::map<std::string, std::unique_ptr<XMLElement>, std::less<>> m_fragments;
};
