#include "build/buildresult.h"

QString finalStatusText(BuildResult result) {
    switch (result) {
    case BuildNothing:
        return QStringLiteral("Build up to date");
    case BuildSomething:
        return QStringLiteral("Build complete");
    case BuildFailed:
        return QStringLiteral("Build failed");
    case BuildCancelled:
        return QStringLiteral("Build terminated");
    }
    return QStringLiteral("Build failed");
}
