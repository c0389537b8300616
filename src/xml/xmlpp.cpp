#include "xml/xmlpp.h"

#include "project/macroexpander.h"
#include "project/macromap.h"
#include "xml/xmlelement.h"
#include "xml/xmlpp2.h"
#include "xml/xmlppexpression.h"
#include "xml/xmlreader.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

namespace {

constexpr std::string_view kPrefix = "XmlPP::processConditionals(): ";
constexpr std::uint64_t kIndexLimit = 0xFFFFFFFF;

enum class Directive {
    None,
    If,
    IfNot,
    IfEx,
    IfDef,
    IfNDef,
    Switch,
    Define,
    For,
    ForEach,
    Include,
    XmlDef,
    XmlPut,
};

constexpr std::pair<std::string_view, Directive> kDirectives[] = {
    {"if", Directive::If},           {"ifnot", Directive::IfNot},   {"ifex", Directive::IfEx},
    {"ifdef", Directive::IfDef},     {"ifndef", Directive::IfNDef}, {"switch", Directive::Switch},
    {"define", Directive::Define},   {"for", Directive::For},       {"foreach", Directive::ForEach},
    {"include", Directive::Include}, {"xmldef", Directive::XmlDef}, {"xmlput", Directive::XmlPut},
};

Directive directiveOf(std::string_view tag) {
    // Every directive starts with a lower-case letter; the elements of memory maps do not.
    if (tag.empty() || tag[0] < 'a' || tag[0] > 'z')
        return Directive::None;
    for (const auto &[name, directive] : kDirectives) {
        if (name == tag)
            return directive;
    }
    return Directive::None;
}

// An include file or a fragment being processed, innermost first: relative include names,
// and the chains that cycles and nesting are checked against.
struct Context {
    const Context *outer = nullptr;
    std::string file;      // as named, for messages and relative includes
    std::string canonical; // for cycles; empty when unknown
    std::string fragment;  // the xmldef being put; empty for a file
    bool isFragment = false;
    int depth = 0;
};

// A run of siblings to process, from `cursor` up to (not including) `end`, with its own macro
// map and expand flag. Until it defines something, a frame reads the map of the frame it came
// from, which stays on the stack below it; most frames never copy one.
struct Frame {
    XMLNode *cursor;
    XMLNode *end;
    const MacroMap *shared; // null: `own`
    MacroMap own;
    bool expand;
    const Context *context;

    const MacroMap &macros() const { return shared ? *shared : own; }
    MacroMap &writableMacros() {
        if (shared) {
            own = *shared;
            shared = nullptr;
        }
        return own;
    }
};

// A frame reading the map of `outer`.
Frame frameWithin(const Frame &outer, XMLNode *cursor, XMLNode *end, bool expand,
                  const Context *context) {
    return Frame{cursor, end, &outer.macros(), MacroMap(), expand, context};
}

// Items of a list, empty ones dropped.
std::vector<std::string_view> splitList(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> items;
    if (separator.empty())
        separator = ",";
    for (;;) {
        std::size_t at = text.find(separator);
        std::string_view item = text.substr(0, at);
        if (!item.empty())
            items.push_back(item);
        if (at == std::string_view::npos)
            return items;
        text.remove_prefix(at + separator.size());
    }
}

bool listContains(std::string_view list, std::string_view value) {
    for (std::string_view item : splitList(list, ","))
        if (item == value)
            return true;
    return false;
}

std::string withoutLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != '\n' && c != '\r')
            result += c;
    return result;
}

// "*" any run of characters, "?" any one; iterative, with one backtrack point.
bool matchesWildcard(std::string_view text, std::string_view pattern) {
    std::size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string attributeText(const XMLElement &element, std::string_view name) {
    return element.attributeOr(name);
}

// What copies of a subtree cost: its elements, and the bytes of their tags and attributes.
struct Amount {
    std::size_t elements = 0;
    std::size_t bytes = 0;
};

void addElement(Amount &amount, const XMLNode &node) {
    if (const XMLElement *element = node.toElement()) {
        ++amount.elements;
        amount.bytes += element->tagName().size() + element->getAttributeList().byteSize();
    }
}

// The subtrees of the children of `parent`.
Amount measureChildren(const XMLNode &parent) {
    Amount amount;
    for (const XMLNode *node = parent.firstChild(); node; node = node->nextInTree(&parent))
        addElement(amount, *node);
    return amount;
}

Amount measureTree(const XMLNode &root) {
    Amount amount = measureChildren(root);
    addElement(amount, root);
    return amount;
}

std::vector<XMLElement *> childElements(const XMLNode &parent) {
    std::vector<XMLElement *> children;
    for (XMLElement *child = parent.firstChildElement(); child; child = child->nextSiblingElement())
        children.push_back(child);
    return children;
}

// Overflow-safe a * b, saturating.
std::size_t multiplied(std::size_t a, std::size_t b) {
    if (a != 0 && b > SIZE_MAX / a)
        return SIZE_MAX;
    return a * b;
}

Amount multiplied(Amount amount, std::size_t times) {
    return {multiplied(amount.elements, times), multiplied(amount.bytes, times)};
}

class Processor {
public:
    Processor(XMLPP2 &document, const XmlPP::Limits &limits)
        : m_document(document), m_limits(limits) {
        static const MacroExpander none;
        m_expander = document.macroExpander() ? document.macroExpander() : &none;
        for (const auto &[name, value] : m_expander->globalMacros())
            m_longestValue = std::max(m_longestValue, value.size());
        for (const auto &[name, macro] : m_expander->systemMacros())
            m_longestValue = std::max(m_longestValue, macro.compute ? 64 : macro.value.size());
    }

    void run(XMLNode *first, const std::string &file, const MacroMap &macros, bool expand) {
        for (const auto &[name, value] : macros)
            m_longestValue = std::max(m_longestValue, value.size());
        Context &context = m_contexts.emplace_back();
        context.file = file;
        context.canonical = XmlPP::canonicalPath(file);
        m_stack.push_back(Frame{first, nullptr, nullptr, macros, expand, &context});
        while (!m_stack.empty()) {
            Frame &frame = m_stack.back();
            if (!frame.cursor || frame.cursor == frame.end) {
                m_stack.pop_back();
                continue;
            }
            XMLNode *node = frame.cursor;
            frame.cursor = node->nextSibling();
            if (XMLElement *element = node->toElement()) {
                if (std::optional<Frame> inner = examine(frame, *element))
                    m_stack.push_back(std::move(*inner));
            }
        }
    }

private:
    void warn(std::string_view text) {
        m_document.reportWarning(std::string(kPrefix) + std::string(text));
    }

    // Replaces every $(...) in the text, unless the result could grow past the limits.
    bool expandText(std::string &text, const MacroMap &macros) {
        if (text.find('$') == std::string::npos)
            return false;
        // A pass copies at most one value per reference.
        std::size_t references = 0;
        for (std::size_t at = text.find("$("); at != std::string::npos;
             at = text.find("$(", at + 2))
            ++references;
        const std::size_t bound = text.size() + multiplied(references, m_longestValue);
        if (bound > m_limits.expandedValue || m_expandedBytes + bound > m_limits.expandedBytes) {
            if (!m_expansionReported)
                warn("macro expansion would pass " +
                     std::to_string(bound > m_limits.expandedValue ? m_limits.expandedValue
                                                                   : m_limits.expandedBytes) +
                     " bytes; such values are left as written");
            m_expansionReported = true;
            return false;
        }
        if (!m_expander->expandInPlace(text, macros, true, true))
            return false;
        m_expandedBytes += text.size();
        return true;
    }

    void expandAttributes(XMLElement &element, const MacroMap &macros) {
        const XMLAttributeList &attributes = element.getAttributeList();
        if (!attributes.anyValueContains('$'))
            return;
        // Setting values moves the list's storage, so take the texts out first.
        std::vector<std::pair<std::string, std::string>> texts;
        for (const XMLAttribute &attribute : attributes)
            if (!attribute.value.isNull())
                texts.emplace_back(attribute.name, attribute.value.view());
        for (auto &[name, value] : texts)
            if (expandText(value, macros))
                element.setAttribute(name, value);
    }

    void expandTree(XMLNode &root, const MacroMap &macros) {
        for (XMLNode *node = &root; node; node = node->nextInTree(&root))
            if (XMLElement *element = node->toElement())
                expandAttributes(*element, macros);
    }

    // An attribute that names text to evaluate or a file: expanded here unless the expand
    // flag already did it.
    std::string expandedAttribute(const Frame &frame, const XMLElement &element,
                                  std::string_view name) {
        std::string text = attributeText(element, name);
        if (!frame.expand)
            expandText(text, frame.macros());
        return text;
    }

    void noteValue(std::size_t length) { m_longestValue = std::max(m_longestValue, length); }

    // Claims room for more elements; false (reported once) when there is none.
    bool claim(Amount amount, std::string_view what) {
        if (amount.elements <= m_limits.generatedElements - m_generated.elements &&
            amount.bytes <= m_limits.generatedBytes - m_generated.bytes) {
            m_generated.elements += amount.elements;
            m_generated.bytes += amount.bytes;
            return true;
        }
        if (!m_generationReported)
            warn(std::string(what) + " would make more than " +
                 std::to_string(m_limits.generatedElements) + " elements or " +
                 std::to_string(m_limits.generatedBytes >> 20) +
                 " MiB of attributes in total; it generates nothing, as does every later one "
                 "over the limit");
        m_generationReported = true;
        return false;
    }

    // Room for the copies a loop makes of its element children: the last set is the children
    // themselves, moved.
    bool claimCopies(const XMLElement &loop, std::uint64_t sets, std::string_view what) {
        if (sets <= 1)
            return true;
        Amount body;
        for (const XMLElement *child = loop.firstChildElement(); child;
             child = child->nextSiblingElement()) {
            Amount tree = measureTree(*child);
            body.elements += tree.elements;
            body.bytes += tree.bytes;
        }
        return claim(multiplied(body, std::size_t(std::min<std::uint64_t>(sets - 1, SIZE_MAX))),
                     what);
    }

    std::optional<Frame> examine(Frame &frame, XMLElement &element) {
        if (frame.expand)
            expandAttributes(element, frame.macros());
        // Without a parent there is no place to put a replacement: an ordinary element.
        const Directive directive =
            element.parent() ? directiveOf(element.tagName()) : Directive::None;
        switch (directive) {
        case Directive::If:
        case Directive::IfNot:
            return conditional(frame, element, directive == Directive::If);
        case Directive::IfEx:
            return keepOrDrop(
                frame, element,
                evaluateDocumentCondition(expandedAttribute(frame, element, "expression")));
        case Directive::IfDef:
        case Directive::IfNDef:
            return keepOrDrop(frame, element,
                              frame.macros().contains(attributeText(element, "name")) ==
                                  (directive == Directive::IfDef));
        case Directive::Switch:
            return switchElement(frame, element);
        case Directive::Define:
            define(frame, element);
            return std::nullopt;
        case Directive::For:
            forLoop(frame, element);
            return std::nullopt;
        case Directive::ForEach:
            foreachLoop(frame, element);
            return std::nullopt;
        case Directive::Include:
            return include(frame, element);
        case Directive::XmlDef: {
            std::string name = attributeText(element, "name");
            std::unique_ptr<XMLNode> taken = element.parent()->removeChild(&element);
            m_document.setFragment(std::move(name),
                                   std::unique_ptr<XMLElement>(taken.release()->toElement()));
            return std::nullopt;
        }
        case Directive::XmlPut:
            return xmlput(frame, element);
        case Directive::None:
            break;
        }
        return ordinary(frame, element);
    }

    std::optional<Frame> ordinary(const Frame &frame, XMLElement &element) {
        m_document.elementReady(element);
        if (!element.firstChild())
            return std::nullopt;
        return frameWithin(frame, element.firstChild(), nullptr, frame.expand, frame.context);
    }

    // Puts a chain in the element's place (destroying the element) and returns the frame that
    // processes the chain, made from `frame` by the caller: the rest of the current frame
    // continues after the chain.
    std::optional<Frame> replaceByChain(XMLElement &element, std::unique_ptr<XMLNode> chain,
                                        Frame frame) {
        XMLNode *first = chain.get();
        XMLNode *next = element.nextSibling();
        if (!first) {
            element.parent()->removeChild(&element);
            return std::nullopt;
        }
        element.parent()->replaceChild(&element, std::move(chain));
        frame.cursor = first;
        frame.end = next;
        return frame;
    }

    std::optional<Frame> keepOrDrop(Frame &frame, XMLElement &element, bool keep) {
        if (!keep) {
            element.parent()->removeChild(&element);
            return std::nullopt;
        }
        return replaceByChain(element, element.takeChildren(),
                              frameWithin(frame, nullptr, nullptr, frame.expand, frame.context));
    }

    std::optional<Frame> conditional(Frame &frame, XMLElement &element, bool wanted) {
        const XMLAttributeList &attributes = element.getAttributeList();
        if (attributes.size() != 1) {
            warn("one condition required for <if[not]>");
            return ordinary(frame, element);
        }
        const XMLAttribute condition = *attributes.begin();
        const std::string *value = frame.macros().find(condition.name);
        bool matches = listContains(condition.value.view(), value ? *value : std::string_view());
        return keepOrDrop(frame, element, matches == wanted);
    }

    std::optional<Frame> switchElement(Frame &frame, XMLElement &element) {
        const std::string value = frame.macros().value(attributeText(element, "name"));
        XMLElement *chosen = nullptr;
        XMLElement *lastDefault = nullptr;
        for (XMLElement *child = element.firstChildElement(); child && !chosen;
             child = child->nextSiblingElement()) {
            if (child->tagName() == "case") {
                std::string values = attributeText(*child, "value");
                if (frame.expand)
                    expandText(values, frame.macros());
                if (listContains(values, value))
                    chosen = child;
            } else if (child->tagName() == "default") {
                lastDefault = child;
            }
        }
        if (!chosen)
            chosen = lastDefault;
        if (!chosen) {
            element.parent()->removeChild(&element);
            return std::nullopt;
        }
        return replaceByChain(element, chosen->takeChildren(),
                              frameWithin(frame, nullptr, nullptr, frame.expand, frame.context));
    }

    void define(Frame &frame, XMLElement &element) {
        if (element.hasAttribute("expand_macros"))
            frame.expand = isYesValue(attributeText(element, "expand_macros"));
        std::string name = attributeText(element, "name");
        std::optional<std::string> value;
        if (name.empty()) {
            warn("missing name in <define>");
        } else if (element.hasAttribute("value")) {
            value = attributeText(element, "value");
        } else if (element.hasAttribute("expression")) {
            if (auto number =
                    evaluateDocumentSigned(expandedAttribute(frame, element, "expression")))
                value = std::to_string(*number);
        } else if (element.hasAttribute("hex_expression")) {
            char buffer[19];
            if (auto number =
                    evaluateDocumentUnsigned(expandedAttribute(frame, element, "hex_expression")))
                value = std::string(formatUpperHex(*number, buffer));
        } else {
            warn("missing value or expression in <define>");
        }
        element.parent()->removeChild(&element);
        if (!value)
            return;
        // Values that refer to themselves double with each definition; stop them early.
        if (value->size() > m_limits.macroValue ||
            m_definedBytes + value->size() > m_limits.definedBytes) {
            warn("value of macro " + name + " is too long (" + std::to_string(value->size()) +
                 " bytes); <define> ignored");
            return;
        }
        m_definedBytes += value->size();
        noteValue(value->size());
        frame.writableMacros().set(std::move(name), std::move(*value));
    }

    // Inserts copies of the element children of `loop` after it, one set per call, each
    // expanded with `macros`; the last set takes the children themselves.
    struct Generator {
        Processor &processor;
        XMLElement &loop;
        std::vector<XMLElement *> children = childElements(loop);
        XMLNode *insertAfter = &loop;

        void emit(const MacroMap &macros, bool last) {
            for (XMLElement *child : children) {
                std::unique_ptr<XMLNode> copy =
                    last ? loop.removeChild(child) : child->cloneTree(processor.m_document);
                processor.expandTree(*copy, macros);
                insertAfter = loop.parent()->insertChildren(insertAfter, std::move(copy));
            }
        }
        // Removes the loop; the copies follow in the current frame.
        void finish(Frame &frame) {
            frame.cursor = loop.nextSibling();
            loop.parent()->removeChild(&loop);
        }
    };

    void forLoop(Frame &frame, XMLElement &element) {
        const std::string index = attributeText(element, "index");
        std::optional<std::uint64_t> start, end, increment;
        if (element.hasAttribute("index") && element.hasAttribute("start") &&
            element.hasAttribute("end") && element.hasAttribute("incr")) {
            start = evaluateDocumentUnsigned(attributeText(element, "start"));
            end = evaluateDocumentUnsigned(attributeText(element, "end"));
            increment = evaluateDocumentUnsigned(attributeText(element, "incr"));
        }
        if (!start || !end || !increment || !element.firstChildElement()) {
            warn("<for index=\"i\" start=\"0\" end=\"32\" incr=\"1\">");
            element.parent()->removeChild(&element);
            return;
        }
        const std::string label = "<for index=\"" + index + "\">";
        if (*increment == 0) {
            warn(label + " has incr 0; it generates nothing");
            element.parent()->removeChild(&element);
            return;
        }
        std::int64_t add = 0, mul = 1;
        if (element.hasAttribute("add"))
            add = evaluateDocumentSigned(expandedAttribute(frame, element, "add")).value_or(0);
        else if (element.hasAttribute("sub"))
            add = std::int64_t(
                0 -
                std::uint64_t(
                    evaluateDocumentSigned(expandedAttribute(frame, element, "sub")).value_or(0)));
        if (element.hasAttribute("mul"))
            mul = evaluateDocumentSigned(expandedAttribute(frame, element, "mul")).value_or(1);

        // The index is a 32-bit number: the loop stops where it would pass 0xFFFFFFFF.
        const std::uint64_t stop = std::min(*end, kIndexLimit + 1);
        const std::uint64_t iterations = *start < stop ? (stop - *start - 1) / *increment + 1 : 0;
        if (*end > kIndexLimit + 1) {
            const bool cut = iterations == 0
                                 ? *start < *end
                                 : *increment < *end - (*start + (iterations - 1) * *increment);
            if (cut)
                warn(label + " index would pass 0xFFFFFFFF before reaching end; the loop stops "
                             "there");
        }
        if (iterations == 0 || !claimCopies(element, iterations, label)) {
            element.parent()->removeChild(&element);
            return;
        }
        Generator generator{*this, element};
        // One map for all iterations: setting a name again reuses its entry.
        MacroMap loopMacros;
        std::uint64_t i = *start;
        for (std::uint64_t n = 1; n <= iterations; ++n, i += *increment) {
            const std::int64_t ap = std::int64_t(std::uint64_t(add) + std::uint64_t(mul) * i);
            char hex[19];
            loopMacros.set(index, std::to_string(i));
            loopMacros.set(index + "_alpha", std::string(1, char('A' + i)));
            loopMacros.set(index + "_hex", std::string(formatUpperHex(i, hex)));
            loopMacros.set(index + "_ap", std::to_string(ap));
            loopMacros.set(index + "_ap_hex", std::string(formatUpperHex(std::uint64_t(ap), hex)));
            generator.emit(loopMacros, n == iterations);
        }
        generator.finish(frame);
    }

    void foreachLoop(Frame &frame, XMLElement &element) {
        struct Variable {
            std::string name;
            std::vector<std::string> entries;
        };
        std::vector<Variable> variables;
        std::string separator = ",";
        std::string excludeEntries, excludeWildcards;
        bool withCurrentMacros = false;
        // Attributes are read in their written order: split_by applies to the lists after it.
        std::vector<std::pair<std::string, std::string>> attributes;
        for (const XMLAttribute &attribute : element.getAttributeList())
            attributes.emplace_back(attribute.name, attribute.value.view());
        for (auto &[name, value] : attributes) {
            if (name == "split_by") {
                separator = value;
            } else if (name == "exclude_entries") {
                excludeEntries = value;
            } else if (name == "exclude_wildcard") {
                excludeWildcards = value;
            } else if (name == "expand_macros") {
                withCurrentMacros = isYesValue(value);
            } else {
                if (!frame.expand)
                    expandText(value, frame.macros());
                Variable variable{name, {}};
                const std::string list = withoutLineBreaks(value);
                for (std::string_view entry : splitList(list, separator))
                    variable.entries.emplace_back(entry);
                variables.push_back(std::move(variable));
            }
        }
        for (std::string_view excluded : splitList(excludeEntries, ",")) {
            bool found = false;
            for (Variable &variable : variables) {
                auto it = std::remove(variable.entries.begin(), variable.entries.end(), excluded);
                found |= it != variable.entries.end();
                variable.entries.erase(it, variable.entries.end());
            }
            if (!found)
                warn("exclude_entries cannot find entry named " + std::string(excluded));
        }
        const std::vector<std::string_view> wildcards = splitList(excludeWildcards, ",");
        for (Variable &variable : variables) {
            std::erase_if(variable.entries, [&](const std::string &entry) {
                return std::any_of(wildcards.begin(), wildcards.end(),
                                   [&](std::string_view p) { return matchesWildcard(entry, p); });
            });
        }

        std::size_t combinations = variables.empty() ? 0 : 1;
        std::size_t longest = 0;
        for (const Variable &variable : variables) {
            combinations = multiplied(combinations, variable.entries.size());
            for (const std::string &entry : variable.entries)
                longest = std::max(longest, entry.size());
        }
        noteValue(longest);
        if (combinations == 0 || !element.firstChildElement() ||
            !claimCopies(element, combinations, "<foreach>")) {
            element.parent()->removeChild(&element);
            return;
        }
        // The first variable varies slowest: count in a mixed radix, last digit fastest.
        Generator generator{*this, element};
        std::vector<std::size_t> digits(variables.size(), 0);
        MacroMap loopMacros = withCurrentMacros ? frame.macros() : MacroMap();
        for (std::size_t n = 1; n <= combinations; ++n) {
            for (std::size_t v = 0; v < variables.size(); ++v)
                loopMacros.set(variables[v].name, variables[v].entries[digits[v]]);
            generator.emit(loopMacros, n == combinations);
            for (std::size_t v = variables.size(); v-- > 0;) {
                if (++digits[v] < variables[v].entries.size())
                    break;
                digits[v] = 0;
            }
        }
        generator.finish(frame);
    }

    // The frame for the content of an include or xmlput (its cursor and end still to be set),
    // and whether the new content's attributes are expanded with its map at once.
    struct Scope {
        Frame frame;
        bool expandNow;
    };
    Scope scopeOf(const Frame &frame, const XMLElement &element, bool alwaysExpand,
                  const Context *context) {
        if ((frame.expand || element.hasAttribute("expand_macros")) &&
            element.hasAttribute("macros")) {
            Scope scope{Frame{nullptr, nullptr, nullptr, frame.macros(), true, context}, true};
            const std::string list = withoutLineBreaks(attributeText(element, "macros"));
            scope.frame.own.addList(list);
            noteValue(list.size());
            return scope;
        }
        return Scope{frameWithin(frame, nullptr, nullptr, frame.expand, context),
                     frame.expand || alwaysExpand};
    }

    const Context *newContext(const Frame &frame, std::string file, std::string canonical,
                              std::string fragment) {
        Context &context = m_contexts.emplace_back();
        context.outer = frame.context;
        context.file = std::move(file);
        context.canonical = std::move(canonical);
        context.isFragment = !fragment.empty();
        context.fragment = std::move(fragment);
        context.depth = frame.context->depth + 1;
        return &context;
    }

    bool nestingAllows(const Frame &frame, const std::string &what) {
        if (frame.context->depth < m_limits.nesting)
            return true;
        warn("include and xmlput nested deeper than " + std::to_string(m_limits.nesting) + "; " +
             what + " skipped");
        return false;
    }

    std::optional<Frame> include(Frame &frame, XMLElement &element) {
        if (!element.hasAttribute("filename")) {
            warn("missing filename in <include>");
            return ordinary(frame, element);
        }
        const std::string path =
            XmlPP::resolvePath(frame.context->file, expandedAttribute(frame, element, "filename"));
        const std::string canonical = XmlPP::canonicalPath(path);
        for (const Context *context = frame.context; context; context = context->outer) {
            if (!context->isFragment && !context->canonical.empty() &&
                context->canonical == canonical) {
                warn("include file " + path + " includes itself");
                return ordinary(frame, element);
            }
        }
        if (!nestingAllows(frame, "include file " + path))
            return ordinary(frame, element);
        if (m_includes >= m_limits.includes) {
            warn("more than " + std::to_string(m_limits.includes) + " includes; include file " +
                 path + " skipped");
            return ordinary(frame, element);
        }
        ++m_includes;

        XMLReader reader(m_document);
        if (!reader.parseFile(path)) {
            warn("error \"" + reader.errorText() + "\" in include file " + path +
                 " line:" + std::to_string(reader.errorLine()));
            return ordinary(frame, element);
        }
        std::unique_ptr<XMLElement> root = reader.takeRoot();
        if (!root) {
            warn("error: include file '" + path + "' is empty");
            return ordinary(frame, element);
        }
        if (!claim(measureTree(*root), "include file " + path))
            return ordinary(frame, element);

        const std::string inherited = attributeText(element, "inherit_attributes");
        for (std::string_view name : splitList(inherited, ";")) {
            if (std::optional<XMLAttribute> attribute = element.getAttributeList().attribute(name))
                root->setAttribute(name, attribute->value);
        }
        Scope scope = scopeOf(frame, element, false, newContext(frame, path, canonical, {}));
        if (scope.expandNow)
            expandAttributes(*root, scope.frame.macros());

        if (element.hasAttribute("no_root") || root->tagName() == "envelope")
            return replaceByChain(element, root->takeChildren(), std::move(scope.frame));
        XMLElement *placed = root.get();
        element.parent()->replaceChild(&element, std::move(root));
        m_document.elementReady(*placed);
        if (!placed->firstChild())
            return std::nullopt;
        scope.frame.cursor = placed->firstChild();
        return std::move(scope.frame);
    }

    std::optional<Frame> xmlput(Frame &frame, XMLElement &element) {
        const std::string name = attributeText(element, "name");
        const XMLElement *fragment = m_document.fragment(name);
        if (!fragment) {
            warn("xmlput cannot fine xmldef named " + name);
            element.parent()->removeChild(&element);
            return std::nullopt;
        }
        for (const Context *context = frame.context; context; context = context->outer) {
            if (context->isFragment && context->fragment == name) {
                warn("xmldef named " + name + " puts itself; xmlput skipped");
                element.parent()->removeChild(&element);
                return std::nullopt;
            }
        }
        if (!nestingAllows(frame, "xmlput of " + name) ||
            !claim(measureChildren(*fragment), "xmlput of " + name)) {
            element.parent()->removeChild(&element);
            return std::nullopt;
        }
        Scope scope =
            scopeOf(frame, element, true, newContext(frame, frame.context->file, {}, name));
        XMLNode *insertAfter = &element;
        for (const XMLNode *child = fragment->firstChild(); child; child = child->nextSibling()) {
            std::unique_ptr<XMLNode> copy = child->cloneTree(m_document);
            expandTree(*copy, scope.frame.macros());
            insertAfter = element.parent()->insertChildren(insertAfter, std::move(copy));
        }
        XMLNode *first = element.nextSibling();
        XMLNode *end = insertAfter->nextSibling();
        element.parent()->removeChild(&element);
        if (first == end)
            return std::nullopt;
        frame.cursor = end;
        scope.frame.cursor = first;
        scope.frame.end = end;
        return std::move(scope.frame);
    }

    XMLPP2 &m_document;
    const XmlPP::Limits &m_limits;
    const MacroExpander *m_expander;
    // Frames and contexts stay in place while others are added: frames and fragments point
    // at them.
    std::deque<Frame> m_stack;
    std::deque<Context> m_contexts;
    std::size_t m_longestValue = 0;
    Amount m_generated;
    std::size_t m_definedBytes = 0;
    std::size_t m_expandedBytes = 0;
    int m_includes = 0;
    bool m_generationReported = false;
    bool m_expansionReported = false;
};

} // namespace

void XmlPP::processConditionals(XMLPP2 &document, XMLNode *first, const std::string &currentFile,
                                const MacroMap &macros, bool expand, const Limits &limits) {
    if (!first)
        return;
    Processor(document, limits).run(first, currentFile, macros, expand);
}

std::string XmlPP::resolvePath(const std::string &currentFile, const std::string &name) {
    if (name.empty() || name.front() == '/')
        return name;
    const std::string::size_type slash = currentFile.rfind('/');
    if (slash == std::string::npos)
        return name;
    return currentFile.substr(0, slash + 1) + name;
}

std::string XmlPP::canonicalPath(const std::string &path) {
    if (path.empty())
        return {};
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}
