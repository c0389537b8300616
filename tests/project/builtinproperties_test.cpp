// Every built-in definition against the listing in tests/data/project/builtin-properties.txt:
// the expectations come from that text, so a row mistyped in the tables cannot agree with it.
#include "project/builtinproperties.h"

#include "../support/golden.h"
#include "project/macroexpander.h"
#include "project/macropropertyclass.h"
#include "project/propertyregistry.h"
#include "project/systemmacros.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace {

struct Expectation {
    int line = 0;
    std::string page;
    std::vector<std::string> groups;
    std::string name;
    bool macro = false;
    std::optional<unsigned> code;
    std::optional<std::string> defaultValue;
    std::optional<int> order;
    std::optional<std::vector<std::string>> choices;
    std::optional<std::string> choicePrefix;
    std::optional<std::string> filter;
    std::optional<std::string> title;
    std::optional<std::string> projectType;
    std::optional<std::pair<unsigned, unsigned>> range;
    std::vector<std::string> helpParts;
};

struct Listing {
    std::map<std::string, unsigned> typeCodes; // type name -> code
    std::vector<Expectation> rows;
};

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// A quoted text at the start of `text` (a backslash quotes the next character); nothing when
// `text` is not exactly one quoted text.
std::optional<std::string> unquote(std::string_view text) {
    if (text.size() < 2 || text.front() != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == '"') {
            if (i + 1 != text.size())
                return std::nullopt;
            return out;
        } else {
            out += text[i];
        }
    }
    return std::nullopt;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::optional<int> integer(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    try {
        const int value = std::stoi(std::string(text), &used);
        if (used == text.size())
            return value;
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

// The annotation's parts: commas outside quoted texts separate them.
std::vector<std::string> splitParts(std::string_view annotation) {
    std::vector<std::string> parts;
    std::string part;
    bool inQuote = false;
    for (std::size_t i = 0; i < annotation.size(); ++i) {
        const char c = annotation[i];
        if (inQuote && c == '\\' && i + 1 < annotation.size()) {
            part += c;
            part += annotation[++i];
            continue;
        }
        if (c == '"')
            inQuote = !inQuote;
        if (c == ',' && !inQuote) {
            parts.push_back(trim(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(trim(part));
    return parts;
}

void applyAnnotation(const Listing &listing, std::string_view annotation, Expectation &row) {
    bool inChoices = false;
    for (const std::string &part : splitParts(annotation)) {
        auto fail = [&] {
            ADD_FAILURE() << "line " << row.line << ": cannot read \"" << part << "\"";
        };
        auto take = [&](std::string_view prefix) {
            auto text = unquote(std::string_view(part).substr(prefix.size()));
            if (!text)
                fail();
            return text.value_or(std::string());
        };
        if (auto text = unquote(part)) {
            if (inChoices)
                row.choices->push_back(*text);
            else
                row.defaultValue = *text;
            continue;
        }
        inChoices = false;
        if (startsWith(part, "default ")) {
            row.defaultValue = take("default ");
        } else if (startsWith(part, "order ")) {
            row.order = integer(part.substr(6));
            if (!row.order)
                fail();
        } else if (auto order = integer(part)) {
            row.order = order;
        } else if (startsWith(part, "choices start with ")) {
            row.choicePrefix = take("choices start with ");
        } else if (startsWith(part, "choices ")) {
            row.choices = std::vector<std::string>{take("choices ")};
            inChoices = true;
        } else if (startsWith(part, "filter ")) {
            row.filter = take("filter ");
        } else if (startsWith(part, "title ")) {
            row.title = take("title ");
        } else if (startsWith(part, "help ")) {
            row.helpParts.push_back(take("help "));
        } else if (startsWith(part, "group ")) {
            row.groups = {take("group ")};
        } else if (startsWith(part, "project type ")) {
            row.projectType = take("project type ");
        } else if (startsWith(part, "code ")) {
            auto code = integer(part.substr(5));
            if (!code)
                fail();
            row.code = unsigned(code.value_or(0));
        } else {
            std::istringstream words(part);
            std::string typeName, range;
            words >> typeName >> range;
            auto found = listing.typeCodes.find(typeName);
            if (found == listing.typeCodes.end()) {
                fail();
                continue;
            }
            row.code = found->second;
            const auto dots = range.find("..");
            if (dots != std::string::npos)
                row.range = {unsigned(std::stoul(range.substr(0, dots))),
                             unsigned(std::stoul(range.substr(dots + 2)))};
        }
    }
}

void readGroupLine(Listing &listing, const std::string &line, int lineNumber) {
    const auto slash = line.find(" / ");
    const auto colon = line.find(": ", slash);
    ASSERT_NE(slash, std::string::npos) << "line " << lineNumber;
    ASSERT_NE(colon, std::string::npos) << "line " << lineNumber;
    Expectation shared;
    shared.line = lineNumber;
    shared.page = line.substr(2, slash - 2);
    std::string groups = line.substr(slash + 3, colon - slash - 3);
    for (std::size_t at; (at = groups.find(" and ")) != std::string::npos;) {
        shared.groups.push_back(groups.substr(0, at));
        groups.erase(0, at + 5);
    }
    shared.groups.push_back(groups);
    shared.macro = shared.groups.front() == MacroPropertyClass::kBuildGroup ||
                   shared.groups.front() == MacroPropertyClass::kSystemGroup;

    std::size_t at = colon + 2;
    while ((at = line.find('`', at)) != std::string::npos) {
        const auto close = line.find('`', at + 1);
        ASSERT_NE(close, std::string::npos) << "line " << lineNumber;
        Expectation row = shared;
        row.name = line.substr(at + 1, close - at - 1);
        at = close + 1;
        if (line.compare(at, 2, " (") == 0) {
            // The annotation ends at the parenthesis that closes it outside quoted texts.
            std::size_t end = at + 2;
            int depth = 1;
            bool inQuote = false;
            for (; end < line.size() && depth; ++end) {
                if (inQuote && line[end] == '\\') {
                    ++end;
                } else if (line[end] == '"') {
                    inQuote = !inQuote;
                } else if (!inQuote) {
                    depth += line[end] == '(' ? 1 : line[end] == ')' ? -1 : 0;
                }
            }
            ASSERT_EQ(depth, 0) << "line " << lineNumber;
            applyAnnotation(listing, std::string_view(line).substr(at + 2, end - at - 3), row);
            at = end;
        }
        listing.rows.push_back(std::move(row));
    }
}

Listing readListing() {
    Listing listing;
    std::istringstream in(readFileBytes(testDataPath("project/builtin-properties.txt")));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (startsWith(line, "| ") && line.size() > 2 && std::isdigit(line[2])) {
            std::istringstream cells(line.substr(2));
            unsigned code = 0;
            std::string bar, name;
            cells >> code >> bar >> name;
            listing.typeCodes[unquote(name).value_or(name)] = code;
        } else if (startsWith(line, "- ")) {
            readGroupLine(listing, line, number);
        }
    }
    return listing;
}

class BuiltinPropertiesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sm_listing = new Listing(readListing());
        sm_macros = new MacroExpander;
        registerSystemMacros(*sm_macros, "palindor");
        sm_registry = new PropertyRegistry;
        registerBuiltinProperties(*sm_registry, sm_macros);
    }
    static void TearDownTestSuite() {
        delete sm_registry;
        delete sm_macros;
        delete sm_listing;
    }

    // The definition a row describes: the one for its project type, or the general one.
    static const PropertyClass *definitionOf(const Expectation &row) {
        const std::string name = row.macro ? "$(" + row.name + ")" : row.name;
        if (!row.projectType)
            return sm_registry->find(name);
        for (const PropertyClass *definition : sm_registry->mapped(name))
            if (definition->projectType() == *row.projectType)
                return definition;
        return nullptr;
    }

    static inline Listing *sm_listing = nullptr;
    static inline MacroExpander *sm_macros = nullptr;
    static inline PropertyRegistry *sm_registry = nullptr;
};

TEST_F(BuiltinPropertiesTest, TypeNamesAreTheListedOnes) {
    ASSERT_EQ(sm_listing->typeCodes.size(), 18u);
    for (const auto &[name, code] : sm_listing->typeCodes) {
        EXPECT_STREQ(propertyTypeName(PropertyType(code)), name.c_str());
        EXPECT_EQ(propertyTypeFromName(name), PropertyType(code)) << name;
    }
    EXPECT_STREQ(propertyTypeName(PropertyType::OutputFileName), "Unknown");
    EXPECT_STREQ(propertyTypeName(PropertyType(1000)), "Unknown");
    EXPECT_FALSE(propertyTypeFromName("Unknown"));
    EXPECT_FALSE(propertyTypeFromName("boolean")); // exact spelling only
}

TEST_F(BuiltinPropertiesTest, EveryListedRowIsRegisteredAsListed) {
    // A listing that reads as nearly nothing would make the walk below vacuous.
    ASSERT_GT(sm_listing->rows.size(), 240u);
    for (const Expectation &row : sm_listing->rows) {
        SCOPED_TRACE("line " + std::to_string(row.line) + ": " + row.name);
        const PropertyClass *definition = definitionOf(row);
        ASSERT_NE(definition, nullptr);
        EXPECT_EQ(definition->page(), row.page);
        EXPECT_NE(std::find(row.groups.begin(), row.groups.end(), definition->group()),
                  row.groups.end())
            << definition->group();
        if (row.macro) {
            EXPECT_EQ(definition->type(), PropertyType::String);
            EXPECT_EQ(definition->shortText(), definition->name());
            EXPECT_EQ(definition->defaultValue(), "");
            EXPECT_EQ(static_cast<const MacroPropertyClass *>(definition)->macroName(), row.name);
            continue;
        }
        if (row.code) {
            EXPECT_EQ(unsigned(definition->type()), *row.code);
        }
        if (row.defaultValue) {
            EXPECT_EQ(definition->defaultValue(), *row.defaultValue);
        } else if (definition->type() == PropertyType::Boolean) {
            EXPECT_EQ(definition->defaultValue(), "No");
        }
        if (row.order) {
            EXPECT_EQ(definition->order(), *row.order);
        }
        if (row.choices) {
            EXPECT_EQ(definition->choices(), *row.choices);
        } else if (definition->type() == PropertyType::Boolean) {
            EXPECT_EQ(definition->choices(), (std::vector<std::string>{"No", "Yes"}));
        }
        if (row.choicePrefix) {
            ASSERT_FALSE(definition->choices().empty());
            EXPECT_EQ(definition->choices().front(), *row.choicePrefix);
        }
        if (row.filter) {
            EXPECT_EQ(definition->filter(), *row.filter);
        }
        if (row.title) {
            EXPECT_EQ(definition->shortText(), *row.title);
        }
        for (const std::string &part : row.helpParts)
            EXPECT_NE(definition->help().find(part), std::string::npos) << part;
        if (row.range) {
            EXPECT_EQ(definition->minimum(), row.range->first);
            EXPECT_EQ(definition->maximum(), row.range->second);
        }
    }
}

TEST_F(BuiltinPropertiesTest, NothingIsRegisteredThatIsNotListed) {
    std::set<std::pair<std::string, std::string>> listed; // name, project type
    for (const Expectation &row : sm_listing->rows)
        listed.emplace(row.macro ? "$(" + row.name + ")" : row.name, row.projectType.value_or(""));
    for (const auto &definition : sm_registry->definitions()) {
        EXPECT_TRUE(listed.count({definition->name(), definition->projectType()}))
            << definition->name();
        EXPECT_FALSE(definition->shortText().empty()) << definition->name();
    }
    // Each listed row once: a row registered twice would replace itself unnoticed.
    EXPECT_EQ(sm_registry->definitions().size(), listed.size());
}

TEST_F(BuiltinPropertiesTest, EnumerationsOfferTheirDefault) {
    for (const auto &definition : sm_registry->definitions()) {
        if (definition->type() != PropertyType::Enumeration)
            continue;
        const std::vector<std::string> choices = definition->choices();
        EXPECT_FALSE(choices.empty()) << definition->name();
        // A file's type "Default" means "from the extension": a value, not a choice.
        if (!definition->defaultValue().empty() && definition->name() != "file_type") {
            EXPECT_NE(std::find(choices.begin(), choices.end(), definition->defaultValue()),
                      choices.end())
                << definition->name();
        }
    }
}

} // namespace
