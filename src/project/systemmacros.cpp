#include "project/systemmacros.h"

#include "core/userdirectories.h"
#include "core/version.h"
#include "project/macroexpander.h"

#include <cstdio>

namespace {

#if defined(__x86_64__)
constexpr char kHostArch[] = "x64", kHostArchClass[] = "x86";
#elif defined(__i386__)
constexpr char kHostArch[] = "x86", kHostArchClass[] = "x86";
#elif defined(__aarch64__)
constexpr char kHostArch[] = "arm64", kHostArchClass[] = "arm";
#elif defined(__arm__)
constexpr char kHostArch[] = "arm", kHostArchClass[] = "arm";
#elif defined(__riscv) && __riscv_xlen == 64
constexpr char kHostArch[] = "riscv64", kHostArchClass[] = "riscv";
#elif defined(__riscv)
constexpr char kHostArch[] = "riscv32", kHostArchClass[] = "riscv";
#else
constexpr char kHostArch[] = "unknown", kHostArchClass[] = "unknown";
#endif

#if defined(__APPLE__)
constexpr char kHostOS[] = "macos", kHostEXE[] = "", kHostDLLExt[] = ".dylib";
#elif defined(_WIN32)
constexpr char kHostOS[] = "win", kHostEXE[] = ".exe", kHostDLLExt[] = ".dll";
#else
constexpr char kHostOS[] = "linux", kHostEXE[] = "", kHostDLLExt[] = ".so";
#endif

constexpr char kMicro[] = "ARM";
constexpr char kTargetID[] = "1";

// What the fixed values are derived from, found once at registration.
struct Host {
    std::string installDir;
    std::string userDir;
};

std::string exeName(const char *base) {
    return std::string(base) + kHostEXE;
}

struct FixedMacro {
    const char *name;
    std::string (*value)(const Host &);
    const char *description;
};

const FixedMacro kFixedMacros[] = {
    {"TovanDir", [](const Host &h) { return h.installDir; },
     "The install directory of the product."},
    {"TovanUserDir", [](const Host &h) { return h.userDir; },
     "The directory containing the user data."},
    {"HomeDir", [](const Host &) { return homeDirectory(); }, "The user's home directory."},
    {"DesktopDir", [](const Host &) { return desktopDirectory(); },
     "The user's desktop directory."},
    {"DocumentsDir", [](const Host &) { return documentsDirectory(); },
     "The user's documents directory."},
    {"PackagesDir", [](const Host &h) { return h.userDir + "/packages"; },
     "Path to the users packages directory."},
    {"ZentipDir", [](const Host &h) { return h.installDir + "/zentip"; },
     "The directory of the debug-probe software."},
    {"TovanMajorVersion", [](const Host &) { return std::to_string(kMajorVersion); },
     "The major version number of the product."},
    {"TovanMinorVersion", [](const Host &) { return std::to_string(kMinorVersion); },
     "The minor version number of the product."},
    {"TovanSuiteVersionNumber", [](const Host &) { return std::string(kReleaseString); },
     "The release number of the product."},
    {"TovanName", [](const Host &) { return std::string(kProductName); },
     "The name of the product."},
    {"TovanNameShort", [](const Host &) { return std::string(kProductNameShort); },
     "The short name of the product."},
    {"ProductName", [](const Host &) { return std::string(kProductName); },
     "The name of the product."},
    {"ProductNameShort", [](const Host &) { return std::string(kProductNameShort); },
     "The short name of the product."},
    {"Platform", [](const Host &) { return std::string(kMicro); }, "The target platform."},
    {"TovanExeName", [](const Host &) { return exeName("palindor"); },
     "The file name of the development environment's executable."},
    {"TovanBuildToolExeName", [](const Host &) { return exeName("qzbuild"); },
     "The file name of the command-line build tool's executable."},
    {"TovanBuildToolName", [](const Host &) { return std::string("qzBuild"); },
     "The name of the command-line build tool."},
    {"TovanScriptToolExeName", [](const Host &) { return exeName("qzscript"); },
     "The file name of the script tool's executable."},
    {"TovanScriptToolName", [](const Host &) { return std::string("qzScript"); },
     "The name of the script tool."},
    {"TovanSimulatorExeName", [](const Host &) { return exeName("qzsimulator"); },
     "The file name of the simulator's executable."},
    {"TovanSimulatorName", [](const Host &) { return std::string("qzSimulator"); },
     "The name of the simulator."},
    {"TovanArchiveFileExt", [](const Host &) { return std::string("qzArchive"); },
     "The extension of package archive files (no dot)."},
    {"TovanPackageFileExt", [](const Host &) { return std::string("qzPackage"); },
     "The extension of package files (no dot)."},
    {"TovanProjectFileExt", [](const Host &) { return std::string("qzProject"); },
     "The extension of project files (no dot)."},
    {"TovanSessionFileExt", [](const Host &) { return std::string("qzSession"); },
     "The extension of session files (no dot)."},
    {"HostArch", [](const Host &) { return std::string(kHostArch); },
     "The CPU architecture of the host."},
    {"HostArchClass", [](const Host &) { return std::string(kHostArchClass); },
     "The CPU architecture class of the host."},
    {"HostOS", [](const Host &) { return std::string(kHostOS); },
     "The operating system of the host."},
    {"HostEXE", [](const Host &) { return std::string(kHostEXE); },
     "The extension of executables on the host."},
    {"HostDLLExt", [](const Host &) { return std::string(kHostDLLExt); },
     "The extension of shared libraries on the host."},
    {"HostDLL", [](const Host &) { return std::string("_") + kHostArch + kHostDLLExt; },
     "The architecture-qualified suffix of shared libraries on the host."},
    {"Micro", [](const Host &) { return std::string(kMicro); }, "The target family name."},
    {"TargetID", [](const Host &) { return std::string(kTargetID); },
     "The numeric identifier of the target family."},
};

constexpr const char *kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

std::tm localTime(std::time_t now) {
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

std::string padded(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

struct TimeMacro {
    const char *name;
    MacroExpander::ComputedValue compute;
    const char *description;
};

const TimeMacro kTimeMacros[] = {
    {"Date",
     [](std::time_t now) {
         std::tm tm = localTime(now);
         return std::to_string(tm.tm_mday) + " " + kMonthNames[tm.tm_mon] + " " +
                padded(tm.tm_year + 1900, 4);
     },
     "The current date."},
    {"DateYear", [](std::time_t now) { return padded(localTime(now).tm_year + 1900, 4); },
     "The current year."},
    {"DateMonth", [](std::time_t now) { return padded(localTime(now).tm_mon + 1, 2); },
     "The current month, two digits."},
    {"DateDay", [](std::time_t now) { return padded(localTime(now).tm_mday, 2); },
     "The current day of the month, two digits."},
    {"Time",
     [](std::time_t now) {
         std::tm tm = localTime(now);
         return padded(tm.tm_hour, 2) + ":" + padded(tm.tm_min, 2) + ":" + padded(tm.tm_sec, 2);
     },
     "The current time."},
    {"TimeHour", [](std::time_t now) { return padded(localTime(now).tm_hour, 2); },
     "The current hour, two digits."},
    {"TimeMinute", [](std::time_t now) { return padded(localTime(now).tm_min, 2); },
     "The current minute, two digits."},
    {"TimeSecond", [](std::time_t now) { return padded(localTime(now).tm_sec, 2); },
     "The current second, two digits."},
    {"UnixTime", [](std::time_t now) { return std::to_string(static_cast<long long>(now)); },
     "The seconds since 1970-01-01 00:00 UTC."},
};

std::string parentOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

} // namespace

std::string installDirectoryOf(std::string_view executable) {
    std::string directory = parentOf(executable);
    std::size_t slash = directory.rfind('/');
    std::string_view last = slash == std::string::npos
                                ? std::string_view(directory)
                                : std::string_view(directory).substr(slash + 1);
    if (last == "bin")
        return slash == std::string::npos ? std::string(".") : parentOf(directory);
    return directory;
}

void registerSystemMacros(MacroExpander &expander, std::string_view argv0) {
    Host host;
    host.installDir = installDirectoryOf(executablePath(argv0));
    host.userDir = userApplicationDirectory(kProductName);

    for (const FixedMacro &macro : kFixedMacros)
        expander.addSystemMacro(macro.name, macro.value(host), macro.description);
    for (const TimeMacro &macro : kTimeMacros)
        expander.addComputedSystemMacro(macro.name, macro.compute, macro.description);
}
