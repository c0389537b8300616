// Reads arbitrary bytes as a package description and as an available-packages list, and
// writes back what was read: neither may crash, and a list written must read back.

#include "core/hexception.h"
#include "packages/packagedescription.h"

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
