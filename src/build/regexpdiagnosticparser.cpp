#include "build/regexpdiagnosticparser.h"

#include <climits>

RegexpDiagnosticParser::RegexpDiagnosticParser(const QStringList &patterns) {
    for (int i = 0; i < kExpressionCount && i < patterns.size(); ++i)
        setExpression(i, patterns[i]);
}

bool RegexpDiagnosticParser::setExpression(int index, const QString &pattern) {
    if (index < 0 || index >= kExpressionCount)
        return false;
    QRegularExpression expression(pattern);
    if (pattern.isEmpty() || !expression.isValid()) {
        m_expressions[index] = QRegularExpression();
        return pattern.isEmpty();
    }
    expression.optimize();
    m_expressions[index] = expression;
    return true;
}

QString RegexpDiagnosticParser::expression(int index) const {
    if (index < 0 || index >= kExpressionCount)
        return {};
    return m_expressions[index].pattern();
}

bool RegexpDiagnosticParser::parse(const QString &line, QList<Bookmark> &records) {
    for (const QRegularExpression &expression : m_expressions) {
        if (expression.pattern().isEmpty())
            continue;
        QRegularExpressionMatch match = expression.match(line);
        if (!match.hasMatch())
            continue;
        QString file = match.captured(1);
        // A number that is not plain decimal or does not fit an int is no line number.
        bool ok = false;
        qlonglong number = match.captured(2).toLongLong(&ok, 10);
        int lineNumber = ok && number >= 0 && number <= INT_MAX ? int(number) : -1;
        Bookmark record(file.isEmpty() ? QString() : absolutePath(file), lineNumber, -1,
                        match.captured(3), Bookmark::Note);
        record.setGenerator(generator());
        records.append(record);
        return true;
    }
    return false;
}
