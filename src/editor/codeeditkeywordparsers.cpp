#include "editor/codeeditkeywordparsers.h"

CodeEditJavaParser::CodeEditJavaParser() {
    m_keywords[0] = KeywordList{
        "abstract",  "assert", "boolean", "break",        "byte",    "case",       "catch",
        "char",      "class",  "const",   "continue",     "default", "do",         "double",
        "else",      "enum",   "extends", "false",        "final",   "finally",    "float",
        "for",       "goto",   "if",      "implements",   "import",  "instanceof", "int",
        "interface", "long",   "native",  "new",          "null",    "package",    "private",
        "protected", "public", "record",  "return",       "sealed",  "short",      "static",
        "strictfp",  "super",  "switch",  "synchronized", "this",    "throw",      "throws",
        "transient", "true",   "try",     "var",          "void",    "volatile",   "while",
        "yield"};
}

CodeEditJavaScriptParser::CodeEditJavaScriptParser() {
    m_keywords[0] =
        KeywordList{"async",    "await",      "break",   "case",   "catch",    "class", "const",
                    "continue", "debugger",   "default", "delete", "do",       "else",  "export",
                    "extends",  "false",      "finally", "for",    "function", "if",    "import",
                    "in",       "instanceof", "let",     "new",    "null",     "of",    "return",
                    "static",   "super",      "switch",  "this",   "throw",    "true",  "try",
                    "typeof",   "undefined",  "var",     "void",   "while",    "with",  "yield"};
}

CodeEditXCParser::CodeEditXCParser() {
    m_keywords[0] = KeywordList{
        "auto",   "break",     "buffered", "case",      "chan",     "chanend",     "char",
        "clock",  "const",     "continue", "core",      "default",  "do",          "double",
        "else",   "enum",      "extern",   "float",     "for",      "goto",        "if",
        "in",     "inline",    "int",      "interface", "long",     "master",      "movable",
        "null",   "on",        "out",      "par",       "port",     "register",    "return",
        "select", "server",    "client",   "short",     "signed",   "sizeof",      "slave",
        "static", "streaming", "struct",   "switch",    "timer",    "transaction", "typedef",
        "union",  "unsafe",    "unsigned", "void",      "volatile", "when",        "while"};
}

CodeEditVantrelLinkScriptParser::CodeEditVantrelLinkScriptParser() {
    m_keywords[0] = KeywordList{"AT",
                                "ENTRY",
                                "EXTERN",
                                "FILL",
                                "GROUP",
                                "INCLUDE",
                                "INPUT",
                                "KEEP",
                                "MEMORY",
                                "NOLOAD",
                                "OUTPUT",
                                "OUTPUT_ARCH",
                                "OUTPUT_FORMAT",
                                "OVERLAY",
                                "PHDRS",
                                "PROVIDE",
                                "PROVIDE_HIDDEN",
                                "SEARCH_DIR",
                                "SECTIONS",
                                "SORT",
                                "SORT_BY_ALIGNMENT",
                                "SORT_BY_NAME",
                                "STARTUP",
                                "TARGET",
                                "VERSION"};
    m_keywords[1] = KeywordList{"ABSOLUTE", "ADDR",   "ALIGN",    "ALIGNOF", "ASSERT", "BYTE",
                                "DEFINED",  "LENGTH", "LOADADDR", "LONG",    "MAX",    "MIN",
                                "NEXT",     "ORIGIN", "QUAD",     "SHORT",   "SIZEOF", "SQUAD"};
}

CodeEditSTAPLParser::CodeEditSTAPLParser() : CodeEditStandardParser(false) {
    m_keywords[0] = KeywordList{
        "action",      "boolean", "call",    "crc",    "data",   "drscan",    "drstop",
        "else",        "endif",   "enddata", "exit",   "export", "for",       "goto",
        "if",          "integer", "irscan",  "irstop", "next",   "note",      "pop",
        "postdr",      "postir",  "predr",   "preir",  "print",  "procedure", "push",
        "recommended", "return",  "step",    "then",   "to",     "trst",      "usercode",
        "usesafety",   "wait",    "cycles",  "usec",   "endproc"};
    m_keywords[2] = KeywordList{"idle", "drpause", "irpause", "reset", "optional"};
}

CodeEditBatchParser::CodeEditBatchParser() : CodeEditStandardParser(false) {
    m_keywords[0] = KeywordList{
        "assoc",    "call",   "cd",    "chdir",    "cls",  "copy",  "defined",    "del",   "dir",
        "do",       "echo",   "else",  "endlocal", "equ",  "erase", "errorlevel", "exist", "exit",
        "for",      "geq",    "goto",  "gtr",      "if",   "in",    "leq",        "lss",   "md",
        "mkdir",    "move",   "neq",   "not",      "nul",  "off",   "on",         "path",  "pause",
        "popd",     "prompt", "pushd", "rd",       "rem",  "ren",   "rename",     "rmdir", "set",
        "setlocal", "shift",  "start", "title",    "type", "ver",   "xcopy"};
}
