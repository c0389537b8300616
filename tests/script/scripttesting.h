#pragma once

#include <QString>

#include <initializer_list>
#include <string>

class ESContext;

// What an evaluation left: the value's text, or the error's parts.
struct ScriptOutcome {
    bool threw = false;
    QString text; // the value as text, or the error message
    int line = 0;
    QString sourceLine;
    QString fileName;
    bool hasFileName = false;
};

ScriptOutcome runScript(ESContext &context, const QString &source,
                        const QString &fileName = QStringLiteral("test.js"));

// The value of a program in a fresh context as text, or "error: " and the message.
std::string evalText(const QString &source);

// A program and the text evalText must give for it.
struct ScriptCase {
    const char *program;
    const char *value;
};

// Checks every case, each in a fresh context, naming the program of a case that fails.
void expectValues(std::initializer_list<ScriptCase> cases);

// Whether the suite runs with a collection at every safe point (PALINDOR_SCRIPT_GC_STRESS);
// tests that fill the heap on purpose would take hours then.
bool collectionStressed();

// gtest prints QStrings as their text.
void PrintTo(const QString &text, std::ostream *os);

// A short label of letters, digits and underscores for a parameterised test's name.
std::string testLabel(const char *text);
