#include "script/estoken.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

struct TokenText {
    int code;
    const char *text;
};

// Every named token with its text, written once; the keywords are the entries of kind Word.
const TokenText kTokenTexts[] = {
    {T_EOF, "end of input"},
    {T_AND_ASSIGN, "&="},
    {T_OR_ASSIGN, "|="},
    {T_XOR_ASSIGN, "^="},
    {T_SHL_ASSIGN, "<<="},
    {T_SHR_ASSIGN, ">>="},
    {T_USHR_ASSIGN, ">>>="},
    {T_ADD_ASSIGN, "+="},
    {T_SUB_ASSIGN, "-="},
    {T_MUL_ASSIGN, "*="},
    {T_DIV_ASSIGN, "/="},
    {T_MOD_ASSIGN, "%="},
    {T_OROR, "||"},
    {T_ANDAND, "&&"},
    {T_IDENTITY, "==="},
    {T_NIDENTITY, "!=="},
    {T_EQ, "=="},
    {T_NE, "!="},
    {T_LE, "<="},
    {T_GE, ">="},
    {T_SHL, "<<"},
    {T_SHR, ">>"},
    {T_USHR, ">>>"},
    {T_INC, "++"},
    {T_DEC, "--"},
    {T_NUMBER, "a number"},
    {T_IDENT, "an identifier"},
    {T_STRING, "a string"},
    {N_LINE, "#line"},
    {N_COL, "#col"},
    {N_POSTINC, "++"},
    {N_POSTDEC, "--"},
    {N_NEG, "-"},
    {N_PLUS, "+"},
    {N_CALL, "call"},
    {N_NEWCALL, "newcall"},
    {N_FORIN, "forin"},
    {N_FORVAR, "forvar"},
    {N_FORVARIN, "forvarin"},
    {N_ARRAYINIT, "arrayinit"},
    {N_OBJECTINIT, "objectinit"},
    {N_TRYCATCH, "try-catch"},
    {N_TRYFINALLY, "try-finally"},
    {N_TRYCATCHFINALLY, "try-catch-finally"},
};

struct Keyword {
    std::u16string_view word;
    int code;
};

// Sorted by word for the binary search.
constexpr Keyword kKeywords[] = {
    {u"break", T_BREAK},
    {u"case", T_CASE},
    {u"catch", T_CATCH},
    {u"class", T_CLASS},
    {u"const", T_CONST},
    {u"continue", T_CONTINUE},
    {u"debugger", T_DEBUGGER},
    {u"default", T_DEFAULT},
    {u"delete", T_DELETE},
    {u"do", T_DO},
    {u"else", T_ELSE},
    {u"enum", T_ENUM},
    {u"export", T_EXPORT},
    {u"extends", T_EXTENDS},
    {u"false", T_FALSE},
    {u"finally", T_FINALLY},
    {u"for", T_FOR},
    {u"function", T_FUNCTION},
    {u"if", T_IF},
    {u"import", T_IMPORT},
    {u"in", T_IN},
    {u"new", T_NEW},
    {u"null", T_NULL},
    {u"return", T_RETURN},
    {u"super", T_SUPER},
    {u"switch", T_SWITCH},
    {u"this", T_THIS},
    {u"throw", T_THROW},
    {u"true", T_TRUE},
    {u"try", T_TRY},
    {u"typeof", T_TYPEOF},
    {u"var", T_VAR},
    {u"void", T_VOID},
    {u"while", T_WHILE},
    {u"with", T_WITH},
};
static_assert(std::size(kKeywords) == kKeywordCount);

constexpr bool keywordsSorted() {
    for (std::size_t i = 1; i < std::size(kKeywords); ++i) {
        if (!(kKeywords[i - 1].word < kKeywords[i].word))
            return false;
    }
    return true;
}
static_assert(keywordsSorted());

} // namespace

int esKeyword(QStringView word) {
    std::u16string_view w(word.utf16(), std::size_t(word.size()));
    auto it = std::lower_bound(std::begin(kKeywords), std::end(kKeywords), w,
                               [](const Keyword &k, std::u16string_view v) { return k.word < v; });
    return it != std::end(kKeywords) && it->word == w ? it->code : 0;
}

QString esTokenName(int code) {
    if (code >= 0 && code < 128)
        return QString(QChar(char16_t(code)));
    for (const TokenText &t : kTokenTexts) {
        if (t.code == code)
            return QString::fromLatin1(t.text);
    }
    for (const Keyword &k : kKeywords) {
        if (k.code == code)
            return QString::fromUtf16(k.word.data(), qsizetype(k.word.size()));
    }
    return QStringLiteral("token<%1>").arg(code);
}
