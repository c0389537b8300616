// qzhighlight: colours source files with the editor's syntax parsers, for terminals, web
// pages, or as a list of styled runs.

#include "highlightwriter.h"

#include "core/hexception.h"
#include "core/userdirectories.h"
#include "core/version.h"
#include "editor/codeeditparserregistry.h"
#include "editor/colorscheme.h"
#include "editor/commentsettings.h"
#include "settings/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: qzhighlight FILE... [--language NAME] [--scheme FILE] [--ansi|--html|--runs]\n"
    "       qzhighlight --list-languages\n"
    "\n"
    "Colours each FILE (\"-\" for standard input) with the editor's syntax parsers. The\n"
    "language comes from the file name unless --language names one.\n"
    "\n"
    "options:\n"
    "  --language NAME      parse with this language (a name or short name of\n"
    "                       --list-languages, in any letter case)\n"
    "  --scheme FILE        colours from the first visible scheme of a colour-scheme\n"
    "                       file, or a built-in scheme by name (\"Default\", \"Dark\")\n"
    "  --ansi               24-bit ANSI colours for a terminal (the default)\n"
    "  --html               a standalone HTML page, one <span> per run\n"
    "  --runs               one line per run: LINE:COLUMN STYLE TEXT, where STYLE is the\n"
    "                       style's XML name with +squiggle, +bold, +italic for its flags\n"
    "                       and TEXT has \\, tab and line breaks escaped as \\\\, \\t, \\n\n"
    "  --list-languages     list the languages, their short names and file names\n"
    "  --settings FILE      read the comment settings from this environment settings\n"
    "                       file instead of the user's; the options below override it\n"
    "  --spell              mark misspelt words in comments\n"
    "  --dictionary NAME    the dictionary for --spell (default en_US), a name or a path\n"
    "  --fixme-words LIST   first words of a line comment drawn as FIXME (\";\"-separated)\n"
    "  --attention-words LIST  ... drawn as ATTENTION\n"
    "  --lint-words LIST    ... drawn as Lint\n"
    "  --help               print this text\n"
    "\n"
    "Errors are printed as \"error: MESSAGE\"; the exit status is then 1.\n";

struct Options {
    std::vector<std::string> files;
    std::string language;
    std::string scheme;
    HighlightWriter::Form form = HighlightWriter::Form::Ansi;
    int forms = 0;
    bool listLanguages = false;
    std::string settingsFile;        // empty: the user's environment settings
    QMap<QString, QString> settings; // comment settings by their settings key
};

struct UsageError {
    std::string message;
};

Options parseOptions(int argc, char **argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (optionsEnded || argument == "-" || argument.rfind("--", 0) != 0) {
            if (!optionsEnded && argument.size() > 1 && argument[0] == '-' && argument != "-")
                throw UsageError{"unknown option " + argument};
            options.files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        bool inlineValue = false;
        if (auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            inlineValue = true;
        }
        auto takeValue = [&] {
            if (inlineValue)
                return;
            if (i + 1 >= argc)
                throw UsageError{name + " needs a value"};
            value = argv[++i];
        };
        auto noValue = [&] {
            if (inlineValue)
                throw UsageError{name + " takes no value"};
        };
        auto setting = [&](const char *key) {
            takeValue();
            options.settings[QString::fromLatin1(key)] = QString::fromStdString(value);
        };
        if (name == "--help") {
            noValue();
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (name == "--language") {
            takeValue();
            options.language = value;
        } else if (name == "--scheme") {
            takeValue();
            options.scheme = value;
        } else if (name == "--ansi" || name == "--html" || name == "--runs") {
            noValue();
            options.form = name == "--ansi"   ? HighlightWriter::Form::Ansi
                           : name == "--html" ? HighlightWriter::Form::Html
                                              : HighlightWriter::Form::Runs;
            ++options.forms;
        } else if (name == "--list-languages") {
            noValue();
            options.listLanguages = true;
        } else if (name == "--settings") {
            takeValue();
            if (value.empty())
                throw UsageError{"--settings needs a file name"};
            options.settingsFile = value;
        } else if (name == "--spell") {
            noValue();
            options.settings[CommentSettings::kCheckCommentsKey] = QStringLiteral("Yes");
        } else if (name == "--dictionary") {
            setting(CommentSettings::kDictionaryKey);
        } else if (name == "--fixme-words") {
            setting(CommentSettings::kFixmeWordsKey);
        } else if (name == "--attention-words") {
            setting(CommentSettings::kAttentionWordsKey);
        } else if (name == "--lint-words") {
            setting(CommentSettings::kLintWordsKey);
        } else {
            throw UsageError{"unknown option " + argument};
        }
    }
    if (options.forms > 1)
        throw UsageError{"only one of --ansi, --html and --runs"};
    if (!options.listLanguages && options.files.empty())
        throw UsageError{"no input files"};
    return options;
}

void listLanguages() {
    for (const ParserRegistration &language : CodeEditParserRegistry::instance().registrations()) {
        QStringList patterns;
        for (const QString &extension : language.extensions)
            patterns << "*." + extension;
        patterns << language.fileNames;
        std::printf("%-20s %-12s %s\n", language.name.toUtf8().constData(),
                    language.id.toUtf8().constData(), patterns.join(' ').toUtf8().constData());
    }
}

ColorScheme chooseScheme(const std::string &choice) {
    ColorSchemeSet schemes = ColorSchemeSet::builtin();
    QStringList warnings;
    QString name = QStringLiteral("Default");
    if (!choice.empty()) {
        QString path = QString::fromStdString(choice);
        if (!QFileInfo::exists(path) && schemes.find(path)) {
            name = path;
        } else {
            ColorSchemeSet file;
            file.readFile(path, &warnings);
            name.clear();
            for (const ColorScheme &scheme : file.schemes()) {
                schemes.add(scheme);
                if (name.isEmpty() && !scheme.hidden)
                    name = scheme.name;
            }
            if (name.isEmpty())
                throw HException(choice + ": no visible colour scheme");
        }
    }
    ColorScheme scheme = schemes.resolved(name, &warnings);
    for (const QString &warning : warnings)
        std::fprintf(stderr, "warning: %s\n", warning.toUtf8().constData());
    return scheme;
}

bool readInput(const std::string &name, QByteArray &bytes) {
    QFile file;
    bool opened = name == "-" ? file.open(stdin, QIODevice::ReadOnly)
                              : (file.setFileName(QString::fromStdString(name)),
                                 file.open(QIODevice::ReadOnly));
    if (opened && !QFileInfo(file.fileName()).isDir()) {
        bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    std::fprintf(stderr, "error: cannot read %s: %s\n", name.c_str(),
                 QFileInfo(file.fileName()).isDir() ? "is a directory"
                                                    : file.errorString().toUtf8().constData());
    return false;
}

void flush(std::string &out, bool force) {
    if (out.size() < (1 << 20) && !force)
        return;
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

// Parses every line of `text` in order, the state of one line starting the next, as the
// editor does.
void highlight(CodeEditParser *parser, const QString &text, HighlightWriter &writer,
               std::string &out) {
    std::u16string line;
    std::vector<char16_t> markup;
    std::u16string decoded;
    std::vector<MarkupRun> runs;
    if (parser)
        parser->setLineState(0);
    const char16_t *data = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    long number = 0;
    for (qsizetype start = 0; start < size;) {
        qsizetype end = start;
        while (end < size && data[end] != '\n')
            ++end;
        qsizetype next = end < size ? end + 1 : end;
        const char *lineBreak = end < size ? "\n" : "";
        if (end > start && data[end - 1] == '\r') {
            --end;
            lineBreak = next > end + 1 ? "\r\n" : "\r";
        }
        line.assign(data + start, data + end);
        // a NUL would end the line for the parser; show it as a replacement character
        for (char16_t &c : line)
            if (c == 0)
                c = kMarkupReplacement;
        markup.resize(std::size_t(markupCapacity(long(line.size()))));
        if (parser) {
            int braces = 0;
            parser->parse(line.c_str(), markup.data(), braces);
        } else {
            MarkupWriter plain(markup.data());
            plain.put(line.data(), long(line.size()));
            plain.finish();
        }
        decodeMarkup(markup.data(), decoded, runs);
        writer.line(++number, decoded, runs, lineBreak, out);
        flush(out, false);
        start = next;
    }
}

// The comment settings as the editor sees them, with the command-line options over them. The
// store is only read: the overrides never reach the file.
Settings readSettings(const Options &options) {
    Settings store;
    const bool given = !options.settingsFile.empty();
    QString file = QString::fromStdString(given ? options.settingsFile
                                                : environmentSettingsFile(kProductName));
    store.setPath(file);
    if (!store.load()) {
        if (given)
            throw HException(store.errorString().toStdString());
        // a user without settings simply has the defaults
        if (QFileInfo::exists(file))
            std::fprintf(stderr, "warning: %s; the default comment settings are used\n",
                         store.errorString().toUtf8().constData());
    }
    for (auto it = options.settings.begin(); it != options.settings.end(); ++it)
        store.setValue(it.key(), it.value());
    return store;
}

int run(const Options &options) {
    if (options.listLanguages) {
        listLanguages();
        return 0;
    }
    CodeEditParserRegistry &registry = CodeEditParserRegistry::instance();
    const ParserRegistration *language = nullptr;
    if (!options.language.empty()) {
        language = registry.findLanguage(QString::fromStdString(options.language));
        if (!language)
            throw HException("unknown language " + options.language + " (see --list-languages)");
    }
    ColorScheme scheme = chooseScheme(options.scheme);
    QString warning;
    CommentSettings settings = CommentSettings::read(readSettings(options), &warning);
    if (!warning.isEmpty())
        std::fprintf(stderr, "warning: %s; spelling is not checked\n",
                     warning.toUtf8().constData());
    CodeEditParser::setCommentSettings(&settings);

    HighlightWriter writer(options.form, scheme);
    const bool html = options.form == HighlightWriter::Form::Html;
    const bool headers = options.files.size() > 1;
    std::string out;
    int status = 0;
    // A page is written whole or not at all.
    std::vector<QByteArray> inputs(options.files.size());
    for (std::size_t i = 0; i < options.files.size(); ++i)
        if (html && !readInput(options.files[i], inputs[i]))
            return 1;
    if (html)
        writer.beginPage(headers ? std::string("qzhighlight") : options.files.front(), out);
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string &name = options.files[i];
        QByteArray bytes;
        if (html) {
            bytes = std::move(inputs[i]);
        } else if (!readInput(name, bytes)) {
            status = 1;
            continue;
        }
        CodeEditParser *parser =
            language ? language->parser
                     : registry.parserForFile(QString::fromStdString(name == "-" ? "" : name));
        writer.beginFile(name, headers, out);
        highlight(parser, QString::fromUtf8(bytes), writer, out);
        writer.endFile(out);
        if (!html)
            flush(out, true);
    }
    if (html)
        writer.endPage(out);
    flush(out, true);
    CodeEditParser::setCommentSettings(nullptr);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "error: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv) {
    try {
        return run(parseOptions(argc, argv));
    } catch (const UsageError &error) {
        std::fprintf(stderr, "error: %s\n%s", error.message.c_str(),
                     "Try 'qzhighlight --help' for more information.\n");
        return 1;
    } catch (const HException &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
}
