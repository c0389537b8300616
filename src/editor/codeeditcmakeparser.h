#pragma once

#include "editor/codeeditparser.h"

// CMake listfiles.
//
// Line states (low byte; the bracket length, the number of '=', above it):
//   0  code
//   1  inside a bracket comment #[==[ ... ]==]
//   2  inside a bracket argument [==[ ... ]==]
//   3  inside a quoted argument, which may span lines
// Styles: comments Comment; quoted and bracket arguments String (quotes and brackets in
// String Delimiter, escapes in String Escape); variable references ${...}, $ENV{...} and
// generator expressions $<...> Register; the control-flow commands (if, foreach, function,
// ...) Keyword; other command names (a word before '(') Function; parentheses Operator;
// other arguments Editor Text. Parentheses count as braces.
class CodeEditCMakeParser : public CodeEditParser {
public:
    enum LineState : std::uint32_t {
        Code = 0,
        BracketComment = 1,
        BracketArgument = 2,
        Quoted = 3
    };

    CodeEditCMakeParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;

private:
    long parseBracket(MarkupWriter &out, const char16_t *text, long i, std::uint32_t state);
    long parseQuoted(MarkupWriter &out, const char16_t *text, long i);
};
