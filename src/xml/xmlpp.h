#pragma once

#include <cstddef>
#include <string>

class MacroMap;
class XMLNode;
class XMLPP2;

// How much one run may do before it refuses more. Each refusal is reported and the element
// concerned contributes nothing.
struct XmlPPLimits {
    // Elements that for, foreach, xmlput and include may add, and the bytes of their tag
    // names and attributes.
    std::size_t generatedElements = 1000000;
    std::size_t generatedBytes = std::size_t(256) << 20;
    // Includes and xmlputs inside each other, and include files read.
    int nesting = 64;
    int includes = 4096;
    // One macro value set by <define>, and all of them together.
    std::size_t macroValue = std::size_t(1) << 20;
    std::size_t definedBytes = std::size_t(64) << 20;
    // One expanded attribute value, and all expanded values together.
    std::size_t expandedValue = std::size_t(16) << 20;
    std::size_t expandedBytes = std::size_t(256) << 20;
};

// The conditional preprocessor. It walks a parsed tree once and replaces the preprocessing
// elements (if, ifnot, ifex, ifdef, ifndef, switch, define, for, foreach, include, xmldef,
// xmlput) by what they select or generate, so that an ordinary tree remains. Problems go to
// the document's reportWarning, each starting with "XmlPP::processConditionals(): ", and never
// stop the walk.
//
// The walk keeps its own stack, so nesting depth costs no machine stack; hostile documents are
// held to limits (each overrun is reported and the offending element contributes
// nothing).
class XmlPP {
public:
    using Limits = XmlPPLimits;

    // Processes `first` and its following siblings. Macro references $(...) are looked up in a
    // copy of `macros`, then in the document's macro set. With `expand` every attribute value
    // is expanded before its element is examined. `currentFile` anchors relative include names.
    static void processConditionals(XMLPP2 &document, XMLNode *first,
                                    const std::string &currentFile, const MacroMap &macros,
                                    bool expand, const Limits &limits = Limits());

    // `name` as a path: a relative name is taken from the directory of `currentFile` (the
    // working directory when that has none).
    static std::string resolvePath(const std::string &currentFile, const std::string &name);
    // The path with links, "." and ".." resolved as far as it exists, to tell whether two names
    // are the same file; the path itself when that fails.
    static std::string canonicalPath(const std::string &path);
};
