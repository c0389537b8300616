\ Console behaviour: state after an error, definitions across lines, errors mid-line.
1 2 3 .S CR
NOPE
.S CR
: SPLIT ( n -- )
    DUP . 1+
    . ;
4 SPLIT CR
: HALF-DONE 1 2
NOT-A-WORD
STATE @ . CR
5 . UNKNOWN 6 .
.S CR
0 [IF]
  ." skipped"
[ELSE]
  ." taken"
[THEN] CR
BASE @ . HEX BASE @ DECIMAL . CR
BYE
." not reached"
