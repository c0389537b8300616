#include "forth/cell.h"
#include "forth/forthexception.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

// Runs f and returns the THROW code and text it failed with.
std::pair<long, std::string> failure(const std::function<void()> &f) {
    try {
        f();
    } catch (const ForthException &error) {
        return {error.code(), error.text()};
    }
    return {0, "no exception"};
}

TEST(ForthCell, IntegerArithmeticWrapsLikeTheMachine) {
    EXPECT_EQ(cellAdd(Cell::integer(2), Cell::integer(3)).i, 5);
    EXPECT_EQ(cellAdd(Cell::integer(INT64_MAX), Cell::integer(1)).i, INT64_MIN);
    EXPECT_EQ(cellSubtract(Cell::integer(INT64_MIN), Cell::integer(1)).i, INT64_MAX);
    // An empty (never written) cell reads as 0.
    Cell sum = cellAdd(Cell(), Cell::integer(7));
    EXPECT_EQ(sum.type, CellType::Integer);
    EXPECT_EQ(sum.i, 7);
}

TEST(ForthCell, AddressArithmeticKeepsTheRegion) {
    PMemory a("A", 4), b("B", 4);
    Cell right = cellAdd(Cell::dataAddress(&a, 1), Cell::integer(2));
    EXPECT_EQ(right.type, CellType::DataAddress);
    EXPECT_EQ(right.region, &a);
    EXPECT_EQ(right.i, 3);
    Cell left = cellAdd(Cell::integer(2), Cell::dataAddress(&a, 1));
    EXPECT_EQ(left.region, &a);
    EXPECT_EQ(left.i, 3);
    Cell back = cellSubtract(Cell::dataAddress(&a, 1), Cell::integer(3));
    EXPECT_EQ(back.type, CellType::DataAddress);
    EXPECT_EQ(back.i, -2);
    Cell distance = cellSubtract(Cell::dataAddress(&a, 3), Cell::dataAddress(&a, 1));
    EXPECT_EQ(distance.type, CellType::Integer);
    EXPECT_EQ(distance.i, 2);
    EXPECT_EQ(cellCompare(Cell::dataAddress(&a, 1), Cell::dataAddress(&a, 2)), -1);

    std::pair<long, std::string> mismatch{-24, "invalid operand combination"};
    EXPECT_EQ(failure([&] { cellSubtract(Cell::dataAddress(&a, 3), Cell::dataAddress(&b, 1)); }),
              mismatch);
    EXPECT_EQ(failure([&] { cellAdd(Cell::dataAddress(&a, 0), Cell::dataAddress(&a, 0)); }),
              mismatch);
    EXPECT_EQ(failure([&] { cellSubtract(Cell::integer(1), Cell::dataAddress(&a, 0)); }), mismatch);
    EXPECT_EQ(failure([&] { cellCompare(Cell::dataAddress(&a, 0), Cell::dataAddress(&b, 0)); }),
              mismatch);
}

TEST(ForthCell, OtherTypeCombinationsAreRejected) {
    PColonChild word("DUP", WordKind::Primitive, Behaviour::Native);
    std::pair<long, std::string> mismatch{-24, "invalid operand combination"};
    EXPECT_EQ(failure([] { cellAdd(Cell::real(1.5), Cell::integer(1)); }), mismatch);
    EXPECT_EQ(failure([] { cellAdd(Cell::real(1.5), Cell::real(1)); }), mismatch);
    EXPECT_EQ(failure([] { cellAdd(Cell::string("a"), Cell::real(1)); }), mismatch);
    EXPECT_EQ(failure([&] { cellAdd(Cell::codeAddress(&word), Cell::integer(1)); }), mismatch);
    // Offsets into two different texts do not compare or subtract.
    EXPECT_EQ(failure([] { cellCompare(Cell::string("a"), Cell::string("b")); }), mismatch);
    EXPECT_EQ(failure([] { cellSubtract(Cell::string("a"), Cell::string("a")); }), mismatch);
}

// A string cell is a character address: it moves by integers and stays on its text.
TEST(ForthCell, StringCellsAreCharacterAddresses) {
    Cell text = Cell::string("hello");
    Cell moved = cellAdd(Cell::integer(2), text);
    EXPECT_EQ(moved.type, CellType::String);
    EXPECT_EQ(moved.str, text.str);
    EXPECT_EQ(moved.i, 2);
    EXPECT_EQ(cellText(moved), "llo");
    EXPECT_EQ(cellText(cellAdd(text, Cell::integer(9))), "");
    EXPECT_EQ(cellText(cellSubtract(moved, Cell::integer(1))), "ello");
    EXPECT_EQ(cellSubtract(moved, text).i, 2);
    EXPECT_LT(cellCompare(text, moved), 0);
    EXPECT_FALSE(cellEquals(text, moved));
    EXPECT_TRUE(cellEquals(cellAdd(text, Cell::integer(2)), moved));
    EXPECT_EQ(text.str->refs, 2) << "copies share the text";
}

TEST(ForthCell, TypedReadsNameWhatWasExpected) {
    PMemory region("R", 1);
    PColonChild word("W", WordKind::Ordinary, Behaviour::Colon);
    EXPECT_EQ(failure([] { Cell::real(1).toInteger(); }),
              std::make_pair(-24L, std::string("unrelocated literal required")));
    EXPECT_EQ(failure([&] { Cell::dataAddress(&region, 0).toInteger(); }),
              std::make_pair(-24L, std::string("unrelocated literal required")));
    EXPECT_EQ(failure([] { Cell::integer(1).toFloat(); }),
              std::make_pair(-24L, std::string("float required")));
    EXPECT_EQ(failure([] { Cell::integer(1).toText(); }),
              std::make_pair(-24L, std::string("string required")));
    EXPECT_EQ(failure([&] { Cell::codeAddress(&word).toRegion(); }),
              std::make_pair(-9L, std::string("not a data address")));
    EXPECT_EQ(failure([&] { Cell::dataAddress(&region, 0).toWord(); }),
              std::make_pair(-9L, std::string("not a code address")));
    EXPECT_EQ(Cell().toInteger(), 0);
}

TEST(ForthCell, TextForms) {
    PMemory region("BUF", 4);
    PColonChild word("SQUARE", WordKind::Ordinary, Behaviour::Colon);
    PColonChild nameless("", WordKind::Ordinary, Behaviour::Colon);
    EXPECT_EQ(cellText(Cell()), "0");
    EXPECT_EQ(cellText(Cell::integer(-42)), "-42");
    EXPECT_EQ(cellText(Cell::integer(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(cellText(Cell::integer(-255), 16), "-FF");
    EXPECT_EQ(cellText(Cell::integer(5), 2), "101");
    EXPECT_EQ(cellText(Cell::real(1.5)), "1.5");
    EXPECT_EQ(cellText(Cell::real(0.1)), "0.1");
    EXPECT_EQ(cellText(Cell::real(100)), "100");
    EXPECT_EQ(cellText(Cell::real(1e20)), "1e+20");
    EXPECT_EQ(cellText(Cell::real(1.0 / 3)), "0.3333333333333333");
    EXPECT_EQ(cellText(Cell::string("text")), "text");
    EXPECT_EQ(cellText(Cell::dataAddress(&region, 0)), "#<DATA-ADDRESS BUF>");
    EXPECT_EQ(cellText(Cell::dataAddress(&region, 2)), "#<DATA-ADDRESS BUF+2>");
    EXPECT_EQ(cellText(Cell::dataAddress(&region, -1)), "#<DATA-ADDRESS BUF-1>");
    EXPECT_EQ(cellText(Cell::codeAddress(&word)), "#<CODE-ADDRESS SQUARE>");
    EXPECT_EQ(cellText(Cell::codeAddress(&nameless)), "#<CODE-ADDRESS (NONAME-CHILD)>");
}

TEST(ForthCell, EqualityComparesTypeAndValue) {
    PMemory a("A", 2);
    EXPECT_TRUE(cellEquals(Cell(), Cell::integer(0)));
    EXPECT_TRUE(cellEquals(Cell::string("ab"), Cell::string("ab")));
    EXPECT_FALSE(cellEquals(Cell::string("ab"), Cell::string("ac")));
    EXPECT_FALSE(cellEquals(Cell::integer(1), Cell::real(1)));
    EXPECT_TRUE(cellEquals(Cell::dataAddress(&a, 1), Cell::dataAddress(&a, 1)));
    EXPECT_FALSE(cellEquals(Cell::dataAddress(&a, 1), Cell::integer(1)));
}

TEST(ForthCell, StringTextIsSharedAndReleased) {
    Cell original = Cell::string("shared");
    FString *text = original.str;
    {
        Cell copy = original;
        EXPECT_EQ(copy.str, text);
        EXPECT_EQ(text->refs, 2);
        Cell moved = std::move(copy);
        EXPECT_EQ(copy.type, CellType::Empty);
        EXPECT_EQ(text->refs, 2);
        moved = Cell::integer(1);
        EXPECT_EQ(text->refs, 1);
    }
    Cell &alias = original;
    original = alias; // self-assignment keeps the text
    EXPECT_EQ(original.str->text, "shared");
}

TEST(ForthMemory, AccessIsCheckedAgainstTheAllottedSize) {
    PMemory region("A", 2);
    region.store(1, Cell::integer(9));
    EXPECT_EQ(region.fetch(1).i, 9);
    EXPECT_EQ(failure([&] { region.fetch(2); }),
              std::make_pair(-9L, std::string("cell fetch outside allotted region")));
    EXPECT_EQ(failure([&] { region.fetch(-1); }),
              std::make_pair(-9L, std::string("cell fetch outside allotted region")));
    EXPECT_EQ(failure([&] { region.store(2, Cell()); }),
              std::make_pair(-9L, std::string("cell store outside allotted region")));
    EXPECT_EQ(failure([&] { region.store(INT64_MIN, Cell()); }),
              std::make_pair(-9L, std::string("cell store outside allotted region")));
}

} // namespace
