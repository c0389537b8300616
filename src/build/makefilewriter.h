#pragma once

#include "build/stepplan.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The planned steps as a make file that builds the same outputs with the same commands, for
// builds outside the IDE. Paths are written relative to the directory make runs in (absolute
// when outside it, or when a compile command names its object that way), so the dependency
// files a compiler writes name the same targets;
// each step's rule runs in the step's own directory. A step's commands before and after it
// go into its rule. A step without outputs (a user command) becomes a phony rule that runs
// after everything before it, as its trigger says: always, first when one of the steps it
// covers is due, or when one of them ran; "make -q" leaves such rules out.
class MakefileWriter {
public:
    // Throws HException for a command that make cannot carry (a line break in it).
    static QByteArray text(const std::vector<StepPlan> &plans, const QString &makeDirectory);
    // Written through a temporary file, so a failure leaves the old one.
    static void write(const QString &path, const std::vector<StepPlan> &plans,
                      const QString &makeDirectory);

    // A file name as make reads it in a rule: blanks, "#", ":" and "$" escaped. Throws
    // HException for a name make cannot carry (";", "|", "=", "%" or a line break in it).
    static QString escapeName(const QString &name);
};
