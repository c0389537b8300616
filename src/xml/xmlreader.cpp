#include "xml/xmlreader.h"

#include "core/filebuffer.h"
#include "core/regularfile.h"

#include "xml/xmldata.h"
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"
#include "xml/xmlutf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The reader's messages; callers compose their own text around them.
constexpr char kBadTagName[] = "bad tagName";
constexpr char kTagNameMismatch[] = "tagName mismatch";
constexpr char kBadAttributeValue[] = "bad attribute value";
constexpr char kBadDocType[] = "bad DOCTYPE";
constexpr char kBadDeclaration[] = "bad XML declaration";
constexpr char kCouldNotRead[] = "couldn't read ";
constexpr char kJunkAfterRoot[] = "junk after document element";
constexpr char kMissingValue[] = "attribute without value";
constexpr char kDuplicateAttribute[] = "duplicate attribute";
constexpr char kMisplacedDeclaration[] = "XML declaration not at start";
constexpr char kEndOfInput[] = "unexpected end of input in ";

enum CharClass : unsigned char { kSpace = 1, kNameStart = 2, kName = 4, kDigit = 8 };

constexpr std::array<unsigned char, 256> makeClasses() {
    std::array<unsigned char, 256> table{};
    for (int c : {' ', '\t', '\n', '\r'})
        table[c] = kSpace;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = kNameStart | kName;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = kNameStart | kName;
    for (int c : {'_', ':', '-'})
        table[c] = kNameStart | kName;
    table['.'] = kName;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = kName | kDigit;
    // Every byte of a UTF-8 sequence: names in other scripts.
    for (int c = 0x80; c < 0x100; ++c)
        table[c] = kNameStart | kName;
    return table;
}
constexpr std::array<unsigned char, 256> kClasses = makeClasses();

// Past the last code point.
constexpr unsigned kTooLarge = 0x110000;

inline bool is(char c, CharClass cls) {
    return kClasses[static_cast<unsigned char>(c)] & cls;
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool startsWith(const char *p, const char *end, std::string_view text) {
    return std::size_t(end - p) >= text.size() && std::memcmp(p, text.data(), text.size()) == 0;
}

// Whether the input ends within what could still become `text`.
bool endsWithin(const char *p, const char *end, std::string_view text) {
    return std::size_t(end - p) < text.size() &&
           std::memcmp(p, text.data(), std::size_t(end - p)) == 0;
}

// The scans below class sixteen bytes at once where the processor has SSE2 (every x86-64)
// and the input allows: one mask of the bytes that end the run, whose lowest bit is the
// answer, instead of a branch per byte, which mostly guesses the end of a short run wrong.
#if defined(__SSE2__)
using Block = __m128i;

Block load(const char *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
#endif

// The first byte that is `a`, `b` or `c`, or `end`.
const char *findAny(const char *p, const char *end, char a, char b, char c) {
#if defined(__SSE2__)
    const Block va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const Block block = load(p);
        const Block hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, va), _mm_cmpeq_epi8(block, vb)),
                         _mm_cmpeq_epi8(block, vc));
        if (const unsigned mask = unsigned(_mm_movemask_epi8(hits)))
            return p + std::countr_zero(mask);
    }
#endif
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// Past the name at `p`.
const char *skipName(const char *p, const char *end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const Block c = load(p);
        auto between = [](Block bytes, char low, char high) { // signed bytes
            return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(char(low - 1))),
                                 _mm_cmpgt_epi8(_mm_set1_epi8(char(high + 1)), bytes));
        };
        // Letters in either case; "-" to ":" but "/" (so "-", ".", digits and ":"); "_";
        // every byte of a UTF-8 sequence (negative as a signed byte).
        Block name = between(_mm_or_si128(c, _mm_set1_epi8(0x20)), 'a', 'z');
        name = _mm_or_si128(
            name, _mm_andnot_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('/')), between(c, '-', ':')));
        name = _mm_or_si128(name, _mm_cmpeq_epi8(c, _mm_set1_epi8('_')));
        name = _mm_or_si128(name, _mm_cmpgt_epi8(_mm_setzero_si128(), c));
        if (const unsigned stop = ~unsigned(_mm_movemask_epi8(name)) & 0xffff)
            return p + std::countr_zero(stop);
    }
#endif
    while (p < end && is(*p, kName))
        ++p;
    return p;
}

// Past the blanks at `p`, eight at a time: the indentation before a tag.
const char *skipBlanks(const char *p, const char *end) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (const std::uint64_t other = word ^ 0x2020202020202020u)
                return p + std::countr_zero(other) / 8;
            p += 8;
        }
    }
    while (p < end && *p == ' ')
        ++p;
    return p;
}

int countNewlines(const char *p, const char *end) {
    int count = 0;
    while ((p = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p))))) {
        ++count;
        ++p;
    }
    return count;
}

// A numeric character reference "&#...;" or "&#x...;" at `p` (hexadecimal digits in either
// case): its value and the position after it. Values past U+10FFFF saturate there.
struct NumericReference {
    unsigned value;
    const char *next;
};

std::optional<NumericReference> numericReference(const char *p, const char *end) {
    if (!startsWith(p, end, "&#"))
        return std::nullopt;
    const char *q = p + 2;
    bool hex = q < end && *q == 'x';
    q += hex;
    unsigned value = 0;
    for (; q < end; ++q) {
        unsigned digit;
        if (is(*q, kDigit))
            digit = unsigned(*q - '0');
        else if (hex && ((*q >= 'a' && *q <= 'f') || (*q >= 'A' && *q <= 'F')))
            digit = unsigned(hexValue(*q));
        else
            break;
        value = std::min(value * (hex ? 16 : 10) + digit, kTooLarge);
    }
    if (q == end || *q != ';')
        return std::nullopt;
    return NumericReference{value, q + 1};
}

// A run of adjacent references to values 128-255, as earlier versions wrote UTF-8 text byte
// by byte: bytes that together form UTF-8 sequences stand for themselves, every other value
// for its own code point. Returns the position after the run.
const char *decodeByteRun(const char *p, const char *end, std::string &out) {
    std::string run;
    while (auto reference = numericReference(p, end)) {
        if (reference->value < 0x80 || reference->value > 0xff)
            break;
        run += char(reference->value);
        p = reference->next;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(run.data());
    const auto *stop = bytes + run.size();
    while (bytes < stop) {
        if (std::size_t length = utf8SequenceLength(bytes, stop)) {
            out.append(reinterpret_cast<const char *>(bytes), length);
            bytes += length;
        } else {
            appendUtf8(out, *bytes++);
        }
    }
    return p;
}

// Decodes the entity at `p` (a "&") into `out`; returns the position after it. A numeric
// reference gives the UTF-8 encoding of its character. Anything that is not a known entity
// (or names no character) stands for a literal "&".
const char *decodeEntity(const char *p, const char *end, std::string &out) {
    static constexpr std::pair<std::string_view, char> named[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto &[entity, byte] : named) {
        if (startsWith(p, end, entity)) {
            out += byte;
            return p + entity.size();
        }
    }
    if (auto reference = numericReference(p, end)) {
        const unsigned value = reference->value;
        if (value >= 0x80 && value <= 0xff)
            return decodeByteRun(p, end, out);
        // "&#;" has always read as a zero byte.
        if (value < kTooLarge && (value < 0xd800 || value > 0xdfff)) {
            appendUtf8(out, value);
            return reference->next;
        }
    }
    out += '&';
    return p + 1;
}

// Appends the text with entities decoded (and carriage returns dropped for character data).
void decodeText(const char *p, const char *end, bool dropReturns, std::string &out) {
    while (p < end) {
        const char *run = p;
        while (p < end && *p != '&' && !(dropReturns && *p == '\r'))
            ++p;
        out.append(run, p);
        if (p == end)
            break;
        if (*p == '&')
            p = decodeEntity(p, end, out);
        else
            ++p;
    }
}

} // namespace

// One parse over one buffer.
class XMLParser {
public:
    // With `releaseParsed` the buffer is the reader's own copy of a file, whose pages are
    // given back to the system as the parse passes them (see releaseParsed()).
    XMLParser(XMLReader &reader, const char *begin, const char *end, bool releaseParsed)
        : m_reader(reader), m_p(begin), m_end(end), m_keepContent(reader.m_factory.keepContent()),
          m_released(releaseParsed ? begin : nullptr) {}

    bool run() {
        // A byte-order mark is no content, even where the caller left it in the buffer.
        if (startsWith(m_p, m_end, "\xEF\xBB\xBF"))
            m_p += 3;
        skipSpace();
        m_start = m_p;
        while (m_p < m_end) {
            if (m_released && m_p - m_released >= kReleaseStep)
                releaseParsed();
            if (*m_p != '<')
                characterData();
            else if (!markup())
                return false;
        }
        if (!m_open.empty()) {
            const XMLElement *innermost = m_open.back();
            return eof("element " + innermost->tagName(), innermost->line());
        }
        m_reader.m_root = std::move(m_root);
        return true;
    }

private:
    // The tree holds copies of all it keeps, so the text before m_p (the start of the next
    // markup or character data) is no longer read: dropping its whole pages means that a
    // large file and its tree never take memory at the same time. Only for the reader's own
    // buffer, which is freed unread after the parse.
    static constexpr std::ptrdiff_t kReleaseStep = 1 << 20;
    void releaseParsed() {
        const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
        const std::uintptr_t first = (std::uintptr_t(m_released) + page - 1) & ~(page - 1);
        const std::uintptr_t last = std::uintptr_t(m_p) & ~(page - 1);
        if (last > first)
            madvise(reinterpret_cast<void *>(first), last - first, MADV_DONTNEED);
        m_released = m_p;
    }

    bool fail(const char *text, int line) { return m_reader.fail(text, line); }
    bool eof(const std::string &what, int line) { return m_reader.fail(kEndOfInput + what, line); }

    // The scanning loops work on locals: a char load may alias the members, which would
    // otherwise be stored back on every byte.
    void skipSpace() {
        const char *p = m_p, *end = m_end;
        // Mostly one blank (between attributes) or none: a loop that ends after the first
        // byte would mostly guess its end wrong.
        if (p < end && *p == ' ')
            ++p;
        int line = m_line;
        while (p < end && is(*p, kSpace))
            line += *p++ == '\n';
        m_p = p;
        m_line = line;
    }

    std::string_view name() {
        const char *start = m_p;
        m_p = skipName(start, m_end);
        return {start, std::size_t(m_p - start)};
    }

    void characterData() {
        // Mostly the line break and indentation before the next tag.
        const char *start = m_p, *p = m_p, *end = m_end;
        const int line = m_line;
        int newlines = 0;
        while (p < end && is(*p, kSpace)) {
            if (*p == ' ')
                p = skipBlanks(p, end);
            else
                newlines += *p++ == '\n';
        }
        if (p < end && *p != '<') {
            const char *text = p;
            p = static_cast<const char *>(std::memchr(p, '<', std::size_t(end - p)));
            p = p ? p : end;
            newlines += countNewlines(text, p);
        }
        m_p = p;
        m_line += newlines;
        if (!m_keepContent || m_open.empty())
            return;
        std::string text;
        decodeText(start, m_p, true, text);
        if (text.empty())
            return;
        auto node = std::make_unique<XMLData>(std::move(text));
        node->setLine(line);
        m_open.back()->appendChild(std::move(node));
    }

    bool markup() {
        int line = m_line;
        if (startsWith(m_p, m_end, "<?xml") &&
            (m_p + 5 == m_end || is(m_p[5], kSpace) || m_p[5] == '?')) {
            // Only the document's first markup may set its version and encoding.
            if (m_p != m_start)
                return fail(kMisplacedDeclaration, line);
            return declaration(line);
        }
        if (startsWith(m_p, m_end, "<?")) {
            // A processing instruction is for some other program: skipped whole.
            return section(2, "?>", "processing instruction", line, [](std::string_view) {});
        }
        if (m_end - m_p >= 2 && m_p[1] == '!')
            return declarationLike(line);
        if (m_end - m_p >= 2 && m_p[1] == '/')
            return endTag(line);
        return startTag(line);
    }

    bool declarationLike(int line) {
        if (startsWith(m_p, m_end, "<!--")) {
            return section(4, "-->", "comment", line, [this](std::string_view text) {
                if (m_keepContent && !m_open.empty())
                    appendText(std::make_unique<XMLComment>(std::string(text)));
            });
        }
        if (startsWith(m_p, m_end, "<![CDATA[")) {
            return section(9, "]]>", "CDATA section", line, [this](std::string_view text) {
                if (!m_open.empty())
                    appendText(std::make_unique<XMLCDATASection>(std::string(text)));
            });
        }
        if (startsWith(m_p, m_end, "<!DOCTYPE"))
            return docType(line);
        if (endsWithin(m_p, m_end, "<!--"))
            return eof("comment", line);
        if (endsWithin(m_p, m_end, "<![CDATA["))
            return eof("CDATA section", line);
        if (endsWithin(m_p, m_end, "<!DOCTYPE"))
            return eof("DOCTYPE", line);
        return fail(kBadTagName, line);
    }

    void appendText(std::unique_ptr<XMLNode> node) {
        node->setLine(m_sectionLine);
        m_open.back()->appendChild(std::move(node));
    }

    // A comment or CDATA section: raw text up to the terminator.
    template <class Add>
    bool section(std::size_t openLength, std::string_view terminator, const char *what, int line,
                 Add add) {
        std::string_view rest(m_p + openLength, std::size_t(m_end - m_p) - openLength);
        std::size_t stop = rest.find(terminator);
        if (stop == std::string_view::npos)
            return eof(what, line);
        std::string_view text = rest.substr(0, stop);
        m_sectionLine = line;
        m_line += countNewlines(text.data(), text.data() + text.size());
        m_p = text.data() + stop + terminator.size();
        add(text);
        return true;
    }

    // A name, optional white space and ">", as a DOCTYPE and an end tag have them.
    bool nameAndClose(int line, const char *within, const char *bad, std::string_view &found) {
        found = name();
        skipSpace();
        if (m_p == m_end)
            return eof(within, line);
        if (found.empty() || *m_p != '>')
            return fail(bad, line);
        ++m_p;
        return true;
    }

    // "<!DOCTYPE name", an optional external identifier and internal subset, ">". Only the
    // name is kept: the identifier and the subset are skipped, never fetched or processed.
    bool docType(int line) {
        m_p += 9;
        skipSpace();
        std::string_view type = name();
        skipSpace();
        if (m_p == m_end)
            return eof("DOCTYPE", line);
        if (type.empty())
            return fail(kBadDocType, line);
        const int literals = startsWith(m_p, m_end, "SYSTEM")   ? 1
                             : startsWith(m_p, m_end, "PUBLIC") ? 2
                                                                : 0;
        if (literals) {
            m_p += 6;
            for (int i = 0; i < literals; ++i) {
                skipSpace();
                if (!skipQuoted())
                    return m_p == m_end ? eof("DOCTYPE", line) : fail(kBadDocType, line);
            }
            skipSpace();
        }
        if (m_p < m_end && *m_p == '[') {
            if (!skipInternalSubset())
                return eof("DOCTYPE", line);
            skipSpace();
        }
        if (m_p == m_end)
            return eof("DOCTYPE", line);
        if (*m_p != '>')
            return fail(kBadDocType, line);
        ++m_p;
        m_reader.m_documentType = std::string(type);
        return true;
    }

    // A quoted literal at m_p; false when there is none or it does not end.
    bool skipQuoted() {
        if (m_p == m_end || (*m_p != '"' && *m_p != '\''))
            return false;
        const char *close =
            static_cast<const char *>(std::memchr(m_p + 1, *m_p, std::size_t(m_end - m_p - 1)));
        if (!close) {
            m_p = m_end;
            return false;
        }
        m_line += countNewlines(m_p, close);
        m_p = close + 1;
        return true;
    }

    // From "[" past the "]" that closes the subset: quoted literals, comments and processing
    // instructions may hold a "]" of their own. False at the end of the input.
    bool skipInternalSubset() {
        ++m_p;
        while (m_p < m_end) {
            char c = *m_p;
            if (c == ']') {
                ++m_p;
                return true;
            }
            if (c == '"' || c == '\'') {
                if (!skipQuoted())
                    return false;
            } else if (startsWith(m_p, m_end, "<!--") || startsWith(m_p, m_end, "<?")) {
                const bool comment = m_p[1] == '!';
                const std::size_t open = comment ? 4 : 2;
                std::string_view rest(m_p + open, std::size_t(m_end - m_p) - open);
                std::size_t stop = rest.find(comment ? "-->" : "?>");
                if (stop == std::string_view::npos)
                    return false;
                m_line += countNewlines(m_p, rest.data() + stop);
                m_p = rest.data() + stop + (comment ? 3 : 2);
            } else {
                m_line += c == '\n';
                ++m_p;
            }
        }
        return false;
    }

    bool declaration(int line) {
        m_p += 5;
        for (;;) {
            skipSpace();
            if (m_p == m_end || endsWithin(m_p, m_end, "?>"))
                return eof("XML declaration", line);
            if (startsWith(m_p, m_end, "?>")) {
                m_p += 2;
                return true;
            }
            if (!is(*m_p, kNameStart))
                return fail(kBadDeclaration, line);
            std::string_view key = name();
            std::string_view value;
            if (!attributeValue(line, "XML declaration", value))
                return false;
            if (key == "version")
                m_reader.m_version = std::string(value);
            else if (key == "encoding")
                m_reader.m_encoding = std::string(value);
        }
    }

    // After an attribute name: "=" and a quoted value, decoded. The value is a view of the
    // input, or of m_decoded when it holds references (valid until the next value).
    bool attributeValue(int line, const char *within, std::string_view &value) {
        // Mostly "=" right after the name and a value without references or line breaks,
        // which is read here; everything else takes the long way.
        const char *p = m_p, *end = m_end;
        if (end - p > 2 && p[0] == '=' && (p[1] == '"' || p[1] == '\'')) {
            const char quote = p[1];
            const char *stop = findAny(p + 2, end, quote, '&', '\n');
            if (stop != end && *stop == quote) {
                value = std::string_view(p + 2, std::size_t(stop - p - 2));
                m_p = stop + 1;
                return true;
            }
        }
        return anyAttributeValue(line, within, value);
    }

    bool anyAttributeValue(int line, const char *within, std::string_view &value) {
        skipSpace();
        if (m_p == m_end)
            return eof(within, line);
        if (*m_p != '=')
            return fail(kMissingValue, m_line);
        ++m_p;
        skipSpace();
        if (m_p == m_end)
            return eof(within, line);
        char quote = *m_p;
        if (quote != '"' && quote != '\'')
            return fail(kBadAttributeValue, m_line);
        const char *start = ++m_p;
        const char *stop = start, *end = m_end;
        bool plain = true;
        for (;;) {
            stop = findAny(stop, end, quote, '&', '\n');
            if (stop == end)
                return eof(within, line);
            if (*stop == quote)
                break;
            if (*stop == '&')
                plain = false;
            else
                ++m_line;
            ++stop;
        }
        m_p = stop + 1;
        if (plain) {
            value = std::string_view(start, std::size_t(stop - start));
            return true;
        }
        m_decoded.clear();
        decodeText(start, stop, false, m_decoded);
        value = m_decoded;
        return true;
    }

    bool startTag(int line) {
        ++m_p;
        std::string_view tag = name();
        if (tag.empty())
            return m_p == m_end ? eof("tag", line) : fail(kBadTagName, line);
        bool atTop = m_open.empty();
        // A second top-level element must not replace (and so silently drop) the first.
        if (atTop && m_root)
            return fail(kJunkAfterRoot, line);
        std::unique_ptr<XMLElement> created = m_reader.m_factory.mkXMLElement(tag);
        created->setLine(line);
        XMLElement *element = created.get();
        if (atTop)
            m_top = std::move(created);
        else
            m_open.back()->appendChild(std::move(created));

        // Gathered here and handed over at once: the element gets one block of the right size.
        m_attributes.clear();
        bool selfClosing = false;
        for (;;) {
            skipSpace();
            if (m_p == m_end)
                return eof("tag", line);
            if (*m_p == '>') {
                ++m_p;
                break;
            }
            if (*m_p == '/') {
                if (m_p + 1 == m_end)
                    return eof("tag", line);
                if (m_p[1] != '>')
                    return fail(kBadTagName, m_line);
                m_p += 2;
                selfClosing = true;
                break;
            }
            if (!is(*m_p, kNameStart))
                return fail(kBadTagName, m_line);
            const std::string_view attribute = name();
            const int nameLine = m_line;
            std::string_view value;
            if (!attributeValue(line, "tag", value))
                return false;
            // The list indexes its names beyond a few, so a hostile element stays linear.
            if (m_attributes.contains(attribute))
                return fail(kDuplicateAttribute, nameLine);
            m_attributes.append(attribute, value);
        }
        if (!m_attributes.empty())
            element->setAttributes(m_attributes);

        if (!selfClosing)
            m_open.push_back(element);
        else if (atTop)
            m_root = std::move(m_top);
        return true;
    }

    bool endTag(int line) {
        m_p += 2;
        std::string_view tag;
        if (!nameAndClose(line, "tag", kBadTagName, tag))
            return false;
        if (m_open.empty() || m_open.back()->tagName() != tag)
            return fail(kTagNameMismatch, line);
        m_open.pop_back();
        if (m_open.empty())
            m_root = std::move(m_top);
        return true;
    }

    XMLReader &m_reader;
    const char *m_p;
    const char *m_end;
    const char *m_start = nullptr; // the first markup, after leading white space
    int m_line = 0;                // newlines before m_p
    int m_sectionLine = 0;
    bool m_keepContent;
    std::vector<XMLElement *> m_open;
    std::unique_ptr<XMLElement> m_top;  // the outermost open element
    std::unique_ptr<XMLElement> m_root; // what closed last at top level
    XMLAttributeList m_attributes;      // of the start tag being read
    std::string m_decoded;              // the last attribute value that held references
    const char *m_released; // the end of what was given back, or null to keep the buffer
};

XMLReader::XMLReader(XMLDocument &factory) : m_factory(factory) {}

XMLReader::~XMLReader() = default;

bool XMLReader::fail(std::string text, int line) {
    m_errorText = std::move(text);
    m_errorLine = line;
    return false;
}

bool XMLReader::parse(std::string_view text) {
    return parse(text, false);
}

bool XMLReader::parse(std::string_view text, bool ownBuffer) {
    m_root.reset();
    m_documentType.reset();
    m_version.reset();
    m_encoding.reset();
    m_errorText.clear();
    m_errorLine = 0;
    XMLParser parser(*this, text.data(), text.data() + text.size(), ownBuffer);
    return parser.run();
}

static std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

bool XMLReader::parse(std::istream &in) {
    std::string buffer;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        buffer.append(chunk, std::size_t(in.gcount()));
    if (in.bad()) {
        parse(std::string_view());
        return fail("couldn't read input", 0);
    }
    return parse(withoutByteOrderMark(buffer), true);
}

bool XMLReader::parseFile(const std::string &path) {
    FileBuffer buffer;
    RegularFileStatus status = readRegularFile(path, buffer);
    if (status != RegularFileStatus::Ok) {
        parse(std::string_view());
        // A file that is missing or may not be read keeps the plain message.
        std::string reason = status == RegularFileStatus::CannotOpen
                                 ? std::string()
                                 : ": " + regularFileError(status);
        return fail(kCouldNotRead + path + reason, 0);
    }
    return parse(withoutByteOrderMark(buffer.view()), true);
}

std::unique_ptr<XMLElement> XMLReader::takeRoot() {
    return std::move(m_root);
}
