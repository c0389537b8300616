// Parses arbitrary bytes; whatever parses must write out, read back and write again to the
// same text (after one round for text that is not UTF-8), and a deep copy must write the
// same as the original.
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"
#include "xml/xmlwriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::string writeDocument(XMLDocument &document, unsigned indentation, unsigned wrap) {
    std::ostringstream out;
    document.write(out, indentation, wrap);
    return out.str();
}

std::string writeNode(const XMLNode &node, unsigned indentation, unsigned wrap) {
    std::ostringstream out;
    XMLWriter(out, indentation, wrap).writeNode(node);
    return out.str();
}

// Whether the writer wrote a byte outside UTF-8: "&#x" and two hexadecimal digits, 80 to ff.
bool hasHighByteReference(std::string_view text) {
    auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    for (std::size_t at = text.find("&#x"); at != std::string_view::npos;
         at = text.find("&#x", at + 1)) {
        std::string_view digits = text.substr(at + 3, 3);
        if (digits.size() == 3 && digits[0] >= '8' && isHex(digits[0]) && isHex(digits[1]) &&
            digits[2] == ';')
            return true;
    }
    return false;
}

[[noreturn]] void fault(const char *what, const std::string &text) {
    std::fprintf(stderr, "%s:\n%s\n", what, text.c_str());
    std::abort();
}

// Keep-content documents are written without indentation, which would otherwise add text.
void roundTrip(std::string_view input, bool keepContent, unsigned indentation, unsigned wrap) {
    XMLDocument document(keepContent);
    if (!document.parse(input)) {
        if (document.errorText().empty() || document.rootElement())
            fault("failure without a message, or with a root", document.errorText());
        return;
    }
    std::string first = writeDocument(document, indentation, wrap);
    XMLDocument again(keepContent);
    if (!again.parse(first))
        fault(("written text does not parse: " + again.errorText()).c_str(), first);
    std::string second = writeDocument(again, indentation, wrap);
    // A byte outside UTF-8 is written as a reference and reads back as the character of its
    // number: one round makes every text UTF-8, and from there writing is a fixed point.
    if (second != first && !hasHighByteReference(first))
        fault("second write differs", first + "\n----\n" + second);
    XMLDocument third(keepContent);
    if (!third.parse(second))
        fault(("rewritten text does not parse: " + third.errorText()).c_str(), second);
    if (writeDocument(third, indentation, wrap) != second)
        fault("third write differs", second);
    if (const XMLElement *root = document.rootElement()) {
        std::unique_ptr<XMLNode> copy = root->cloneTree(document);
        if (writeNode(*copy, indentation, wrap) != writeNode(*root, indentation, wrap))
            fault("deep copy differs", first);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    roundTrip(input, true, 0, 0);
    roundTrip(input, false, 2, 75);
    return 0;
}
