#include "build/dependencyfile.h"

#include "core/hexception.h"
#include "core/regularfile.h"

#include <QSet>

#include <cctype>

#include <string>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits the text into words and rule separators. A word is delivered through `word`; a
// target/prerequisite separator ":" through `colon`; the end of a logical line (a line
// break not escaped by a backslash) through `endOfLine`.
class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    enum Token { Word, Colon, EndOfLine, End };

    Token next(std::string &word) {
        skipBlanksAndContinuations();
        if (m_at >= m_text.size())
            return End;
        char c = m_text[m_at];
        if (c == '\n' || (c == '\r' && peek(1) == '\n')) {
            m_at += c == '\r' ? 2 : 1;
            ++m_line;
            return EndOfLine;
        }
        if (c == '#') {
            // A comment runs to the end of the line; the line break still ends the rule.
            while (m_at < m_text.size() && m_text[m_at] != '\n')
                ++m_at;
            return next(word);
        }
        if (c == ':' && !isDriveColon()) {
            ++m_at;
            // "::" (double-colon rules) separates the same way.
            if (peek(0) == ':')
                ++m_at;
            return Colon;
        }
        readWord(word);
        return Word;
    }

    int line() const { return m_line; }

private:
    char peek(size_t offset) const {
        return m_at + offset < m_text.size() ? m_text[m_at + offset] : '\0';
    }

    // A backslash before a line break (LF or CRLF) joins the lines.
    size_t continuationLength() const {
        if (peek(0) != '\\')
            return 0;
        if (peek(1) == '\n')
            return 2;
        if (peek(1) == '\r' && peek(2) == '\n')
            return 3;
        return 0;
    }

    void skipBlanksAndContinuations() {
        for (;;) {
            if (m_at < m_text.size() && (isBlank(m_text[m_at]) || isLoneCarriageReturn())) {
                ++m_at;
            } else if (size_t length = continuationLength()) {
                m_at += length;
                ++m_line;
            } else {
                return;
            }
        }
    }

    bool isLoneCarriageReturn() const { return m_text[m_at] == '\r' && peek(1) != '\n'; }

    // "C:\dir\file.h" or "C:/dir/file.h" at the start of a word written for Windows.
    bool isDriveColon() const {
        return m_wordStart + 1 == m_at && m_at > 0 && std::isalpha(uchar(m_text[m_at - 1])) &&
               (peek(1) == '\\' || peek(1) == '/');
    }

    void readWord(std::string &word) {
        word.clear();
        m_wordStart = m_at;
        while (m_at < m_text.size()) {
            char c = m_text[m_at];
            if (isBlank(c) || c == '\n' || c == '\r')
                return;
            if (c == ':' && !(m_at == m_wordStart + 1 && isDriveColon()))
                return;
            if (c == '$' && peek(1) == '$') {
                word += '$';
                m_at += 2;
                continue;
            }
            if (c == '\\') {
                if (continuationLength())
                    return;
                readBackslashes(word);
                continue;
            }
            // The common case: a run of ordinary characters, taken at once.
            size_t end = m_at + 1;
            while (end < m_text.size() && !isSpecial(m_text[end]))
                ++end;
            word.append(m_text.substr(m_at, end - m_at));
            m_at = end;
        }
    }

    static bool isSpecial(char c) {
        return isBlank(c) || c == '\n' || c == '\r' || c == ':' || c == '$' || c == '\\';
    }

    // 2N backslashes before a blank or "#" stand for N backslashes (the blank ends the
    // word); 2N+1 for N backslashes and the character itself. Backslashes before anything
    // else are kept as written, as in Windows paths.
    void readBackslashes(std::string &word) {
        size_t count = 0;
        while (peek(count) == '\\')
            ++count;
        char after = peek(count);
        if (!isBlank(after) && after != '#' && after != ':') {
            word.append(count, '\\');
            m_at += count;
            return;
        }
        word.append(count / 2, '\\');
        m_at += count;
        if (count % 2 == 1) {
            word += after;
            ++m_at;
        }
    }

    std::string_view m_text;
    size_t m_at = 0;
    size_t m_wordStart = 0;
    int m_line = 1;
};

} // namespace

QStringList DependencyFile::parse(std::string_view text) {
    QStringList inputs;
    QSet<QString> seen;
    Scanner scanner(text);
    std::string word;
    bool haveTargets = false; // words before the colon of the current rule
    bool inPrerequisites = false;
    bool orderOnly = false;
    for (;;) {
        int line = scanner.line();
        Scanner::Token token = scanner.next(word);
        switch (token) {
        case Scanner::Word:
            if (!inPrerequisites) {
                haveTargets = true;
            } else if (word == "|") {
                // Order-only prerequisites never make a target out of date.
                orderOnly = true;
            } else if (!orderOnly) {
                QString input = QString::fromUtf8(word.data(), qsizetype(word.size()));
                if (!seen.contains(input)) {
                    seen.insert(input);
                    inputs.append(input);
                }
            }
            break;
        case Scanner::Colon:
            if (inPrerequisites)
                throw HException("line " + std::to_string(line) + ": unexpected ':'");
            if (!haveTargets)
                throw HException("line " + std::to_string(line) + ": rule without a target");
            inPrerequisites = true;
            break;
        case Scanner::EndOfLine:
        case Scanner::End:
            if (haveTargets && !inPrerequisites)
                throw HException("line " + std::to_string(line) + ": missing ':'");
            haveTargets = inPrerequisites = orderOnly = false;
            if (token == Scanner::End)
                return inputs;
            break;
        }
    }
}

QStringList DependencyFile::read(const QString &path) {
    std::string text;
    std::string name = path.toStdString();
    RegularFileStatus status = readRegularFile(name, text);
    if (status != RegularFileStatus::Ok)
        throw HException(name + ": " +
                         (status == RegularFileStatus::CannotOpen ? std::string("cannot open")
                                                                  : regularFileError(status)));
    try {
        return parse(text);
    } catch (const HException &error) {
        throw HException(name + ": " + error.message());
    }
}
