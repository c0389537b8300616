// Compiles arbitrary text: it must end in a program or a SyntaxError (or one of the
// compiler's fatal limits), never in a crash.
#include "script/escontext.h"
#include "script/esexception.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // A context per batch of inputs: cheap enough, and no state builds up for long.
    static std::unique_ptr<ESContext> context;
    static int uses = 0;
    if (!context || ++uses % 500 == 0)
        context = std::make_unique<ESContext>();
    QString source = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        context->checkSyntax(QStringLiteral("fuzz.js"), source);
    } catch (const ESFatalError &) {
        // The code-size and operand limits end compilation this way.
    }
    return 0;
}
