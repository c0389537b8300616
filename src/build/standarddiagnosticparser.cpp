#include "build/standarddiagnosticparser.h"

#include <climits>

namespace {

struct Keyword {
    QStringView text;
    int kind;
};

// Severity keywords; at one position the first listed that matches wins.
constexpr Keyword kKeywords[] = {
    {u"error: ", Bookmark::Error},     {u"Error: ", Bookmark::Error},
    {u"warning: ", Bookmark::Warning}, {u"Warning: ", Bookmark::Warning},
    {u"note: ", Bookmark::Note},       {u"Info: ", Bookmark::Note},
};

constexpr QStringView kFatal = u"fatal ";

// GCC's continuation lines of an include chain name the file after these words.
constexpr QStringView kIncludedFrom = u"In file included from ";
constexpr QStringView kFrom = u"from ";

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads a decimal number at `pos`, moving past it; -1 when it does not fit an int.
int readNumber(QStringView line, qsizetype &pos) {
    long long value = 0;
    bool overflow = false;
    for (; pos < line.size() && isDigit(line[pos]); ++pos) {
        if (!overflow) {
            value = value * 10 + (line[pos].unicode() - u'0');
            overflow = value > INT_MAX;
        }
    }
    return overflow ? -1 : int(value);
}

// The leftmost severity keyword outside double quotes, so that quoted program text
// ("#warning "error: ..."", printf("error: ...")) never decides the severity. Every keyword
// ends in ": " and holds no other colon, so the first ": " that completes one outside quotes
// ends the leftmost keyword.
const Keyword *findKeyword(QStringView line, qsizetype &at) {
    bool quoted = false;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        QChar c = line[i];
        if (quoted) {
            if (c == u'\\')
                ++i;
            else if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"') {
            quoted = true;
            continue;
        }
        if (c != u':' || line[i + 1] != u' ')
            continue;
        QStringView before = line.first(i + 2);
        for (const Keyword &keyword : kKeywords) {
            if (before.endsWith(keyword.text)) {
                at = i + 2 - keyword.text.size();
                return &keyword;
            }
        }
    }
    return nullptr;
}

// Where the file name of a location starts: the start of a line that opens with
// "NAME:DIGIT" (NAME without blanks), else the first "/" or "./" at the start of the line or
// after a space, else the start of the line (after an include-chain prefix). The first rule
// keeps a path in the message ("a.c:1:10: fatal error: /x/y.h: No such file or directory")
// from taking the place of the location in front of it.
qsizetype fileNameStart(QStringView line) {
    qsizetype colon = line.indexOf(u':');
    if (colon > 0 && colon + 1 < line.size() && isDigit(line[colon + 1]) &&
        !line.first(colon).contains(u' '))
        return 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (i > 0 && line[i - 1] != u' ')
            continue;
        if (line[i] == u'/' || (line[i] == u'.' && i + 1 < line.size() && line[i + 1] == u'/'))
            return i;
    }
    if (line.startsWith(kIncludedFrom))
        return kIncludedFrom.size();
    qsizetype blanks = 0;
    while (blanks < line.size() && line[blanks] == u' ')
        ++blanks;
    if (blanks > 0 && line.mid(blanks).startsWith(kFrom))
        return blanks + kFrom.size();
    return 0;
}

} // namespace

bool StandardDiagnosticParser::isSourceEcho(const QString &line) {
    // ^ *[0-9]* \|
    qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && line[i] == u' ')
        ++i;
    qsizetype digits = i;
    while (i < n && isDigit(line[i]))
        ++i;
    if (i > digits)
        return i + 1 < n && line[i] == u' ' && line[i + 1] == u'|';
    return i > 0 && i < n && line[i] == u'|';
}

bool StandardDiagnosticParser::parse(const QString &text, QList<Bookmark> &records) {
    if (isSourceEcho(text))
        return false;
    QStringView line(text);

    Bookmark record;
    bool recognised = false;
    qsizetype start = fileNameStart(line);
    qsizetype colon = line.indexOf(u':', start);
    if (colon >= 0) {
        recognised = true;
        qsizetype pos = colon + 1;
        int lineNumber = -1;
        int column = -1;
        if (pos < line.size() && isDigit(line[pos])) {
            lineNumber = readNumber(line, pos);
            if (pos + 1 < line.size() && line[pos] == u':' && isDigit(line[pos + 1])) {
                ++pos;
                column = readNumber(line, pos);
            }
        }
        while (pos < line.size() && (isDigit(line[pos]) || line[pos] == u':' || line[pos] == u','))
            ++pos;
        while (pos < line.size() && line[pos] == u' ')
            ++pos;
        record = Bookmark(existingFile(line.mid(start, colon - start)), lineNumber, column,
                          lineNumber > 0 ? line.mid(pos).toString() : QString(), Bookmark::Plain);
    }

    qsizetype at = 0;
    if (const Keyword *keyword = findKeyword(line, at)) {
        recognised = true;
        record = Bookmark(record.file(), record.line(), record.column(),
                          line.mid(at + keyword->text.size()).toString(), keyword->kind);
        record.setFinal(keyword->kind == Bookmark::Error && at >= kFatal.size() &&
                        line.mid(at - kFatal.size(), kFatal.size()) == kFatal);
    }
    if (!recognised)
        return false;
    record.setGenerator(generator());
    records.append(record);
    return true;
}
