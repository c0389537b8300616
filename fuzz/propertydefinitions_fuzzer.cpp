// Reads arbitrary bytes both as definitions and as a groups file. Whatever reads must
// register without disturbing the built-in definitions: a group never takes an existing name,
// an unknown type never becomes a Boolean, and every choice list is well formed.
#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/propertydefinitionreader.h"
#include "project/propertygroupsfile.h"
#include "project/propertynode.h"
#include "project/propertyregistry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

class Project : public PropertyNode {
public:
    Kind kind() const override { return Kind::Project; }
    PropertyNode *project() const override { return const_cast<Project *>(this); }
    std::string projectType() const override { return "Library"; }
    std::optional<std::string> storedValue(const std::string &, std::string_view) const override {
        return std::nullopt;
    }
    void storeValue(const std::string &, std::string_view,
                    const std::optional<std::string> &) override {}
    bool isModified() const override { return false; }
    void setModified(bool) override {}
    void projectMacrosChanged() override {}
};

[[noreturn]] void fault(const std::string &what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

// Built once; each input's groups are removed again after its checks.
PropertyRegistry &builtins() {
    static PropertyRegistry *registry = [] {
        auto *made = new PropertyRegistry;
        registerBuiltinProperties(*made, nullptr);
        return made;
    }();
    return *registry;
}

void checkDefinitions(std::string_view input) {
    std::vector<std::unique_ptr<GenericPropertyClass>> definitions;
    try {
        definitions = PropertyDefinitionReader([](const std::string &) {}).readText(input);
    } catch (const HException &) {
        return;
    }
    for (const auto &definition : definitions) {
        if (definition->name().empty())
            fault("a definition without a name");
        if (std::string(definition->typeName()) == "Unknown")
            fault("type without a name for " + definition->name());
        if (definition->type() == PropertyType::Boolean && definition->choices().empty())
            fault("a Boolean without choices");
    }
}

void checkGroups(std::string_view input) {
    std::vector<std::unique_ptr<PropertyValueGroupClass>> groups;
    try {
        // A directory that does not exist: includes find nothing to read.
        groups = PropertyGroupsFile::loadText(input, "/nonexistent/palindor/groups.xml", nullptr,
                                              [](const std::string &) {});
    } catch (const HException &) {
        return;
    }
    for (const auto &group : groups) {
        const std::vector<std::string> keys = group->choices();
        if (std::set<std::string>(keys.begin(), keys.end()).size() != keys.size())
            fault("two entries of one key in group " + group->name());
    }
    PropertyRegistry &registry = builtins();
    Project project;
    registry.setPropertyGroups(&project, std::move(groups), [](const std::string &) {});
    for (const PropertyValueGroupClass *group : registry.propertyGroups(&project))
        if (registry.find(group->name()) || !registry.mapped(group->name()).empty())
            fault("group " + group->name() + " took a registered name");
    const PropertyClass *type = registry.findPropertyClass(&project, "project_type");
    if (!type || type->type() != PropertyType::Enumeration)
        fault("project_type changed");
    const PropertyClass *output = registry.findPropertyClass(&project, "build_output_file_name");
    if (!output || output->defaultValue() != "$(OutDir)/$(ProjectName)$(LIB)")
        fault("build_output_file_name changed");
    registry.removePropertyGroups(&project);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    checkDefinitions(input);
    checkGroups(input);
    return 0;
}
