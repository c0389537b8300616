#include "project/environmentproperties.h"

#include "project/propertyregistry.h"

#include <memory>
#include <utility>

namespace {

using T = PropertyType;

struct Setting {
    const char *name;
    PropertyType type;
    const char *page;
    const char *group;
    const char *shortText;
    const char *help;
    const char *defaultValue = nullptr;
    const char *enumerates = nullptr;
    const char *minimum = nullptr;
    const char *maximum = nullptr;
    const char *suffix = nullptr;
};

constexpr Setting kSettings[] = {
    {"Environment/Build/Building Threads", T::IntegerRange, "Building", "Build Options",
     "Building Threads", "How many build steps run at once; 0 uses every processor.", "0", nullptr,
     "0", "128"},
    {"Environment/Build/Use External Builder", T::Boolean, "Building", "Build Options",
     "Use External Builder", "Builds run in a separate build process.", "No"},
    {"Environment/Build/Show Command Lines", T::Boolean, "Building", "Build Options",
     "Show Command Lines", "The build log shows each command line.", "No"},
    {"Environment/Build/Show Unparsed Error Output", T::Boolean, "Building", "Build Options",
     "Show Unparsed Error Output", "The build log shows tool output no parser recognised.", "Yes"},
    {"Environment/Build/Keep Going On Error", T::Boolean, "Building", "Build Options",
     "Keep Going On Error", "A failed step does not stop the other steps.", "No"},
    {"Environment/Build/Disable Unity Build", T::Boolean, "Building", "Build Options",
     "Disable Unity Build", "Folders are compiled file by file even with a unity build file.",
     "No"},
    {"Environment/Build/Save Project File On Build", T::Boolean, "Building", "Build Options",
     "Save Project File On Build", "The solution is saved before each build.", "No"},
    {"Environment/Build/Build Before Debug", T::Boolean, "Building", "Build Options",
     "Build Before Debug", "Starting the debugger builds the project first.", "Yes"},
    {"Environment/Build/Show Build Before Debug", T::Boolean, "Building", "Build Options",
     "Show Build Before Debug", "Ask before building when the debugger starts.", "Yes"},
    {"Environment/Build/Confirm Debugger Stop", T::Boolean, "Building", "Build Options",
     "Confirm Debugger Stop", "Ask before stopping the debugger to build.", "Yes"},
    {"Environment/Build/Find Error After Build", T::Boolean, "Building", "Build Options",
     "Find Error After Build", "Show the first error once a build fails.", "No"},
    {"Environment/Build/Show Build Information", T::Boolean, "Building", "Build Options",
     "Show Build Information", "The build log starts with the build's settings.", "No"},
    {"Environment/Build/Display Progress Bar", T::Boolean, "Building", "Build Options",
     "Display Progress Bar", "Show the build's progress.", "Yes"},
    {"Environment/Build/Display ETA", T::Boolean, "Building", "Build Options", "Display ETA",
     "Show when the build is expected to finish.", "No"},
    {"Environment/Show Transcript On Build", T::Boolean, "Building", "Build Options",
     "Show Transcript On Build", "Show the build log when a build starts.", "Yes"},
    {"Environment/General/Status Bar/Show Build Status", T::Boolean, "Environment", "Status Bar",
     "Show Build Status", "The status bar shows the state of the build.", "Yes"},
    {"Environment/Macros/Global Macros", T::StringList, "Building", "Macros", "Global Macros",
     "Macros every expansion may use, each <b>name=value</b>."},
    {"Environment/Package/Destination Directory", T::DirPath, "Packages", "Package Options",
     "Destination Directory", "Path to the users packages directory.", "$(TovanUserDir)/packages"},
    {"Environment/Package/Source Directory", T::DirPath, "Packages", "Package Options",
     "Source Directory", "A directory packages are installed from instead of the network."},
    {"Environment/Package/Source URL", T::String, "Packages", "Package Options", "Source URL",
     "Where the list of available packages and the packages are downloaded from."},
    {"Environment/Package/Use Content Delivery Network", T::Boolean, "Packages", "Package Options",
     "Use Content Delivery Network", "Download packages through the content delivery network.",
     "Yes"},
    {"Environment/Package/Check Solution Package Dependencies", T::Boolean, "Packages",
     "Package Options", "Check Solution Package Dependencies",
     "Warn when a loaded solution needs packages that are not installed.", "Yes"},
    {"Environment/Package/Show Logos", T::Boolean, "Packages", "Package Options", "Show Logos",
     "The package manager shows the makers' logos.", "Yes"},
    {"Environment/Package/Verify Downloads", T::Boolean, "Packages", "Package Options",
     "Verify Downloads", "Check each downloaded package against its MD5 sum.", "Yes"},
    {"Environment/Package/Delete Downloads", T::Boolean, "Packages", "Package Options",
     "Delete Downloads", "Remove downloaded archives once they are installed.", "No"},
    {"Environment/Package/Install Default Packages", T::Boolean, "Packages", "Package Options",
     "Install Default Packages", "Offer the default packages on first start.", "Yes"},
    {"Environment/Package/Show Check For Packages Dialog", T::Boolean, "Packages",
     "Package Options", "Show Check For Packages Dialog", "Ask before checking for new packages.",
     "Yes"},
    {"Environment/Internet/Check Packages", T::Boolean, "Environment", "Internet", "Check Packages",
     "Refresh the list of available packages at start-up.", "Yes"},
    {"Environment/JavaScript/Console History", T::Integer, "Environment", "JavaScript",
     "Console History", "How many lines the script console remembers.", "100"},
};

// The message keys' suffixes and the texts they name.
constexpr std::pair<std::string_view, const char * Setting::*> kFields[] = {
    {"page", &Setting::page},
    {"group", &Setting::group},
    {"short", &Setting::shortText},
    {"long", &Setting::help},
    {"default", &Setting::defaultValue},
    {"enumerates", &Setting::enumerates},
    {"minimum", &Setting::minimum},
    {"maximum", &Setting::maximum},
    {"suffix", &Setting::suffix},
};

const Setting *findSetting(std::string_view name) {
    for (const Setting &setting : kSettings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

} // namespace

std::optional<std::string> EnvironmentMessages::message(std::string_view key) const {
    const std::size_t dot = key.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    const Setting *setting = findSetting(key.substr(0, dot));
    if (!setting)
        return std::nullopt;
    const std::string_view field = key.substr(dot + 1);
    for (const auto &[suffix, member] : kFields) {
        if (field == suffix) {
            const char *text = setting->*member;
            if (!text)
                return std::nullopt;
            return std::string(text);
        }
    }
    return std::nullopt;
}

void registerEnvironmentProperties(PropertyRegistry &registry, const PropertyWarning &warn) {
    for (const Setting &setting : kSettings)
        registry.addEnvironment(std::make_unique<PropertyClass>(setting.name, setting.type, warn));
}
