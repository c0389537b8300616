#pragma once

#include <optional>
#include <string>
#include <string_view>

// The links that pages and documents use to reach the package system:
//   "sw://install-package/NAME", "sw://update-package/NAME", "sw://manage-packages",
//   "dynamic://packages/docs/NAME/DOCUMENT", "dynamic://packages/status/",
//   "dynamic://packages/all".
// Links come from downloaded pages: the name must be a valid package name and the document a
// relative path that stays inside the package.
struct PackageLink {
    enum Kind { InstallPackage, UpdatePackage, ManagePackages, Documents, Status, AllPackages };

    Kind kind = ManagePackages;
    std::string package;  // InstallPackage, UpdatePackage, Documents
    std::string document; // Documents: the path below the package, "/" separated

    // Nothing for a text that is not one of the links above or names something unsafe.
    // Percent escapes in the name and document are decoded.
    static std::optional<PackageLink> parse(std::string_view link);
    std::string toString() const;
};
