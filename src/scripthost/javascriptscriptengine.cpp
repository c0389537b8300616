#include "scripthost/javascriptscriptengine.h"

#include "scripthost/hostfiles.h"
#include "scripthost/tovanscriptsystem.h"

bool JavaScriptScriptEngine::runFile(TovanScriptSystem &system, const QString &path) {
    std::optional<QByteArray> source = readHostFile(path);
    if (!source) {
        system.reportFailure(QStringLiteral("Script System"),
                             QStringLiteral("Cannot open: ") + path);
        return false;
    }
    return system.runScript(QString::fromUtf8(*source), true, path);
}
