#include "editor/codeeditparser.h"

#include "editor/commentsettings.h"
#include "editor/spellchecker.h"
#include "editor/styletable.h"

#include <vector>

CodeEditParser::~CodeEditParser() = default;

QString CodeEditParser::bracketPattern() const {
    return QStringLiteral("\\{\\}\\[\\]\\(\\)");
}

bool CodeEditParser::isCodePosition(const QString &, int) {
    return false;
}

bool CodeEditParser::isStandardParser() const {
    return false;
}

bool CodeEditParser::matchRawStringStart(const char16_t *, int &, std::uint32_t &) {
    return false;
}

bool CodeEditParser::matchRawStringEnd(const char16_t *, std::uint32_t, int &) {
    return false;
}

void CodeEditParser::setCommentSettings(const CommentSettings *settings) {
    sm_commentSettings = settings;
}

namespace {

bool isWordChar(char16_t c) {
    return c == '\'' || lex::isLetter(c) || (c >= 0x100 && QChar(c).isLetter());
}

} // namespace

void CodeEditParser::writeCommentText(MarkupWriter &out, const char16_t *text, long from, long to,
                                      int style) {
    out.style(style);
    const SpellChecker *checker =
        sm_commentSettings ? sm_commentSettings->spellChecker.get() : nullptr;
    if (!checker) {
        out.put(text + from, to - from);
        return;
    }
    long i = from;
    while (i < to) {
        if (!isWordChar(text[i])) {
            out.put(text[i++]);
            continue;
        }
        long start = i;
        while (i < to && isWordChar(text[i]))
            ++i;
        // part of a longer token (x86, foo_bar): not a word of prose
        bool glued = (start > from && (lex::isDigit(text[start - 1]) || text[start - 1] == '_')) ||
                     (i < to && (lex::isDigit(text[i]) || text[i] == '_'));
        long wordStart = start, wordEnd = i;
        while (wordStart < wordEnd && text[wordStart] == '\'')
            ++wordStart;
        while (wordEnd > wordStart && text[wordEnd - 1] == '\'')
            --wordEnd;
        bool capitals = true;
        for (long k = wordStart; k < wordEnd && capitals; ++k)
            capitals = text[k] == '\'' || QChar(text[k]).isUpper();
        std::u16string_view word(text + wordStart, std::size_t(wordEnd - wordStart));
        if (glued || capitals || word.empty() || checker->isCorrect(word)) {
            out.put(text + start, i - start);
            continue;
        }
        out.put(text + start, wordStart - start);
        out.flags(kSquiggleOn);
        out.put(text + wordStart, wordEnd - wordStart);
        out.flags(kSquiggleOff);
        out.put(text + wordEnd, i - wordEnd);
    }
}

long CodeEditParser::writeBlockComment(MarkupWriter &out, const char16_t *text, long from,
                                       std::uint32_t openState) {
    long end = from;
    while (text[end] && !(text[end] == '*' && text[end + 1] == '/'))
        ++end;
    writeCommentText(out, text, from, end, StyleComment);
    if (!text[end]) {
        m_lineState = openState;
        return end;
    }
    out.put(text + end, 2);
    m_lineState = 0;
    return end + 2;
}

long CodeEditParser::resumeBlockComment(MarkupWriter &out, const char16_t *text) {
    if (m_lineState == 1)
        return writeBlockComment(out, text, 0, 1);
    m_lineState = 0;
    return 0;
}

bool CodeEditParser::isOutsideCommentsAndStrings(const QString &line, int column) {
    int style = styleAt(line, column);
    return style >= 0 && !isCommentOrStringStyle(style);
}

int CodeEditParser::commentTagStyle(std::u16string_view word) {
    if (!sm_commentSettings || word.empty())
        return -1;
    if (sm_commentSettings->fixmeWords.contains(word))
        return StyleFixme;
    if (sm_commentSettings->attentionWords.contains(word))
        return StyleAttention;
    if (sm_commentSettings->lintWords.contains(word))
        return StyleLint;
    return -1;
}

int CodeEditParser::styleAt(const QString &line, int column) {
    std::uint32_t state = m_lineState;
    std::vector<char16_t> markup(std::size_t(markupCapacity(line.size())));
    int braces = 0;
    parse(reinterpret_cast<const char16_t *>(line.utf16()), markup.data(), braces);
    m_lineState = state;
    std::u16string text;
    std::vector<MarkupRun> runs;
    decodeMarkup(markup.data(), text, runs);
    for (const MarkupRun &run : runs)
        if (column >= run.start && column < run.start + run.length)
            return run.style;
    return -1;
}

bool lex::containsNoCase(const KeywordList &list, std::u16string_view word) {
    char16_t lower[64];
    if (word.size() > list.longest() || word.size() > sizeof lower / sizeof lower[0])
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        lower[i] = toLower(word[i]);
    return list.contains(std::u16string_view(lower, word.size()));
}
