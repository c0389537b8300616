#pragma once

#include "build/buildengine.h"
#include "script/esclass.h"

class ScriptEnvironment;

// `Build`: builds, cleans and rebuilds the open solution or its active project, and selects
// the configuration, the active project and its target processor. Build methods return the
// build result, which `Build.BuildNothing` ... `Build.BuildCancelled` name.
class BuildESClass : public ESClass {
public:
    explicit BuildESClass(ScriptEnvironment &environment) : m_environment(environment) {}
    void install(ESContext &context, const char *name) override;

    // One build of the solution (`activeProject` false) or of the active project; a batch
    // goes through every batch build configuration.
    BuildResult build(BuildRequest::Kind kind, bool activeProject, bool batch);
    ScriptEnvironment &environment() const { return m_environment; }

private:
    BuildRequest request(BuildRequest::Kind kind, bool activeProject) const;

    ScriptEnvironment &m_environment;
};
