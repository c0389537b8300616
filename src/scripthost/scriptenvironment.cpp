#include "scripthost/scriptenvironment.h"

#include "script/escontext.h"
#include "scripthost/binaryfileesclass.h"
#include "scripthost/buildesclass.h"
#include "scripthost/debugscriptobjectclass.h"
#include "scripthost/javascripttovanobject.h"
#include "scripthost/kvsysesclass.h"
#include "scripthost/qobjectesclass.h"
#include "scripthost/wscriptesclass.h"

ScriptEnvironment::ScriptEnvironment() = default;
ScriptEnvironment::~ScriptEnvironment() = default;

void ScriptEnvironment::installHostObjects(ESContext &context) {
    context.adoptClass(std::make_unique<DebugScriptObjectClass>(*this))->install(context, "Debug");
    context.adoptClass(std::make_unique<BuildESClass>(*this))->install(context, "Build");
    context.adoptClass(std::make_unique<KVSysESClass>(*this))->install(context, "KVSys");
    context.adoptClass(std::make_unique<WScriptESClass>(*this))->install(context, "WScript");
    context.adoptClass(std::make_unique<BinaryFileESClass>())->install(context, "BinaryFile");
    if (!m_tovan)
        m_tovan = std::make_unique<JavaScriptTovanObject>(*this);
    context.adoptClass(std::make_unique<QObjectESClass>(m_tovan.get()))->install(context, "tovan");
}
