#pragma once

#include "build/diagnosticparser.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>

// Reads a tool's own diagnostic form through up to six regular expressions, tried in order.
// In each, capture 1 is the file, capture 2 the decimal line number and capture 3 the
// message; the records are notes.
class RegexpDiagnosticParser : public DiagnosticParser {
public:
    static constexpr int kExpressionCount = 6;

    RegexpDiagnosticParser() = default;
    // Takes the first six patterns; see setExpression.
    explicit RegexpDiagnosticParser(const QStringList &patterns);

    // Sets slot `index` (0 to 5); an empty pattern leaves the slot unused. False, with the
    // slot left unused, when the index is out of range or the pattern is invalid.
    bool setExpression(int index, const QString &pattern);
    QString expression(int index) const;

    bool parse(const QString &line, QList<Bookmark> &records) override;

private:
    std::array<QRegularExpression, kExpressionCount> m_expressions;
};
