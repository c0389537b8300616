#pragma once

#include <QString>

// Token codes. Codes below 128 are the ASCII characters standing for themselves; the codes
// from 184 on that are not keywords name tree nodes only.
enum ESTokenCode : int {
    T_EOF = 128,
    T_AND_ASSIGN = 129,
    T_OR_ASSIGN,
    T_XOR_ASSIGN,
    T_SHL_ASSIGN,
    T_SHR_ASSIGN,
    T_USHR_ASSIGN,
    T_ADD_ASSIGN,
    T_SUB_ASSIGN,
    T_MUL_ASSIGN,
    T_DIV_ASSIGN,
    T_MOD_ASSIGN = 139,
    T_OROR = 140,
    T_ANDAND,
    T_IDENTITY,
    T_NIDENTITY,
    T_EQ,
    T_NE,
    T_LE,
    T_GE,
    T_SHL,
    T_SHR,
    T_USHR = 150,
    T_INC = 151, // prefix, and the token for both forms
    T_DEC,
    T_NUMBER = 153,
    T_IDENT = 159,
    T_STRING = 161,
    T_THIS = 162,
    T_TYPEOF,
    T_DELETE,
    T_VOID,
    T_WHILE,
    T_FOR,
    T_BREAK,
    T_CONTINUE,
    T_WITH,
    T_RETURN,
    T_FUNCTION,
    T_VAR,
    T_IF,
    T_ELSE,
    T_IN,
    T_NEW,
    T_CASE,
    T_DEFAULT,
    T_SWITCH,
    T_TRUE,
    T_FALSE,
    T_NULL = 183,
    N_LINE = 184,
    N_COL,
    N_POSTINC = 186,
    N_POSTDEC,
    N_NEG = 188,
    N_PLUS,
    N_CALL = 190,
    N_NEWCALL,
    N_FORIN = 192,
    N_FORVAR,
    N_FORVARIN,
    N_ARRAYINIT = 195,
    N_OBJECTINIT,
    N_EMPTY = 197,
    N_LABEL = 198,
    T_CATCH = 199,
    T_CLASS,
    T_CONST,
    T_DEBUGGER,
    T_DO = 203,
    T_ENUM,
    T_EXPORT,
    T_EXTENDS,
    T_FINALLY,
    T_IMPORT,
    T_SUPER,
    T_THROW,
    T_TRY = 211,
    N_TRYCATCH = 212,
    N_TRYFINALLY,
    N_TRYCATCHFINALLY,
};

// The name of a token in messages: the character, the operator or keyword text, a kind
// name ("end of input", "an identifier", "call"), or "token<N>".
QString esTokenName(int code);

// `&=` through `%=`: the assignments that combine with an operator.
inline bool esIsCompoundAssignment(int code) {
    return code >= T_AND_ASSIGN && code <= T_MOD_ASSIGN;
}

// The keyword code of a word, or 0: exactly the 35 words of the language.
int esKeyword(QStringView word);
inline constexpr int kKeywordCount = 35;
