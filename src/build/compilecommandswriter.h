#pragma once

#include "build/stepplan.h"

#include <QByteArray>
#include <QString>

#include <vector>

// compile_commands.json for language servers and other tools: one entry per compile or
// assemble step with its directory, the absolute source file, the arguments without the
// launcher (ccache, distcc), and the output.
class CompileCommandsWriter {
public:
    static QByteArray text(const std::vector<StepPlan> &plans);
    // Writes the file only when its content would change, so that tools watching it are not
    // woken for nothing; returns whether it was written. Throws HException when it cannot be.
    static bool write(const QString &path, const std::vector<StepPlan> &plans);
};
