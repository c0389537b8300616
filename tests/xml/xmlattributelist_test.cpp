#include "xml/xmlelement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The attributes in list order; a missing value shows as "(none)".
Pairs pairs(const XMLElement &element) {
    Pairs result;
    for (const XMLAttribute &attribute : element.getAttributeList())
        result.emplace_back(attribute.name, attribute.value.isNull()
                                                ? "(none)"
                                                : std::string(attribute.value.view()));
    return result;
}

} // namespace

TEST(XMLAttributes, InsertionOrderAndReplacementInPlace) {
    XMLElement element("Register");
    element.setAttribute("name", "CTRL");
    element.setAttribute("start", "+0x10");
    element.setAttribute("size", "4");
    element.setAttribute("start", "a longer value than before");
    element.setAttribute("name", "");
    EXPECT_EQ(pairs(element),
              (Pairs{{"name", ""}, {"start", "a longer value than before"}, {"size", "4"}}));
    element.removeAttribute("start");
    element.removeAttribute("absent");
    EXPECT_EQ(pairs(element), (Pairs{{"name", ""}, {"size", "4"}}));
    EXPECT_EQ(element.attributeCount(), 2u);
}

TEST(XMLAttributes, AbsentValueDiffersFromEmpty) {
    XMLElement element("e");
    element.setAttribute("empty", "");
    element.setAttribute("none", std::nullopt);
    element.setAttribute("null", static_cast<const char *>(nullptr));
    EXPECT_TRUE(element.hasAttribute("none"));
    EXPECT_EQ(element.getAttribute("none"), nullptr);
    EXPECT_EQ(element.getAttribute("null"), nullptr);
    ASSERT_NE(element.getAttribute("empty"), nullptr);
    EXPECT_STREQ(element.getAttribute("empty"), "");
    EXPECT_FALSE(element.hasAttribute("missing"));
    EXPECT_EQ(element.attributeOr("none", "dflt"), "dflt");
    EXPECT_EQ(element.attributeOr("empty", "dflt"), "");
    element.setAttribute("none", "now");
    EXPECT_EQ(pairs(element), (Pairs{{"empty", ""}, {"none", "now"}, {"null", "(none)"}}));
}

TEST(XMLAttributes, ValuesKeepEmbeddedNulBytesAndAliasingIsSafe) {
    XMLElement element("e");
    element.setAttribute("a", std::string_view("x\0y", 3));
    EXPECT_EQ(pairs(element), (Pairs{{"a", std::string("x\0y", 3)}}));
    // Copying a value from the list into the list may move the block under the view.
    for (int i = 0; i < 20; ++i)
        element.setAttribute("a" + std::to_string(i), (*element.getAttributeList().begin()).value);
    element.setAttribute((*element.getAttributeList().begin()).name, std::string(200, 'z'));
    EXPECT_EQ(element.attributeOr("a19"), std::string("x\0y", 3));
    EXPECT_EQ(element.attributeOr("a"), std::string(200, 'z'));
}

TEST(XMLAttributes, SetAttributesHandsOverAListAsSetAttributeWould) {
    XMLAttributeList list;
    list.append("b", "2");
    list.append("none", XMLValue());
    list.append("a", "");
    XMLElement fresh("e");
    fresh.setAttributes(list);
    EXPECT_EQ(pairs(fresh), (Pairs{{"b", "2"}, {"none", "(none)"}, {"a", ""}}));
    EXPECT_TRUE(fresh.hasAttribute("none"));
    // An element that has attributes keeps their places and gets the new ones after them.
    XMLElement merged("e");
    merged.setAttribute("a", "old");
    merged.setAttribute("c", "3");
    merged.setAttributes(list);
    EXPECT_EQ(pairs(merged), (Pairs{{"a", ""}, {"c", "3"}, {"b", "2"}, {"none", "(none)"}}));
}

TEST(XMLAttributes, ManyAttributesAgreeWithASimpleModel) {
    // Past a few dozen names the list switches to an index; it must behave the same.
    XMLElement element("e");
    std::vector<std::string> order;
    std::map<std::string, std::string> values;
    std::mt19937 random(7);
    for (int step = 0; step < 6000; ++step) {
        std::string name = "n" + std::to_string(random() % 300);
        std::string value(random() % 12, char('a' + step % 26));
        if (random() % 8 == 0) {
            element.removeAttribute(name);
            if (values.erase(name))
                order.erase(std::find(order.begin(), order.end(), name));
        } else {
            element.setAttribute(name, value);
            if (!values.count(name))
                order.push_back(name);
            values[name] = value;
        }
    }
    Pairs expected;
    for (const std::string &name : order)
        expected.emplace_back(name, values[name]);
    EXPECT_EQ(pairs(element), expected);
    for (int i = 0; i < 300; ++i) {
        std::string name = "n" + std::to_string(i);
        EXPECT_EQ(element.hasAttribute(name), values.count(name) == 1) << name;
    }
}

TEST(XMLAttributes, AnyValueContainsLooksAtValuesOnly) {
    XMLAttributeList list;
    EXPECT_FALSE(list.anyValueContains('$'));
    list.set("a$", "plain");             // in a name
    list.set("b", std::string(36, 'x')); // a length word of 0x24
    list.set("c", std::nullopt);
    EXPECT_FALSE(list.anyValueContains('$'));
    list.set("d", "tail $(X)");
    EXPECT_TRUE(list.anyValueContains('$'));
    list.remove("d");
    EXPECT_FALSE(list.anyValueContains('$'));
    list.set("b", std::string(36, 'x') + "$");
    EXPECT_TRUE(list.anyValueContains('$'));
}
