#pragma once

#include <string>
#include <string_view>

// The user's and the system's directories that settings, packages and macros derive their
// paths from. Results never end in "/" (except the root itself).

// The user's home: $HOME, or the password database's entry when HOME is unset or empty.
std::string homeDirectory();

std::string documentsDirectory(); // home + "/Documents"
std::string desktopDirectory();   // home + "/Desktop"

// Per-user application data: home + "/.local/share".
std::string userDataDirectory();

// An application name as a directory name: lower case, spaces replaced by underscores.
std::string applicationDirectoryName(std::string_view applicationName);

// The per-application hidden directory: home + "/." + applicationDirectoryName(name).
std::string hiddenApplicationDirectory(std::string_view applicationName);

// The per-user application directory, userDataDirectory() + "/" + applicationDirectoryName(name):
// the macro $(TovanUserDir) and the home of the user's settings.
std::string userApplicationDirectory(std::string_view applicationName);

// The user's environment settings file: "environment_settings.xml" in the directory above.
std::string environmentSettingsFile(std::string_view applicationName);

// Data shared by all users: "/usr/share".
std::string sharedDataDirectory();

// The running program's own path, read from the link "/proc/self/exe"; when that cannot be
// read, `argv0` (the first command-line argument) as given.
std::string executablePath(std::string_view argv0 = {});

// The same, reading `link` instead of "/proc/self/exe".
std::string executablePathFrom(const std::string &link, std::string_view argv0);
