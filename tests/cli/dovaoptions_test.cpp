// The command line as dova reads it, before any file is touched.

#include "app/dovaoptions.h"
#include "core/hexception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SymbolDefinitions symbolsOf(const std::vector<std::string> &values) {
    SymbolDefinitions symbols;
    for (const std::string &value : values)
        addSymbolDefinitions(symbols, value);
    return symbols;
}

TEST(DovaSymbols, EscapesEmptyItemsAndLaterDefinitions) {
    EXPECT_EQ(symbolsOf({"A=1;B\\;C=2"}), (SymbolDefinitions{{"A", "1"}, {"B;C", "2"}}));
    EXPECT_EQ(symbolsOf({"X=1", "X=2"}), (SymbolDefinitions{{"X", "2"}}));
    EXPECT_EQ(symbolsOf({"X=1;Y=5;X=3"}), (SymbolDefinitions{{"X", "3"}, {"Y", "5"}}));
    EXPECT_EQ(symbolsOf({";;A=1;;"}), (SymbolDefinitions{{"A", "1"}}));
    // Every "=" cuts; empty pieces go and pieces after the value are ignored.
    EXPECT_EQ(symbolsOf({"A==1=2"}), (SymbolDefinitions{{"A", "1"}}));
    EXPECT_EQ(symbolsOf({"P=\\\\x;Q=y\\"}), (SymbolDefinitions{{"P", "\\x"}, {"Q", "y\\"}}));
    EXPECT_EQ(symbolsOf({"E=a\\=b"}), (SymbolDefinitions{{"E", "a"}}));
    EXPECT_TRUE(symbolsOf({"", ";"}).empty());
}

TEST(DovaSymbols, ANameWithoutValueIsRefused) {
    for (const char *value : {"LONE", "A=1;LONE", "LONE=", "=", "=5"}) {
        SymbolDefinitions symbols;
        EXPECT_THROW(addSymbolDefinitions(symbols, value), HException) << value;
    }
}

TEST(DovaOptionsParse, ValuesListsAndPositionals) {
    DovaOptions options = parseDovaOptions({"-memory-map-macros",
                                            "A=1",
                                            "first.ld",
                                            "-memory-map-macros",
                                            "B=2;C=3",
                                            "-section-placment-macros",
                                            "P=1",
                                            "-section-placement-macros",
                                            "Q=2",
                                            "-target",
                                            "riscv",
                                            "-memory-map-file",
                                            "a.xml",
                                            "-memory-map-file",
                                            "b.xml",
                                            "-check-segment-overflow",
                                            "-check-section-overflow",
                                            "-no-check-unplaced-sections",
                                            "-disable-missing-runin-error",
                                            "-stack-sizes",
                                            "-vantrel",
                                            "-verbose"});
    EXPECT_EQ(options.memoryMapMacros, "A=1;B=2;C=3");
    EXPECT_EQ(options.sectionPlacementMacros, "P=1;Q=2");
    EXPECT_EQ(options.memoryMapFile, "b.xml");
    EXPECT_EQ(options.target, TargetProcessor::RiscV);
    EXPECT_EQ(options.positional, std::vector<std::string>{"first.ld"});
    EXPECT_TRUE(options.checkSegmentOverflow && options.checkSectionOverflow);
    EXPECT_FALSE(options.checkUnplacedSections);
    EXPECT_FALSE(options.missingRunInIsError);
    EXPECT_TRUE(options.stackSizes && options.vantrel && options.verbose);
    EXPECT_TRUE(options.complete());

    DovaOptions defaults = parseDovaOptions({"out.ld", "-memory-map-segments", "R 0 1 RW"});
    EXPECT_EQ(defaults.target, TargetProcessor::Arm);
    EXPECT_TRUE(defaults.checkUnplacedSections && defaults.missingRunInIsError);
    EXPECT_FALSE(defaults.checkSegmentOverflow || defaults.verbose || defaults.vantrel);
    EXPECT_TRUE(defaults.complete());
    // An empty argument is a positional one.
    EXPECT_FALSE(parseDovaOptions({"-memory-map-file", "m.xml", "", "out.ld"}).complete());
}

TEST(DovaUsage, OptionColumnIsPaddedTo36) {
    std::string usage = dovaUsage();
    EXPECT_EQ(usage.rfind("Palindor dova - Release 1.0.0\n", 0), 0u);
    EXPECT_NE(usage.find("\nUsage:\n\n  dova -memory-map-file <memory-map> [options] "
                         "<ld-script>\n\n  -symbols <symbol-definitions>       Add symbol"),
              std::string::npos);
    EXPECT_NE(usage.find("\n  -section-placement-macros <macros>  Define section placement"),
              std::string::npos);
    EXPECT_EQ(usage.substr(usage.size() - 60),
              "  -verbose                            Enable verbose output\n");
}

} // namespace
