#include "core/userdirectories.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string below(const std::string &directory, std::string_view name) {
    std::string path = directory == "/" ? std::string() : directory;
    path += '/';
    path += name;
    return path;
}

std::string homeFromPasswordDatabase() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir)
        return found->pw_dir;
    return "/";
}

} // namespace

std::string homeDirectory() {
    const char *home = std::getenv("HOME");
    if (home && *home)
        return withoutTrailingSlashes(home);
    return withoutTrailingSlashes(homeFromPasswordDatabase());
}

std::string documentsDirectory() {
    return below(homeDirectory(), "Documents");
}

std::string desktopDirectory() {
    return below(homeDirectory(), "Desktop");
}

std::string userDataDirectory() {
    return below(homeDirectory(), ".local/share");
}

std::string applicationDirectoryName(std::string_view applicationName) {
    std::string name(applicationName);
    for (char &c : name) {
        if (c == ' ')
            c = '_';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

std::string userApplicationDirectory(std::string_view applicationName) {
    return below(userDataDirectory(), applicationDirectoryName(applicationName));
}

std::string environmentSettingsFile(std::string_view applicationName) {
    return below(userApplicationDirectory(applicationName), "environment_settings.xml");
}

std::string hiddenApplicationDirectory(std::string_view applicationName) {
    std::string name = ".";
    name += applicationDirectoryName(applicationName);
    return below(homeDirectory(), name);
}

std::string sharedDataDirectory() {
    return "/usr/share";
}

std::string executablePathFrom(const std::string &link, std::string_view argv0) {
    // The link's target can be longer than any fixed buffer; grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return std::string(argv0);
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string executablePath(std::string_view argv0) {
    return executablePathFrom("/proc/self/exe", argv0);
}
