#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class DiagnosticParser;

// The kind of step applied to a node. 2, 3, 4, 7 and 8 are the numbers that group the
// properties feeding a step and must not change.
enum class BuildAction {
    None = 0,
    CompileC = 2,
    CompileCpp = 3,
    Assemble = 4,
    Link = 7,
    Archive = 8,
    Clean = 9,
    Stage = 10,
    Combine = 11,
    Analyze = 12,
    Preprocess = 13,
    UserCommand = 14,
};

// Everything a worker needs to run one step, worked out on the thread that reads the project
// tree, so that workers never look at the tree while it may be edited.
struct StepPlan {
    BuildAction action = BuildAction::UserCommand;
    QString description;   // the step's group in the log: "Compiling main.c"
    QStringList launcher;  // words run before the command (ccache, distcc); not part of it
    QStringList arguments; // the program, then its arguments
    QString workingDirectory;
    QStringList inputs;      // for a compile or assemble step the source comes first
    QStringList outputs;     // removed again when the step fails after touching them
    QString dependencyFile;  // the make-style list of headers the compiler writes, if any
    QStringList environment; // NAME=VALUE set for the step over the build's environment
    // Reads the tool's output; null means the log's default parser. Give each plan its own:
    // a parser keeps state between lines and is not shared between workers.
    std::shared_ptr<DiagnosticParser> parser;

    bool isCompile() const;
    // The words the child process runs: the launcher, then the arguments.
    QStringList commandWords() const { return launcher + arguments; }
    // The command as a shell would read it, for the log and for exported make files.
    QString commandLine() const;

    // `word` quoted for a POSIX shell when it holds anything but plain characters.
    static QString shellQuote(const QString &word);
};
