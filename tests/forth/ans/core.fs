\ Core word tests for the engine, in the T{ ... -> ... }T style. Expectations follow the
\ engine's choices: floored division, one address unit per cell, typed cells.

\ ---- flags and bits
T{ 0 0= -> TRUE }T
T{ 1 0= -> FALSE }T
T{ -1 0= -> FALSE }T
T{ TRUE -> -1 }T
T{ FALSE -> 0 }T
T{ 0 0 AND -> 0 }T
T{ 0 -1 AND -> 0 }T
T{ -1 -1 AND -> -1 }T
T{ 0 0 OR -> 0 }T
T{ 0 -1 OR -> -1 }T
T{ 0 0 XOR -> 0 }T
T{ -1 -1 XOR -> 0 }T
T{ 0 -1 XOR -> -1 }T
T{ 0 INVERT -> -1 }T
T{ -1 INVERT -> 0 }T
T{ 1 0 LSHIFT -> 1 }T
T{ 1 1 LSHIFT -> 2 }T
T{ 1 2 LSHIFT -> 4 }T
T{ 1 63 LSHIFT 1 63 LSHIFT AND 0= -> FALSE }T
T{ 1 0 RSHIFT -> 1 }T
T{ 1 1 RSHIFT -> 0 }T
T{ 2 1 RSHIFT -> 1 }T
T{ -1 63 RSHIFT -> 1 }T
T{ 0 2* -> 0 }T
T{ 1 2* -> 2 }T
T{ $4000 2* -> $8000 }T
T{ -1 2* 1 XOR -> -1 }T
T{ 0 2/ -> 0 }T
T{ 1 2/ -> 0 }T
T{ $4000 2/ -> $2000 }T
T{ -1 2/ -> -1 }T
T{ -5 2/ -> -3 }T

\ ---- comparisons
T{ 0 0 = -> TRUE }T
T{ 1 1 = -> TRUE }T
T{ -1 -1 = -> TRUE }T
T{ 1 0 = -> FALSE }T
T{ -1 0 = -> FALSE }T
T{ 0 1 <> -> TRUE }T
T{ 1 1 <> -> FALSE }T
T{ 0 1 < -> TRUE }T
T{ 1 2 < -> TRUE }T
T{ -1 0 < -> TRUE }T
T{ 0 0 < -> FALSE }T
T{ 1 0 < -> FALSE }T
T{ -9223372036854775808 9223372036854775807 < -> TRUE }T
T{ 0 1 > -> FALSE }T
T{ 1 0 > -> TRUE }T
T{ 0 -1 > -> TRUE }T
T{ 2 2 >= -> TRUE }T
T{ 1 2 >= -> FALSE }T
T{ 0 1 U< -> TRUE }T
T{ 1 -1 U< -> TRUE }T
T{ -1 1 U< -> FALSE }T
T{ -1 1 U> -> TRUE }T
T{ 0 0< -> FALSE }T
T{ -1 0< -> TRUE }T
T{ 1 0< -> FALSE }T
T{ 1 0> -> TRUE }T
T{ 0 0> -> FALSE }T
T{ 0 0<> -> FALSE }T
T{ 5 0<> -> TRUE }T
T{ 0 0>= -> TRUE }T
T{ -1 0>= -> FALSE }T
T{ 0 1 MIN -> 0 }T
T{ -1 1 MIN -> -1 }T
T{ 2 1 MIN -> 1 }T
T{ 0 1 MAX -> 1 }T
T{ -1 1 MAX -> 1 }T
T{ 2 1 MAX -> 2 }T
T{ 1 0 3 WITHIN -> TRUE }T
T{ 3 0 3 WITHIN -> FALSE }T
T{ 0 0 3 WITHIN -> TRUE }T
T{ -1 0 3 WITHIN -> FALSE }T
T{ 5 3 1 WITHIN -> TRUE }T

\ ---- stack
T{ 1 2 2DROP -> }T
T{ 1 2 2DUP -> 1 2 1 2 }T
T{ 1 2 3 4 2OVER -> 1 2 3 4 1 2 }T
T{ 1 2 3 4 2SWAP -> 3 4 1 2 }T
T{ 0 ?DUP -> 0 }T
T{ 1 ?DUP -> 1 1 }T
T{ -1 ?DUP -> -1 -1 }T
T{ DEPTH -> 0 }T
T{ 0 DEPTH -> 0 1 }T
T{ 0 1 DEPTH -> 0 1 2 }T
T{ 0 DROP -> }T
T{ 1 2 DROP -> 1 }T
T{ 1 DUP -> 1 1 }T
T{ 1 2 OVER -> 1 2 1 }T
T{ 1 2 3 ROT -> 2 3 1 }T
T{ 1 2 3 -ROT -> 3 1 2 }T
T{ 1 2 SWAP -> 2 1 }T
T{ 1 2 NIP -> 2 }T
T{ 1 2 TUCK -> 2 1 2 }T
T{ 1 2 3 0 PICK -> 1 2 3 3 }T
T{ 1 2 3 2 PICK -> 1 2 3 1 }T
T{ 1 2 3 0 ROLL -> 1 2 3 }T
T{ 1 2 3 2 ROLL -> 2 3 1 }T

\ ---- return stack
T{ : GR1 >R R> ; -> }T
T{ : GR2 >R R@ R> DROP ; -> }T
T{ 123 GR1 -> 123 }T
T{ 123 GR2 -> 123 }T
T{ : GR3 2>R 2R@ 2R> ; -> }T
T{ 1 2 GR3 -> 1 2 1 2 }T

\ ---- addition, subtraction, multiplication
T{ 0 5 + -> 5 }T
T{ 5 0 + -> 5 }T
T{ 0 -5 + -> -5 }T
T{ -1 1 + -> 0 }T
T{ -1 -2 + -> -3 }T
T{ 9223372036854775807 1 + -> -9223372036854775808 }T
T{ 0 5 - -> -5 }T
T{ 5 0 - -> 5 }T
T{ -1 -2 - -> 1 }T
T{ 0 1+ -> 1 }T
T{ -1 1+ -> 0 }T
T{ 2 1- -> 1 }T
T{ 0 1- -> -1 }T
T{ 0 NEGATE -> 0 }T
T{ 1 NEGATE -> -1 }T
T{ -2 NEGATE -> 2 }T
T{ 0 ABS -> 0 }T
T{ -1 ABS -> 1 }T
T{ 5 ABS -> 5 }T
T{ 0 0 * -> 0 }T
T{ 0 1 * -> 0 }T
T{ 1 2 * -> 2 }T
T{ -1 1 * -> -1 }T
T{ -3 -3 * -> 9 }T
T{ $10000 $10000 * -> $100000000 }T

\ ---- division: floored
T{ 0 1 / -> 0 }T
T{ 1 1 / -> 1 }T
T{ 2 1 / -> 2 }T
T{ -1 1 / -> -1 }T
T{ 7 2 / -> 3 }T
T{ -7 2 / -> -4 }T
T{ 7 -2 / -> -4 }T
T{ -7 -2 / -> 3 }T
T{ 7 2 MOD -> 1 }T
T{ -7 2 MOD -> 1 }T
T{ 7 -2 MOD -> -1 }T
T{ -7 -2 MOD -> -1 }T
T{ 7 2 /MOD -> 1 3 }T
T{ -7 2 /MOD -> 1 -4 }T
T{ 2 3 4 */ -> 1 }T
T{ -2 3 4 */ -> -2 }T
T{ 2 3 4 */MOD -> 2 1 }T
T{ 9223372036854775807 2 4 */ -> 4611686018427387903 }T
T{ 1 0 ' / CATCH NIP NIP -> -10 }T

\ ---- numbers and bases
T{ $FF -> 255 }T
T{ %1010 -> 10 }T
T{ #99 -> 99 }T
T{ -$10 -> -16 }T
T{ BASE @ -> 10 }T
T{ HEX BASE @ DECIMAL -> 16 }T
T{ HEX 10 DECIMAL -> 16 }T
T{ 0. S" 123" >NUMBER NIP NIP -> 123 0 }T
T{ 7. S" 45x" >NUMBER NIP -> 745 0 1 }T

\ ---- memory
T{ VARIABLE V1 -> }T
T{ 5 V1 ! V1 @ -> 5 }T
T{ 3 V1 +! V1 @ -> 8 }T
T{ 1 CELLS -> 1 }T
T{ 4 CELLS -> 4 }T
T{ V1 CELL+ V1 - -> 1 }T
T{ 1 CHARS -> 1 }T
T{ V1 CHAR+ V1 - -> 1 }T
T{ CREATE M1 3 ALLOT -> }T
T{ M1 HERE SWAP - -> 3 }T
T{ 1 M1 ! 2 M1 CELL+ ! M1 @ M1 CELL+ @ -> 1 2 }T
T{ 7 8 M1 2! M1 2@ -> 7 8 }T
T{ M1 @ M1 CELL+ @ -> 8 7 }T
T{ CREATE M2 10 , 20 , 30 , -> }T
T{ M2 2 CELLS + @ -> 30 }T
T{ HERE M2 - -> 3 }T
T{ M2 M1 3 MOVE M1 @ M1 2 + @ -> 10 30 }T
T{ M1 M1 1+ 2 MOVE M1 1+ @ M1 2 + @ -> 10 20 }T
T{ 42 CONSTANT C1 C1 -> 42 }T
T{ 1 VALUE VAL1 VAL1 -> 1 }T
T{ 2 TO VAL1 VAL1 -> 2 }T
T{ : SETVAL TO VAL1 ; 3 SETVAL VAL1 -> 3 }T
T{ UNUSED 0> -> TRUE }T

\ ---- colon definitions and control flow
T{ : GT1 123 ; GT1 -> 123 }T
T{ : GI1 IF 123 THEN ; -> }T
T{ : GI2 IF 123 ELSE 234 THEN ; -> }T
T{ 0 GI1 -> }T
T{ 1 GI1 -> 123 }T
T{ -1 GI1 -> 123 }T
T{ 0 GI2 -> 234 }T
T{ 1 GI2 -> 123 }T
T{ : GI3 BEGIN DUP 5 < WHILE DUP 1+ REPEAT ; -> }T
T{ 0 GI3 -> 0 1 2 3 4 5 }T
T{ 4 GI3 -> 4 5 }T
T{ 6 GI3 -> 6 }T
T{ : GI4 BEGIN DUP 1+ DUP 5 > UNTIL ; -> }T
T{ 3 GI4 -> 3 4 5 6 }T
T{ 6 GI4 -> 6 7 }T
T{ : GI5 BEGIN DUP 2 > WHILE DUP 5 < WHILE DUP 1+ REPEAT 123 ELSE 345 THEN ; -> }T
T{ 1 GI5 -> 1 345 }T
T{ 2 GI5 -> 2 345 }T
T{ 3 GI5 -> 3 4 5 123 }T
T{ 5 GI5 -> 5 123 }T
T{ : GI6 BEGIN 1+ DUP 3 = IF EXIT THEN AGAIN ; -> }T
T{ 0 GI6 -> 3 }T
T{ : GD1 DO I LOOP ; -> }T
T{ 4 1 GD1 -> 1 2 3 }T
T{ 2 -1 GD1 -> -1 0 1 }T
T{ : GD2 DO I -1 +LOOP ; -> }T
T{ 1 4 GD2 -> 4 3 2 1 }T
T{ -1 2 GD2 -> 2 1 0 -1 }T
T{ : GD3 DO 1 0 DO J LOOP LOOP ; -> }T
T{ 4 1 GD3 -> 1 2 3 }T
T{ : GD4 DO I 2 +LOOP ; -> }T
T{ 7 1 GD4 -> 1 3 5 }T
T{ : GD5 123 SWAP 0 DO I 4 > IF DROP 234 LEAVE THEN LOOP ; -> }T
T{ 1 GD5 -> 123 }T
T{ 5 GD5 -> 123 }T
T{ 6 GD5 -> 234 }T
T{ : GD6 0 SWAP 0 ?DO I + LOOP ; -> }T
T{ 0 GD6 -> 0 }T
T{ 4 GD6 -> 6 }T
T{ : GD7 10 0 DO I 3 = IF I UNLOOP EXIT THEN LOOP 99 ; -> }T
T{ GD7 -> 3 }T
T{ : GD8 3 0 DO 2 0 DO I J LOOP LOOP ; -> }T
T{ GD8 -> 0 0 1 0 0 1 1 1 0 2 1 2 }T
T{ : CS1 CASE 1 OF 111 ENDOF 2 OF 222 ENDOF 333 SWAP ENDCASE ; -> }T
T{ 1 CS1 -> 111 }T
T{ 2 CS1 -> 222 }T
T{ 3 CS1 -> 333 }T
T{ : GR-FACT DUP 1 > IF DUP 1- RECURSE * THEN ; -> }T
T{ 5 GR-FACT -> 120 }T
T{ : AH1 AHEAD 1 THEN 2 ; AH1 -> 2 }T

\ ---- compilation
T{ : GT2 ['] GT1 ; IMMEDIATE GT2 EXECUTE -> 123 }T
T{ ' GT1 EXECUTE -> 123 }T
T{ : GT3 GT2 LITERAL ; -> }T
T{ GT3 -> ' GT1 }T
T{ : GT4 POSTPONE GT1 ; IMMEDIATE -> }T
T{ : GT5 GT4 ; GT5 -> 123 }T
T{ : GT6 345 ; IMMEDIATE -> }T
T{ : GT7 POSTPONE GT6 ; GT7 -> 345 }T
T{ : GT8 STATE @ ; IMMEDIATE -> }T
T{ GT8 -> 0 }T
T{ : GT9 GT8 LITERAL ; GT9 0= -> FALSE }T
T{ : GC1 [CHAR] X ; GC1 -> 88 }T
T{ CHAR HELLO -> 72 }T
T{ : GC2 [ 3 4 + ] LITERAL ; GC2 -> 7 }T
T{ :NONAME 99 ; EXECUTE -> 99 }T
T{ : COMPILE-GT1 ['] GT1 COMPILE, ; IMMEDIATE -> }T
T{ : GC3 COMPILE-GT1 ; GC3 -> 123 }T
T{ : DOES1 DOES> @ 1 + ; -> }T
T{ : DOES2 DOES> @ 2 + ; -> }T
T{ CREATE CR1 -> }T
T{ CR1 HERE = -> TRUE }T
T{ 1 , -> }T
T{ CR1 @ -> 1 }T
T{ DOES1 -> }T
T{ CR1 -> 2 }T
T{ DOES2 -> }T
T{ CR1 -> 3 }T
T{ : WEIRD: CREATE DOES> 1 + DOES> 2 + ; -> }T
T{ WEIRD: W1 -> }T
T{ ' W1 >BODY -> HERE }T
T{ W1 -> HERE 1 + }T
T{ W1 -> HERE 2 + }T
T{ : MAKER CREATE , DOES> @ ; 77 MAKER SEVENTY-SEVEN SEVENTY-SEVEN -> 77 }T

\ ---- strings
T{ S" abc" NIP -> 3 }T
T{ C" abc" COUNT NIP -> 3 }T
T{ : GS1 S" xyz" ; GS1 -> S" xyz" }T
T{ S" a" S" b" ,, -> S" ab" }T
T{ S" n=%1" 5 STRING-ARG -> S" n=5" }T
T{ S" a b" HTML-ESCAPE -> S" a%20b" }T
T{ S" 1 2 +" EVALUATE -> 3 }T
T{ : GE1 S" 10 20" EVALUATE ; GE1 -> 10 20 }T

\ ---- exceptions
T{ : T1 9 ; ' T1 CATCH -> 9 0 }T
T{ : T2 8 0 THROW ; ' T2 CATCH -> 8 0 }T
T{ : T3 7 8 9 99 THROW ; ' T3 CATCH -> 99 }T
T{ 1 2 ' T3 CATCH -> 1 2 99 }T
T{ : T4 ' T3 CATCH ; -> }T
T{ 5 ' T3 ' CATCH CATCH -> 5 99 0 }T
T{ : T5 -1 ABORT" gone" 4 ; ' T5 CATCH -> -2 }T
T{ : T6 0 ABORT" gone" 4 ; ' T6 CATCH -> 4 0 }T

\ ---- search order
T{ GET-ORDER -> FORTH-WORDLIST 1 }T
T{ GET-CURRENT -> FORTH-WORDLIST }T
T{ WORDLIST CONSTANT WL1 -> }T
T{ WL1 SET-CURRENT : WL1-WORD 55 ; FORTH-WORDLIST SET-CURRENT -> }T
T{ C" WL1-WORD" FIND NIP -> 0 }T
T{ S" WL1-WORD" WL1 SEARCH-WORDLIST NIP -> -1 }T
T{ S" WL1-WORD" WL1 SEARCH-WORDLIST DROP EXECUTE -> 55 }T
T{ S" NOTHING-HERE" WL1 SEARCH-WORDLIST -> 0 }T
T{ GET-ORDER WL1 SWAP 1+ SET-ORDER WL1-WORD PREVIOUS -> 55 }T
T{ ALSO GET-ORDER PREVIOUS NIP NIP -> 2 }T
T{ C" DUP" FIND NIP -> -1 }T
T{ C" IF" FIND NIP -> 1 }T
T{ ONLY GET-ORDER -> FORTH-WORDLIST 1 }T
T{ -1 SET-ORDER GET-ORDER -> FORTH-WORDLIST 1 }T

\ ---- conditional compilation
T{ TRUE [IF] 1 [ELSE] 2 [THEN] -> 1 }T
T{ FALSE [IF] 1 [ELSE] 2 [THEN] -> 2 }T
T{ FALSE [IF] 1 TRUE [IF] 2 [THEN] [ELSE] 3 [THEN] -> 3 }T
T{ [DEFINED] DUP -> TRUE }T
T{ [UNDEFINED] DUP -> FALSE }T
T{ [DEFINED] NO-SUCH-WORD -> FALSE }T

\ ---- locals
T{ : LC1 LOCALS| A B | A B - ; 10 3 LC1 -> -7 }T
T{ : LC2 LOCALS| A | A 2 * TO A A ; 21 LC2 -> 42 }T
T{ : LC3 TEMPS| T | 5 TO T T T + ; LC3 -> 10 }T

\ ---- floats on the data stack
T{ 1.5E0 1.5E0 = -> TRUE }T
T{ 2.7E0 FLOOR 2E0 = -> TRUE }T
T{ 0E0 FSIN 0E0 = -> TRUE }T
