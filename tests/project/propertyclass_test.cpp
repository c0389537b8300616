#include "project/propertyclass.h"

#include "project/environmentproperties.h"
#include "project/propertyregistry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Strings = std::vector<std::string>;

struct Warnings {
    PropertyWarning hook() {
        return [this](const std::string &message) { messages.push_back(message); };
    }
    Strings messages;
};

TEST(PropertyClassTest, BooleansDefaultToNoAndOfferNoThenYes) {
    PropertyClass flag("flag", PropertyType::Boolean);
    EXPECT_EQ(flag.defaultValue(), "No");
    EXPECT_EQ(flag.choices(), (Strings{"No", "Yes"}));
    EXPECT_TRUE(flag.choiceList().empty());

    // A list of its own replaces the usual two.
    flag.setChoices({"Off", "On"});
    EXPECT_EQ(flag.choices(), (Strings{"Off", "On"}));
}

TEST(PropertyClassTest, OtherTypesInventNoDefaultOrChoices) {
    for (PropertyType type : {PropertyType::String, PropertyType::Enumeration,
                              PropertyType::Integer, PropertyType::OutputFileName}) {
        PropertyClass definition("text", type);
        EXPECT_EQ(definition.defaultValue(), "") << definition.typeName();
        EXPECT_TRUE(definition.choices().empty()) << definition.typeName();
    }
}

TEST(PropertyClassTest, OrdersTakeCStyleBasesAndSigns) {
    Warnings warnings;
    const struct {
        const char *text;
        std::int32_t order;
    } cases[] = {{"0x10", 16},
                 {"0X1f", 31},
                 {"010", 8},
                 {"0", 0},
                 {"-1001", -1001},
                 {"+7", 7},
                 {"-0x10", -16},
                 {"2147483647", 2147483647},
                 {"-2147483648", std::numeric_limits<std::int32_t>::min()}};
    for (const auto &row : cases)
        EXPECT_EQ(PropertyClass::parseOrder(row.text, "order", warnings.hook()), row.order)
            << row.text;
    EXPECT_TRUE(warnings.messages.empty());
}

TEST(PropertyClassTest, NumbersThatDoNotParseOrFitBecomeZeroWithAWarning) {
    Warnings warnings;
    for (const char *text : {"", "abc", "12abc", "0x", "08", "--1", "+-1", " 5"})
        EXPECT_EQ(PropertyClass::parseOrder(text, "order", warnings.hook()), 0) << text;
    EXPECT_EQ(PropertyClass::parseOrder("2147483648", "order", warnings.hook()), 0);
    EXPECT_EQ(PropertyClass::parseOrder("-2147483649", "order", warnings.hook()), 0);
    EXPECT_EQ(PropertyClass::parseOrder("0x100000000", "order", warnings.hook()), 0);
    EXPECT_EQ(warnings.messages.size(), 11u);
    EXPECT_EQ(warnings.messages[1], "order \"abc\" is not a number; 0 is used");
    EXPECT_EQ(warnings.messages[8], "order \"2147483648\" is out of range; 0 is used");

    warnings.messages.clear();
    EXPECT_EQ(PropertyClass::parseUnsigned("4294967295", "maximum", warnings.hook()), 4294967295u);
    EXPECT_TRUE(warnings.messages.empty());
    // Never wrapped: -1 is not 4294967295, and 2^32 is not 0 by accident.
    EXPECT_EQ(PropertyClass::parseUnsigned("-1", "minimum", warnings.hook()), 0u);
    EXPECT_EQ(PropertyClass::parseUnsigned("4294967296", "maximum", warnings.hook()), 0u);
    EXPECT_EQ(PropertyClass::parseUnsigned("0x10", "singlestep", warnings.hook()), 0u);
    EXPECT_EQ(warnings.messages, (Strings{"minimum \"-1\" is not a number; 0 is used",
                                          "maximum \"4294967296\" is out of range; 0 is used",
                                          "singlestep \"0x10\" is not a number; 0 is used"}));
}

class FixedMessages : public PropertyStringProvider {
public:
    std::optional<std::string> message(std::string_view key) const override {
        if (key == "Setting/Speed.short")
            return "Speed";
        if (key == "Setting/Speed.enumerates")
            return "Slow;Fast";
        if (key == "Setting/Speed.maximum")
            return "x9";
        return std::nullopt;
    }
};

TEST(PropertyClassTest, MessageDefinitionsReportMissingTexts) {
    FixedMessages messages;
    const PropertyStringProvider *saved = PropertyClass::m_stringProvider;
    PropertyClass::m_stringProvider = &messages;
    Warnings warnings;
    PropertyClass speed("Setting/Speed", PropertyType::Enumeration, warnings.hook());
    PropertyClass::m_stringProvider = saved;

    EXPECT_EQ(speed.shortText(), "Speed");
    EXPECT_EQ(speed.choices(), (Strings{"Slow", "Fast"}));
    EXPECT_EQ(speed.page(), "");
    EXPECT_EQ(speed.maximum(), 0u);
    EXPECT_EQ(
        warnings.messages,
        (Strings{"PropertyClass::PropertyClass GUIBuilder message Setting/Speed.page not found",
                 "PropertyClass::PropertyClass GUIBuilder message Setting/Speed.group not "
                 "found",
                 "PropertyClass::PropertyClass GUIBuilder message Setting/Speed.long not found",
                 "Setting/Speed.maximum \"x9\" is not a number; 0 is used"}));
}

TEST(PropertyClassTest, EnvironmentSettingsHaveEveryText) {
    EnvironmentMessages messages;
    const PropertyStringProvider *saved = PropertyClass::m_stringProvider;
    PropertyClass::m_stringProvider = &messages;
    Warnings warnings;
    PropertyRegistry registry;
    registerEnvironmentProperties(registry, warnings.hook());
    PropertyClass::m_stringProvider = saved;

    EXPECT_TRUE(warnings.messages.empty()) << warnings.messages.front();
    EXPECT_TRUE(registry.definitions().empty()); // kept apart from the project's
    const PropertyClass *threads = registry.findEnvironment("Environment/Build/Building Threads");
    ASSERT_NE(threads, nullptr);
    EXPECT_EQ(threads->type(), PropertyType::IntegerRange);
    EXPECT_EQ(threads->minimum(), 0u);
    EXPECT_EQ(threads->maximum(), 128u);
    EXPECT_EQ(threads->defaultValue(), "0");
    const PropertyClass *macros = registry.findEnvironment("Environment/Macros/Global Macros");
    ASSERT_NE(macros, nullptr);
    EXPECT_EQ(macros->type(), PropertyType::StringList);
    const PropertyClass *destination =
        registry.findEnvironment("Environment/Package/Destination Directory");
    ASSERT_NE(destination, nullptr);
    EXPECT_EQ(destination->defaultValue(), "$(TovanUserDir)/packages");
    EXPECT_EQ(destination->help(), "Path to the users packages directory.");
    for (const auto &definition : registry.environmentDefinitions()) {
        EXPECT_FALSE(definition->page().empty()) << definition->name();
        EXPECT_FALSE(definition->shortText().empty()) << definition->name();
        if (definition->type() == PropertyType::Boolean) {
            EXPECT_TRUE(definition->defaultValue() == "Yes" || definition->defaultValue() == "No")
                << definition->name();
        }
    }
    EXPECT_EQ(messages.message("Environment/Build/Building Threads.nothing"), std::nullopt);
    EXPECT_EQ(messages.message("No such setting.short"), std::nullopt);
}

} // namespace
