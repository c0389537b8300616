\ Double-cell numbers: two cells, the low half below the high half. Literals end with a point.

0 INVERT 1 RSHIFT CONSTANT MAX-N
MAX-N INVERT CONSTANT MIN-N
-1 MAX-N 2CONSTANT MAX-D
0 MIN-N 2CONSTANT MIN-D

\ ---- literals
T{ 0. -> 0 0 }T
T{ 1. -> 1 0 }T
T{ -2. -> -2 -1 }T
T{ 18446744073709551616. -> 0 1 }T
T{ -18446744073709551616. -> 0 -1 }T
T{ 170141183460469231731687303715884105727. -> MAX-D }T

\ ---- addition, subtraction, negation
T{ 1. 2. D+ -> 3. }T
T{ -1. 1. D+ -> 0. }T
T{ -1 0 1. D+ -> 0 1 }T
T{ MAX-D 1. D+ -> MIN-D }T
T{ 3. 1. D- -> 2. }T
T{ 0 1 1. D- -> -1 0 }T
T{ MIN-D 1. D- -> MAX-D }T
T{ 5. DNEGATE -> -5. }T
T{ 0. DNEGATE -> 0. }T
T{ 0 1 DNEGATE -> 0 -1 }T
T{ -5. DABS -> 5. }T
T{ 5. DABS -> 5. }T
T{ 1. 2 M+ -> 3. }T
T{ 1. -2 M+ -> -1. }T
T{ -1 0 1 M+ -> 0 1 }T

\ ---- comparisons
T{ 1. 1. D= -> TRUE }T
T{ 1. 2. D= -> FALSE }T
T{ 0 1 0 2 D= -> FALSE }T
T{ 1. 2. D< -> TRUE }T
T{ -1. 1. D< -> TRUE }T
T{ 1. -1. D< -> FALSE }T
T{ MIN-D MAX-D D< -> TRUE }T
T{ -1. 1. DU< -> FALSE }T
T{ 1. -1. DU< -> TRUE }T
T{ 0. D0= -> TRUE }T
T{ 0 1 D0= -> FALSE }T
T{ -1. D0< -> TRUE }T
T{ 0 1 D0< -> FALSE }T
T{ 1. 2. DMAX -> 2. }T
T{ -1. 1. DMAX -> 1. }T
T{ 1. 2. DMIN -> 1. }T
T{ MIN-D MAX-D DMIN -> MIN-D }T

\ ---- shifts and conversion
T{ 1. D2* -> 2. }T
T{ -1 0 D2* -> -2 1 }T
T{ MIN-D D2* -> 0. }T
T{ 2. D2/ -> 1. }T
T{ 0 1 D2/ -> MIN-N 0 }T
T{ -1. D2/ -> -1. }T
T{ 5. D>S -> 5 }T
T{ -5. D>S -> -5 }T

\ ---- M*/ with a triple-cell intermediate, floored
T{ 5. 7 11 M*/ -> 3. }T
T{ -5. 7 11 M*/ -> -4. }T
T{ 5. -7 11 M*/ -> -4. }T
T{ MAX-D 2 2 M*/ -> MAX-D }T
T{ MAX-D MAX-N MAX-N M*/ -> MAX-D }T
T{ MIN-D 1 1 M*/ -> MIN-D }T
T{ 1. 1 0 ' M*/ CATCH >R 2DROP 2DROP R> -> -10 }T

\ ---- definitions and literals in compiled code
T{ : DL1 [ 12. ] 2LITERAL ; DL1 -> 12. }T
T{ : DL2 -3. ; DL2 -> -3. }T
T{ 2VARIABLE DV -> }T
T{ MAX-D DV 2! DV 2@ -> MAX-D }T
T{ 1 2 3 4 5 6 2ROT -> 3 4 5 6 1 2 }T
