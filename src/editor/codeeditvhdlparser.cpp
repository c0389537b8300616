#include "editor/codeeditvhdlparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

const KeywordList &bitStringPrefixes() {
    static const KeywordList list{"b", "o", "x", "d", "ub", "sb", "uo", "so", "ux", "sx"};
    return list;
}

// Reserved words followed by the name of what they declare.
const KeywordList &declaringWords() {
    static const KeywordList list{"entity",   "architecture", "component",
                                  "function", "procedure",    "package"};
    return list;
}

} // namespace

CodeEditVHDLParser::CodeEditVHDLParser() {
    m_keywords[0] = KeywordList{
        "abs",          "access",   "after",      "alias",     "all",       "and",
        "architecture", "array",    "assert",     "attribute", "begin",     "block",
        "body",         "buffer",   "bus",        "case",      "component", "configuration",
        "constant",     "context",  "disconnect", "downto",    "else",      "elsif",
        "end",          "entity",   "exit",       "file",      "for",       "force",
        "function",     "generate", "generic",    "group",     "guarded",   "if",
        "impure",       "in",       "inertial",   "inout",     "is",        "label",
        "library",      "linkage",  "literal",    "loop",      "map",       "mod",
        "nand",         "new",      "next",       "nor",       "not",       "null",
        "of",           "on",       "open",       "or",        "others",    "out",
        "package",      "port",     "postponed",  "procedure", "process",   "protected",
        "pure",         "range",    "record",     "register",  "reject",    "release",
        "rem",          "report",   "return",     "rol",       "ror",       "select",
        "severity",     "shared",   "signal",     "sla",       "sll",       "sra",
        "srl",          "subtype",  "then",       "to",        "transport", "type",
        "unaffected",   "units",    "until",      "use",       "variable",  "wait",
        "when",         "while",    "with",       "xnor",      "xor"};
    m_keywords[1] = KeywordList{"bit",
                                "bit_vector",
                                "boolean",
                                "character",
                                "integer",
                                "natural",
                                "positive",
                                "real",
                                "signed",
                                "std_logic",
                                "std_logic_vector",
                                "std_ulogic",
                                "std_ulogic_vector",
                                "string",
                                "time",
                                "unsigned",
                                "rising_edge",
                                "falling_edge",
                                "to_integer",
                                "to_unsigned",
                                "to_signed",
                                "resize",
                                "true",
                                "false"};
}

bool CodeEditVHDLParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

char16_t *CodeEditVHDLParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    MarkupWriter w(out);
    long i = resumeBlockComment(w, text);
    bool nameFollows = false;
    bool statementStart = true;
    char16_t previous = 0; // the last character outside white space
    while (m_lineState == 0 && text[i]) {
        char16_t c = text[i];
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
            continue;
        }
        long start = i;
        if (c == '-' && text[i + 1] == '-') {
            i = lex::writeLineComment(w, text, i, 2, commentTagStyle, writeCommentText);
        } else if (c == '/' && text[i + 1] == '*') {
            w.style(StyleComment);
            w.put(text + i, 2);
            i = writeBlockComment(w, text, i + 2, 1);
        } else if (c == '"' ||
                   (lex::isAsciiLetter(c) && text[i + 1] == '"' &&
                    lex::containsNoCase(bitStringPrefixes(), std::u16string_view(text + i, 1)))) {
            if (c != '"') {
                w.style(StyleStringDelimiter);
                w.put(text[i++]);
            }
            bool closed, continued;
            i = lex::writeQuoted(w, text, i, '"', false, closed, continued);
        } else if (c == '\'' && text[i + 1] && text[i + 2] == '\'' &&
                   !(lex::isIdentifierChar(previous) || previous == ')')) {
            w.style(StyleStringDelimiter);
            w.put(text[i]);
            w.style(StyleString);
            w.put(text[i + 1]);
            w.style(StyleStringDelimiter);
            w.put(text[i + 2]);
            i += 3;
        } else if (c == '\'' && lex::isAsciiLetter(text[i + 1])) {
            w.style(StyleOperator);
            w.put(text[i++]);
            w.style(StyleControl);
            while (lex::isIdentifierChar(text[i]))
                w.put(text[i++]);
        } else if (lex::isDigit(c)) {
            i = lex::writeNumber(w, text, i, u"_#");
        } else if (lex::isIdentifierStart(c)) {
            while (lex::isIdentifierChar(text[i]))
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = StyleText;
            long next = i;
            while (lex::isSpace(text[next]))
                ++next;
            if (nameFollows || (statementStart && text[next] == ':' && text[next + 1] != '='))
                style = StyleFunction;
            else if (lex::containsNoCase(m_keywords[0], word) ||
                     lex::containsNoCase(m_keywords[1], word))
                style = StyleKeyword;
            nameFollows = style == StyleKeyword && lex::containsNoCase(declaringWords(), word);
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i);
        }
        statementStart = false;
        previous = text[i - 1];
    }
    return w.finish();
}
