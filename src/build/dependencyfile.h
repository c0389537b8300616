#pragma once

#include <QStringList>

#include <string_view>

// The make-syntax dependency file a compiler writes beside an object (gcc -MD -MP and
// compatible drivers): "object: source header...", lines continued with a backslash, blanks
// in names escaped, "$$" for a dollar sign, CRLF line ends. The prerequisites of every rule
// are the inputs of the object (order-only ones after "|" excepted); the empty rules -MP
// adds for each header say nothing and are ignored.
class DependencyFile {
public:
    // The prerequisites of all rules, in order of first appearance, each once. Throws
    // HException ("line N: ...") for text that is not a dependency file, so that the caller
    // treats the object as out of date rather than trusting a partial list.
    static QStringList parse(std::string_view text);
    // Reads and parses a file; throws HException naming the file when it cannot be read.
    static QStringList read(const QString &path);
};
