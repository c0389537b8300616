// Feeds arbitrary bytes, in chunks whose size the input chooses, to the external builder
// reader. A command that is read must be written back as one line that reads the same.
#include "build/externalbuilderprotocol.h"
#include "core/hexception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

QByteArray write(const ExternalBuilderCommand &command) {
    switch (command.kind) {
    case ExternalBuilderCommand::Reload:
        return ExternalBuilderProtocol::reloadLine();
    case ExternalBuilderCommand::Modified:
        return ExternalBuilderProtocol::modifiedLine(command.node, command.text, command.value);
    default:
        return ExternalBuilderProtocol::requestLine(command.kind, command.node, command.text,
                                                    command.number);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] % 32;
    QByteArrayView stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    ExternalBuilderReader reader([](const ExternalBuilderCommand &command) {
        QByteArray line = write(command);
        check(line.endsWith('\n') && line.count('\n') == 1);
        ExternalBuilderCommand again = ExternalBuilderProtocol::parseLine(line.chopped(1));
        // Invalid UTF-8 decodes to U+FFFD, which then survives unchanged.
        check(again.kind == command.kind && again.node == command.node &&
              again.number == command.number && again.text == command.text &&
              again.value == command.value);
    });
    try {
        for (qsizetype at = 0; at < stream.size(); at += qsizetype(chunk))
            reader.feed(stream.sliced(at, qMin(qsizetype(chunk), stream.size() - at)));
        reader.finish();
    } catch (const HException &) {
    }
    return 0;
}
