#include "scripthost/forthscriptengine.h"

#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "scripthost/scriptenvironment.h"
#include "scripthost/tovanscriptsystem.h"

bool ForthScriptEngine::runFile(TovanScriptSystem &system, const QString &path) {
    if (!system.beginScript(false)) {
        system.reportFailure(QStringLiteral("Script Fatal Error"),
                             QStringLiteral("script recursion limit reached"));
        return false;
    }
    struct Level {
        TovanScriptSystem &system;
        ~Level() { system.endScript(); }
    } level{system};
    ScriptEnvironment &environment = system.environment();
    FSContext forth;
    forth.setOutput([&environment](std::string_view text) {
        environment.output(QString::fromUtf8(text.data(), qsizetype(text.size())));
    });
    forth.setInterruptFlag(system.stopFlag());
    try {
        forth.includeFile(path.toStdString());
        forth.flushOutput();
        return true;
    } catch (const ForthBye &) {
        forth.flushOutput();
        return true;
    } catch (const ForthException &e) {
        forth.flushOutput();
        if (system.stopRequested())
            return false;
        QString text = QString::fromStdString(e.message());
        if (e.hasLocation())
            text += QStringLiteral("\nAt line %1 of %2")
                        .arg(e.line())
                        .arg(QString::fromStdString(e.file()));
        system.reportFailure(QStringLiteral("Forth Script Error"), text);
        return false;
    }
}
