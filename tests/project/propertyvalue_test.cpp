#include "project/propertyvalue.h"

#include "project/propertyclass.h"
#include "project/simplepropertyvalue.h"

#include <gtest/gtest.h>

namespace {

TEST(PropertyValueTest, SimpleValuesKeepTheirOwnText) {
    PropertyClass definition("debug_initial_breakpoint", PropertyType::String);
    definition.setLongText("Where the program <b>first</b> stops.");
    SimplePropertyValue value(&definition, "main");
    EXPECT_EQ(value.value(), "main");
    EXPECT_EQ(value.help(), "Where the program <b>first</b> stops.");
    EXPECT_EQ(value.propertyClass(), &definition);
    EXPECT_FALSE(value.isReadOnly());
    EXPECT_TRUE(value.isModifiable());

    value.setReadOnly(true);
    std::unique_ptr<PropertyValue> copy = value.clone();
    value.setValue("reset_handler");
    EXPECT_EQ(value.value(), "reset_handler");
    EXPECT_EQ(copy->value(), "main");
    EXPECT_TRUE(copy->isReadOnly());
    EXPECT_EQ(copy->propertyClass(), &definition);

    SimplePropertyValue unbound(nullptr);
    EXPECT_EQ(unbound.help(), "");
}

TEST(PropertyValueTest, DialogValuesCloneToTheirOwnClass) {
    PropertyClass definition("x", PropertyType::String);
    DynamicFolderPropertyValue folder(&definition, "src");
    BreakpointPropertyValue breakpoint(&definition, "main");
    ChooseInfoPropertyValue info(&definition, "a");
    EXPECT_NE(dynamic_cast<DynamicFolderPropertyValue *>(folder.clone().get()), nullptr);
    EXPECT_NE(dynamic_cast<BreakpointPropertyValue *>(breakpoint.clone().get()), nullptr);
    EXPECT_NE(dynamic_cast<ChooseInfoPropertyValue *>(info.clone().get()), nullptr);
    EXPECT_EQ(folder.clone()->value(), "src");
}

TEST(PropertyValueTest, ListsKeepOrderAndFindByName) {
    PropertyClass first("first", PropertyType::String);
    PropertyClass second("second", PropertyType::String);
    PropertyValueList list;
    EXPECT_TRUE(list.empty());
    list.append(std::make_unique<SimplePropertyValue>(&second, "2"));
    list.append(std::make_unique<SimplePropertyValue>(&first, "1"));
    list.append(std::make_unique<SimplePropertyValue>(&first, "1b"));
    list.append(std::make_unique<SimplePropertyValue>(nullptr, "unbound"));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.at(0).value(), "2");
    EXPECT_EQ(list.find("first")->value(), "1");
    EXPECT_EQ(list.find("third"), nullptr);
    EXPECT_THROW(list.at(4), std::out_of_range);
}

} // namespace
