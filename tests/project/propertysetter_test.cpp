#include "project/propertysetter.h"

#include "fakepropertynode.h"
#include "project/projectpropertyvalue.h"
#include "project/propertyclass.h"
#include "project/propertyregistry.h"

#include <gtest/gtest.h>

namespace {

using Kind = PropertyNode::Kind;

// Sets its companion to the upper-case form of its own text; empty text leaves it alone.
class UpperBuddyClass : public PropertyClass {
public:
    UpperBuddyClass(std::string name, std::string buddy)
        : PropertyClass(std::move(name), PropertyType::String) {
        setBuddyName(std::move(buddy));
    }
    bool getBuddyValue(const std::string &text, std::string &buddyValue) const override {
        ++m_asked;
        if (text.empty())
            return false;
        buddyValue = text;
        for (char &c : buddyValue)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return true;
    }
    mutable int m_asked = 0;
};

// Reads back what this node holds, which is all the set operation needs.
class StoredValue : public ProjectPropertyValue {
public:
    using ProjectPropertyValue::ProjectPropertyValue;
    std::unique_ptr<PropertyValue> clone() const override {
        return std::make_unique<StoredValue>(*this);
    }
    std::string value() const override {
        return node().storedValue(configuration(), propertyClass()->name()).value_or("");
    }
};

class PropertySetterTest : public ::testing::Test {
protected:
    PropertySetterTest() {
        m_setter.addListener([this](PropertyNode &node, const PropertyClass &definition,
                                    const std::string &configuration) {
            m_heard.push_back(definition.name() + "@" + configuration);
            EXPECT_EQ(&node, &m_file);
        });
        m_text = m_registry.add(std::make_unique<PropertyClass>("text", PropertyType::String));
        m_macros =
            m_registry.add(std::make_unique<PropertyClass>("macros", PropertyType::StringList));
    }

    PropertyRegistry m_registry;
    PropertySetter m_setter{m_registry};
    FakePropertyNode m_project{Kind::Project, nullptr, "Executable"};
    FakePropertyNode m_file{Kind::File, &m_project};
    const PropertyClass *m_text;
    const PropertyClass *m_macros;
    std::vector<std::string> m_heard;
};

TEST_F(PropertySetterTest, AChangeIsStoredRecordedAndAnnounced) {
    const QDateTime before = QDateTime::currentDateTimeUtc();
    m_setter.setProjectFlag(true);
    m_setter.set(m_file, *m_text, "Debug", std::string("one"));

    EXPECT_EQ(m_file.storedValue("Debug", "text"), "one");
    EXPECT_EQ(m_file.storedValue("Common", "text"), std::nullopt);
    EXPECT_TRUE(m_file.isModified());
    EXPECT_EQ(m_heard, std::vector<std::string>{"text@Debug"});
    ASSERT_EQ(m_setter.history().count(), 1u);
    const PropertyHistoryRecord &record = m_setter.history().records().front();
    EXPECT_EQ(record.node, &m_file);
    EXPECT_EQ(record.definition, m_text);
    EXPECT_EQ(record.configuration, "Debug");
    EXPECT_EQ(record.oldText, std::nullopt);
    EXPECT_FALSE(record.wasModified);
    EXPECT_TRUE(record.projectFlag);
    EXPECT_LE(before, record.when);
    EXPECT_LE(record.when, QDateTime::currentDateTimeUtc());

    m_setter.setProjectFlag(false);
    m_setter.set(m_file, *m_text, "Debug", std::string("two"));
    ASSERT_EQ(m_setter.history().count(), 2u);
    EXPECT_EQ(m_setter.history().records()[1].oldText, "one");
    EXPECT_TRUE(m_setter.history().records()[1].wasModified);
    EXPECT_FALSE(m_setter.history().records()[1].projectFlag);
    EXPECT_EQ(m_file.m_macrosChanged, 0);
}

TEST_F(PropertySetterTest, AnUnchangedTextAddsNoRecordButStillMarksTheNode) {
    m_file.storeValue("Common", "text", std::string("same"));
    m_setter.set(m_file, *m_text, "Common", std::string("same"));
    EXPECT_EQ(m_setter.history().count(), 0u);
    EXPECT_TRUE(m_file.isModified());
    EXPECT_EQ(m_heard.size(), 1u);

    // Empty is a value of its own, distinct from none.
    m_setter.set(m_file, *m_text, "Release", std::string());
    EXPECT_EQ(m_file.storedValue("Release", "text"), "");
    EXPECT_EQ(m_setter.history().count(), 1u);
}

TEST_F(PropertySetterTest, NoTextRemovesTheValue) {
    m_file.storeValue("Debug", "text", std::string("kept"));
    m_setter.set(m_file, *m_text, "Debug", std::nullopt);
    EXPECT_EQ(m_file.storedValue("Debug", "text"), std::nullopt);
    ASSERT_EQ(m_setter.history().count(), 1u);
    EXPECT_EQ(m_setter.history().records().front().oldText, "kept");

    // Removing what is not there changes nothing worth recording.
    m_setter.set(m_file, *m_text, "Debug", std::nullopt);
    EXPECT_EQ(m_setter.history().count(), 1u);
}

TEST_F(PropertySetterTest, SettingMacrosRefreshesTheProjectMacros) {
    m_setter.set(m_file, *m_macros, "Common", std::string("A=1"));
    EXPECT_EQ(m_file.m_macrosChanged, 1);
    m_setter.set(m_file, *m_text, "Common", std::string("A=1"));
    EXPECT_EQ(m_file.m_macrosChanged, 1);
}

TEST_F(PropertySetterTest, TheCompanionIsSetOnceAndNotChained) {
    auto *first = static_cast<UpperBuddyClass *>(
        m_registry.add(std::make_unique<UpperBuddyClass>("first", "second")));
    auto *second = static_cast<UpperBuddyClass *>(
        m_registry.add(std::make_unique<UpperBuddyClass>("second", "third")));
    m_registry.add(std::make_unique<PropertyClass>("third", PropertyType::String));

    StoredValue value(first, m_setter, m_file, "Debug");
    value.setValue("abc");
    EXPECT_EQ(value.value(), "abc");
    EXPECT_EQ(m_file.storedValue("Debug", "second"), "ABC");
    EXPECT_EQ(m_file.storedValue("Debug", "third"), std::nullopt);
    EXPECT_EQ(second->m_asked, 0);
    EXPECT_EQ(m_heard, (std::vector<std::string>{"first@Debug", "second@Debug"}));
    EXPECT_EQ(m_setter.history().count(), 2u);

    // A definition that declines leaves its companion alone.
    value.setValue("");
    EXPECT_EQ(m_file.storedValue("Debug", "second"), "ABC");
    EXPECT_EQ(first->m_asked, 2);

    // A companion that is not registered is skipped.
    auto *orphan = static_cast<UpperBuddyClass *>(
        m_registry.add(std::make_unique<UpperBuddyClass>("orphan", "missing")));
    StoredValue(orphan, m_setter, m_file, "Debug").setValue("x");
    EXPECT_EQ(m_file.storedValue("Debug", "missing"), std::nullopt);
    EXPECT_EQ(m_file.storedValue("Debug", "orphan"), "x");
}

} // namespace
