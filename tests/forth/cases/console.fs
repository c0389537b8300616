\ Console behaviour: state after an error, definitions across lines, errors mid-line, KEY and
\ QUIT.
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
\ KEY reads the characters after the line it stands in; QUIT keeps the stack.
KEY EMIT KEY EMIT CR
xy
7 8 QUIT 9 .
.S CR
BYE
." not reached"
