#include "project/environmentpropertyvalue.h"

#include "project/propertyclass.h"
#include "settings/settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr char kThreads[] = "Environment/Build/Building Threads";

struct EnvironmentValue : ::testing::Test {
    EnvironmentValue() : definition(kThreads, PropertyType::IntegerRange) {
        definition.setDefaultValue("0");
    }
    PropertyClass definition;
    Settings settings;
};

TEST_F(EnvironmentValue, AnUnsetKeyReadsTheDefaultAnEmptiedOneReadsEmpty) {
    EnvironmentPropertyValue value(&definition, settings);
    EXPECT_EQ(value.key(), kThreads);
    EXPECT_EQ(value.value(), "0");

    value.setValue("4");
    EXPECT_EQ(settings.value(kThreads), "4");
    EXPECT_EQ(value.value(), "4");
    // the user may clear a setting: that is not the default coming back
    value.setValue("");
    EXPECT_EQ(value.value(), "");
    settings.remove(kThreads);
    EXPECT_EQ(value.value(), "0");

    PropertyClass boolean("Text Editor/Spelling/Check Comments", PropertyType::Boolean);
    EXPECT_EQ(EnvironmentPropertyValue(&boolean, settings).value(), "No");
}

TEST_F(EnvironmentValue, ValuesOfOneStoreSeeEachOthersWritesAndKeepUtf8) {
    EnvironmentPropertyValue value(&definition, settings);
    std::unique_ptr<PropertyValue> copy = value.clone();
    EnvironmentPropertyValue other(&definition, settings, "Environment/Other");
    value.setValue("8");
    EXPECT_EQ(copy->value(), "8");
    EXPECT_EQ(other.value(), "0");
    other.setValue("Grüße · <x>");
    EXPECT_EQ(settings.value("Environment/Other"), QString::fromUtf8("Grüße · <x>"));
    EXPECT_EQ(other.value(), "Grüße · <x>");
    EXPECT_EQ(value.value(), "8");
}

TEST_F(EnvironmentValue, ChangedIsToldOnlyWhenTheValueChanges) {
    EnvironmentPropertyValue value(&definition, settings);
    std::vector<EnvironmentPropertyValue *> told;
    value.setChangedHandler([&](EnvironmentPropertyValue *changed) { told.push_back(changed); });
    value.setValue("2");
    value.setValue("2");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], &value);
    // storing the default over an unset key changes nothing a reader sees
    settings.remove(kThreads);
    value.setValue("0");
    EXPECT_EQ(told.size(), 1u);
    EXPECT_TRUE(settings.contains(kThreads));

    EnvironmentPropertyValue unbound(nullptr, settings);
    unbound.setChangedHandler([&](EnvironmentPropertyValue *changed) { told.push_back(changed); });
    unbound.setValue("x");
    EXPECT_EQ(unbound.value(), "");
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(settings.keys(), QStringList{kThreads});
}

TEST_F(EnvironmentValue, WritesReachTheFileWhenTheStoreSynchronizes) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    QString file = directory.filePath("environment_settings.xml");
    settings.setPath(file);
    EnvironmentPropertyValue(&definition, settings).setValue("6");
    ASSERT_TRUE(settings.synchronize());

    Settings reader;
    reader.setPath(file);
    ASSERT_TRUE(reader.load());
    EXPECT_EQ(EnvironmentPropertyValue(&definition, reader).value(), "6");
}

} // namespace
