// Every parser against lines written to break it: nothing but quotes, backslashes, comment
// openers, unterminated constructs, noncharacters, 100,000 characters. The markup must stay
// within 4n+10 units, end with a 0, keep every character of the line (a U+FDD0 as U+FFFD)
// and take linear time.

#include "parsertesting.h"

#include "editor/codeeditkeywordparsers.h"
#include "editor/codeeditparserregistry.h"

#include <random>

namespace {

constexpr char16_t kGuard = 0x5A5A;
constexpr long kGuardUnits = 64;

// Parses `line` from `state` and checks the markup contract; returns false on a violation
// (after recording it).
bool checkLine(CodeEditParser &parser, const std::u16string &line, std::uint32_t state,
               const std::string &what) {
    long capacity = markupCapacity(long(line.size()));
    std::vector<char16_t> buffer(std::size_t(capacity + kGuardUnits), kGuard);
    parser.setLineState(state);
    int braces = 0;
    char16_t *end = parser.parse(line.c_str(), buffer.data(), braces);
    long used = end - buffer.data();
    for (long i = capacity; i < capacity + kGuardUnits; ++i)
        if (buffer[std::size_t(i)] != kGuard) {
            ADD_FAILURE() << what << ": wrote past 4n+10 units";
            return false;
        }
    if (used < 1 || used > capacity || end[-1] != 0) {
        ADD_FAILURE() << what << ": returned " << used << " of " << capacity << " units";
        return false;
    }
    std::u16string text;
    std::vector<MarkupRun> runs;
    decodeMarkup(buffer.data(), text, runs);
    std::u16string expected = line;
    for (char16_t &c : expected)
        if (c == kMarkupEscape)
            c = kMarkupReplacement;
    if (text != expected) {
        ADD_FAILURE() << what << ": the text changed";
        return false;
    }
    return true;
}

std::u16string repeat(const std::u16string &piece, std::size_t length) {
    std::u16string line;
    while (line.size() < length)
        line += piece;
    line.resize(length);
    return line;
}

const std::vector<std::u16string> &hostilePieces() {
    static const std::vector<std::u16string> pieces = {
        u"\"",     u"'",          u"`",      u"\\",    u"\\\"",   u"'\\",  u"/*",        u"*/",
        u"/*!",    u"\\code",     u"//",     u"#",     u"<",      u"<!--", u"<![CDATA[", u"<?",
        u"&",      u"&a;",        u"${",     u"$<",    u"#[[",    u"[=[",  u"]=]",       u"(",
        u")",      u"R\"(",       u"R\"xy(", u"u8R\"", u"\"\"\"", u"'''",  u"r\"",       u"**",
        u"* ",     u"*",          u"- ",     u": ",    u"|",      u"@",    u"\uFDD0",    u"\u00B7",
        u"\u00BB", u"\U0001F600", u"0x",     u"1e+",   u".",      u"a(",   u"a:",        u"{",
        u"}",      u"\"\\",       u"<a b='", u"x\"",   u"!",      u"%",    u"\t",        u" "};
    return pieces;
}

// States every parser may be handed: its own and others' (a document may change language).
const std::uint32_t kStates[] = {0,  1,  2,     3,     4,          5,        6,
                                 34, 39, 0x101, 0x102, 5 | 1 << 8, 0x7FFF03, 0xFFFFFFFF};

std::vector<const ParserRegistration *> allParsers() {
    std::vector<const ParserRegistration *> list;
    for (const ParserRegistration &registration :
         CodeEditParserRegistry::instance().registrations())
        list.push_back(&registration);
    return list;
}

class HostileLines : public ::testing::TestWithParam<const ParserRegistration *> {};

TEST_P(HostileLines, LongUniformLines) {
    CodeEditParser &parser = *GetParam()->parser;
    for (const std::u16string &piece : hostilePieces())
        if (!checkLine(parser, repeat(piece, 100000), 0, "100,000 x '" + showMarkup(piece) + "'"))
            return;
}

TEST_P(HostileLines, EveryStartState) {
    CodeEditParser &parser = *GetParam()->parser;
    for (std::uint32_t state : kStates) {
        if (!checkLine(parser, u"", state, "empty line"))
            return;
        for (const std::u16string &piece : hostilePieces())
            if (!checkLine(parser, repeat(piece, 999), state,
                           "state " + std::to_string(state) + ", '" + showMarkup(piece) + "'"))
                return;
    }
}

TEST_P(HostileLines, RandomMixtures) {
    CodeEditParser &parser = *GetParam()->parser;
    std::mt19937 random(12345);
    const auto &pieces = hostilePieces();
    std::uint32_t state = 0;
    for (int n = 0; n < 3000; ++n) {
        std::u16string line;
        std::size_t count = random() % 40;
        for (std::size_t k = 0; k < count; ++k)
            line += random() % 4 ? pieces[random() % pieces.size()]
                                 : std::u16string(1, char16_t(0x20 + random() % 0x60));
        if (!checkLine(parser, line, state, "mixture '" + showMarkup(line) + "'"))
            return;
        // carry the state as the editor does, now and then restarting from a stray one
        state = n % 50 ? parser.lineState() : kStates[random() % std::size(kStates)];
    }
}

INSTANTIATE_TEST_SUITE_P(Registered, HostileLines, ::testing::ValuesIn(allParsers()),
                         [](const auto &info) {
                             std::string name = info.param->id.toStdString();
                             return name;
                         });

TEST(HostileLinesUnregistered, MarkdownLikeStandardParser) {
    CodeEditMDParser parser;
    for (const std::u16string &piece : hostilePieces())
        ASSERT_TRUE(checkLine(parser, repeat(piece, 20000), 0, showMarkup(piece)));
}

} // namespace
