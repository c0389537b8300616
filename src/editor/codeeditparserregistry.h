#pragma once

#include "editor/codeeditparser.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// One language the editor colours: its parser and the files it is chosen for.
struct ParserRegistration {
    QString title; // menu title, with the '&' of its shortcut: "&C/C++"
    QString name;  // the title without the '&': "C/C++"
    QString id;    // a short name for command lines: "c"
    QStringList extensions;
    QStringList fileNames;
    QString description;
    CodeEditParser *parser = nullptr;
};

// Maps documents to parsers: whole file names first (so "CMakeLists.txt" is CMake, not plain
// text), then the file's extension, lower-cased. A document without a parser is plain text.
// The parsers are created once and serve every document.
class CodeEditParserRegistry {
public:
    // The registry with every start-up registration.
    static CodeEditParserRegistry &instance();

    CodeEditParserRegistry() = default;
    CodeEditParserRegistry(const CodeEditParserRegistry &) = delete;
    CodeEditParserRegistry &operator=(const CodeEditParserRegistry &) = delete;

    void registerParser(std::unique_ptr<CodeEditParser> parser, const QString &title,
                        const QString &id, const QStringList &extensions,
                        const QStringList &fileNames, const QString &description);

    // The parser for a file path, or nullptr for plain text.
    CodeEditParser *parserForFile(const QString &path) const;
    // The registration for a path, or nullptr.
    const ParserRegistration *registrationForFile(const QString &path) const;
    // The registration whose name (title without '&') or id matches, in any letter case.
    const ParserRegistration *findLanguage(const QString &name) const;

    const std::vector<ParserRegistration> &registrations() const { return m_registrations; }

private:
    std::vector<ParserRegistration> m_registrations;
    std::vector<std::unique_ptr<CodeEditParser>> m_parsers;
    QHash<QString, std::size_t> m_byExtension; // lower-cased extension -> registration
    QHash<QString, std::size_t> m_byFileName;
};
