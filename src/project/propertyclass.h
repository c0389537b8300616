#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The type of a property's value text. The codes are stored in definitions.
enum class PropertyType : std::uint32_t {
#define PROPERTY_TYPE(id, code, name) id = code,
#include "project/propertytypes.def"
#undef PROPERTY_TYPE
    // A file the build writes (a log); it has no type name of its own.
    OutputFileName = 18,
};

// The type's name ("Unknown" for a code without one), and the type a name spells.
const char *propertyTypeName(PropertyType type);
std::optional<PropertyType> propertyTypeFromName(std::string_view name);
// FileName and the nameless output-file code both name files the build produces.
bool isOutputFileType(PropertyType type);

// Where warnings about definitions go; they never stop a load.
using PropertyWarning = std::function<void(const std::string &message)>;

// The texts of definitions built from message keys (environment settings): the message for a
// key such as "Environment/Build/Building Threads.short", or nothing.
class PropertyStringProvider {
public:
    virtual ~PropertyStringProvider() = default;
    virtual std::optional<std::string> message(std::string_view key) const = 0;
};

// A property's definition: the name values are stored under, where it is shown, its type,
// default, choices and help. Values live elsewhere (tree nodes, settings, sessions).
class PropertyClass {
public:
    PropertyClass(std::string name, PropertyType type);
    // A definition whose texts come from the string provider under name + ".page", ".group",
    // ".short", ".long", ".default", ".enumerates" (";"-separated), ".suffix", ".minimum",
    // ".maximum", ".singleStep" and ".special". A missing title, help, page or group is
    // reported; the field stays empty.
    PropertyClass(std::string name, PropertyType type, const PropertyWarning &warn);
    PropertyClass(const PropertyClass &) = delete;
    PropertyClass &operator=(const PropertyClass &) = delete;
    virtual ~PropertyClass();

    virtual std::string help() const { return m_long; }
    // The allowed values; a Boolean without a list of its own offers "No", "Yes".
    virtual std::vector<std::string> choices() const;
    // Fills `buddyValue` with the companion property's value for this property's new text
    // and answers true, or answers false when the companion keeps its value.
    virtual bool getBuddyValue(const std::string &newText, std::string &buddyValue) const;

    const std::string &name() const { return m_name; }
    const std::string &group() const { return m_group; }
    const std::string &shortText() const { return m_short; }
    const std::string &longText() const { return m_long; }
    // The file chooser's filter of a file property, e.g. "XML (*.xml)".
    const std::string &filter() const { return m_filter; }
    // A unit shown after the value by editors.
    const std::string &suffix() const { return m_suffix; }
    // A Boolean without a default of its own defaults to "No".
    std::string defaultValue() const;
    const std::string &specialValue() const { return m_specialValue; }
    const std::string &page() const { return m_page; }
    bool isReadOnly() const { return m_readOnly; }
    bool isVisible() const { return m_visible; }
    PropertyType type() const { return m_type; }
    const char *typeName() const { return propertyTypeName(m_type); }
    // The list the definition was given (empty for a Boolean that offers the usual two).
    const std::vector<std::string> &choiceList() const { return m_choices; }
    const std::vector<std::string> &secondList() const { return m_secondList; }
    std::uint32_t minimum() const { return m_minimum; }
    std::uint32_t maximum() const { return m_maximum; }
    std::uint32_t singleStep() const { return m_singleStep; }
    std::int32_t order() const { return m_order; }

    // The project type the definition is for ("Library"); empty when it serves every type.
    const std::string &projectType() const { return m_projectType; }
    // The companion property set by getBuddyValue, or empty.
    const std::string &buddyName() const { return m_buddyName; }
    // Bits of the build actions the property feeds (see PropertyRegistry::BuildAction).
    unsigned buildActions() const { return m_buildActions; }

    void setGroup(std::string group) { m_group = std::move(group); }
    void setShortText(std::string text) { m_short = std::move(text); }
    void setLongText(std::string text) { m_long = std::move(text); }
    void setFilter(std::string filter) { m_filter = std::move(filter); }
    void setSuffix(std::string suffix) { m_suffix = std::move(suffix); }
    void setDefaultValue(std::string value) { m_default = std::move(value); }
    void setSpecialValue(std::string value) { m_specialValue = std::move(value); }
    void setPage(std::string page) { m_page = std::move(page); }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setVisible(bool visible) { m_visible = visible; }
    void setType(PropertyType type) { m_type = type; }
    void setChoices(std::vector<std::string> choices) { m_choices = std::move(choices); }
    void setSecondList(std::vector<std::string> list) { m_secondList = std::move(list); }
    void setRange(std::uint32_t minimum, std::uint32_t maximum, std::uint32_t step);
    void setOrder(std::int32_t order) { m_order = order; }
    void setProjectType(std::string type) { m_projectType = std::move(type); }
    void setBuddyName(std::string name) { m_buddyName = std::move(name); }
    void setBuildActions(unsigned actions) { m_buildActions = actions; }

    // The message source of definitions built from message keys; not owned.
    static const PropertyStringProvider *m_stringProvider;

    // Numeric definition attributes. Text that does not parse or does not fit becomes 0 and
    // is reported as "<what> \"<text>\" ... is not ..."; `what` names the attribute.
    // Orders take a C-style base prefix ("0x10" is 16, "010" is 8) and a sign.
    static std::int32_t parseOrder(std::string_view text, const std::string &what,
                                   const PropertyWarning &warn);
    static std::uint32_t parseUnsigned(std::string_view text, const std::string &what,
                                       const PropertyWarning &warn);

private:
    std::string m_name;
    std::string m_group;
    std::string m_short;
    std::string m_long;
    std::string m_filter;
    std::string m_suffix;
    std::string m_default;
    std::string m_specialValue;
    std::string m_page;
    bool m_readOnly = false;
    bool m_visible = true;
    PropertyType m_type;
    std::vector<std::string> m_choices;
    std::vector<std::string> m_secondList;
    std::uint32_t m_minimum = 0;
    std::uint32_t m_maximum = 0;
    std::uint32_t m_singleStep = 0;
    std::int32_t m_order = 0;
    std::string m_projectType;
    std::string m_buddyName;
    unsigned m_buildActions = 0;
};
