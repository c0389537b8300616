\ String words on c-addr u pairs; an address is a string cell or a region of character cells.

CREATE SBUF 20 ALLOT
: >SBUF ( c-addr u -- c-addr' u ) TUCK SBUF SWAP CMOVE SBUF SWAP ;

\ ---- COMPARE
T{ S" abc" S" abc" COMPARE -> 0 }T
T{ S" abc" S" abd" COMPARE -> -1 }T
T{ S" abd" S" abc" COMPARE -> 1 }T
T{ S" ab" S" abc" COMPARE -> -1 }T
T{ S" abc" S" ab" COMPARE -> 1 }T
T{ S" " S" " COMPARE -> 0 }T
T{ S" " S" a" COMPARE -> -1 }T
T{ S" a" 2DUP COMPARE -> 0 }T
T{ S" xyz" >SBUF S" xyz" COMPARE -> 0 }T
T{ S" xyz" >SBUF S" xya" COMPARE -> 1 }T
T{ S" abc" DROP 2 S" ab" COMPARE -> 0 }T

\ ---- SEARCH
T{ S" abcdef" S" cd" SEARCH ROT DROP -> 4 TRUE }T
T{ S" abcdef" S" cd" SEARCH 2DROP C@ -> CHAR c }T
T{ S" abcdef" S" xy" SEARCH -> S" abcdef" FALSE }T
T{ S" abcdef" S" " SEARCH -> S" abcdef" TRUE }T
T{ S" ab" S" abc" SEARCH NIP NIP -> FALSE }T
T{ S" abcabc" >SBUF S" ca" SEARCH ROT DROP -> 4 TRUE }T

\ ---- /STRING, -TRAILING
T{ S" abcdef" 2 /STRING -> S" abcdef" DROP 2 + 4 }T
T{ S" abcdef" 2 /STRING DROP C@ -> CHAR c }T
T{ S" abc" 0 /STRING -> S" abc" }T
T{ S" abc" 2 /STRING -1 /STRING DROP C@ -> CHAR b }T
T{ S" abc  " -TRAILING NIP -> 3 }T
T{ S"    " -TRAILING NIP -> 0 }T
T{ S" " -TRAILING NIP -> 0 }T
T{ S"  a b " >SBUF -TRAILING NIP -> 4 }T

\ ---- BLANK, CMOVE, CMOVE>
T{ SBUF 5 BLANK SBUF 5 S"      " COMPARE -> 0 }T
T{ S" abcde" SBUF SWAP CMOVE SBUF SBUF 1+ 4 CMOVE SBUF 5 S" aaaaa" COMPARE -> 0 }T
T{ S" abcde" SBUF SWAP CMOVE SBUF 1+ SBUF 4 CMOVE SBUF 5 S" bcdee" COMPARE -> 0 }T
T{ S" abcde" SBUF SWAP CMOVE SBUF SBUF 1+ 4 CMOVE> SBUF 5 S" aabcd" COMPARE -> 0 }T
T{ S" abcde" SBUF SWAP CMOVE SBUF SBUF 0 CMOVE SBUF 5 S" abcde" COMPARE -> 0 }T

\ ---- SLITERAL
T{ : SL1 [ S" hello" ] SLITERAL ; SL1 S" hello" COMPARE -> 0 }T
T{ : SL2 [ S" xyz" >SBUF ] SLITERAL ; S" 123" >SBUF 2DROP SL2 S" xyz" COMPARE -> 0 }T

\ ---- REPLACES, SUBSTITUTE, UNESCAPE
CREATE OUT 40 ALLOT
T{ S" world" S" who" REPLACES -> }T
T{ S" hello %who%!" OUT 40 SUBSTITUTE >R S" hello world!" COMPARE R> -> 0 1 }T
T{ S" %who% %WHO%" OUT 40 SUBSTITUTE NIP NIP -> 2 }T
T{ S" 100%% %none%" OUT 40 SUBSTITUTE -> OUT 11 0 }T
T{ OUT 11 S" 100% %none%" COMPARE -> 0 }T
T{ S" a%who%" OUT 3 SUBSTITUTE NIP NIP -> -78 }T
T{ S" 50%" OUT UNESCAPE S" 50%%" COMPARE -> 0 }T
T{ S" 50%" OUT UNESCAPE OUT 40 SUBSTITUTE >R S" 50%" COMPARE R> -> 0 0 }T
