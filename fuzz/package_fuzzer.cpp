// Reads arbitrary bytes as a package description, as an available-packages list and as a
// package link, and writes back what was read: none may crash, and a list or link written
// must read back the same.

#include "core/hexception.h"
#include "packages/packagedescription.h"
#include "packages/packagelink.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        PackageDescription description = PackageDescription::parse(text, "fuzz", size % 2 == 0);
        const PackageRecord record = description.record();
        description.setInstalledFiles(record.installedFiles);
        PackageDescription::parse(description.toXml(), "fuzz", true);
    } catch (const HException &) {
    }
    if (const std::optional<PackageLink> link = PackageLink::parse(text)) {
        const std::optional<PackageLink> again = PackageLink::parse(link->toString());
        if (!again || again->kind != link->kind || again->package != link->package ||
            again->document != link->document)
            __builtin_trap();
    }
    std::vector<PackageRecord> records;
    try {
        records = parsePackageList(text, "fuzz");
    } catch (const HException &) {
        return 0;
    }
    if (parsePackageList(writePackageList(records), "fuzz").size() != records.size())
        __builtin_trap();
    return 0;
}
