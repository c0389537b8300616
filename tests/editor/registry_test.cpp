// The parser registry: every start-up registration, file-name and extension lookup, language
// names; and isCodePosition of the parsers that answer it.

#include "editor/codeeditcparser.h"
#include "editor/codeeditparserregistry.h"
#include "editor/codeeditpythonparser.h"

#include <gtest/gtest.h>

namespace {

TEST(ParserRegistry, StartUpRegistrationsInMenuOrder) {
    const char *titles[] = {"&C/C++",      "&Java",  "JavaScri&pt", "&XML",
                            "&HTML",       "&VHDL",  "Link script", "XC",
                            "&Forth",      "BASIC",  "Markdown",    "&Assembly Language",
                            "&Batch File", "&qzDoc", "&DovIve",     "CMake File",
                            "Device Tree", "YAML",   "Python"};
    const auto &registrations = CodeEditParserRegistry::instance().registrations();
    ASSERT_GE(registrations.size(), std::size(titles));
    for (std::size_t i = 0; i < std::size(titles); ++i)
        EXPECT_EQ(registrations[i].title, titles[i]);
    for (const ParserRegistration &registration : registrations)
        EXPECT_TRUE(registration.parser) << registration.name.toStdString();
}

TEST(ParserRegistry, LookupByFileNameThenExtension) {
    CodeEditParserRegistry &registry = CodeEditParserRegistry::instance();
    auto language = [&](const char *path) {
        const ParserRegistration *registration = registry.registrationForFile(path);
        return registration ? registration->id.toStdString() : std::string("plain");
    };
    EXPECT_EQ(language("src/main.c"), "c");
    EXPECT_EQ(language("/x/MAIN.CPP"), "c"); // extensions in any case
    EXPECT_EQ(language("start.S"), "assembly");
    EXPECT_EQ(language("dir/CMakeLists.txt"), "cmake");
    EXPECT_EQ(language("notes.txt"), "plain");
    EXPECT_EQ(language("cmakelists.txt"), "plain"); // whole names are exact
    EXPECT_EQ(language("Makefile"), "plain");
    EXPECT_EQ(language("archive.tar.xml"), "xml");
    EXPECT_EQ(language("project.qzProject"), "xml");
    EXPECT_EQ(language(".clang-format"), "yaml");
    EXPECT_EQ(language("dir.c/readme"), "plain");
    EXPECT_EQ(registry.parserForFile("x.py"), registry.findLanguage("python")->parser);
}

TEST(ParserRegistry, LanguageNames) {
    CodeEditParserRegistry &registry = CodeEditParserRegistry::instance();
    EXPECT_EQ(registry.findLanguage("c/c++"), registry.findLanguage("C"));
    EXPECT_EQ(registry.findLanguage("Assembly Language")->id, "assembly");
    EXPECT_EQ(registry.findLanguage("&Assembly Language"), nullptr);
    EXPECT_EQ(registry.findLanguage("cobol"), nullptr);
    EXPECT_EQ(registry.findLanguage(""), nullptr);
}

TEST(ParserRegistry, StandardParsersSayWhatTheyAre) {
    CodeEditParserRegistry &registry = CodeEditParserRegistry::instance();
    EXPECT_TRUE(registry.findLanguage("c")->parser->isStandardParser());
    EXPECT_TRUE(registry.findLanguage("batch")->parser->isStandardParser());
    EXPECT_FALSE(registry.findLanguage("python")->parser->isStandardParser());
    EXPECT_EQ(registry.findLanguage("c")->parser->bracketPattern(), "\\{\\}\\[\\]\\(\\)");
}

TEST(IsCodePosition, OutsideCommentsAndStrings) {
    CodeEditCParser c;
    QString line = "x = \"a\"; /* b */ y";
    c.setLineState(0);
    EXPECT_TRUE(c.isCodePosition(line, 0));
    EXPECT_FALSE(c.isCodePosition(line, 5));  // inside the string
    EXPECT_FALSE(c.isCodePosition(line, 4));  // its quote
    EXPECT_FALSE(c.isCodePosition(line, 11)); // the comment
    EXPECT_TRUE(c.isCodePosition(line, 17));
    EXPECT_FALSE(c.isCodePosition(line, 40)); // past the end
    // from the line's own start state, which the call leaves as it was
    c.setLineState(CodeEditStandardParser::BlockComment);
    EXPECT_FALSE(c.isCodePosition("a */ b", 0));
    EXPECT_TRUE(c.isCodePosition("a */ b", 5));
    EXPECT_EQ(c.lineState(), std::uint32_t(CodeEditStandardParser::BlockComment));
    CodeEditPythonParser python;
    EXPECT_FALSE(python.isCodePosition("s = 'x'  # c", 10));
    EXPECT_TRUE(python.isCodePosition("s = 'x'  # c", 0));
}

} // namespace
