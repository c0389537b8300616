#include "packages/packagerecord.h"

#include "core/hexception.h"
#include "packages/packagearchive.h"

#include <algorithm>
#include <charconv>

namespace {

struct KindEntry {
    int kind;
    const char *name;
    const char *word;
};

const KindEntry kKinds[] = {
    {PackageRecord::Cpu, "CPU Support Package", "cpu"},
    {PackageRecord::Board, "Board Support Package", "board"},
    {PackageRecord::Library, "Library Package", "library"},
    {PackageRecord::Core, "Core Support Package", "core"},
    {PackageRecord::Staging, "Staging Package", "staging"},
    {PackageRecord::OperatingSystem, "Operating System Package", "os"},
    {PackageRecord::Other, "Package", "other"},
};

const char *const kActions[] = {"No Action", "Install",   "Download Only",
                                "Remove",    "Reinstall", "Update"};

const KindEntry &kindEntry(int kind) {
    for (const KindEntry &entry : kKinds)
        if (entry.kind == kind)
            return entry;
    return kKinds[std::size(kKinds) - 1];
}

std::string_view nextSegment(std::string_view &text) {
    const std::size_t dot = text.find('.');
    std::string_view segment = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    return segment;
}

bool isNumber(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numbers of any length: drop leading zeros, then the longer one is larger.
int compareNumbers(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0')
        a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0')
        b.remove_prefix(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

} // namespace

int compareVersions(std::string_view a, std::string_view b) {
    while (!a.empty() || !b.empty()) {
        std::string_view x = nextSegment(a), y = nextSegment(b);
        if (x.empty())
            x = "0";
        if (y.empty())
            y = "0";
        int order;
        if (isNumber(x) && isNumber(y))
            order = compareNumbers(x, y);
        else
            order = x.compare(y) < 0 ? -1 : x.compare(y) > 0 ? 1 : 0;
        if (order != 0)
            return order;
    }
    return 0;
}

bool PackageRecord::hasUpdate() const {
    return !installedVersion.empty() && !latestVersion.empty() &&
           compareVersions(latestVersion, installedVersion) > 0;
}

std::string PackageRecord::displayTitle() const {
    if (!title.empty())
        return title;
    if (!cpuFamily.empty())
        return cpuFamily + " CPU Support Package";
    if (!boardName.empty())
        return boardName + " Board Support Package";
    return (cpuName.empty() ? name : cpuName) + " Support Package";
}

std::string PackageRecord::displayDescription() const {
    if (!description.empty())
        return description;
    if (!boardName.empty())
        return "This package contains project templates and system files for the <b>" + boardName +
               "</b>.";
    const std::string device = !cpuName.empty() ? cpuName : !cpuFamily.empty() ? cpuFamily : name;
    return "This package contains project templates, system files and example programs for "
           "the <b>" +
           device + "</b>.";
}

bool PackageRecordTitleLess::operator()(const PackageRecord &a, const PackageRecord &b) const {
    const std::string ta = a.displayTitle(), tb = b.displayTitle();
    if (ta != tb)
        return ta < tb;
    return a.name < b.name;
}

std::string packageKindName(int kind) {
    return kindEntry(kind).name;
}
std::string packageKindWord(int kind) {
    return kindEntry(kind).word;
}

int packageKindFromWord(std::string_view word) {
    for (const KindEntry &entry : kKinds)
        if (word == entry.word)
            return entry.kind;
    return PackageRecord::Other;
}

std::string packageActionName(int action) {
    if (action < 0 || action >= int(std::size(kActions)))
        return "Unknown";
    return kActions[action];
}

bool isValidPackageName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

void checkPackageName(std::string_view name) {
    if (!isValidPackageName(name))
        throw HException("invalid package name: " + PackageArchive::displayName(std::string(name)));
}

std::vector<std::string> splitDependencies(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        std::string_view item = text.substr(0, end);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (!item.empty())
            names.emplace_back(item);
        text = end < text.size() ? text.substr(end + 1) : std::string_view();
    }
    return names;
}

std::string joinDependencies(const std::vector<std::string> &names) {
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : ";") + name;
    return text;
}
