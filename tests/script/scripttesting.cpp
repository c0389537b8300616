#include "scripttesting.h"

#include "script/escontext.h"
#include "script/esobject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>

ScriptOutcome runScript(ESContext &context, const QString &source, const QString &fileName) {
    ScriptOutcome outcome;
    ESCompletion completion = context.evaluate(fileName, source);
    if (completion.type == ESCompletion::Normal) {
        outcome.text = context.toText(completion.value);
        return outcome;
    }
    outcome.threw = true;
    ESObject *error = completion.value.object;
    const ESNames &names = context.names();
    outcome.text = context.toText(context.get(error, names.message));
    ESValue line = context.get(error, names.lineNumber);
    outcome.line = line.isNumber() ? int(line.number) : 0;
    ESValue sourceLine = context.get(error, names.sourceLine);
    if (!sourceLine.isUndefined())
        outcome.sourceLine = context.toText(sourceLine);
    ESValue file = context.get(error, names.fileName);
    outcome.hasFileName = !file.isUndefined();
    if (outcome.hasFileName)
        outcome.fileName = context.toText(file);
    return outcome;
}

std::string evalText(const QString &source) {
    ESContext context;
    ScriptOutcome outcome = runScript(context, source);
    return ((outcome.threw ? QStringLiteral("error: ") : QString()) + outcome.text).toStdString();
}

void expectValues(std::initializer_list<ScriptCase> cases) {
    for (const ScriptCase &c : cases)
        EXPECT_EQ(evalText(QString::fromUtf8(c.program)), c.value) << c.program;
}

bool collectionStressed() {
    const char *stress = std::getenv("PALINDOR_SCRIPT_GC_STRESS");
    return stress && *stress && std::strcmp(stress, "0") != 0;
}

void PrintTo(const QString &text, std::ostream *os) {
    *os << text.toStdString();
}

std::string testLabel(const char *text) {
    std::string label;
    for (const char *p = text; *p && label.size() < 40; ++p) {
        bool plain =
            (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9');
        if (plain)
            label += *p;
        else if (!label.empty() && label.back() != '_')
            label += '_';
    }
    return label;
}
