#include "editor/codeeditcparser.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Ids fit in the 24 bits above the state byte; far fewer are ever needed.
constexpr std::size_t kMaximumDelimiters = 1 << 16;

struct DelimiterTable {
    std::vector<std::u16string> texts{std::u16string()};
    std::unordered_map<std::u16string, std::uint32_t> ids{{std::u16string(), 0}};
};

DelimiterTable &delimiterTable() {
    static DelimiterTable table;
    return table;
}

bool isDelimiterChar(char16_t c) {
    // the characters a raw-string delimiter may not contain, and anything outside ASCII
    return c > ' ' && c < 0x7F && c != '(' && c != ')' && c != '\\';
}

} // namespace

bool internRawStringDelimiter(std::u16string_view delimiter, std::uint32_t &id) {
    if (delimiter.empty()) {
        id = 0;
        return true;
    }
    DelimiterTable &table = delimiterTable();
    std::u16string key(delimiter);
    auto found = table.ids.find(key);
    if (found != table.ids.end()) {
        id = found->second;
        return true;
    }
    if (table.texts.size() >= kMaximumDelimiters)
        return false;
    id = std::uint32_t(table.texts.size());
    table.texts.push_back(key);
    table.ids.emplace(std::move(key), id);
    return true;
}

std::u16string_view rawStringDelimiter(std::uint32_t id) {
    const DelimiterTable &table = delimiterTable();
    return id < table.texts.size() ? std::u16string_view(table.texts[id]) : std::u16string_view();
}

CodeEditCParser::CodeEditCParser() {
    m_keywords[0] = KeywordList{"_Alignas",
                                "_Alignof",
                                "_Atomic",
                                "_Bool",
                                "_Complex",
                                "_Imaginary",
                                "_Noreturn",
                                "_Static_assert",
                                "_Thread_local",
                                "alignas",
                                "alignof",
                                "and",
                                "and_eq",
                                "asm",
                                "auto",
                                "bitand",
                                "bitor",
                                "bool",
                                "break",
                                "case",
                                "catch",
                                "char",
                                "char16_t",
                                "char32_t",
                                "class",
                                "compl",
                                "const",
                                "constexpr",
                                "const_cast",
                                "continue",
                                "decltype",
                                "default",
                                "delete",
                                "do",
                                "double",
                                "dynamic_cast",
                                "else",
                                "enum",
                                "explicit",
                                "export",
                                "extern",
                                "false",
                                "final",
                                "float",
                                "for",
                                "friend",
                                "goto",
                                "if",
                                "inline",
                                "int",
                                "long",
                                "mutable",
                                "namespace",
                                "new",
                                "noexcept",
                                "noreturn",
                                "not",
                                "not_eq",
                                "nullptr",
                                "operator",
                                "or",
                                "or_eq",
                                "overload",
                                "override",
                                "private",
                                "protected",
                                "public",
                                "register",
                                "reinterpret_cast",
                                "restrict",
                                "return",
                                "short",
                                "signed",
                                "sizeof",
                                "static",
                                "static_assert",
                                "static_cast",
                                "struct",
                                "switch",
                                "template",
                                "this",
                                "thread_local",
                                "throw",
                                "true",
                                "try",
                                "typedef",
                                "typeid",
                                "typename",
                                "union",
                                "unsigned",
                                "using",
                                "virtual",
                                "void",
                                "volatile",
                                "while",
                                "xor",
                                "xor_eq",
                                "size_t",
                                "ptrdiff_t",
                                "wchar_t",
                                "sfrb",
                                "sfrw",
                                "__code",
                                "__monitor",
                                "__interrupt",
                                "__toplevel",
                                "__packed",
                                "__attribute__",
                                "__asm__",
                                "__inline__",
                                "__label__",
                                "int8_t",
                                "int16_t",
                                "int32_t",
                                "int64_t",
                                "uint8_t",
                                "uint16_t",
                                "uint32_t",
                                "uint64_t",
                                "int_least8_t",
                                "int_least16_t",
                                "int_least32_t",
                                "int_least64_t",
                                "uint_least8_t",
                                "uint_least16_t",
                                "uint_least32_t",
                                "uint_least64_t",
                                "int_fast8_t",
                                "int_fast16_t",
                                "int_fast32_t",
                                "int_fast64_t",
                                "uint_fast8_t",
                                "uint_fast16_t",
                                "uint_fast32_t",
                                "uint_fast64_t",
                                "intptr_t",
                                "uintptr_t",
                                "intmax_t",
                                "uintmax_t"};
}

bool CodeEditCParser::matchRawStringStart(const char16_t *text, int &length,
                                          std::uint32_t &delimiter) {
    int i = 0;
    if (text[0] == 'u' && text[1] == '8')
        i = 2;
    else if (text[0] == 'L' || text[0] == 'u' || text[0] == 'U')
        i = 1;
    if (text[i] != 'R' || text[i + 1] != '"')
        return false;
    i += 2;
    int start = i;
    while (i - start <= kMaximumDelimiterLength && isDelimiterChar(text[i]))
        ++i;
    if (text[i] != '(' || i - start > kMaximumDelimiterLength)
        return false;
    if (!internRawStringDelimiter(std::u16string_view(text + start, std::size_t(i - start)),
                                  delimiter))
        return false;
    length = i + 1;
    return true;
}

bool CodeEditCParser::matchRawStringEnd(const char16_t *text, std::uint32_t delimiter,
                                        int &length) {
    std::u16string_view expected = rawStringDelimiter(delimiter);
    if (text[0] != ')')
        return false;
    std::size_t i = 0;
    for (; i < expected.size(); ++i)
        if (text[1 + i] != expected[i])
            return false;
    if (text[1 + i] != '"')
        return false;
    length = int(i + 2);
    return true;
}
