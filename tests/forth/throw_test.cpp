#include "forthrunner.h"

#include <gtest/gtest.h>

namespace {

struct CodeRow {
    long code;
    const char *message;
};

// The rows a slip would most likely get wrong: the two abort codes, the stack pair whose order
// is the reverse of the usual table's, the misspelt message users already see, the highest
// code, and codes without an entry (gaps, positive, far below).
const CodeRow kTable[] = {
    {-1, "abort thrown"},           {-2, "abort thrown"},
    {-3, "stack underflow"},        {-4, "stack overflow"},
    {-5, "return stack overflow"},  {-6, "return stack underflow"},
    {-30, "olsolescent feature"},   {-57, "receive/transmit exception"},
    {-270, "sealed definition"},    {-8, "-8 THROW undefined"},
    {-11, "-11 THROW undefined"},   {7, "7 THROW undefined"},
    {-300, "-300 THROW undefined"},
};

TEST(ForthThrow, MessageTable) {
    for (const CodeRow &row : kTable) {
        EXPECT_EQ(ForthException::codeMessage(row.code), row.message) << row.code;
        // THROW raises exactly that code, with the table's message.
        ForthRun run = runForth(std::to_string(row.code) + " THROW");
        EXPECT_EQ(run.code, row.code);
        EXPECT_EQ(run.message, row.message);
    }
}

TEST(ForthThrow, TextOfTheAbortingWordsReplacesTheMessage) {
    EXPECT_EQ(ForthException(-1, "i/o error 2").message(), "i/o error 2");
    EXPECT_EQ(ForthException(-13, "FOO").message(), "undefined word: FOO");
    expectFailure(": CHECK 0< ABORT\" negative value\" ; 5 CHECK -5 CHECK", -2, "negative value");
    expectFailure("ABORT", -1, "abort thrown");
}

TEST(ForthThrow, ZeroThrowDoesNothing) {
    ForthRun run = runForth("1 0 THROW .");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "1 ");
}

TEST(ForthThrow, CatchReturnsTheCodeAndRestoresTheStacks) {
    ForthRun run = runForth(": FAIL 1 2 3 >R >R -77 THROW ; "
                            ": TRY 10 ['] FAIL CATCH . DEPTH . . ; TRY");
    EXPECT_EQ(run.code, 0) << run.message;
    EXPECT_EQ(run.out, "-77 1 10 ");
    // Engine errors are caught like THROW.
    run = runForth(": DIV ['] / CATCH ; 1 0 DIV . DEPTH .");
    EXPECT_EQ(run.out, "-10 2 ");
    run = runForth(": GOOD 5 ; ' GOOD CATCH . .");
    EXPECT_EQ(run.out, "0 5 ");
    // A loop left by an exception does not leave its frame behind.
    run = runForth(": BODY 10 0 DO I 3 = IF -1 THROW THEN LOOP ; "
                   ": RUNS 2000 0 DO ['] BODY CATCH DROP LOOP ; RUNS .\" done\"");
    EXPECT_EQ(run.code, 0) << run.message;
    EXPECT_EQ(run.out, "done");
}

TEST(ForthThrow, NestedCatchIsBounded) {
    // Each level catches the level below it; the deepest CATCH finds the frames full.
    ForthRun run = runForth("VARIABLE XT : NEST XT @ CATCH ; ' NEST XT ! NEST DEPTH .");
    EXPECT_EQ(run.code, 0) << run.message;
    EXPECT_EQ(run.out, "128 ");
    FSContext context;
    runForth(context, "VARIABLE XT : NEST XT @ CATCH ; ' NEST XT ! NEST");
    ASSERT_EQ(context.depth(), 128);
    EXPECT_EQ(context.peek(127).i, -53);
    EXPECT_EQ(context.peek(0).i, 0);
}

TEST(ForthThrow, CatchNeedsACodeAddress) {
    expectFailure("5 CATCH", -9, "invalid address: not a code address");
}

} // namespace
