// Every registered syntax parser over arbitrary lines: the markup must fit in 4n+10 units
// (the buffer is exactly that big, so AddressSanitizer catches a unit more), end with a 0
// and keep the line's text. The first byte picks the parser, the next four the start state;
// the rest is UTF-16 text split into lines at U+000A, parsed in order with the state carried.

#include "editor/codeeditparserregistry.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    if (size < 5)
        return 0;
    const auto &registrations = CodeEditParserRegistry::instance().registrations();
    CodeEditParser &parser = *registrations[data[0] % registrations.size()].parser;
    std::uint32_t state;
    std::memcpy(&state, data + 1, 4);
    std::u16string input((size - 5) / 2, u'\0');
    std::memcpy(input.data(), data + 5, input.size() * 2);
    parser.setLineState(state);
    std::u16string text;
    std::vector<MarkupRun> runs;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find(u'\n', start);
        if (end == std::u16string::npos)
            end = input.size();
        std::u16string line = input.substr(start, end - start);
        for (char16_t &c : line)
            if (c == 0)
                c = kMarkupReplacement;
        std::vector<char16_t> markup(std::size_t(markupCapacity(long(line.size()))));
        int braces = 0;
        char16_t *last = parser.parse(line.c_str(), markup.data(), braces);
        if (last <= markup.data() || last > markup.data() + markup.size() || last[-1] != 0)
            std::abort();
        decodeMarkup(markup.data(), text, runs);
        for (char16_t &c : line)
            if (c == kMarkupEscape)
                c = kMarkupReplacement;
        if (text != line)
            std::abort();
        start = end + 1;
    }
    return 0;
}
