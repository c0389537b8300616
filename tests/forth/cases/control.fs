\ Control structures and counted loops.
: SIGN ( n -- ) DUP 0< IF DROP ." negative" ELSE 0= IF ." zero" ELSE ." positive" THEN THEN ;
-5 SIGN SPACE 0 SIGN SPACE 5 SIGN CR
: COUNTDOWN ( n -- ) BEGIN DUP . 1- DUP 0= UNTIL DROP ; 3 COUNTDOWN CR
: HALVE ( n -- ) BEGIN DUP WHILE DUP . 2/ REPEAT DROP ; 40 HALVE CR
: FIRST-3 0 BEGIN 1+ DUP 3 = IF EXIT THEN AGAIN ; FIRST-3 . CR
: UPTO ( n -- ) 0 DO I . LOOP ; 5 UPTO CR
: STEPS 20 0 DO I . 5 +LOOP ; STEPS CR
: DOWN 0 10 DO I . -4 +LOOP ; DOWN CR
: ONCE 0 3 DO I . LOOP ; ONCE CR
: MAYBE ( n -- ) 0 ?DO I . LOOP ." end" ; 0 MAYBE SPACE 2 MAYBE CR
: TABLE 3 1 DO 4 1 DO I J * . LOOP LOOP ; TABLE CR
: FIND-5 10 0 DO I 5 = IF I . LEAVE THEN LOOP ." left" ; FIND-5 CR
: COLOR ( n -- ) CASE 0 OF ." red" ENDOF 1 OF ." green" ENDOF DUP . ." unknown" ENDCASE ;
0 COLOR SPACE 1 COLOR SPACE 7 COLOR CR
: SKIP AHEAD ." never" THEN ." ahead" ; SKIP CR
: FACT ( n -- n! ) DUP 1 > IF DUP 1- RECURSE * THEN ; 10 FACT . CR
: GCD ( a b -- g ) ?DUP IF TUCK MOD RECURSE THEN ; 84 36 GCD . CR
1 [IF] ." compiled in" [ELSE] ." left out" [THEN] CR
[UNDEFINED] NO-SUCH [IF] ." undefined" [THEN] CR
: X IF ;
THEN
: Y BEGIN REPEAT ;
: Z 1 0 DO ENDOF LOOP ;
: W LEAVE ;
: V J ;
: U 5 OF ;
ENDCASE
: BAD-LOOP 1 0 DO ;
ELSE
UNTIL
