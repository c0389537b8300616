#pragma once

#include <QString>

// How a build ended; the numbers are also what scripts see.
enum BuildResult {
    BuildNothing = 0,   // everything was up to date
    BuildSomething = 1, // at least one step ran, none failed
    BuildFailed = 2,
    BuildCancelled = 3,
};

// The last line a build prints: "Build up to date", "Build complete", "Build failed" or
// "Build terminated".
QString finalStatusText(BuildResult result);
