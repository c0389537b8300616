// Reads arbitrary bytes as a settings file. Whatever reads must write out and read back to
// the same entries, and the written text must not change on a second round.
#include "settings/settingsformat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::string written(const std::map<QString, QString> &entries) {
    std::string text(kSettingsHeader);
    for (const auto &[name, value] : entries)
        appendSettingLine(text, name, value);
    text += kSettingsFooter;
    return text;
}

[[noreturn]] void fault(const char *what, const std::string &text) {
    std::fprintf(stderr, "%s:\n%s\n", what, text.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::map<QString, QString> entries;
    QString error;
    if (!parseSettingsText({reinterpret_cast<const char *>(data), size}, entries, error)) {
        if (error.isEmpty() || !entries.empty())
            fault("failure without a message, or with entries", error.toStdString());
        return 0;
    }
    const std::string first = written(entries);
    std::map<QString, QString> again;
    if (!parseSettingsText(first, again, error))
        fault(("written text does not read: " + error.toStdString()).c_str(), first);
    if (again != entries)
        fault("entries differ after a round trip", first);
    if (written(again) != first)
        fault("second write differs", first);
    return 0;
}
