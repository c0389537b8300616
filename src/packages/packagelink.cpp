#include "packages/packagelink.h"

#include "packages/packagerecord.h"

#include <QByteArray>

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::optional<std::string> decoded(std::string_view text) {
    const std::string bytes =
        QByteArray::fromPercentEncoding(QByteArray(text.data(), qsizetype(text.size())))
            .toStdString();
    if (bytes.find('\0') != std::string::npos)
        return std::nullopt;
    return bytes;
}

std::string encoded(const std::string &text, const char *keep = "") {
    return QByteArray::fromStdString(text).toPercentEncoding(keep).toStdString();
}

// A relative path whose every segment is a plain name.
bool isSafeDocument(const std::string &path) {
    if (path.empty() || path.front() == '/')
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::string segment = path.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == ".." ||
            segment.find('\\') != std::string::npos)
            return false;
        for (unsigned char c : segment)
            if (c < 0x20 || c == 0x7f)
                return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

} // namespace

std::optional<PackageLink> PackageLink::parse(std::string_view link) {
    PackageLink parsed;
    std::string_view rest;
    if (link == "sw://manage-packages" || link == "sw://manage-packages/") {
        parsed.kind = ManagePackages;
        return parsed;
    }
    if (link == "dynamic://packages/status/" || link == "dynamic://packages/status") {
        parsed.kind = Status;
        return parsed;
    }
    if (link == "dynamic://packages/all" || link == "dynamic://packages/all/") {
        parsed.kind = AllPackages;
        return parsed;
    }
    if (startsWith(link, "sw://install-package/")) {
        parsed.kind = InstallPackage;
        rest = link.substr(21);
    } else if (startsWith(link, "sw://update-package/")) {
        parsed.kind = UpdatePackage;
        rest = link.substr(20);
    } else if (startsWith(link, "dynamic://packages/docs/")) {
        parsed.kind = Documents;
        rest = link.substr(24);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::nullopt;
        const std::optional<std::string> document = decoded(rest.substr(slash + 1));
        if (!document || !isSafeDocument(*document))
            return std::nullopt;
        parsed.document = *document;
        rest = rest.substr(0, slash);
    } else {
        return std::nullopt;
    }
    if (parsed.kind != Documents && !rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    const std::optional<std::string> name = decoded(rest);
    if (!name || !isValidPackageName(*name))
        return std::nullopt;
    parsed.package = *name;
    return parsed;
}

std::string PackageLink::toString() const {
    switch (kind) {
    case InstallPackage:
        return "sw://install-package/" + encoded(package);
    case UpdatePackage:
        return "sw://update-package/" + encoded(package);
    case ManagePackages:
        return "sw://manage-packages";
    case Documents:
        return "dynamic://packages/docs/" + encoded(package) + "/" + encoded(document, "/");
    case Status:
        return "dynamic://packages/status/";
    case AllPackages:
        return "dynamic://packages/all";
    }
    return {};
}
