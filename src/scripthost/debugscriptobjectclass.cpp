#include "scripthost/debugscriptobjectclass.h"

#include "core/hexception.h"
#include "core/hexformat.h"
#include "debug/sourcestepper.h"
#include "debug/symbolicdebuggerinterface.h"
#include "expr/parserexception.h"
#include "script/escontext.h"
#include "script/esobject.h"
#include "scripthost/processwait.h"
#include "scripthost/scriptenvironment.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

DebugScriptObjectClass &self(ESObject *function) {
    return *static_cast<DebugScriptObjectClass *>(function->m_class);
}

// Runs an engine operation; the engine's failures become script errors.
template <typename Operation> auto guarded(ESContext &c, Operation operation) {
    try {
        return operation();
    } catch (const HException &error) {
        c.throwError(QString::fromStdString(error.what()));
    } catch (const ParserException &error) {
        c.throwError(QString::fromStdString(error.message()));
    }
}

[[noreturn]] void unsupported(ESContext &c, const char *method) {
    c.throwError(
        QStringLiteral("Debug.%1 is not supported by this debugger").arg(QLatin1String(method)));
}

void say(ESObject *function, const QString &line) {
    self(function).environment().output(line + QLatin1Char('\n'));
}

std::optional<std::uint64_t> parseInteger(const std::string &text) {
    if (text.empty() || text[0] == '-')
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (*end || errno)
        return std::nullopt;
    return value;
}

std::uint64_t addressOf(ESContext &c, SymbolicDebuggerInterface &engine, const ESValue &value) {
    if (value.isNumber()) {
        double number = value.number;
        if (!(number >= 0) || number != std::trunc(number) || number > 18446744073709549568.0)
            c.throwRangeError(QStringLiteral("invalid address"));
        return std::uint64_t(number);
    }
    QString expression = c.toText(value);
    std::string text =
        guarded(c, [&] { return engine.evaluateExpression(expression.toStdString()); });
    std::optional<std::uint64_t> address = parseInteger(text);
    if (!address)
        c.throwError(QStringLiteral("not an address: ") + expression);
    return *address;
}

std::uint64_t programCounter(ESContext &c, SymbolicDebuggerInterface &engine) {
    std::uint64_t pc = 0;
    if (!guarded(c, [&] { return engine.getRegister(engine.getProgramCounterName(), pc); }))
        c.throwError(QStringLiteral("the program counter cannot be read"));
    return pc;
}

QString hexAddress(std::uint64_t address) {
    return QStringLiteral("0x") +
           QString::fromStdString(address >> 32 ? hex(address) : hex8(std::uint32_t(address)));
}

struct Location {
    std::string function;
    std::string file;
    int line = 0;
};

std::optional<Location> sourceLocation(ESContext &c, SymbolicDebuggerInterface &engine,
                                       std::uint64_t address) {
    Location location;
    std::uint64_t start = 0, end = 0;
    if (!guarded(c, [&] {
            return engine.getSourceLocation(address, location.function, location.file,
                                            location.line, start, end);
        }))
        return std::nullopt;
    return location;
}

// "0x00000100 in main at main.c:12", as much as is known.
QString describe(ESContext &c, SymbolicDebuggerInterface &engine, std::uint64_t address) {
    QString text = hexAddress(address);
    if (std::optional<Location> location = sourceLocation(c, engine, address)) {
        if (!location->function.empty())
            text += QStringLiteral(" in ") + QString::fromStdString(location->function);
        if (!location->file.empty())
            text += QStringLiteral(" at %1:%2")
                        .arg(QString::fromStdString(location->file))
                        .arg(location->line);
    }
    return text;
}

// The hit on which a breakpoint first stops the target; none given is the first.
int hitCount(ESContext &c, const ESValue &count) {
    if (count.isUndefined())
        return 1;
    double number = c.toNumber(count);
    if (!(number >= 0) || number != std::trunc(number) || number > 1e9)
        c.throwRangeError(QStringLiteral("invalid count: ") + c.toText(count));
    return std::max(1, int(number));
}

// The engine picks a hardware breakpoint where software ones fail, so `hardware` needs no
// handling.
ESValue breakexpr(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    int count = hitCount(c, esArgument(argc, argv, 1));
    return ESValue::fromNumber(debug.addBreakpoint(c, addressOf(c, engine, argv[0]), false, count));
}

ESValue breakline(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    QString file = c.toText(argv[0]);
    double number = c.toNumber(argv[1]);
    if (!(number >= 1) || number != std::trunc(number) || number > 1e9)
        c.throwRangeError(QStringLiteral("invalid line number: ") + c.toText(argv[1]));
    int line = int(number);
    bool temporary = c.toBoolean(esArgument(argc, argv, 2));
    int count = hitCount(c, esArgument(argc, argv, 3));
    std::vector<std::uint64_t> addresses =
        guarded(c, [&] { return engine.getLineAddresses(file.toStdString(), line); });
    if (addresses.empty())
        c.throwError(QStringLiteral("no code at %1:%2").arg(file, c.toText(argv[1])));
    // Where a line's code lies in several places, the first one stands for the line.
    return ESValue::fromNumber(debug.addBreakpoint(c, addresses.front(), temporary, count));
}

ESValue breaknow(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    guarded(c, [&] { engine.stop(); });
    return ESValue::undefined();
}

ESValue deletebreak(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(self(function).deleteBreakpoint(c, c.toInt32(argv[0])));
}

ESValue showbreak(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    int number = c.toInt32(argv[0]);
    bool any = false;
    for (const auto &[n, breakpoint] : debug.breakpoints()) {
        if (number != 0 && n != number)
            continue;
        QString text =
            QStringLiteral("Breakpoint %1 at ").arg(n) + describe(c, engine, breakpoint.address);
        if (breakpoint.temporary)
            text += QStringLiteral(", temporary");
        if (breakpoint.ignore > 0)
            text += QStringLiteral(", %1 hits to pass").arg(breakpoint.ignore);
        say(function, text);
        any = true;
    }
    if (!any)
        say(function, number ? QStringLiteral("No breakpoint %1").arg(number)
                             : QStringLiteral("No breakpoints"));
    return ESValue::undefined();
}

ESValue showexceptions(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    std::optional<std::vector<TargetException>> exceptions =
        guarded(c, [&] { return engine.getExceptions(); });
    if (!exceptions)
        unsupported(c, "showexceptions");
    for (const TargetException &exception : *exceptions)
        say(function,
            QString::fromStdString(exception.name) +
                (exception.enabled ? QStringLiteral(" enabled") : QStringLiteral(" disabled")));
    return ESValue::undefined();
}

// Without `enable` the exception is enabled.
ESValue enableexception(ESContext &c, ESObject *function, const ESValue &, int argc,
                        ESValue *argv) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    const QString name = c.toText(argv[0]);
    const ESValue enable = esArgument(argc, argv, 1);
    if (!guarded(c, [&] {
            return engine.enableException(name.toStdString(),
                                          enable.isUndefined() || c.toBoolean(enable));
        })) {
        if (!guarded(c, [&] { return engine.getExceptions(); }))
            unsupported(c, "enableexception");
        c.throwError(QStringLiteral("unknown exception: ") + name);
    }
    return ESValue::undefined();
}

ESValue stepinto(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    guarded(c, [&] { engine.stepInstruction(); });
    debug.located.reset();
    return ESValue::undefined();
}

// Source-level steps stop at the user's breakpoints and end on a stop request.
SourceStepper stepper(ESContext &c, DebugScriptObjectClass &debug) {
    return SourceStepper(
        debug.engine(c),
        [&debug](std::uint64_t address) { return debug.breakpointAt(address) != 0; },
        [&c] { return c.shouldStop(); });
}

ESValue stepover(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    guarded(c, [&] { return stepper(c, debug).stepOver(); });
    debug.located.reset();
    return ESValue::undefined();
}

ESValue go(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    guarded(c, [&] { engine.go(); });
    debug.located.reset();
    return ESValue::undefined();
}

ESValue stepout(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    guarded(c, [&] { return stepper(c, debug).stepOut(); });
    debug.located.reset();
    return ESValue::undefined();
}

// The engine's text as a script value: booleans, numbers, strings without their quotes.
ESValue scriptValue(ESContext &c, const std::string &text) {
    if (text == "true" || text == "false")
        return ESValue::fromBool(text == "true");
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return c.newString(QString::fromStdString(text.substr(1, text.size() - 2)));
    bool ok = false;
    double number = QString::fromStdString(text).toDouble(&ok);
    return ok ? ESValue::fromNumber(number) : c.newString(QString::fromStdString(text));
}

std::string evaluateText(ESContext &c, ESObject *function, const ESValue &expression) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    std::string source = c.toText(expression).toStdString();
    return guarded(c, [&] { return engine.evaluateExpression(source); });
}

ESValue evaluate(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return scriptValue(c, evaluateText(c, function, argv[0]));
}

// An integer in the print format's form; other values print as the engine shows them.
QString formatted(const std::string &text, char format) {
    std::optional<std::uint64_t> unsignedValue = parseInteger(text);
    // A negative floating-point value is not an integer.
    bool negative = !unsignedValue && text.size() > 1 && text[0] == '-' &&
                    text.find_first_not_of("0123456789", 1) == std::string::npos;
    std::int64_t signedValue = negative ? std::strtoll(text.c_str(), nullptr, 10) : 0;
    if (!unsignedValue && !negative)
        return QString::fromStdString(text);
    std::uint64_t bits = unsignedValue ? *unsignedValue : std::uint64_t(signedValue);
    switch (format) {
    case 'x':
    case 'p':
        return QStringLiteral("0x") + QString::number(bits, 16);
    case 'o':
        return QStringLiteral("0") + QString::number(bits, 8);
    case 'b':
        return QStringLiteral("0b") + QString::number(bits, 2);
    case 'u':
        return QString::number(bits);
    case 'c':
        return QStringLiteral("'%1'").arg(QChar(char16_t(bits & 0xff)));
    case 'e':
    case 'f':
    case 'g':
        return QString::number(negative ? double(signedValue) : double(bits), format);
    default:
        return negative ? QString::number(signedValue) : QString::number(bits);
    }
}

// The zero-terminated string at the address, quoted; "..." follows when it is longer than
// `limit` characters.
QString targetString(SymbolicDebuggerInterface &engine, std::uint64_t address, int limit) {
    std::vector<char> bytes(std::size_t(limit) + 1);
    std::size_t got = engine.readMemory(0, address, bytes.size(), bytes.data());
    if (got == 0)
        return QStringLiteral("cannot read memory at ") + hexAddress(address);
    auto end = std::find(bytes.begin(), bytes.begin() + std::ptrdiff_t(got), '\0');
    QString text = QStringLiteral("\"");
    for (auto at = bytes.begin(); at != end && at - bytes.begin() < limit; ++at) {
        unsigned char byte = static_cast<unsigned char>(*at);
        if (byte == '"' || byte == '\\')
            text += QLatin1Char('\\');
        if (byte >= 0x20 && byte < 0x7f)
            text += QLatin1Char(char(byte));
        else
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    text += QLatin1Char('"');
    // No terminator within the limit, or memory ends before one.
    if (end == bytes.begin() + std::ptrdiff_t(got))
        text += QStringLiteral("...");
    return text;
}

char radixFormat(int radix) {
    return radix == 16 ? 'x' : radix == 8 ? 'o' : radix == 2 ? 'b' : 'd';
}

ESValue print(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    static const QString kFormats = QStringLiteral("bcdefgiopsux");
    ESValue fmt = esArgument(argc, argv, 1);
    QString format = fmt.isUndefined() ? QString() : c.toText(fmt);
    if (!format.isEmpty() && (format.size() != 1 || !kFormats.contains(format)))
        c.throwError(QStringLiteral("invalid print format: ") + format);
    std::string text = evaluateText(c, function, argv[0]);
    DebugScriptObjectClass &debug = self(function);
    char chosen = !format.isEmpty() ? format[0].toLatin1() : radixFormat(debug.printRadix);
    std::optional<std::uint64_t> address = parseInteger(text);
    QString shown =
        chosen == 's' && address
            ? guarded(c, [&] { return targetString(debug.engine(c), *address, debug.printArray); })
            : formatted(text, chosen);
    say(function, c.toText(argv[0]) + QStringLiteral(" = ") + shown);
    return ESValue::undefined();
}

ESValue printregisters(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    for (const std::string &name : guarded(c, [&] { return engine.getRegisterNames(); })) {
        std::uint64_t value = 0;
        if (guarded(c, [&] { return engine.getRegister(name, value); }))
            say(function, QString::fromStdString(name) + QLatin1Char(' ') + hexAddress(value));
    }
    return ESValue::undefined();
}

ESValue printlocals(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    // The engine reads the innermost frame: another one's would be shown wrongly.
    if (debug.located && *debug.located != programCounter(c, engine))
        c.throwError(QStringLiteral("locals are known only for the innermost frame"));
    std::optional<std::vector<LocalVariable>> locals =
        guarded(c, [&] { return engine.getLocalVariables(); });
    if (!locals)
        unsupported(c, "printlocals");
    if (locals->empty())
        say(function, QStringLiteral("No locals"));
    for (const LocalVariable &local : *locals) {
        std::optional<std::uint64_t> address = parseInteger(local.value);
        QString value = local.isPointer && address
                            ? formatted(local.value, 'x')
                            : formatted(local.value, radixFormat(debug.printRadix));
        if (local.pointsToChar && debug.printString && address && *address != 0)
            value += QLatin1Char(' ') +
                     guarded(c, [&] { return targetString(engine, *address, debug.printArray); });
        say(function, QString::fromStdString(local.name) + QStringLiteral(" = ") + value);
    }
    return ESValue::undefined();
}

ESValue printglobals(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    std::optional<std::vector<std::string>> names =
        guarded(c, [&] { return engine.getGlobalVariables(); });
    if (!names)
        unsupported(c, "printglobals");
    // One unreadable variable does not hide the others.
    for (const std::string &name : *names) {
        QString value;
        try {
            value = formatted(engine.evaluateExpression(name), radixFormat(debug.printRadix));
        } catch (const HException &error) {
            value = QString::fromStdString(error.message());
        } catch (const ParserException &error) {
            value = QString::fromStdString(error.message());
        }
        say(function, QString::fromStdString(name) + QStringLiteral(" = ") + value);
    }
    return ESValue::undefined();
}

ESValue wait(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    constexpr int kSliceMs = 50;
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    double ms = argv[0].isUndefined() ? 0 : c.toNumber(argv[0]);
    QDeadlineTimer deadline = ms > 0 ? QDeadlineTimer(qint64(std::min(ms, 1e12)))
                                     : QDeadlineTimer(QDeadlineTimer::Forever);
    for (;;) {
        // Short slices keep the stop action working while the target runs.
        while (!guarded(c, [&] {
            return engine.waitForStop(int(std::min<qint64>(
                kSliceMs, deadline.isForever() ? kSliceMs : deadline.remainingTime())));
        })) {
            if (stopWhileBlocked(&c))
                return ESValue::undefined();
            if (deadline.hasExpired())
                return ESValue::fromNumber(0);
        }
        debug.located.reset();
        int number = debug.breakpointAt(programCounter(c, engine));
        if (!number || debug.hit(c, number))
            return ESValue::fromNumber(number);
        guarded(c, [&] { engine.go(); });
    }
}

ESValue stopped(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    SymbolicDebuggerInterface *engine = self(function).environment().debugger();
    return ESValue::fromBool(!engine || !guarded(c, [&] { return engine->isRunning(); }));
}

ESValue quit(ESContext &, ESObject *function, const ESValue &, int, ESValue *) {
    DebugScriptObjectClass &debug = self(function);
    debug.environment().stopDebugging();
    debug.endSession();
    return ESValue::undefined();
}

// The innermost frame and the callers the engine can tell.
std::vector<std::uint64_t> frames(ESContext &c, SymbolicDebuggerInterface &engine) {
    std::vector<std::uint64_t> found{programCounter(c, engine)};
    const std::vector<std::uint64_t> callers =
        guarded(c, [&] { return engine.getReturnAddresses(); });
    found.insert(found.end(), callers.begin(), callers.end());
    return found;
}

ESValue where(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    std::vector<std::uint64_t> stack = frames(c, engine);
    for (std::size_t i = 0; i < stack.size(); ++i)
        say(function, QStringLiteral("#%1 ").arg(i) + describe(c, engine, stack[i]));
    return ESValue::undefined();
}

void showDisassembly(ESContext &c, ESObject *function, SymbolicDebuggerInterface &engine,
                     std::uint64_t address);

// Once a script chose source display: the lines around the one at the address, that line
// marked.
void showSource(ESContext &c, ESObject *function, SymbolicDebuggerInterface &engine,
                std::uint64_t address) {
    if (self(function).disassemblyDisplay)
        return showDisassembly(c, function, engine, address);
    const std::optional<std::pair<int, int>> &display = self(function).sourceDisplay;
    if (!display)
        return;
    std::optional<Location> location = sourceLocation(c, engine, address);
    if (!location || location->file.empty() || location->line <= 0)
        return;
    QFile file(QString::fromStdString(location->file));
    if (!file.open(QIODevice::ReadOnly)) {
        say(function, QStringLiteral("cannot read ") + file.fileName());
        return;
    }
    const int first = std::max(1, location->line - display->first);
    const int last = location->line + display->second;
    for (int number = 1; number <= last && !file.atEnd(); ++number) {
        QByteArray text = file.readLine();
        if (number < first)
            continue;
        while (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        say(function,
            QStringLiteral("%1%2  %3")
                .arg(number == location->line ? QStringLiteral("=>") : QStringLiteral("  "))
                .arg(number, 5)
                .arg(QString::fromUtf8(text)));
    }
}

// The lines of the source files a disassembly shows, each file read once.
class SourceFiles {
public:
    // The line's text; none when the file cannot be read (said once) or is shorter.
    std::optional<QString> line(ESObject *function, const std::string &path, int number) {
        auto found = m_files.find(path);
        if (found == m_files.end()) {
            QFile file(QString::fromStdString(path));
            std::optional<QStringList> lines;
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            else
                say(function, QStringLiteral("cannot read ") + file.fileName());
            found = m_files.emplace(path, std::move(lines)).first;
        }
        if (!found->second || number < 1 || number > found->second->size())
            return std::nullopt;
        QString text = found->second->at(number - 1);
        while (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        return text;
    }

private:
    std::map<std::string, std::optional<QStringList>> m_files;
};

// "<name+0x10>" for an address inside a known function, else "".
QString symbolic(ESContext &c, SymbolicDebuggerInterface &engine, std::uint64_t address) {
    std::optional<Location> location = sourceLocation(c, engine, address);
    std::uint64_t start = 0, end = 0;
    if (!location || location->function.empty() ||
        !guarded(c, [&] { return engine.getFunctionRange(address, start, end); }))
        return {};
    QString text = QStringLiteral("<") + QString::fromStdString(location->function);
    if (address > start)
        text += QStringLiteral("+0x") + QString::fromStdString(hex(address - start));
    return text + QLatin1Char('>');
}

// The mnemonic padded to a column, comments set off by two spaces, and the function a
// target lies in after its address.
QString instructionText(ESContext &c, SymbolicDebuggerInterface &engine,
                        const DisassembledInstruction &instruction) {
    QString text = QString::fromStdString(instruction.text);
    if (instruction.target) {
        const QString symbol = symbolic(c, engine, *instruction.target);
        const QString target = QString::fromStdString(hex(*instruction.target));
        for (qsizetype at = text.indexOf(target); !symbol.isEmpty() && at > 0;
             at = text.indexOf(target, at + 1)) {
            const qsizetype after = at + target.size();
            const QChar before = text[at - 1];
            if ((before == QLatin1Char(' ') || before == QLatin1Char('(') ||
                 before == QLatin1Char('\t')) &&
                (after == text.size() || text[after] == QLatin1Char(')') ||
                 text[after] == QLatin1Char('\t'))) {
                text.insert(after, QLatin1Char(' ') + symbol);
                break;
            }
        }
    }
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        text = text.left(tab).leftJustified(8) + text.mid(tab + 1);
    return text.replace(QLatin1Char('\t'), QStringLiteral("  "));
}

// Once a script chose disassembly display: the instructions around the one at the address,
// that one marked, with the source lines they come from and the functions they begin.
void showDisassembly(ESContext &c, ESObject *function, SymbolicDebuggerInterface &engine,
                     std::uint64_t address) {
    const DebugScriptObjectClass::DisassemblyDisplay display = *self(function).disassemblyDisplay;
    const std::vector<DisassembledInstruction> instructions =
        guarded(c, [&] { return engine.disassemble(address, display.before, display.after); });
    if (instructions.empty()) {
        say(function, QStringLiteral("cannot read memory at ") + hexAddress(address));
        return;
    }
    SourceFiles files;
    std::optional<std::pair<std::string, int>> shownLine;
    for (const DisassembledInstruction &instruction : instructions) {
        std::optional<Location> location;
        if (display.source || display.labels)
            location = sourceLocation(c, engine, instruction.address);
        std::uint64_t start = 0, end = 0;
        if (display.labels && location && !location->function.empty() &&
            guarded(c, [&] { return engine.getFunctionRange(instruction.address, start, end); }) &&
            start == instruction.address)
            say(function, QString::fromStdString(location->function) + QLatin1Char(':'));
        if (display.source && location && !location->file.empty() && location->line > 0 &&
            shownLine != std::pair(location->file, location->line)) {
            shownLine = std::pair(location->file, location->line);
            if (std::optional<QString> text = files.line(function, location->file, location->line))
                say(function, QStringLiteral("  %1  %2").arg(location->line, 5).arg(*text));
        }
        say(function,
            QStringLiteral("%1 %2  %3  %4")
                .arg(instruction.address == (address & ~std::uint64_t(1)) ? QStringLiteral("=>")
                                                                          : QStringLiteral("  "))
                .arg(hexAddress(instruction.address))
                .arg(QString::fromStdString(instruction.encoding).leftJustified(9))
                .arg(instructionText(c, engine, instruction)));
    }
}

ESValue locate(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    ESValue frame = esArgument(argc, argv, 0);
    // Frames are those of the target's own stack, not of a located register context.
    engine.leaveRegisterContext();
    std::vector<std::uint64_t> stack = frames(c, engine);
    double number = frame.isUndefined() ? 0 : c.toNumber(frame);
    if (!(number >= 0) || number != std::trunc(number) || number >= double(stack.size()))
        c.throwRangeError(QStringLiteral("no frame %1").arg(c.toText(frame)));
    debug.located = stack[std::size_t(number)];
    say(function, describe(c, engine, *debug.located));
    showSource(c, function, engine, *debug.located);
    return ESValue::undefined();
}

ESValue locatepc(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    debug.located = addressOf(c, engine, argv[0]);
    say(function, describe(c, engine, *debug.located));
    showSource(c, function, engine, *debug.located);
    return ESValue::undefined();
}

// A register value: a whole number that fits the target's words.
std::uint64_t registerValue(ESContext &c, SymbolicDebuggerInterface &engine, const QString &name,
                            const ESValue &value) {
    if (!value.isNumber())
        c.throwTypeError(QStringLiteral("register %1 is not a number").arg(name));
    const unsigned bits = 8 * std::min(8u, guarded(c, [&] { return engine.getWordSizeInBytes(); }));
    const double limit = bits >= 64 ? 18446744073709549568.0 : std::ldexp(1.0, int(bits)) - 1;
    const double number = value.number;
    if (!(number >= 0) || number != std::trunc(number) || number > limit)
        c.throwRangeError(
            QStringLiteral("invalid value for register %1: %2").arg(name, c.toText(value)));
    return std::uint64_t(number);
}

// The position of a register among the engine's names, matched in any case.
std::optional<std::size_t> registerIndex(const std::vector<std::string> &names,
                                         const QString &name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (name.compare(QString::fromStdString(names[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

// The values of an object keyed by register name, or of an array in the engine's register
// order where null and undefined leave a register unknown.
std::vector<std::optional<std::uint64_t>> registerContext(ESContext &c,
                                                          SymbolicDebuggerInterface &engine,
                                                          const std::vector<std::string> &names,
                                                          const ESValue &registers) {
    if (!registers.isObject() || registers.object->isFunction())
        c.throwTypeError(QStringLiteral("registers must be an object or an array"));
    std::vector<std::optional<std::uint64_t>> values(names.size());
    ESObject *object = registers.object;
    if (object->kind() == ESObject::Array) {
        const double length = c.toInteger(c.get(object, c.names().length));
        if (length > double(names.size()))
            c.throwRangeError(QStringLiteral("more values than registers: %1").arg(length));
        for (std::uint32_t i = 0; i < std::uint32_t(length); ++i) {
            const ESValue value = c.get(object, c.indexName(i));
            if (!value.isNullOrUndefined())
                values[i] = registerValue(c, engine, QString::fromStdString(names[i]), value);
        }
        return values;
    }
    for (int i = 0; i < object->m_properties.size(); ++i) {
        const ESProperty &property = object->m_properties.at(i);
        if (property.isDeleted() || (property.attributes & ESProperty::DontEnum))
            continue;
        const QString name = c.toText(ESValue::fromString(property.name));
        const std::optional<std::size_t> index = registerIndex(names, name);
        if (!index)
            c.throwRangeError(QStringLiteral("unknown register: ") + name);
        std::optional<std::uint64_t> &slot = values[*index];
        if (slot)
            c.throwRangeError(QStringLiteral("register %1 given twice").arg(name));
        slot = registerValue(c, engine, name, property.value);
    }
    return values;
}

// Locates to registers that are not the target's own: the where, source, locals and register
// output follow them until the target runs or a frame of its own stack is located.
ESValue locateregisters(ESContext &c, ESObject *function, const ESValue &, int argc,
                        ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    const std::vector<std::string> names = guarded(c, [&] { return engine.getRegisterNames(); });
    const std::vector<std::optional<std::uint64_t>> values =
        registerContext(c, engine, names, esArgument(argc, argv, 0));
    const QString pcName =
        QString::fromStdString(guarded(c, [&] { return engine.getProgramCounterName(); }));
    const std::optional<std::size_t> pc = registerIndex(names, pcName);
    if (!pc || !values[*pc])
        c.throwTypeError(QStringLiteral("no value for register ") + pcName);
    if (!guarded(c, [&] { return engine.locateRegisters(values); }))
        unsupported(c, "locateregisters");
    debug.located.reset();
    const std::uint64_t address = *values[*pc];
    say(function, describe(c, engine, address));
    showSource(c, function, engine, address);
    return ESValue::undefined();
}

int lineCount(ESContext &c, const ESValue &count) {
    if (count.isUndefined())
        return 0;
    double number = c.toNumber(count);
    if (!(number >= 0) || number != std::trunc(number) || number > 100000)
        c.throwRangeError(QStringLiteral("invalid line count: ") + c.toText(count));
    return int(number);
}

// Shows the located position in disassembly display, which later locations keep.
ESValue disassembly(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    if (guarded(c, [&] { return engine.getDisassemblyModes(); }).empty())
        unsupported(c, "disassembly");
    DebugScriptObjectClass::DisassemblyDisplay display;
    display.source = c.toBoolean(esArgument(argc, argv, 0));
    display.labels = c.toBoolean(esArgument(argc, argv, 1));
    display.before = lineCount(c, esArgument(argc, argv, 2));
    display.after = lineCount(c, esArgument(argc, argv, 3));
    debug.disassemblyDisplay = display;
    std::uint64_t address = debug.located ? *debug.located : programCounter(c, engine);
    say(function, describe(c, engine, address));
    showSource(c, function, engine, address);
    return ESValue::undefined();
}

// Shows the located position in source display, which later locations keep.
ESValue source(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    debug.sourceDisplay =
        std::pair(lineCount(c, esArgument(argc, argv, 0)), lineCount(c, esArgument(argc, argv, 1)));
    debug.disassemblyDisplay.reset();
    std::uint64_t address = debug.located ? *debug.located : programCounter(c, engine);
    say(function, describe(c, engine, address));
    showSource(c, function, engine, address);
    return ESValue::undefined();
}

std::optional<Location> locatedSource(ESContext &c, ESObject *function) {
    DebugScriptObjectClass &debug = self(function);
    SymbolicDebuggerInterface &engine = debug.engine(c);
    std::uint64_t address = debug.located ? *debug.located : programCounter(c, engine);
    return sourceLocation(c, engine, address);
}

ESValue getfilename(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    std::optional<Location> location = locatedSource(c, function);
    return c.newString(location ? QString::fromStdString(location->file) : QString());
}

ESValue getlinenumber(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    std::optional<Location> location = locatedSource(c, function);
    return ESValue::fromNumber(location ? location->line : 0);
}

ESValue setprintradix(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    int radix = c.toInt32(argv[0]);
    if (radix != 2 && radix != 8 && radix != 10 && radix != 16)
        c.throwRangeError(QStringLiteral("invalid radix: ") + c.toText(argv[0]));
    self(function).printRadix = radix;
    return ESValue::undefined();
}

ESValue setprintarray(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    double elements = c.toNumber(argv[0]);
    if (!(elements >= 1) || elements != std::trunc(elements) || elements > 65536)
        c.throwRangeError(QStringLiteral("invalid element count: ") + c.toText(argv[0]));
    self(function).printArray = int(elements);
    return ESValue::undefined();
}

ESValue setprintstring(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    self(function).printString = c.toBoolean(argv[0]);
    return ESValue::undefined();
}

ESValue echo(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    say(function, c.toText(argv[0]));
    return ESValue::undefined();
}

ESValue getfunction(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    SymbolicDebuggerInterface &engine = self(function).engine(c);
    std::optional<Location> location = sourceLocation(c, engine, addressOf(c, engine, argv[0]));
    return c.newString(location ? QString::fromStdString(location->function) : QString());
}

const ESMethodDef kMethods[] = {
    {"breakexpr", "Debug.property.breakexpr", 1, 0, breakexpr,
     "<b>Debug.breakexpr(expression, count, hardware)</b> sets a breakpoint at the address of "
     "<i>expression</i> and returns its number."},
    {"breakline", "Debug.property.breakline", 2, 1, breakline,
     "<b>Debug.breakline(filename, linenumber, temporary, count, hardware)</b> sets a "
     "breakpoint on line <i>linenumber</i> of <i>filename</i> and returns its number."},
    {"breaknow", "Debug.property.breaknow", 0, 3, breaknow,
     "<b>Debug.breaknow()</b> stops the target."},
    {"deletebreak", "Debug.property.deletebreak", 1, 4, deletebreak,
     "<b>Debug.deletebreak(number)</b> deletes breakpoint <i>number</i>, or all for 0."},
    {"showbreak", "Debug.property.showbreak", 1, 5, showbreak,
     "<b>Debug.showbreak(number)</b> shows breakpoint <i>number</i>, or all for 0."},
    {"showexceptions", "Debug.property.showexceptions", 1, 6, showexceptions,
     "<b>Debug.showexceptions()</b> shows the exceptions the target can break on."},
    {"enableexception", "Debug.property.enableexception", 1, 7, enableexception,
     "<b>Debug.enableexception(exception, enable)</b> breaks on <i>exception</i> when "
     "<i>enable</i> is true."},
    {"stepinto", "Debug.property.stepinto", 0, 8, stepinto, "<b>Debug.stepinto()</b> steps into."},
    {"stepover", "Debug.property.stepover", 0, 9, stepover, "<b>Debug.stepover()</b> steps over."},
    {"go", "Debug.property.go", 0, 10, go, "<b>Debug.go()</b> lets the target run."},
    {"stepout", "Debug.property.stepout", 0, 11, stepout,
     "<b>Debug.stepout()</b> runs to the return of the current function."},
    {"evaluate", "Debug.prototype.evaluate", 1, 12, evaluate,
     "<b>Debug.evaluate(expression)</b> returns the value of the debug expression "
     "<i>expression</i>."},
    {"print", "Debug.property.print", 1, 14, print,
     "<b>Debug.print(expression, fmt)</b> prints <i>expression</i> in the format <i>fmt</i>."},
    {"printregisters", "Debug.property.printregisters", 0, 15, printregisters,
     "<b>Debug.printregisters()</b> prints the registers."},
    {"printlocals", "Debug.property.printlocals", 1, 16, printlocals,
     "<b>Debug.printlocals()</b> prints the local variables."},
    {"printglobals", "Debug.property.printglobals", 1, 17, printglobals,
     "<b>Debug.printglobals()</b> prints the global variables."},
    {"wait", "Debug.property.wait", 1, 18, wait,
     "<b>Debug.wait(ms)</b> waits at most <i>ms</i> milliseconds for the target to stop and "
     "returns the number of the breakpoint hit."},
    {"stopped", "Debug.property.stopped", 0, 19, stopped,
     "<b>Debug.stopped()</b> returns true when the target is stopped."},
    {"quit", "Debug.property.quit", 0, 20, quit, "<b>Debug.quit()</b> stops debugging."},
    {"where", "Debug.property.where", 0, 21, where, "<b>Debug.where()</b> prints the call stack."},
    {"locate", "Debug.property.locate", 0, 22, locate,
     "<b>Debug.locate(frame)</b> locates to the call stack frame <i>frame</i>."},
    {"locatepc", "Debug.property.locatepc", 1, 23, locatepc,
     "<b>Debug.locatepc(pc)</b> locates to the address <i>pc</i>."},
    {"locateregisters", "Debug.property.locateregisters", 0, 24, locateregisters,
     "<b>Debug.locateregisters(registers)</b> locates to the register context "
     "<i>registers</i>: an object of values by register name, or an array of values in "
     "register order."},
    {"disassembly", "debug.property.disassembly", 0, 25, disassembly,
     "<b>Debug.disassembly(source, labels, before, after)</b> sets the disassembly display "
     "mode."},
    {"source", "debug.property.source", 0, 26, source,
     "<b>Debug.source(before, after)</b> sets the source display mode."},
    {"getfilename", "Debug.property.getfilename", 0, 27, getfilename,
     "<b>Debug.getfilename()</b> returns the located file name."},
    {"getlinenumber", "Debug.property.getlinenumber", 0, 28, getlinenumber,
     "<b>Debug.getlinenumber()</b> returns the located line number."},
    {"setprintradix", "Debug.property.setprintradix", 1, 29, setprintradix,
     "<b>Debug.setprintradix(radix)</b> sets the default print radix to <i>radix</i>."},
    {"setprintarray", "Debug.property.setprintarray", 1, 30, setprintarray,
     "<b>Debug.setprintarray(elements)</b> prints at most <i>elements</i> array elements."},
    {"setprintstring", "Debug.property.setprintstring", 1, 31, setprintstring,
     "<b>Debug.setprintstring(c)</b> prints character pointers as strings when <i>c</i> is "
     "true."},
    {"echo", "Debug.property.echo", 1, 32, echo, "<b>Debug.echo(s)</b> displays <i>s</i>."},
    {"getfunction", "Debug.property.getfunction", 1, 33, getfunction,
     "<b>Debug.getfunction(address)</b> returns the name of the function containing "
     "<i>address</i>."},
};

} // namespace

void DebugScriptObjectClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
}

SymbolicDebuggerInterface &DebugScriptObjectClass::engine(ESContext &context) const {
    SymbolicDebuggerInterface *engine = m_environment.debugger();
    if (!engine)
        context.throwError(QStringLiteral("the debugger is not running"));
    return *engine;
}

int DebugScriptObjectClass::breakpointAt(std::uint64_t address) const {
    for (const auto &[number, breakpoint] : m_breakpoints)
        if (breakpoint.address == address)
            return number;
    return 0;
}

int DebugScriptObjectClass::addBreakpoint(ESContext &context, std::uint64_t address, bool temporary,
                                          int count) {
    if (int number = breakpointAt(address))
        return number;
    SymbolicDebuggerInterface &debugger = engine(context);
    if (!guarded(context, [&] { return debugger.setBreakpoint(address); }))
        context.throwError(QStringLiteral("cannot set a breakpoint at ") + hexAddress(address));
    m_breakpoints[m_nextNumber] = {address, temporary, std::max(0, count - 1)};
    return m_nextNumber++;
}

bool DebugScriptObjectClass::hit(ESContext &context, int number) {
    auto found = m_breakpoints.find(number);
    if (found == m_breakpoints.end())
        return true;
    if (found->second.ignore > 0) {
        --found->second.ignore;
        return false;
    }
    if (found->second.temporary)
        deleteBreakpoint(context, number);
    return true;
}

bool DebugScriptObjectClass::deleteBreakpoint(ESContext &context, int number) {
    SymbolicDebuggerInterface &debugger = engine(context);
    if (number != 0 && !m_breakpoints.count(number))
        return false;
    for (auto at = m_breakpoints.begin(); at != m_breakpoints.end();) {
        if (number != 0 && at->first != number) {
            ++at;
            continue;
        }
        std::uint64_t address = at->second.address;
        at = m_breakpoints.erase(at);
        guarded(context, [&] { return debugger.clearBreakpoint(address); });
    }
    return true;
}

void DebugScriptObjectClass::endSession() {
    m_breakpoints.clear();
    located.reset();
    sourceDisplay.reset();
    disassemblyDisplay.reset();
}
