#pragma once

#include "project/macroexpander.h"
#include "project/macromap.h"
#include "xml/xmlpp.h"
#include "xml/xmlpp2.h"
#include "xmltesting.h"

#include <string>
#include <vector>

// A preprocessed document that collects its warnings, bound to a macro set of its own.
class CollectingDocument : public XMLPP2 {
public:
    CollectingDocument() { setMacroExpander(&expander); }
    void reportWarning(const std::string &message) override { warnings.push_back(message); }

    MacroExpander expander;
    std::vector<std::string> warnings;
};

struct Processed {
    std::string text; // the root written without indentation
    std::vector<std::string> warnings;
};

inline Processed preprocess(std::string_view xml, std::string_view macros = {}, bool expand = true,
                            const XmlPP::Limits &limits = {}) {
    CollectingDocument document;
    EXPECT_TRUE(document.parse(xml)) << document.errorText();
    if (!document.rootElement())
        return {};
    XmlPP::processConditionals(document, document.rootElement(), "", MacroMap::fromList(macros),
                               expand, limits);
    return {written(*document.rootElement()), document.warnings};
}

inline const std::string kPP = "XmlPP::processConditionals(): ";
