#include "build/stepplan.h"

bool StepPlan::isCompile() const {
    return action == BuildAction::CompileC || action == BuildAction::CompileCpp ||
           action == BuildAction::Assemble;
}

QString StepPlan::commandLine() const {
    QStringList quoted;
    for (const QString &word : commandWords())
        quoted << shellQuote(word);
    return quoted.join(u' ');
}

QString StepPlan::shellQuote(const QString &word) {
    if (word.isEmpty())
        return QStringLiteral("''");
    bool plain = true;
    for (QChar c : word) {
        if (!(c.isLetterOrNumber() || QStringView(u"@%+=:,./-_").contains(c))) {
            plain = false;
            break;
        }
    }
    if (plain)
        return word;
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}
