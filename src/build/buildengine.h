#pragma once

#include "build/buildresult.h"
#include "build/stepplan.h"

#include <QString>

#include <memory>
#include <vector>

class Builder;
class NodeMacros;
class ProjectElement;
class PropertyRegistry;

// What a build is asked to do.
struct BuildRequest {
    enum class Kind {
        Build,       // the project after the projects it depends on
        BuildOnly,   // the project without its dependencies
        Rebuild,     // clean, then build
        Clean,       // remove the outputs
        Batch,       // build every configuration of `batch_build_configurations`
        CompileFile, // compile one file of the project
        IsUpToDate,  // run nothing; BuildNothing when up to date, BuildSomething when not
    };
    Kind kind = Kind::Build;
    QString project; // empty: every project of the solution, dependencies first
    QString configuration;
    QString file;    // CompileFile: the file, absolute or as the solution names it
    int threads = 0; // the "Building Threads" setting: 0 is the processors online, at most 128
    bool keepGoing = false;
    bool showCommandLines = false;
    bool disableUnityBuild = false;
};

// Builds projects of an open solution: orders them, plans every step on the calling thread,
// runs what is out of date through a JobQueue and reports to a Builder sink. One request at a
// time; the tree must not be edited while a request runs.
class BuildEngine {
public:
    BuildEngine(const ProjectElement &solution, const PropertyRegistry &registry,
                const NodeMacros &macros);
    ~BuildEngine();

    // Reports every step to `log` and ends with log.finished(result). A request naming a
    // project or file the solution lacks logs an error and fails.
    BuildResult run(const BuildRequest &request, Builder &log);

    // Every step a build of the request would run, in order, as though every output were out
    // of date; nothing runs, but the files the steps need (indirect lists, unity sources) are
    // written. For make files of the build. Problems go to `log`; empty when it failed.
    std::vector<StepPlan> exportSteps(const BuildRequest &request, Builder &log);

    // Stops the running request from any thread: the running tools are killed with their
    // process groups and the result is BuildCancelled.
    void cancel();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
