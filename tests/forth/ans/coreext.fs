\ Core extension words: deferred words, two-cell definitions, buffers, escaped and counted
\ string literals, right-aligned output and the input-source words.

\ ---- DEFER, IS, ACTION-OF, DEFER@, DEFER!
DEFER DF1
T{ ' + IS DF1 -> }T
T{ 1 2 DF1 -> 3 }T
T{ ' * IS DF1 2 3 DF1 -> 6 }T
T{ ACTION-OF DF1 -> ' * }T
T{ ' DF1 DEFER@ -> ' * }T
T{ ' - ' DF1 DEFER! 5 2 DF1 -> 3 }T
: SET-DF1 ( xt -- ) IS DF1 ;
: GET-DF1 ( -- xt ) ACTION-OF DF1 ;
T{ ' OVER SET-DF1 1 2 DF1 -> 1 2 1 }T
T{ GET-DF1 -> ' OVER }T
DEFER DF2
T{ ' DF1 IS DF2 7 8 DF2 -> 7 8 7 }T
: CALLS-DF1 DF1 ;
T{ ' SWAP IS DF1 1 2 CALLS-DF1 -> 2 1 }T
DEFER UNSET
T{ ' UNSET CATCH -> -9 }T
T{ ' DUP ' DUP ' DEFER! CATCH NIP NIP -> -24 }T

\ ---- 2CONSTANT, 2VARIABLE, 2VALUE, BUFFER:
T{ 1 2 2CONSTANT 2C1 -> }T
T{ 2C1 -> 1 2 }T
T{ : GC2 2C1 ; GC2 -> 1 2 }T
T{ 2VARIABLE 2V1 -> }T
T{ 3 4 2V1 2! 2V1 2@ -> 3 4 }T
T{ 2V1 @ -> 4 }T
T{ 5 6 2VALUE 2VAL -> }T
T{ 2VAL -> 5 6 }T
T{ 7 8 TO 2VAL 2VAL -> 7 8 }T
: SET-2VAL ( x1 x2 -- ) TO 2VAL ;
T{ 9 10 SET-2VAL 2VAL -> 9 10 }T
T{ 10 BUFFER: BUF1 -> }T
T{ 65 BUF1 9 + C! BUF1 9 + C@ -> 65 }T
T{ BUF1 10 + ' C@ CATCH NIP -> -9 }T

\ ---- S\" and C"
T{ S\" a\tb" NIP -> 3 }T
T{ S\" \"" DROP C@ -> 34 }T
T{ S\" \\" DROP C@ -> 92 }T
T{ S\" \x41\x7a" S" Az" COMPARE -> 0 }T
T{ S\" \n" DROP C@ -> 10 }T
T{ S\" \m" NIP -> 2 }T
T{ S\" \z" DROP C@ -> 0 }T
T{ : GS5 S\" x\qy" ; GS5 S\" x\"y" COMPARE -> 0 }T
T{ : GC5 C" XY" ; GC5 COUNT -> GC5 CHAR+ 2 }T
T{ GC5 CHAR+ C@ -> 88 }T

\ ---- input source
T{ SOURCE-ID 0> -> TRUE }T
T{ S" SOURCE-ID" EVALUATE -> -1 }T
T{ SAVE-INPUT DUP 0> NIP NIP NIP NIP -> TRUE }T
T{ REFILL
-> TRUE }T
T{ PARSE-NAME a-name NIP -> 6 }T

\ ---- UNUSED, ERASE, :NONAME, TO with VALUE
T{ UNUSED 0> -> TRUE }T
T{ :NONAME 42 ; EXECUTE -> 42 }T
T{ 1 VALUE V1 2 TO V1 V1 -> 2 }T

\ ---- MARKER forgets what came after it, itself included, and brings hidden names back
: KNOWN? ( "name" -- flag ) BL WORD FIND NIP 0<> ;
T{ MARKER FORGET-A -> }T
T{ : MK1 1 ; -> }T
T{ MARKER FORGET-B -> }T
T{ : MK1 2 ; : MK2 3 ; -> }T
T{ MK1 KNOWN? MK2 KNOWN? FORGET-B -> 2 TRUE TRUE }T
T{ FORGET-B MK1 KNOWN? MK2 KNOWN? FORGET-B KNOWN? FORGET-A -> 1 FALSE FALSE TRUE }T
T{ WORDLIST CONSTANT MK-LIST GET-ORDER MK-LIST SWAP 1+ SET-ORDER -> }T
T{ FORGET-A KNOWN? MK1 KNOWN? FORGET-A GET-ORDER NIP -> FALSE FALSE 1 }T
