#include "build/externalbuilderprotocol.h"

#include "core/hexception.h"

#include <limits>
#include <string>

namespace {

constexpr qsizetype kLineLimit = 1 << 20;

struct RequestWord {
    ExternalBuilderCommand::Kind kind;
    const char *word;
};

// Every request the protocol has, once: writer and reader both read it.
constexpr RequestWord kRequestWords[] = {
    {ExternalBuilderCommand::Reload, "reload"},
    {ExternalBuilderCommand::Modified, "modified"},
    {ExternalBuilderCommand::Build, "build"},
    {ExternalBuilderCommand::BuildOnly, "buildonly"},
    {ExternalBuilderCommand::BatchBuild, "batchbuild"},
};

// A piece of a hostile line, short enough for a message.
std::string shown(QByteArrayView text) {
    return std::string(text.data(), size_t(qMin<qsizetype>(text.size(), 40)));
}

const char *wordOf(ExternalBuilderCommand::Kind kind) {
    for (const RequestWord &entry : kRequestWords)
        if (entry.kind == kind)
            return entry.word;
    return "";
}

// Reads the line from left to right.
class LineReader {
public:
    explicit LineReader(QByteArrayView line) : m_line(line) {}

    QByteArrayView word() {
        qsizetype start = m_at;
        while (m_at < m_line.size() && m_line[m_at] != ' ')
            ++m_at;
        return m_line.sliced(start, m_at - start);
    }

    void space(const char *after) {
        if (m_at >= m_line.size() || m_line[m_at] != ' ')
            throw HException(std::string("expected a space after the ") + after);
        ++m_at;
    }

    int number(const char *what) {
        qsizetype start = m_at;
        long long value = 0;
        while (m_at < m_line.size() && m_line[m_at] >= '0' && m_line[m_at] <= '9') {
            value = value * 10 + (m_line[m_at] - '0');
            if (value > std::numeric_limits<int>::max())
                throw HException(std::string("bad ") + what);
            ++m_at;
        }
        if (m_at == start)
            throw HException(std::string("bad ") + what);
        return int(value);
    }

    QString quoted() {
        if (m_at >= m_line.size() || m_line[m_at] != '\'')
            throw HException("expected a quoted text");
        ++m_at;
        QByteArray text;
        for (;;) {
            if (m_at >= m_line.size())
                throw HException("unterminated text");
            char c = m_line[m_at++];
            if (c == '\'')
                return QString::fromUtf8(text);
            if (c == '\\')
                c = escaped();
            text += c;
        }
    }

    QString rest() {
        QByteArray text;
        while (m_at < m_line.size()) {
            char c = m_line[m_at++];
            if (c == '\\')
                c = escaped();
            else if (c == '\'')
                throw HException("unescaped quote in text");
            text += c;
        }
        return QString::fromUtf8(text);
    }

    void end() {
        if (m_at != m_line.size())
            throw HException("unexpected text at the end of the line");
    }

private:
    char escaped() {
        if (m_at >= m_line.size())
            throw HException("unterminated text");
        switch (m_line[m_at++]) {
        case '\\':
            return '\\';
        case '\'':
            return '\'';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        default:
            throw HException("bad escape in text");
        }
    }

    QByteArrayView m_line;
    qsizetype m_at = 0;
};

} // namespace

QByteArray ExternalBuilderProtocol::escape(const QString &text) {
    QByteArray bytes = text.toUtf8();
    QByteArray result;
    result.reserve(bytes.size());
    for (char c : bytes) {
        switch (c) {
        case '\\':
            result += "\\\\";
            break;
        case '\'':
            result += "\\'";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        default:
            result += c;
        }
    }
    return result;
}

QByteArray ExternalBuilderProtocol::reloadLine() {
    return QByteArrayLiteral("reload\n");
}

QByteArray ExternalBuilderProtocol::modifiedLine(int node, const QString &property,
                                                 const QString &value) {
    return "modified " + QByteArray::number(node) + " '" + escape(property) + "' " + escape(value) +
           '\n';
}

QByteArray ExternalBuilderProtocol::requestLine(ExternalBuilderCommand::Kind kind, int node,
                                                const QString &configuration, int threads) {
    return QByteArray(wordOf(kind)) + ' ' + QByteArray::number(node) + " '" +
           escape(configuration) + "' " + QByteArray::number(threads) + '\n';
}

ExternalBuilderCommand ExternalBuilderProtocol::parseLine(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    LineReader reader(line);
    QByteArrayView word = reader.word();
    const RequestWord *request = nullptr;
    for (const RequestWord &entry : kRequestWords)
        if (word == entry.word)
            request = &entry;
    if (!request) {
        throw HException("unknown request '" + shown(word) + "'");
    }

    ExternalBuilderCommand command;
    command.kind = request->kind;
    if (command.kind == ExternalBuilderCommand::Reload) {
        reader.end();
        return command;
    }
    reader.space("request");
    command.node = reader.number("node number");
    reader.space("node number");
    command.text = reader.quoted();
    reader.space("quoted text");
    if (command.kind == ExternalBuilderCommand::Modified) {
        command.value = reader.rest();
        return command;
    }
    command.number = reader.number("thread count");
    reader.end();
    return command;
}

ExternalBuilderReader::ExternalBuilderReader(CommandHandler handler)
    : m_handler(std::move(handler)) {}

void ExternalBuilderReader::feed(QByteArrayView data) {
    while (!data.isEmpty()) {
        qsizetype newline = data.indexOf('\n');
        if (m_skipping) {
            if (newline < 0)
                return;
            m_skipping = false;
            ++m_line;
            data = data.sliced(newline + 1);
            continue;
        }
        QByteArrayView piece = newline < 0 ? data : data.first(newline);
        if (m_partial.size() + piece.size() > kLineLimit) {
            // Reported once; the rest of the line goes unread and the next line counts again.
            const int line = m_line + 1;
            m_partial.clear();
            if (newline < 0)
                m_skipping = true;
            else
                m_line = line;
            throw HException("line " + std::to_string(line) + ": line too long");
        }
        if (newline < 0) {
            m_partial += piece;
            return;
        }
        if (m_partial.isEmpty()) {
            deliver(piece);
        } else {
            m_partial += piece;
            QByteArray line = std::exchange(m_partial, {});
            deliver(line);
        }
        data = data.sliced(newline + 1);
    }
}

void ExternalBuilderReader::finish() {
    if (!m_partial.isEmpty())
        throw HException("line " + std::to_string(m_line + 1) + ": incomplete line");
}

void ExternalBuilderReader::deliver(QByteArrayView line) {
    ++m_line;
    ExternalBuilderCommand command;
    try {
        command = ExternalBuilderProtocol::parseLine(line);
    } catch (const HException &error) {
        throw HException("line " + std::to_string(m_line) + ": " + error.message());
    }
    m_handler(command);
}
