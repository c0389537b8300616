// Reads arbitrary bytes as a dependency file. A file that reads must name each input once,
// none of them empty, and the same text with LF line ends in place of CRLF must read alike.
#include "build/dependencyfile.h"
#include "core/hexception.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    QStringList inputs;
    try {
        inputs = DependencyFile::parse(text);
    } catch (const HException &) {
        return 0;
    }
    check(QSet<QString>(inputs.begin(), inputs.end()).size() == inputs.size());
    for (const QString &input : inputs)
        check(!input.isEmpty());

    // Only CRLF pairs; a lone carriage return reads as a blank, which LF ends do not mimic.
    std::string unix;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool crlf = i + 1 < text.size() && text[i + 1] == '\n';
        if (text[i] == '\r' && !crlf)
            return 0;
        if (text[i] != '\r')
            unix += text[i];
    }
    check(DependencyFile::parse(unix) == inputs);
    return 0;
}
