#pragma once

#include "build/diagnosticparser.h"

// Reads the forms GCC, Clang, GNU as, GNU ld and make print: "FILE:LINE:COLUMN: KIND: TEXT",
// "FILE:LINE: Error: TEXT", "TOOL: error: TEXT", and lines that only name a file.
class StandardDiagnosticParser : public DiagnosticParser {
public:
    bool parse(const QString &line, QList<Bookmark> &records) override;

    // True for the source lines and caret lines GCC prints below a diagnostic
    // ("    3 |   code", "      |   ^~~"): they quote the program, not the compiler.
    static bool isSourceEcho(const QString &line);
};
