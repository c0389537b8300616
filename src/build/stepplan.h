#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Builder;
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

// A file a step needs on disk before it runs: a unity source, an indirect list of inputs.
// Written on the planning thread before the up-to-date check, and only when its text
// changed, so that an unchanged file keeps its time and does not force a rebuild.
struct GeneratedFile {
    QString path;
    QByteArray content;
    QString description; // logged when the file is (re)written: "Creating NAME Indirect File"

    // Writes the file when its content differs from what is on disk. On failure the log gets
    // "Cannot open file: PATH" and the result is false.
    bool write(Builder &log) const;
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
    // `build_always_rebuild` on the node the step is for (a file, folder or project): its
    // outputs are out of date however current they look.
    bool alwaysRebuild = false;
    // Reads the tool's output; null means the log's default parser. Give each plan its own:
    // a parser keeps state between lines and is not shared between workers.
    std::shared_ptr<DiagnosticParser> parser;
    // Files written before the step is checked and run.
    std::vector<GeneratedFile> generatedFiles;
    // Commands of the same node run on the same worker just before and just after this step,
    // each only when everything before it succeeded: the per-file pre- and post-compile
    // commands. They run whenever this step runs and never on their own.
    std::vector<StepPlan> before;
    std::vector<StepPlan> after;

    // When a step without outputs runs (a user build step). The engine decides it as it
    // goes; a make file written from the plans needs it spelled out.
    enum class Trigger {
        Always,    // on every build
        BeforeDue, // first, when one of the next `triggerSpan` steps is to run
        AfterRan,  // when one of the previous `triggerSpan` steps ran
    };
    Trigger trigger = Trigger::Always;
    int triggerSpan = 0;

    bool isCompile() const;
    // The words the child process runs: the launcher, then the arguments.
    QStringList commandWords() const { return launcher + arguments; }
    // The command as a shell would read it, for the log and for exported make files.
    QString commandLine() const;

    // `word` quoted for a POSIX shell when it holds anything but plain characters.
    static QString shellQuote(const QString &word);
};
