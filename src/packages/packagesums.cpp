#include "packages/packagesums.h"

#include <algorithm>
#include <cctype>

namespace {

// Lists are written by hand too: "ABC123 " is the same sum as "abc123".
std::string normalised(std::string text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

PackageSumCheck checkPackageSums(const std::string &name, const PackageSums &expected,
                                 const PackageSums &got) {
    PackageSumCheck check;
    if (expected.size != 0 && got.size != expected.size) {
        check.errors.push_back("Incorrect size for " + name + " (expected " +
                               std::to_string(expected.size) + " got " + std::to_string(got.size) +
                               ")");
        check.errors.push_back("MD5 verification failed");
        return check;
    }
    const std::string md5 = normalised(expected.md5);
    if (md5.empty()) {
        check.errors.push_back("No MD5 sum given for " + name);
        check.errors.push_back("MD5 verification failed");
        return check;
    }
    if (md5 != got.md5) {
        check.errors.push_back("Incorrect MD5 sum for " + name + " (expected " + md5 + " got " +
                               got.md5 + ")");
        check.errors.push_back("MD5 verification failed");
        return check;
    }
    const std::string sha256 = normalised(expected.sha256);
    if (!sha256.empty() && sha256 != got.sha256) {
        check.errors.push_back("Incorrect SHA-256 sum for " + name + " (expected " + sha256 +
                               " got " + got.sha256 + ")");
        return check;
    }
    check.ok = true;
    check.verified = "Verified correct MD5 sum for " + name + " (" + got.md5 + ")";
    return check;
}
