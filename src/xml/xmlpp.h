#pragma once

#include <cstddef>
#include <string>

class MacroMap;
class XMLNode;
class XMLPP2;

// The conditional preprocessor. It walks a parsed tree once and replaces the preprocessing
// elements (if, ifnot, ifex, ifdef, ifndef, switch, define, for, foreach, include, xmldef,
// xmlput) by what they select or generate, so that an ordinary tree remains. Problems go to
// the document's reportWarning, each starting with "XmlPP::processConditionals(): ", and never
// stop the walk.
//
// The walk keeps its own stack, so nesting depth costs no machine stack; hostile documents are
// held to the limits below (each overrun is reported and the offending element contributes
// nothing).
class XmlPP {
public:
    // Processes `first` and its following siblings. Macro references $(...) are looked up in a
    // copy of `macros`, then in the document's macro set. With `expand` every attribute value
    // is expanded before its element is examined. `currentFile` anchors relative include names.
    static void processConditionals(XMLPP2 &document, XMLNode *first,
                                    const std::string &currentFile, const MacroMap &macros,
                                    bool expand);

    // Elements that for, foreach, xmlput and include may add in one run.
    static constexpr std::size_t kMaxGeneratedElements = 1000000;
    // Includes and xmlputs inside each other.
    static constexpr int kMaxNesting = 64;
    // Include files read in one run.
    static constexpr int kMaxIncludes = 4096;
    // One macro value set by <define>, and all of them together in one run.
    static constexpr std::size_t kMaxMacroValue = std::size_t(1) << 20;
    static constexpr std::size_t kMaxDefinedBytes = std::size_t(64) << 20;
    // One expanded attribute value, and all expanded values together in one run.
    static constexpr std::size_t kMaxExpandedValue = std::size_t(16) << 20;
    static constexpr std::size_t kMaxExpandedBytes = std::size_t(256) << 20;
};
