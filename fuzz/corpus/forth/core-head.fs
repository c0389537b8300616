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
T{ 0 1 * 