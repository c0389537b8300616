#include "forthrunner.h"

#include "forth/pcolonchild.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

namespace {

TEST(ForthNumbers, IntegerAndFloatForms) {
    expectOutputs({
        {"$FF .", "255 "},
        {"%101 .", "5 "},
        {"-#10 .", "-10 "},
        {"+7 .", "7 "},
        {"-$ff .", "-255 "},
        {"1.5E0 .", "1.5 "},
        {"2E .", "2 "},
        {"-2.5e1 .", "-25 "},
        {"1E+3 .", "1000 "},
        {"18446744073709551615 .", "-1 "},
        {"-9223372036854775808 .", "-9223372036854775808 "},
        {"HEX 1E . ff . DECIMAL", "1E FF "},
        {"2 BASE ! 101 . DECIMAL", "101 "},
        {"16 BASE ! 1E DECIMAL .", "30 "},
    });
}

TEST(ForthNumbers, WordsThatAreNotNumbers) {
    for (const char *word : {"1.5", "12x", "$", "--1", "-.", "1..", "E", "E5", "$G", "%2", "#A",
                             "18446744073709551616", "1E1E1", "0x10", "#--1", "-#-1", "'ab'", "''",
                             "340282366920938463463374607431768211456."}) {
        ForthRun run = runForth(word);
        EXPECT_EQ(run.code, -13) << word;
        EXPECT_EQ(run.message, std::string("undefined word: ") + word);
    }
}

TEST(ForthNumbers, ABadBaseIsReported) {
    ForthRun run = runForth("1 BASE ! 5");
    EXPECT_EQ(run.code, -24);
    EXPECT_EQ(runForth("S\" x\" BASE ! 5 .").code, -24);
}

TEST(ForthStacks, DataStackLimits) {
    std::string pushes;
    for (int k = 0; k < 513; ++k)
        pushes += "1 ";
    ForthRun run = runForth(pushes);
    EXPECT_EQ(run.code, -4);
    EXPECT_EQ(run.message, "stack overflow");
    FSContext context;
    runForth(context, pushes.substr(0, 512 * 2));
    EXPECT_EQ(context.depth(), 512);
    EXPECT_EQ(runForth("DROP").code, -3);
    EXPECT_EQ(runForth("1 +").code, -3);
    EXPECT_EQ(runForth(": X SWAP ; 1 X").code, -3);
}

TEST(ForthStacks, ReturnStackLimits) {
    // The return stack fails like the data stack: -4 when full, -3 when empty.
    for (const char *source : {"R>", "R@", "1 >R 2R>", "1 >R 2R@", ": X R> ; X"})
        expectFailure(source, -3, "stack underflow");
    expectFailure(": X 600 0 DO I >R LOOP ; X", -4, "stack overflow");
    // 2>R onto a nearly full stack moves nothing.
    FSContext context;
    EXPECT_THROW(context.evaluate(": X 511 0 DO I >R LOOP 1 2 2>R ; X"), ForthException);
    EXPECT_EQ(context.rdepth(), 511);
    EXPECT_EQ(context.depth(), 2);
    EXPECT_EQ(runForth("1 >R 2 >R 2R> . . ").out, "2 1 ");
}

TEST(ForthStacks, DeepRecursionEndsWithReturnStackOverflow) {
    expectFailure(": DOWN RECURSE ; DOWN", -5, "return stack overflow");
    // Recursion through EXECUTE and through DOES> words is bounded the same way.
    EXPECT_EQ(runForth("VARIABLE XT : AGAIN-XT XT @ EXECUTE ; ' AGAIN-XT XT ! AGAIN-XT").code, -5);
    EXPECT_EQ(runForth("VARIABLE XT : MAKER CREATE DOES> DROP XT @ EXECUTE ; MAKER SELF "
                       "' SELF XT ! SELF")
                  .code,
              -5);
    // 10,000 levels are fine.
    expectOutputs({{": DOWN-TO-0 DUP IF 1- RECURSE THEN ; 10000 DOWN-TO-0 .", "0 "}});
}

TEST(ForthStacks, LoopStack) {
    expectFailure(": NEST 1 0 DO RECURSE LOOP ; NEST", -7, "loop stack overflow");
    expectFailure("UNLOOP", -1, "loop stack underflow");
    expectFailure(": X 3 0 DO UNLOOP LOOP ; X", -1, "loop stack underflow");
    expectFailure(": X 3 0 DO UNLOOP 1 +LOOP ; X", -1, "loop stack underflow");
    // A LOOP left with the outer frame counts that one and goes back to its own body, where
    // the next UNLOOP empties the loop stack.
    expectOutputs({{": X 3 0 DO 5 0 DO UNLOOP I . LOOP LOOP ; ' X CATCH .", "0 -26 "}});
    // EXIT from inside a loop drops the frame with the definition.
    expectOutputs({{": FIND3 10 0 DO I 3 = IF I UNLOOP EXIT THEN LOOP -1 ; "
                    ": EARLY 10 0 DO I 3 = IF EXIT THEN LOOP ; "
                    ": MANY 5000 0 DO EARLY FIND3 DROP LOOP ; MANY FIND3 .",
                    "3 "}});
}

TEST(ForthLoops, CountedLoopsEndWhenTheIndexCrossesTheLimit) {
    expectOutputs({
        {": X 3 0 DO I . LOOP ; X", "0 1 2 "},
        {": X -1 -3 DO I . LOOP ; X", "-3 -2 "},
        // Equal start and limit: DO runs on through the whole range, ?DO skips.
        {": X 5 5 DO I . I 7 = IF LEAVE THEN LOOP ; X", "5 6 7 "},
        {": X 5 5 ?DO I . LOOP .\" none\" ; X", "none"},
        {": X 10 0 DO I . 3 +LOOP ; X", "0 3 6 9 "},
        {": X 10 0 DO I . 7 +LOOP ; X", "0 7 "},
        // A negative step includes the limit itself and stops once past it.
        {": X 0 10 DO I . -3 +LOOP ; X", "10 7 4 1 "},
        {": X 1 4 DO I . -1 +LOOP ; X", "4 3 2 1 "},
        {": X 0 3 DO I . -1 +LOOP ; X", "3 2 1 0 "},
        {": X -1 1 DO I . -1 +LOOP ; X", "1 0 -1 "},
        {": X 2 0 DO 2 0 DO J . I . LOOP LOOP ; X", "0 0 0 1 1 0 1 1 "},
        {": X 10 0 DO I 2 = IF LEAVE THEN I . LOOP .\" out\" ; X", "0 1 out"},
        // Steps that wrap the index still see the boundary.
        {": X 9223372036854775807 9223372036854775806 DO I . 10 +LOOP ; X", "9223372036854775806 "},
        {": X -9223372036854775808 -9223372036854775807 DO I . -10 +LOOP ; X",
         "-9223372036854775807 "},
        {": X 0 -2 DO I . 9223372036854775807 +LOOP ; X", "-2 "},
        // A zero step never crosses: LEAVE is the way out.
        {": X 1 0 DO I . I 0= IF LEAVE THEN 0 +LOOP ; X", "0 "},
    });
    EXPECT_EQ(runForth(": X I ; : Y 3 0 DO X . LOOP ; Y").code, -22);
    EXPECT_EQ(runForth(": X 1 0 DO J LOOP ; X").code, -26);
}

class Recorder : public FSMessageInterface {
public:
    void warning(const std::string &file, long line, const std::string &text) override {
        lines.push_back(file + ":" + std::to_string(line) + ":" + text);
    }
    std::vector<std::string> lines;
};

TEST(ForthDictionary, RedefinitionWarnings) {
    FSContext context;
    Recorder recorder;
    context.setMessageInterface(&recorder);
    runForth(context, ": DUP 1 ;");
    ASSERT_EQ(recorder.lines.size(), 1u);
    EXPECT_EQ(recorder.lines[0], ":1:redefining built-in DUP in vocabulary FORTH");
    recorder.lines.clear();
    runForth(context, ": SQ DUP * ;\n\n: SQ 2 ;");
    ASSERT_EQ(recorder.lines.size(), 2u);
    EXPECT_EQ(recorder.lines[0], ":3:redefining SQ in vocabulary FORTH");
    EXPECT_EQ(recorder.lines[1], ":1: previously defined here");
    // The new header hides the old one; the old one is still called where it was compiled.
    EXPECT_EQ(runForth(context, "5 DUP . .").out, "1 5 ");
    recorder.lines.clear();
    runForth(context, "WORDLIST SET-CURRENT : SQ 3 ;");
    EXPECT_TRUE(recorder.lines.empty()) << "another list is not a redefinition";
}

TEST(ForthDictionary, NoWarningWithoutAMessageInterface) {
    ForthRun run = runForth(": DUP 1 ; 7 DUP .");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "1 ");
}

TEST(ForthDictionary, NamesIgnoreCase) {
    EXPECT_EQ(runForth(": Square dup * ; 3 SQUARE . 4 square .").out, "9 16 ");
}

TEST(ForthDictionary, WordsMadeByDefiningWords) {
    expectOutputs({
        {"5 CONSTANT FIVE FIVE . : X FIVE 1+ ; X .", "5 6 "},
        {"VARIABLE V 3 V ! V @ . 4 V +! V @ .", "3 7 "},
        {"1 VALUE N N . 2 TO N N . : SET 3 TO N ; SET N .", "1 2 3 "},
        {": PAIR CREATE , , DOES> DUP @ SWAP 1+ @ ; 1 2 PAIR P P . .", "1 2 "},
        {"CREATE T 1 , 2 , T 1+ @ . HERE .", "2 #<DATA-ADDRESS T+2> "},
        {":NONAME 6 7 * ; EXECUTE .", "42 "},
        {":NONAME ; .", "#<CODE-ADDRESS (NONAME-CHILD)> "},
        {": I? 1 ; IMMEDIATE : Y [ I? ] LITERAL ; Y .", "1 "},
        {": EMIT-X POSTPONE DUP ; IMMEDIATE : D EMIT-X * ; 6 D .", "36 "},
    });
    expectFailure("' DUP . ' + EXECUTE", -3, "stack underflow");
}

TEST(ForthDictionary, BodyAndStoreErrors) {
    expectFailure(": W ; ' W >BODY", -1, "W does not have a PFA");
    EXPECT_EQ(runForth("' DUP >BODY").message, "DUP does not have a PFA");
    expectFailure("5 CONSTANT C 6 TO C", -268, "no store method defined: C");
    EXPECT_EQ(runForth("VARIABLE V DOES> ;").code, -14);
    expectFailure(": D DOES> 1 ; VARIABLE V D", -21,
                  "unsupported operation: DOES> needs a word made by CREATE");
}

TEST(ForthMemory, RegionsAreChecked) {
    expectFailure("CREATE A 2 ALLOT A 2 + @", -9,
                  "invalid address: cell fetch outside allotted region");
    EXPECT_EQ(runForth("CREATE A 2 ALLOT 5 A 2 + !").text, "cell store outside allotted region");
    EXPECT_EQ(runForth("CREATE A 2 ALLOT 5 A 1- !").text, "cell store outside allotted region");
    EXPECT_EQ(runForth("CREATE A 2 ALLOT A @ .").out, "0 ");
    EXPECT_EQ(runForth("5 @").text, "not a data address");
    EXPECT_EQ(runForth("CREATE A 3 ALLOT -1 ALLOT A 2 + @").code, -9);
    EXPECT_EQ(runForth("CREATE A -1 ALLOT").code, -9);
    EXPECT_EQ(runForth("UNUSED 1+ ALLOT").text, "data space exhausted");
    EXPECT_EQ(runForth("CREATE A 1 CELLS ALLOT CREATE B 1 CELLS ALLOT A B -").code, -24);
}

TEST(ForthMemory, MoveAndDoubleCells) {
    expectOutputs({
        {"CREATE A 1 , 2 , 3 , 0 , A A 1+ 3 MOVE A @ . A 3 + @ .", "1 3 "},
        {"CREATE A 1 , 2 , 3 , A 1+ A 2 MOVE A @ . A 1+ @ .", "2 3 "},
        {"CREATE A 2 ALLOT 1 2 A 2! A 2@ . . A @ .", "2 1 2 "},
        {"CREATE S 3 , 7 , 8 , 9 , S COUNT . @ .", "3 7 "},
        {"C\" abc\" COUNT . .", "3 abc "},
        {"S\" abc\" . .", "3 abc "},
    });
    EXPECT_EQ(runForth("CREATE A 2 ALLOT A A 1+ 2 MOVE").code, -9);
    EXPECT_EQ(runForth("CREATE A 2 ALLOT A 1+ A 9223372036854775807 MOVE").code, -9);
}

TEST(ForthArithmetic, EdgeCasesDoNotTrap) {
    expectOutputs({
        {"-9223372036854775808 -1 / .", "-9223372036854775808 "},
        {"-9223372036854775808 -1 MOD .", "0 "},
        {"-9223372036854775808 ABS .", "-9223372036854775808 "},
        {"1 64 LSHIFT . 1 63 LSHIFT . -1 64 RSHIFT . -1 60 RSHIFT .",
         "0 -9223372036854775808 0 15 "},
        {"-7 2 / . -7 2 MOD . 7 -2 /MOD . .", "-4 1 -4 -1 "},
        {"9223372036854775807 2 3 */ .", "6148914691236517204 "},
        {"7 2 3 */MOD . .", "4 2 "},
        {"-1 1 U< . 1 -1 U< . 1 -1 U> .", "0 -1 0 "},
        {"5 1 10 WITHIN . 10 1 10 WITHIN . -1 -5 5 WITHIN .", "-1 0 -1 "},
        {"-5 2/ . 5 2* . 6 INVERT . 6 3 XOR .", "-3 10 -7 5 "},
    });
    for (const char *source : {"1 0 /", "1 0 MOD", "1 0 /MOD", "1 1 0 */", "1 1 0 */MOD"})
        EXPECT_EQ(runForth(source).code, -10) << source;
}

TEST(ForthArithmetic, OperandTypesAreChecked) {
    EXPECT_EQ(runForth("1.5E0 1 +").text, "invalid operand combination");
    EXPECT_EQ(runForth("S\" a\" DROP 1 *").text, "unrelocated literal required");
    EXPECT_EQ(runForth("1 FSIN").text, "float required");
    EXPECT_EQ(runForth("S\" a\" DROP 1 <").text, "invalid operand combination");
    EXPECT_EQ(runForth("S\" a\" IF THEN").code, -14);
    EXPECT_EQ(runForth(": X IF 1 THEN ; S\" a\" DROP X").text, "unrelocated literal required");
    // Characters of a string's text are read-only and bounded by the text.
    EXPECT_EQ(runForth("65 S\" a\" DROP C!").text, "string text is read-only");
    EXPECT_EQ(runForth("S\" a\" + C@").text, "character fetch outside string");
    EXPECT_EQ(runForth("S\" a\" DROP 1- C@").text, "character fetch outside string");
    EXPECT_EQ(runForth("S\" abc\" 1+ TYPE").text, "character fetch outside string");
    EXPECT_EQ(runForth("CREATE B 2 ALLOT B 3 TYPE").text, "cell fetch outside allotted region");
    EXPECT_EQ(runForth("S\" ab\" DROP -1 TYPE").text, "negative length");
    EXPECT_EQ(runForth("5 EXECUTE").text, "not a code address");
    EXPECT_EQ(runForth("1.5E0 1.5E0 = . 2.5E0 FLOOR . 0E0 FCOS .").out, "-1 2 1 ");
}

TEST(ForthStrings, StringWords) {
    expectOutputs({
        {"S\" a b&c/1\" HTML-ESCAPE TYPE", "a%20b%26c%2f1"},
        {"S\" \x01\xff\" HTML-ESCAPE TYPE", "%01%ff"},
        {"S\" x=%2 y=%1 z=%1\" 5 STRING-ARG TYPE", "x=%2 y=5 z=5"},
        {"S\" %3%10\" S\" a\" STRING-ARG TYPE", "a%10"},
        {"S\" none\" 5 STRING-ARG . TYPE", "4 none"},
        {"1 S\" two\" ,, TYPE", "1two"},
        {"255 HEX S\" !\" ,, TYPE DECIMAL", "FF!"},
        {"1.5E0 ' DUP ,, TYPE", "1.5#<CODE-ADDRESS DUP>"},
        {"S\" ab\" TYPE", "ab"},
        {": G .\" hi\" ; G .( now) CHAR A EMIT", "hinowA"},
        {"S\" 3 4 +\" EVALUATE .", "7 "},
        {"0. S\" 12ab\" >NUMBER . . . .", "2 ab 0 12 "},
        {"CHAR ) WORD ))abc) COUNT TYPE", "abc"},
        {"CHAR , PARSE a b,TYPE", "a b"},
        // Text arguments take the pair or a lone string cell, and the engine's words make one.
        {"S\" 1 2\" DROP 3 EVALUATE + .", "3 "},
        {"S\" %1\" DROP S\" xy\" DROP STRING-ARG TYPE", "xy"},
        {"S\" ab\" 1 ,, TYPE", "ab1"},
        {"S\" abc\" 1 /STRING S\" !\" ,, TYPE", "bc!"},
        // An integer on a character address is a length: the pair is one operand.
        {"0 S\" abc\" DROP 1 ,, TYPE", "0a"},
        // A result of these words is a pair too, so it feeds the next one.
        {"S\" %1-%2\" 1 STRING-ARG 2 STRING-ARG S\" !\" ,, HTML-ESCAPE TYPE", "1%2d2%21"},
    });
    EXPECT_EQ(runForth(": X S\" x\" BEGIN 2DUP ,, AGAIN ; X").code, -17);
}

TEST(ForthConditional, BracketIf) {
    expectOutputs({
        {"1 [IF] 1 . [ELSE] 2 . [THEN]", "1 "},
        {"0 [IF] 1 . [ELSE] 2 . [THEN]", "2 "},
        {"0 [IF] 1 [IF] 3 [ELSE] 4 [THEN] . [ELSE] 5 . [THEN]", "5 "},
        {"0 [if]\n 1 .\n[else]\n 6 .\n[then]", "6 "},
        {"[DEFINED] DUP . [UNDEFINED] DUP . [DEFINED] NOPE .", "-1 0 0 "},
        {": X [ 1 ] [IF] 7 [ELSE] 8 [THEN] ; X .", "7 "},
    });
    ForthRun run = runForth("0 [IF] 1 .\n 2 .");
    EXPECT_EQ(run.text, "[IF] has no matching [THEN]");
    EXPECT_EQ(run.out, "");
}

TEST(ForthSearchOrder, Words) {
    expectOutputs({
        {"GET-ORDER . . FORTH-WORDLIST . GET-CURRENT .", "1 0 0 0 "},
        {"WORDLIST DUP SET-CURRENT : HID 9 ; FORTH-WORDLIST SET-CURRENT "
         "[DEFINED] HID . >R GET-ORDER R> SWAP 1+ SET-ORDER HID . ",
         "0 9 "},
        {"VOCABULARY V ALSO V DEFINITIONS : IN-V 1 ; PREVIOUS DEFINITIONS "
         "[DEFINED] IN-V . ALSO V IN-V . ORDER",
         "0 1 Search order: V FORTH\nCompilation list: FORTH\n"},
        {"C\" DUP\" FIND . DROP C\" IF\" FIND . DROP C\" NOPE\" FIND . COUNT TYPE", "-1 1 0 NOPE"},
        {"CREATE N 3 C, CHAR D C, CHAR U C, CHAR P C, N FIND . ' DUP = .", "-1 -1 "},
        {"S\" SWAP\" FORTH-WORDLIST SEARCH-WORDLIST . DROP", "-1 "},
        {"ONLY ORDER", "Search order: FORTH\nCompilation list: FORTH\n"},
    });
}

TEST(ForthSearchOrder, Limits) {
    EXPECT_EQ(runForth(": P PREVIOUS PREVIOUS ; P").code, -50);
    ForthRun run = runForth("VOCABULARY V PREVIOUS V");
    EXPECT_EQ(run.code, -13); // nothing left to find V in
    expectFailure("VOCABULARY V : T ['] V 0 SET-ORDER EXECUTE ; T", -50,
                  "search order underflow: No search order (VOCABULARY)");
    std::string also;
    for (int k = 0; k < 16; ++k)
        also += "ALSO ";
    EXPECT_EQ(runForth(also).code, -49);
    EXPECT_EQ(runForth("17 SET-ORDER").code, -49);
    EXPECT_EQ(runForth("99 SET-CURRENT").code, -266);
    EXPECT_EQ(runForth("0 SET-ORDER DUP").code, -13);
}

TEST(ForthLocals, LocalsAndTemporaries) {
    expectOutputs({
        {": X LOCALS| A B | A . B . ; 1 2 X", "2 1 "},
        {": X LOCALS| A | A 1+ TO A A ; 5 X .", "6 "},
        {": X TEMPS| T | 4 TO T T T * ; X .", "16 "},
        {": X LOCALS| N | N IF N 1- RECURSE N + ELSE 0 THEN ; 4 X .", "10 "},
        {": X [ S\" P\" (LOCAL) S\" Q\" (LOCAL) S\" \" (LOCAL) ] P Q - ; 1 10 X .", "9 "},
        {": X [ S\" T\" (TEMP) ] 3 TO T T ; X .", "3 "},
        {": X 3 0 DO LOCALS| K | K LOOP ; 7 8 9 X . . .", "9 8 7 "},
    });
    expectFailure(": X LOCALS| A | ['] A ; 1 X EXECUTE", -1,
                  "local variable execution not supported");
    EXPECT_EQ(runForth(": X LOCALS| A B ;").code, -24);
    // Locals are gone after the definition.
    EXPECT_EQ(runForth(": X LOCALS| A | A ; A").code, -13);
}

TEST(ForthBudget, RunawayProgramsStop) {
    FSContext context;
    context.setInstructionBudget(100000);
    ForthRun run = runForth(context, ": X BEGIN AGAIN ; X");
    EXPECT_EQ(run.code, -28);
    EXPECT_EQ(run.message, "user interrupt: instruction budget exhausted");
    FSContext spaces;
    spaces.setInstructionBudget(100000);
    run = runForth(spaces, "1000000000000 SPACES");
    EXPECT_EQ(run.code, -28);
    // A long wait is work too: it ends with the budget, not after a day.
    FSContext waits;
    waits.setInstructionBudget(100000);
    run = runForth(waits, "86400000 MS");
    EXPECT_EQ(run.code, -28);

    volatile std::sig_atomic_t flag = 1;
    FSContext interrupted;
    interrupted.setInterruptFlag(&flag);
    run = runForth(interrupted, ": Y BEGIN AGAIN ; Y");
    EXPECT_EQ(run.code, -28);
    EXPECT_EQ(run.message, "user interrupt");
    EXPECT_EQ(flag, 0);
}

TEST(ForthInput, SourceWords) {
    expectOutputs({
        {"SOURCE-ID .", "-1 "},
        {"REFILL 6 .\n5 . .", "5 -1 "},
        {"REFILL .", "0 "},
        // RESTORE-INPUT goes back to just after SAVE-INPUT, leaving its (false) flag.
        {"VARIABLE N SAVE-INPUT DEPTH 4 > [IF] . [THEN] N @ . 1 N +! "
         "N @ 3 < [IF] 2OVER 2OVER RESTORE-INPUT [THEN] 2DROP 2DROP DEPTH .",
         "0 0 1 0 2 0 "},
        {"( comment\n still ) 3 .", "3 "},
        {"\\ all of it\n4 .", "4 "},
        // >IN is the parser's position: storing into it skips or re-reads text.
        {": SKIP >IN @ 2 + >IN ! ; SKIP 9 7 .", "7 "},
        {": PAST SOURCE NIP >IN ! ; 1 . PAST 2 .\n3 .", "1 3 "},
        {"1000 >IN ! 8 .", ""},
        // An evaluated string has its own position; the outer one comes back after it.
        {"S\" >IN @\" EVALUATE . >IN @ 0> .", "5 -1 "},
        {"SOURCE TYPE", "SOURCE TYPE"},
    });
}

class ForthFiles : public ::testing::Test {
protected:
    std::string path(const std::string &name) { return m_dir.path().toStdString() + "/" + name; }
    ForthRun run(const std::string &source) { return runForth(m_context, source); }

    QTemporaryDir m_dir;
    FSContext m_context;
};

TEST_F(ForthFiles, WriteReadAndReposition) {
    std::string name = path("data.txt");
    ForthRun result = run("S\" " + name +
                          "\" W/O CREATE-FILE . VALUE F "
                          "S\" first\" F WRITE-LINE . S\" second\" F WRITE-FILE . "
                          "F FILE-POSITION . D. F CLOSE-FILE . "
                          "S\" " +
                          name +
                          "\" R/O OPEN-FILE . TO F "
                          "80 F READ-LINE . . . . 3 F READ-FILE . . . "
                          "80 F READ-LINE . . . . 80 F READ-LINE . . . . "
                          "1. F REPOSITION-FILE . 2 F READ-FILE . . . F CLOSE-FILE .");
    EXPECT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(result.out, "0 0 0 0 12 0 0 "
                          "0 -1 5 first 0 3 sec "
                          "0 -1 3 ond 0 0 0  "
                          "0 0 2 ir 0 ");
    std::ifstream in(name);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "first\nsecond");
}

TEST_F(ForthFiles, ModesResizeDeleteAndBadIds) {
    std::string name = path("f.bin");
    ForthRun result = run("S\" " + name +
                          "\" R/W BIN CREATE-FILE . VALUE F "
                          "S\" abcdef\" F WRITE-FILE . 3. F RESIZE-FILE . F CLOSE-FILE . "
                          "S\" " +
                          name +
                          "\" R/O BIN OPEN-FILE . TO F 10 F READ-FILE . . . "
                          "F CLOSE-FILE . F CLOSE-FILE . 99 FILE-POSITION . D. "
                          "S\" " +
                          name + "\" DELETE-FILE . S\" " + name +
                          "\" DELETE-FILE 0> . "
                          "S\" " +
                          name +
                          "\" R/O OPEN-FILE 0> . . "
                          "S\" " +
                          name + "\" 8 OPEN-FILE . .");
    EXPECT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(result.out, "0 0 0 0 0 0 3 abc 0 -1 -1 0 0 -1 -1 0 -1 0 ");
}

// Opening is never destructive: only CREATE-FILE makes or empties a file.
TEST_F(ForthFiles, OpenFileNeitherCreatesNorEmpties) {
    std::string name = path("kept.txt");
    std::ofstream(name) << "0123456789";
    auto content = [&] {
        std::ifstream in(name);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    for (const char *mode : {"W/O", "R/W", "W/O BIN", "R/W BIN"}) {
        ForthRun result =
            run("S\" " + name + "\" " + mode + " OPEN-FILE . DUP FILE-POSITION . D. CLOSE-FILE .");
        EXPECT_EQ(result.out, "0 0 0 0 ") << mode;
        EXPECT_EQ(content(), "0123456789") << mode;
    }
    // R/W writes in place, over the old bytes, keeping the rest.
    ForthRun result = run("S\" " + name +
                          "\" R/W OPEN-FILE . VALUE F 4. F REPOSITION-FILE . "
                          "S\" ab\" F WRITE-FILE . F CLOSE-FILE .");
    EXPECT_EQ(result.out, "0 0 0 0 ");
    EXPECT_EQ(content(), "0123ab6789");
    // A missing file stays missing, whatever the mode.
    std::string missing = path("missing.txt");
    for (const char *mode : {"R/O", "W/O", "R/W"}) {
        result = run("S\" " + missing + "\" " + mode + " OPEN-FILE . .");
        EXPECT_EQ(result.out, "2 0 ") << mode;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(missing))) << mode;
    }
    // CREATE-FILE still empties.
    EXPECT_EQ(run("S\" " + name + "\" W/O CREATE-FILE . CLOSE-FILE .").out, "0 0 ");
    EXPECT_EQ(content(), "");
}

TEST_F(ForthFiles, IncludeReportsFailuresAndLocations) {
    ForthRun result = run("INCLUDE " + path("missing.fs"));
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "i/o error 2");
    std::string good = path("good.fs");
    std::ofstream(good) << ": TWICE 2 * ;\n21 TWICE .\n";
    EXPECT_EQ(run("INCLUDE " + good).out, "42 ");
    EXPECT_EQ(run("S\" " + good + "\" INCLUDED").out, "42 ");
    EXPECT_EQ(run("S\" " + good + "\" R/O OPEN-FILE DROP INCLUDE-FILE").out, "42 ");
    EXPECT_EQ(run("99 INCLUDE-FILE").message, "i/o error 9");

    std::string bad = path("bad.fs");
    std::ofstream(bad) << "1 .\n\n  NOPE\n";
    try {
        m_context.includeFile(bad);
        FAIL() << "no exception";
    } catch (const ForthException &error) {
        EXPECT_EQ(error.file(), bad);
        EXPECT_EQ(error.line(), 3);
        EXPECT_EQ(error.message(), "undefined word: NOPE");
    }
    m_context.resetAfterError();

    std::string self = path("self.fs");
    std::ofstream(self) << "INCLUDE " << self << "\n";
    result = run("INCLUDE " + self);
    EXPECT_EQ(result.code, -5);
    EXPECT_EQ(result.text, "input sources nested too deeply");
}

TEST_F(ForthFiles, AFileBeingIncludedStaysOpen) {
    // Closing or re-including the file that is being read would leave its reader without a
    // file; both are refused and the include reads on.
    std::string closer = path("closer.fs");
    std::ofstream(closer) << "SOURCE-ID CLOSE-FILE .\n1 .\n";
    EXPECT_EQ(run("INCLUDE " + closer).out, "16 1 ");
    std::string again = path("again.fs");
    std::ofstream(again) << "SOURCE-ID INCLUDE-FILE\n1 .\n";
    ForthRun result = run("INCLUDE " + again);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "i/o error 16");
    // Once the include has ended its id is free again.
    EXPECT_EQ(run("S\" " + closer + "\" R/O OPEN-FILE . CLOSE-FILE .").out, "0 0 ");
}

TEST_F(ForthFiles, NamesWithANulNameNoOtherFile) {
    // The system would stop reading the name at the NUL and act on the file before it.
    std::string name = path("victim");
    std::ofstream(name) << "kept";
    std::string withNul = "S\" " + name + std::string(1, '\0') + "x\" ";
    EXPECT_EQ(run(withNul + "2DUP R/O OPEN-FILE . . DELETE-FILE .").out, "2 0 2 ");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(name)));
}

TEST_F(ForthFiles, AccessCanBeSwitchedOff) {
    m_context.setFileAccess(false);
    for (std::string source : {"INCLUDE x", "S\" x\" R/O OPEN-FILE", "S\" x\" DELETE-FILE",
                               "1 CLOSE-FILE", "S\" x\" INCLUDED"}) {
        ForthRun result = run(source);
        EXPECT_EQ(result.code, -21) << source;
        EXPECT_EQ(result.text, "file access disabled") << source;
    }
}

} // namespace

namespace {

TEST(ForthConsole, ALineIsOneUnitAndMultiLineWordsReadOn) {
    FSContext context;
    std::vector<std::string> pending = {"2 .", "[THEN] 3 ."};
    int reads = 0;
    context.setConsoleReader([&](std::string &line) {
        if (pending.empty())
            return false;
        ++reads;
        line = pending.front();
        pending.erase(pending.begin());
        return true;
    });
    std::string out;
    context.setOutput([&out](std::string_view text) { out += text; });
    context.interpretConsoleLine("1 .");
    EXPECT_EQ(reads, 0) << "the console, not the line, reads the next line";
    context.interpretConsoleLine("0 [IF]");
    EXPECT_EQ(reads, 2) << "[IF] skips across console lines";
    EXPECT_EQ(out, "1 3 ");
}

// A keyboard with the keys typed in advance; -1 once they are used up.
class ScriptedKeyboard : public FSKeyboard {
public:
    explicit ScriptedKeyboard(std::string keys) : m_keys(std::move(keys)) {}
    int key() override {
        return m_next < m_keys.size() ? static_cast<unsigned char>(m_keys[m_next++]) : -1;
    }
    bool keyReady() override { return m_next < m_keys.size(); }

private:
    std::string m_keys;
    std::size_t m_next = 0;
};

TEST(ForthKeyboard, KeyReadsCharactersAndFailsAtTheEnd) {
    FSContext context;
    ScriptedKeyboard keyboard("a\xff");
    context.setKeyboard(&keyboard);
    ForthRun run = runForth(context, "KEY? . KEY . KEY? . KEY . KEY? .");
    EXPECT_EQ(run.out, "-1 97 -1 255 0 ");
    run = runForth(context, "KEY");
    EXPECT_EQ(run.code, -39);
    EXPECT_EQ(run.message, "unexpected EOF: KEY at the end of input");

    // Ctrl-C while KEY waits is an interrupt, not the end of input.
    volatile std::sig_atomic_t flag = 1;
    context.setInterruptFlag(&flag);
    run = runForth(context, "KEY");
    EXPECT_EQ(run.code, -28);
    EXPECT_EQ(flag, 0);
}

TEST(ForthKeyboard, WithoutAKeyboard) {
    expectOutputs({{"KEY? .", "0 "}});
    expectFailure("KEY", -21, "unsupported operation: KEY needs a keyboard");
    expectOutputs({{": K ['] KEY CATCH ; K .", "-21 "}});
}

TEST(ForthQuit, KeepsTheDataStackAndDropsEverythingElse) {
    FSContext context;
    // The rest of the text, the definition's caller, CATCH and the nested EVALUATE all go.
    ForthRun run = runForth(context, "1 2 : Q 3 >R QUIT ; "
                                     ": C ['] Q CATCH 99 ; "
                                     "S\" 5 C 6\" EVALUATE 8 .");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(context.depth(), 3);
    EXPECT_EQ(context.rdepth(), 0);
    EXPECT_EQ(context.loopDepth(), 0);
    run = runForth(context, ".S STATE @ .");
    EXPECT_EQ(run.out, "<3> 1 2 5 0 ");

    // Inside a loop and a half-compiled definition: both are abandoned.
    run = runForth(context, ": L 3 0 DO I QUIT LOOP ; L");
    run = runForth(context, ".S");
    EXPECT_EQ(run.out, "<4> 1 2 5 0 ");
    run = runForth(context, ": HALF 1 [ QUIT");
    EXPECT_FALSE(context.compiling());
    run = runForth(context, "HALF");
    EXPECT_EQ(run.code, -13);
}

// The compiler fuses common sequences into one operation. Each fused body must behave exactly
// as the same body with `AHEAD THEN` between the items (a jump to the next item, which nothing
// fuses with), for every kind of
// operand, too few operands and branches into the middle of a sequence.
TEST(ForthFusion, FusedSequencesBehaveAsTheirItems) {
    const char *const bodies[] = {
        "5 +",
        "5 -",
        "5 <",
        "5 >",
        "< IF 1 ELSE 2 THEN",
        "> IF 1 ELSE 2 THEN",
        "= IF 1 ELSE 2 THEN",
        "5 < IF 1 ELSE 2 THEN",
        "5 > IF 1 ELSE 2 THEN",
        "+ @",
        "+ ! R @ R 1+ @",
        "BEGIN 1- DUP 0 < UNTIL",
        "BEGIN 1- 2DUP > UNTIL",
        "BEGIN 1- 2DUP < UNTIL",
        // The ELSE part jumps to the `<` and the `+` in the middle of fused sequences.
        "IF 10 ELSE 20 THEN <",
        "IF 1+ ELSE 2 THEN < IF 100 ELSE 200 THEN",
        "IF R ELSE 1 THEN + @",
        "DUP 5 < IF 1 ELSE 2 THEN",
        "DUP 5 > IF 1 ELSE 2 THEN",
        "BEGIN 1+ DUP 3 > UNTIL",
        "R + @",
        "R + ! R @ R 1+ @",
        "D + @",
        "D + ! R @ D @",
        "5 CELLS",
        "OVER CELLS",
        "OVER +",
        "BEGIN 0 OVER CELLS R + ! OVER + DUP 4 < 0= UNTIL R @ R 3 + @",
        "3 0 DO I CELLS LOOP",
        "2 0 DO 3 0 DO I CELLS J + LOOP LOOP",
        "3 0 DO 1+ LOOP",
        "DO 1+ LOOP",
        "3 0 DO I + LOOP",
        "2 0 DO 3 0 DO I + 1+ LOOP LOOP",
    };
    const char *const operands[] = {
        "",
        "7",
        "3 4",
        "-1 9",
        "9 -1",
        "4 4",
        "R 1",
        "1 R",
        "R 9",
        "R -1",
        "1.5E0 2",
        "2 1.5E0",
        "S\" ab\" DROP 1",
        "S\" ab\" DROP",
        "1 S\" ab\" DROP",
        "R R",
        "11 R 1",
        "11 R 7",
        "0 TRUE",
        "25 TRUE",
        "15 FALSE",
        "5 0 TRUE",
        "5 3 FALSE",
        "-9223372036854775808 1",
        "9223372036854775807 0",
    };
    for (const char *body : bodies) {
        std::string unfused;
        for (std::string_view rest = body; !rest.empty();) {
            std::size_t blank = rest.find(' ');
            std::string_view item = rest.substr(0, blank);
            unfused += std::string(item);
            rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
            if (!rest.empty())
                unfused += item == "IF" || item == "ELSE" || item == "BEGIN" || item == "THEN"
                               ? " "
                               : " AHEAD THEN ";
        }
        for (const char *input : operands) {
            const std::string setup = "CREATE R 4 ALLOT 10 R ! 20 R 1+ ! "
                                      ": MK CREATE 0 , 5 , DOES> 1+ ; MK D : F ";
            const std::string run = std::string(" ; ") + input + " F .S";
            // Some loops run for ever on some operands; both must stop at the same point.
            FSContext fusedContext;
            FSContext plainContext;
            fusedContext.setInstructionBudget(10000);
            plainContext.setInstructionBudget(10000);
            ForthRun fused = runForth(fusedContext, setup + body + run);
            ForthRun plain = runForth(plainContext, setup + unfused + run);
            EXPECT_EQ(fused.out, plain.out) << body << " on " << input;
            EXPECT_EQ(fused.code, plain.code) << body << " on " << input;
            EXPECT_EQ(fused.message, plain.message) << body << " on " << input;
        }
    }
}

} // namespace
