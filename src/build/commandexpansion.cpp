#include "build/commandexpansion.h"

#include "build/nodevalues.h"
#include "build/stepplan.h"

#include <QProcess>

namespace {

constexpr const char *kShell = "/bin/sh";

// The quoting a macro reference stands in, in a command run by the shell.
enum class Quoting { None, Single, Double };

// One past the ")" that closes the reference starting with "$(" at `at`, or npos.
std::size_t referenceEnd(std::string_view text, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '(')
            ++depth;
        else if (text[i] == ')' && --depth == 0)
            return i + 1;
    }
    return std::string_view::npos;
}

// Values spliced into the script as literal text for the quoting around them.
QString quoted(const QStringList &values, Quoting state) {
    if (state == Quoting::None) { // one quoted word per value
        QStringList words;
        for (const QString &value : values)
            words << StepPlan::shellQuote(value);
        return words.join(u' ');
    }
    QString text = values.join(u' ');
    if (state == Quoting::Single) // end the quotes, give the quote, open them again
        return text.replace(u'\'', QStringLiteral("'\\''"));
    QString escaped;
    for (QChar c : text) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

CommandExpansion::CommandExpansion(const NodeValues &values, QStringList combiningInputs,
                                   const MacroMap *map)
    : m_values(values), m_map(map ? *map : values.map()),
      m_combiningInputs(std::move(combiningInputs)) {}

QString CommandExpansion::expand(const std::string &text) const {
    return m_values.expand(m_map, text);
}

QStringList CommandExpansion::arguments(const std::string &command) const {
    const QStringList split = QProcess::splitCommand(QString::fromStdString(command));
    // "NAME=value program" sets a variable for the program: only a shell does that.
    if (needsShell(command) || (!split.isEmpty() && split.front().contains(u'=')))
        return {QString::fromLatin1(kShell), QStringLiteral("-c"), script(command)};
    QStringList words;
    for (const QString &word : split) {
        if (const QStringList *items = list(word.toStdString())) {
            words << *items;
        } else if (QString expanded = expand(word.toStdString()); !expanded.isEmpty()) {
            words << expanded;
        }
    }
    return words;
}

bool CommandExpansion::needsShell(std::string_view text) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '$') {
            const std::size_t end = i + 1 < text.size() && text[i + 1] == '('
                                        ? referenceEnd(text, i)
                                        : std::string_view::npos;
            // A reference whose default holds a blank or quote would be cut by the split.
            if (end == std::string_view::npos ||
                text.substr(i, end - i).find_first_of(" \t\"") != std::string_view::npos)
                return true;
            i = end - 1;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '`' || c == '\\') {
            return true;
        } else if (!quoted &&
                   std::string_view("|&;<>()'*?[~#\n").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return quoted;
}

const QStringList *CommandExpansion::list(std::string_view word) const {
    const std::string whole = std::string("$(") + kCombiningInputs + ")";
    return word == whole && !m_combiningInputs.isEmpty() ? &m_combiningInputs : nullptr;
}

QString CommandExpansion::script(std::string_view command) const {
    Quoting state = Quoting::None;
    QString result;
    std::size_t copied = 0;
    auto copyUpTo = [&](std::size_t end) {
        result += QString::fromUtf8(command.data() + copied, qsizetype(end - copied));
        copied = end;
    };
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\' && state != Quoting::Single) {
            ++i; // the next character is the shell's, not a macro's
        } else if (c == '\'' && state != Quoting::Double) {
            state = state == Quoting::Single ? Quoting::None : Quoting::Single;
        } else if (c == '"' && state != Quoting::Single) {
            state = state == Quoting::Double ? Quoting::None : Quoting::Double;
        } else if (c == '$' && i + 1 < command.size() && command[i + 1] == '$') {
            // "$$" hands the shell a "$" of its own, as in "$$HOME".
            copyUpTo(i + 1);
            copied = ++i + 1;
        } else if (c == '$' && i + 1 < command.size() && command[i + 1] == '(') {
            const std::size_t end = referenceEnd(command, i);
            if (end == std::string_view::npos)
                break;
            copyUpTo(i);
            const std::string_view reference = command.substr(i, end - i);
            if (const QStringList *items = list(reference)) {
                result += quoted(*items, state);
            } else {
                const QString value = expand(std::string(reference));
                result += value.isEmpty() ? value : quoted({value}, state);
            }
            copied = end;
            i = end - 1;
        }
    }
    copyUpTo(command.size());
    return result;
}
