#pragma once

#include "editor/codeeditparser.h"

// XML (and, through CodeEditHTMLParser, HTML).
//
// Line states:
//   0  character data
//   1  inside a comment <!-- ... -->
//   2  inside a tag, among its attributes
//   3  inside a double-quoted attribute value
//   4  inside a single-quoted attribute value
//   5  inside a CDATA section
//   6  inside a declaration or processing instruction (<!DOCTYPE ...>, <?xml ... ?>)
// Styles: "<", "</", ">" and "/>" XML Delimiter; element names XML Markup; attribute names
// XML Attribute; "=" Operator; attribute values (quoted, or unquoted in HTML) String with
// String Delimiter quotes and entity references as String Escape; entity references in
// character data XML Markup; comments Comment; CDATA sections, declarations and processing
// instructions Preprocessor Control; character data Editor Text. A start tag counts as an opening
// brace and an end tag or "/>" as a closing one.
class CodeEditXMLParser : public CodeEditParser {
public:
    enum LineState : std::uint32_t {
        Text = 0,
        Comment = 1,
        Tag = 2,
        DoubleQuoted = 3,
        SingleQuoted = 4,
        CData = 5,
        Declaration = 6,
    };

    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    QString bracketPattern() const override;
    bool isCodePosition(const QString &line, int column) override;

private:
    long parseTag(MarkupWriter &out, const char16_t *text, long i, int &braces);
    long parseValue(MarkupWriter &out, const char16_t *text, long i, char16_t quote);
    long parseUntil(MarkupWriter &out, const char16_t *text, long i, const char *closer, int style,
                    std::uint32_t openState);
};

class CodeEditHTMLParser : public CodeEditXMLParser {};
