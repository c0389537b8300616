#include "forthrunner.h"

#include <gtest/gtest.h>

namespace {

struct Mismatch {
    const char *source;
    const char *text;
};

// Every control-structure error: code -22 and the exact text.
const Mismatch kMismatches[] = {
    {": X IF ;", "no <colon-sys> on control stack; unterminated control structure?"},
    {": X BEGIN ;", "no <colon-sys> on control stack; unterminated control structure?"},
    {": X 3 0 DO ;", "no <colon-sys> on control stack; unterminated control structure?"},
    {": X IF DOES> ;", "no <colon-sys> on control stack; unterminated control structure?"},
    // A structure rolled below the colon-sys is still open when the definition ends.
    {": X IF [ 1 CS-ROLL ] ;", "no <colon-sys> on control stack; unterminated control structure?"},
    {"THEN", "no <orig> on control stack; missing IF?"},
    {": X THEN ;", "no <orig> on control stack; missing IF?"},
    {": X ELSE ;", "no <orig> on control stack; missing IF?"},
    {": X BEGIN THEN ;", "no <orig> on control stack; missing IF?"},
    {": X WHILE ;", "no <dest> on control stack; missing BEGIN?"},
    {": X UNTIL ;", "no <dest> on control stack; missing BEGIN?"},
    {": X AGAIN ;", "no <dest> on control stack; missing BEGIN?"},
    {": X IF AGAIN ;", "no <dest> on control stack; missing BEGIN?"},
    {": X BEGIN REPEAT ;", "no <orig> on control stack; missing WHILE?"},
    {": X IF REPEAT ;", "no <dest> on control stack, missing BEGIN?"},
    {": X LOOP ;", "no <do-sys> on control stack; missing DO?"},
    {": X +LOOP ;", "no <do-sys> on control stack; missing DO?"},
    {": X BEGIN LOOP ;", "no <do-sys> on control stack; missing DO?"},
    {": X LEAVE ;", "LEAVE not in DO-LOOP"},
    {": X I ;", "I not in DO-LOOP"},
    {"I", "I not in DO-LOOP"},
    {": X J ;", "J not in DO-LOOP"},
    {": X OF ;", "OF not within CASE"},
    {": X ENDOF ;", "ENDOF not matched with OF"},
    {": X CASE ENDOF ;", "ENDOF not matched with OF"},
    {": X ENDCASE ;", "ENDCASE not matched with CASE"},
    {"0 CS-ROLL", "control stack underflow"},
    {": X [ 1 CS-ROLL ] ;", "control stack underflow"},
    {"0 CS-PICK", "CS-PICK outside stack"},
    {": X [ 1 CS-PICK ] ;", "CS-PICK outside stack"},
    {": X [ : Y", "definition already in progress"},
};

TEST(ForthControlStack, MissingItemsThrowMinus22WithTheirText) {
    for (const Mismatch &row : kMismatches) {
        ForthRun run = runForth(row.source);
        EXPECT_EQ(run.code, -22) << row.source;
        EXPECT_EQ(run.text, row.text) << row.source;
        EXPECT_EQ(run.message, std::string("control structure mismatch: ") + row.text)
            << row.source;
    }
}

TEST(ForthControlStack, SemicolonOutsideADefinition) {
    EXPECT_EQ(runForth(";").code, -256);
    EXPECT_EQ(runForth(";").message, "no current definition");
    EXPECT_EQ(runForth(": X [ ;").code, -256);
}

TEST(ForthControlStack, CompileOnlyWordsOutsideADefinition) {
    for (const char *source : {"IF", "BEGIN", "1 0 DO", "CASE", "EXIT", "RECURSE", "AHEAD"}) {
        ForthRun run = runForth(source);
        EXPECT_EQ(run.code, -14) << source;
        EXPECT_EQ(run.message, "interpreting a compile-only word") << source;
    }
}

TEST(ForthControlStack, OverflowThrowsMinus22) {
    std::string source = ": X";
    for (int k = 0; k < 1100; ++k)
        source += " IF";
    ForthRun run = runForth(source);
    EXPECT_EQ(run.code, -22);
    EXPECT_EQ(run.text, "control stack overflow");
}

TEST(ForthControlStack, NoItemOutlivesItsDefinition) {
    FSContext context;
    EXPECT_EQ(runForth(context, ": A IF [ 1 CS-ROLL ] ;").code, -22);
    EXPECT_EQ(runForth(context, ": B THEN ;").text, "no <orig> on control stack; missing IF?");
    // Caught inside CATCH, an open structure stays with its definition only.
    ForthRun run = runForth(context, ": E S\" : Q BEGIN NOPE\" EVALUATE ; ' E CATCH . ; "
                                     "1 2 + .");
    EXPECT_EQ(run.code, -22);
    EXPECT_EQ(runForth(context, ": C 1 2 AGAIN ;").text,
              "no <dest> on control stack; missing BEGIN?");
}

TEST(ForthControlStack, ErrorsLeaveTheEngineUsable) {
    FSContext context;
    EXPECT_EQ(runForth(context, ": BROKEN IF ;").code, -22);
    // The failed definition was not linked and compilation ended.
    EXPECT_EQ(runForth(context, "BROKEN").code, -13);
    EXPECT_EQ(runForth(context, ": OK 1 IF 2 THEN ; OK .").out, "2 ");
}

TEST(ForthControlStack, StructuresResolveByKind) {
    // Two WHILEs: REPEAT takes the latest <orig>, THEN the earlier one.
    ForthRun run = runForth(": X BEGIN DUP WHILE DUP 5 < WHILE 1+ REPEAT .\" big\" THEN DROP ; "
                            "0 X 1 X 9 X");
    EXPECT_EQ(run.code, 0) << run.message;
    EXPECT_EQ(run.out, "bigbig");
    // A WHILE of our own, the way such words are usually made.
    run = runForth(": MYWHILE POSTPONE IF 1 CS-ROLL ; IMMEDIATE "
                   ": X BEGIN DUP MYWHILE 1- REPEAT ; 3 X .");
    EXPECT_EQ(run.code, 0) << run.message;
    EXPECT_EQ(run.out, "0 ");
}

} // namespace
