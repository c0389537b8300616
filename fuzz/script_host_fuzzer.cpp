// Runs arbitrary scripts with the host objects of a headless environment installed, and a
// debugger session over a small memory image. Methods that reach the file system or start
// processes are taken away before the first input, so that no input can touch the machine;
// everything else (byte images, packing, the Qt binding's conversions, builds without a
// solution, breakpoints and debug expressions) runs as scripts would use it.
#include "budgetcontext.h"
#include "debug/memoryimagetarget.h"
#include "debug/standarddebugger.h"
#include "script/escontext.h"
#include "script/esobject.h"
#include "scripthost/headlessscriptenvironment.h"

#include <QCoreApplication>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Every host method that takes a path or starts a program.
const char kUnsafe[] =
    "load KVSys.renameFile KVSys.copyFile KVSys.removeFile KVSys.fileExists KVSys.fileSize "
    "KVSys.makeDirectory KVSys.removeDirectory KVSys.writeStringToFile KVSys.readStringFromFile "
    "KVSys.writeByteArrayToFile KVSys.readByteArrayFromFile KVSys.run KVSys.appendStringToFile "
    "BinaryFile.load BinaryFile.loadAppend BinaryFile.save BinaryFile.saveRange "
    "BinaryFile.saveAs tovan.readFileToString tovan.writeStringToFile tovan.makeDirectory "
    "tovan.removeDirectory tovan.removeDirectoryAndContents tovan.getDirectoryList "
    "tovan.removeFile tovan.fileExists tovan.spawn tovan.createProcessObject "
    "tovan.openSolution tovan.reloadSolution";

// Sets each method to undefined; aborts when one stays reachable.
void removeUnsafeMethods(ESContext &context) {
    QString disable;
    QString check = QStringLiteral("true");
    for (const QString &name : QString::fromLatin1(kUnsafe).split(QLatin1Char(' '))) {
        disable += name + QStringLiteral(" = undefined;");
        check += QStringLiteral(" && typeof ") + name + QStringLiteral(" == 'undefined'");
    }
    context.evaluate(QStringLiteral("setup.js"), disable);
    ESCompletion completion = context.evaluate(QStringLiteral("check.js"), check);
    if (completion.type != ESCompletion::Normal || !completion.value.isBoolean() ||
        !completion.value.boolean()) {
        std::fprintf(stderr, "script_host fuzzer: an unsafe host method stays reachable\n");
        std::abort();
    }
}

struct Host {
    Host() {
        static int argc = 1;
        static char name[] = "script_host_fuzzer";
        static char *argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
        environment.setOutput([](const QString &) {});
        environment.setMessageOutput([](const QString &) {});
        auto target = std::make_unique<MemoryImageTarget>();
        std::vector<std::uint8_t> bytes(256);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = std::uint8_t(i * 7);
        target->addRegion(0x20000000, bytes);
        debugger = std::make_unique<StandardDebugger>(std::move(target));
        environment.setDebugger(debugger.get());
    }
    QCoreApplication *application;
    HeadlessScriptEnvironment environment;
    std::unique_ptr<StandardDebugger> debugger;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Host host;
    // A session a previous input quit is back for the next.
    host.environment.setDebugger(host.debugger.get());
    BudgetContext context;
    context.setMemoryLimit(64 * 1024 * 1024);
    context.setCollectionStress(true);
    host.environment.installHostObjects(context);
    removeUnsafeMethods(context);
    context.run(data, size);
    return 0;
}
