\ A small test harness in the T{ inputs -> expected }T style. Each case runs its inputs,
\ keeps the results above the starting depth, then compares them with the expected ones.
\ REPORT prints "N cases, M passed".

VARIABLE START-DEPTH
VARIABLE ACTUAL-DEPTH
CREATE ACTUAL-RESULTS 32 CELLS ALLOT
VARIABLE CASES     0 CASES !
VARIABLE FAILURES  0 FAILURES !

: T{ ( -- ) DEPTH START-DEPTH ! ;

: -> ( results -- )
    DEPTH START-DEPTH @ - DUP ACTUAL-DEPTH !
    0 ?DO ACTUAL-RESULTS I CELLS + ! LOOP ;

: DROP-TO-START ( ... -- ) BEGIN DEPTH START-DEPTH @ > WHILE DROP REPEAT ;

: FAILED ( -- )
    1 FAILURES +!  ." FAIL: case " CASES @ 0 .R CR  DROP-TO-START ;

: }T ( expected -- )
    1 CASES +!
    DEPTH START-DEPTH @ - ACTUAL-DEPTH @ <> IF FAILED EXIT THEN
    ACTUAL-DEPTH @ 0 ?DO
        ACTUAL-RESULTS I CELLS + @ <> IF FAILED UNLOOP EXIT THEN
    LOOP ;

: REPORT ( -- )
    CASES @ 0 .R ."  cases, " CASES @ FAILURES @ - 0 .R ."  passed" CR ;
