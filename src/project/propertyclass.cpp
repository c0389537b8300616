#include "project/propertyclass.h"

#include "core/namevaluelist.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace {

struct TypeEntry {
    PropertyType type;
    const char *name;
};

constexpr std::array kTypes = {
#define PROPERTY_TYPE(id, code, name) TypeEntry{PropertyType::id, name},
#include "project/propertytypes.def"
#undef PROPERTY_TYPE
};

void reportNumber(const PropertyWarning &warn, const std::string &what, std::string_view text,
                  const char *problem) {
    if (warn)
        warn(what + " \"" + std::string(text) + "\" " + problem + "; 0 is used");
}

} // namespace

const char *propertyTypeName(PropertyType type) {
    for (const TypeEntry &entry : kTypes)
        if (entry.type == type)
            return entry.name;
    return "Unknown";
}

std::optional<PropertyType> propertyTypeFromName(std::string_view name) {
    for (const TypeEntry &entry : kTypes)
        if (name == entry.name)
            return entry.type;
    return std::nullopt;
}

bool isOutputFileType(PropertyType type) {
    return type == PropertyType::FileName || type == PropertyType::OutputFileName;
}

const PropertyStringProvider *PropertyClass::m_stringProvider = nullptr;

PropertyClass::PropertyClass(std::string name, PropertyType type)
    : m_name(std::move(name)), m_type(type) {}

PropertyClass::PropertyClass(std::string name, PropertyType type, const PropertyWarning &warn)
    : PropertyClass(std::move(name), type) {
    auto text = [&](const char *suffix, bool required) -> std::string {
        const std::string key = m_name + suffix;
        std::optional<std::string> found;
        if (m_stringProvider)
            found = m_stringProvider->message(key);
        if (!found && required && warn)
            warn("PropertyClass::PropertyClass GUIBuilder message " + key + " not found");
        return found.value_or(std::string());
    };
    m_page = text(".page", true);
    m_group = text(".group", true);
    m_short = text(".short", true);
    m_long = text(".long", true);
    m_default = text(".default", false);
    m_choices = splitEscapedList(text(".enumerates", false));
    m_suffix = text(".suffix", false);
    m_specialValue = text(".special", false);
    const std::string minimum = text(".minimum", false);
    const std::string maximum = text(".maximum", false);
    const std::string step = text(".singleStep", false);
    if (!minimum.empty())
        m_minimum = parseUnsigned(minimum, m_name + ".minimum", warn);
    if (!maximum.empty())
        m_maximum = parseUnsigned(maximum, m_name + ".maximum", warn);
    if (!step.empty())
        m_singleStep = parseUnsigned(step, m_name + ".singleStep", warn);
}

PropertyClass::~PropertyClass() = default;

std::vector<std::string> PropertyClass::choices() const {
    if (m_type == PropertyType::Boolean && m_choices.empty())
        return {"No", "Yes"};
    return m_choices;
}

bool PropertyClass::getBuddyValue(const std::string &, std::string &) const {
    return false;
}

std::string PropertyClass::defaultValue() const {
    if (m_type == PropertyType::Boolean && m_default.empty())
        return "No";
    return m_default;
}

void PropertyClass::setRange(std::uint32_t minimum, std::uint32_t maximum, std::uint32_t step) {
    m_minimum = minimum;
    m_maximum = maximum;
    m_singleStep = step;
}

std::int32_t PropertyClass::parseOrder(std::string_view text, const std::string &what,
                                       const PropertyWarning &warn) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
        digits.remove_prefix(1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    } else if (digits.size() > 1 && digits[0] == '0') {
        base = 8;
        digits.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || error == std::errc::invalid_argument ||
        end != digits.data() + digits.size() || digits.front() == '-' || digits.front() == '+') {
        reportNumber(warn, what, text, "is not a number");
        return 0;
    }
    const std::uint64_t limit = negative
                                    ? std::uint64_t(std::numeric_limits<std::int32_t>::max()) + 1
                                    : std::uint64_t(std::numeric_limits<std::int32_t>::max());
    if (error == std::errc::result_out_of_range || magnitude > limit) {
        reportNumber(warn, what, text, "is out of range");
        return 0;
    }
    return negative ? std::int32_t(-std::int64_t(magnitude)) : std::int32_t(magnitude);
}

std::uint32_t PropertyClass::parseUnsigned(std::string_view text, const std::string &what,
                                           const PropertyWarning &warn) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
        reportNumber(warn, what, text, "is not a number");
        return 0;
    }
    if (error == std::errc::result_out_of_range ||
        value > std::numeric_limits<std::uint32_t>::max()) {
        reportNumber(warn, what, text, "is out of range");
        return 0;
    }
    return std::uint32_t(value);
}
