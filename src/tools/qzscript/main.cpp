// qzscript: runs a script in a fresh context, as the script console would.
#include "core/userdirectories.h"
#include "core/version.h"
#include "packages/packagesystem.h"
#include "packages/packageuserinterface.h"
#include "script/esclass.h"
#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "script/esstring.h"
#include "scripthost/headlessscriptenvironment.h"

#include <QCoreApplication>

#include <QFile>
#include <QString>
#include <QStringList>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace {

const char kUsage[] =
    "usage: qzscript [--listing] FILE [ARG...]\n"
    "       qzscript [--listing] -e SOURCE [ARG...]\n"
    "       qzscript --host [--solution FILE] [--config NAME] [--listing] FILE|-e SOURCE\n"
    "                [ARG...]\n"
    "\n"
    "Evaluates a script in a fresh context. FILE \"-\" reads the script from standard\n"
    "input. The ARGs are the strings of the global array `arguments`; print(...) writes\n"
    "its arguments separated by blanks and a line break. When the program ends normally\n"
    "its value is printed unless it is undefined. A script error prints its message, its\n"
    "file name and line number, and its source line on standard error.\n"
    "\n"
    "options:\n"
    "  -e SOURCE   evaluate SOURCE instead of a file\n"
    "  --listing   print the byte code of each compiled function and program\n"
    "  --host      install the host objects (Build, Debug, KVSys, WScript, BinaryFile,\n"
    "              tovan) first; environment settings are those of the user's\n"
    "              environment settings file, packages those of the user's packages\n"
    "              directory\n"
    "  --solution FILE\n"
    "              with --host: open the solution FILE; its first project is active\n"
    "  --config NAME\n"
    "              with --host: make NAME the build configuration (default: the\n"
    "              solution's first)\n"
    "  --memory-limit BYTES\n"
    "              stop the script with \"out of memory\" once its live objects take\n"
    "              more than BYTES (suffix K, M or G; 0 for no limit; default 1G)\n"
    "  --gc-stats  print the collector's work on standard error at exit\n"
    "  --help      show this text\n"
    "\n"
    "exit status: 0 on success, 1 after a script error, an engine fault or a bad command;\n"
    "with --host a script that calls tovan.closeWindow(STATUS) and ends normally exits\n"
    "with STATUS.\n";

int g_writeError = 0; // errno of the first failed write to standard output

void write(FILE *stream, const QString &text) {
    QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) !=
            std::size_t(bytes.size()) &&
        stream == stdout && !g_writeError)
        g_writeError = errno;
}

void flushOutput() {
    if (std::fflush(stdout) != 0 && !g_writeError)
        g_writeError = errno;
}

ESValue print(ESContext &context, ESObject *, const ESValue &, int argc, ESValue *argv) {
    QString line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            line += QLatin1Char(' ');
        line += context.toText(argv[i]);
    }
    line += QLatin1Char('\n');
    write(stdout, line);
    return ESValue::undefined();
}

// The tool's own global: print.
class QzScriptClass : public ESClass {
public:
    void install(ESContext &context, const char *) override {
        static const ESMethodDef kMethods[] = {
            {"print", "print", 0, 1, print, "<b>print(...)</b> writes its arguments."},
        };
        defineMethods(context, context.globalObject(), kMethods);
    }
};

int fail(const QString &message) {
    flushOutput();
    write(stderr, QStringLiteral("error: ") + message + QLatin1Char('\n'));
    return 1;
}

// "123", "64K", "512M", "1G" as a byte count; false for anything else.
bool parseBytes(const char *text, std::size_t *bytes) {
    char *end = nullptr;
    errno = 0;
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    unsigned long long value = std::strtoull(text, &end, 10);
    int shift = 0;
    if (*end == 'K' || *end == 'k')
        shift = 10;
    else if (*end == 'M' || *end == 'm')
        shift = 20;
    else if (*end == 'G' || *end == 'g')
        shift = 30;
    if (shift)
        ++end;
    if (errno || *end || value > (SIZE_MAX >> shift))
        return false;
    *bytes = std::size_t(value) << shift;
    return true;
}

// At exit, with --gc-stats.
void printCollectionStats(const ESContext &context) {
    const ESCollectionStats &stats = context.collectionStats();
    std::fprintf(stderr,
                 "collections: %llu\nfreed bytes: %llu\ntotal pause: %.3f ms\n"
                 "longest pause: %.3f ms\n",
                 static_cast<unsigned long long>(stats.collections),
                 static_cast<unsigned long long>(stats.freedBytes), stats.totalPause * 1e3,
                 stats.longestPause * 1e3);
}

// A thrown error as the console shows it: the message, "file:line", the source line.
void reportError(ESContext &context, const ESValue &value) {
    QString text;
    if (value.isObject()) {
        ESObject *error = value.object;
        const ESNames &names = context.names();
        ESValue message = context.get(error, names.message);
        ESValue file = context.get(error, names.fileName);
        ESValue line = context.get(error, names.lineNumber);
        ESValue source = context.get(error, names.sourceLine);
        text = context.toText(message) + QLatin1Char('\n');
        if (!file.isUndefined() || !line.isUndefined())
            text += (file.isUndefined() ? QString() : context.toText(file)) + QLatin1Char(':') +
                    (line.isUndefined() ? QString() : context.toText(line)) + QLatin1Char('\n');
        if (!source.isUndefined())
            text += context.toText(source) + QLatin1Char('\n');
    } else {
        text = QStringLiteral("Uncaught exception: ") + context.toText(value) + QLatin1Char('\n');
    }
    flushOutput();
    write(stderr, text);
}

} // namespace

int run(int argc, char **argv) {
    bool listing = false;
    bool host = false;
    bool collectionStats = false;
    QString solution;
    QString configuration;
    std::size_t memoryLimit = std::size_t(1) << 30;
    QString fileName;
    QString source;
    bool haveSource = false;
    int i = 1;
    for (; i < argc; ++i) {
        const char *arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(arg, "--listing")) {
            listing = true;
        } else if (!std::strcmp(arg, "--host")) {
            host = true;
        } else if (!std::strcmp(arg, "--solution") || !std::strcmp(arg, "--config")) {
            if (i + 1 >= argc)
                return fail(QStringLiteral("option %1 needs a value").arg(QLatin1String(arg)));
            (arg[2] == 's' ? solution : configuration) = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(arg, "--gc-stats")) {
            collectionStats = true;
        } else if (!std::strcmp(arg, "--memory-limit")) {
            if (i + 1 >= argc)
                return fail(QStringLiteral("option --memory-limit needs BYTES"));
            if (!parseBytes(argv[++i], &memoryLimit))
                return fail(QStringLiteral("bad --memory-limit '%1' (a number of bytes, "
                                           "optionally with K, M or G)")
                                .arg(QString::fromLocal8Bit(argv[i])));
        } else if (!std::strcmp(arg, "-e")) {
            if (i + 1 >= argc)
                return fail(QStringLiteral("option -e needs a SOURCE"));
            source = QString::fromLocal8Bit(argv[++i]);
            fileName = QStringLiteral("-e");
            haveSource = true;
            ++i;
            break;
        } else if (!std::strcmp(arg, "--")) {
            ++i;
            break;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return fail(QStringLiteral("unknown option '%1' (see qzscript --help)")
                            .arg(QString::fromLocal8Bit(arg)));
        } else {
            break;
        }
    }
    if (!host && (!solution.isEmpty() || !configuration.isEmpty()))
        return fail(QStringLiteral("--solution and --config need --host"));
    if (!configuration.isEmpty() && solution.isEmpty())
        return fail(QStringLiteral("--config needs --solution"));
    if (!haveSource) {
        if (i >= argc)
            return fail(QStringLiteral("no script given (see qzscript --help)"));
        fileName = QString::fromLocal8Bit(argv[i++]);
        QFile file;
        bool opened = fileName == QLatin1String("-")
                          ? file.open(stdin, QIODevice::ReadOnly)
                          : (file.setFileName(fileName), file.open(QIODevice::ReadOnly));
        if (!opened)
            return fail(QStringLiteral("cannot open %1: %2").arg(fileName, file.errorString()));
        source = QString::fromUtf8(file.readAll());
    }

    // The host objects run processes and find the installation through the application
    // object; it must not change how numbers are written.
    std::optional<QCoreApplication> application;
    std::unique_ptr<HeadlessScriptEnvironment> environment;
    std::unique_ptr<ConsolePackageUserInterface> packageQuestions;
    std::unique_ptr<PackageSystem> packages;
    if (host) {
        application.emplace(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        // Messages and questions go to standard error; output shares standard output with
        // print.
        environment = std::make_unique<HeadlessScriptEnvironment>();
        const QString settingsFile = QString::fromStdString(environmentSettingsFile(kProductName));
        if (!environment->attachSettingsFile(ScriptEnvironment::EnvironmentSettings, settingsFile))
            return fail(QStringLiteral("cannot read %1").arg(settingsFile));
        PackageSettings packageSettings;
        packageSettings.packagesDirectory = hiddenApplicationDirectory(kProductName) + "/packages";
        packageQuestions = std::make_unique<ConsolePackageUserInterface>(stdin, stderr, stderr);
        packages = std::make_unique<PackageSystem>(packageSettings, *packageQuestions);
        environment->setPackageSystem(packages.get());
        if (!solution.isEmpty() && !environment->openSolution(solution))
            return 1;
        if (!configuration.isEmpty() && !environment->setBuildConfiguration(configuration))
            return fail(QStringLiteral("configuration %1 is not defined in %2")
                            .arg(configuration, solution));
    }
    std::unique_ptr<ESContext> owner;
    // The statistics cover the whole run, also one that ends in an error.
    struct StatsAtExit {
        const std::unique_ptr<ESContext> &context;
        bool wanted;
        ~StatsAtExit() {
            if (wanted && context) {
                flushOutput();
                printCollectionStats(*context);
            }
        }
    } statsAtExit{owner, collectionStats};
    try {
        owner = std::make_unique<ESContext>();
        ESContext &context = *owner;
        context.setMemoryLimit(memoryLimit ? memoryLimit : SIZE_MAX);
        if (listing)
            context.setDebugFlags(context.debugFlags() | ESContext::kDebugListing);
        QzScriptClass tool;
        tool.install(context, "qzscript");
        if (environment) {
            environment->setOutput([](const QString &text) { write(stdout, text); });
            environment->installHostObjects(context);
        }
        ESArrayObject *arguments = context.newArray();
        for (int k = 0; i + k < argc; ++k)
            ESNativeArray::setElement(context, arguments, std::uint32_t(k),
                                      context.newString(QString::fromLocal8Bit(argv[i + k])));
        context.defineProperty(context.globalObject(), "arguments", ESValue::fromObject(arguments),
                               0);

        ESCompletion completion = context.evaluate(fileName, source);
        if (completion.type == ESCompletion::Throw) {
            reportError(context, completion.value);
            return 1;
        }
        if (!completion.value.isUndefined()) {
            try {
                write(stdout, context.toText(completion.value) + QLatin1Char('\n'));
            } catch (const ESException &e) {
                reportError(context, e.value());
                return 1;
            }
        }
        flushOutput();
        // A script that closed the window chose the status; one that does not fit an exit
        // status must not read as success.
        if (environment && environment->closeStatus()) {
            int status = *environment->closeStatus();
            return status >= 0 && status <= 255 ? status : 1;
        }
        return 0;
    } catch (const ESFatalError &e) {
        flushOutput();
        std::fprintf(stderr, "fatal error: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc &) {
        flushOutput();
        std::fputs("fatal error: out of memory\n", stderr);
        return 1;
    }
}

int main(int argc, char **argv) {
    int status = run(argc, argv);
    // Output that did not arrive is a failure, whatever the script did.
    flushOutput();
    if (g_writeError || std::ferror(stdout)) {
        std::fprintf(stderr, "error: cannot write standard output: %s\n",
                     std::strerror(g_writeError ? g_writeError : EIO));
        return 1;
    }
    return status;
}
