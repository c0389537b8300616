// Symbol definitions as dova reads them from its command line.

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

} // namespace
