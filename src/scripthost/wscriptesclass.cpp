#include "scripthost/wscriptesclass.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "scripthost/scriptenvironment.h"

namespace {

ESValue echo(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    static_cast<WScriptESClass *>(function->m_class)
        ->environment()
        .output(c.toText(argv[0]) + QLatin1Char('\n'));
    return ESValue::undefined();
}

const ESMethodDef kMethods[] = {
    {"Echo", "WScript.prototype.Echo", 1, 0, echo,
     "<b>WScript.Echo(s)</b> writes <i>s</i> to the output terminal."},
};

} // namespace

void WScriptESClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
}
