\ Core words beyond the engine's first set: mixed and double-width arithmetic, characters in
\ memory, pictured numeric output, parsing and the input source. One character is one cell.

\ ---- mixed arithmetic
T{ 5 S>D -> 5 0 }T
T{ -5 S>D -> -5 -1 }T
T{ 0 S>D -> 0 0 }T
T{ 3 4 M* -> 12 0 }T
T{ -3 4 M* -> -12 -1 }T
T{ -1 -1 M* -> 1 0 }T
T{ 9223372036854775807 2 M* -> -2 0 }T
T{ -9223372036854775808 -1 M* -> -9223372036854775808 0 }T
T{ -1 -1 UM* -> 1 -2 }T
T{ 4294967296 4294967296 UM* -> 0 1 }T
T{ 0 1 2 UM/MOD -> 0 -9223372036854775808 }T
T{ 7 0 2 UM/MOD -> 1 3 }T
T{ -1 0 -1 UM/MOD -> 0 1 }T
T{ 7 S>D 2 FM/MOD -> 1 3 }T
T{ -7 S>D 2 FM/MOD -> 1 -4 }T
T{ 7 S>D -2 FM/MOD -> -1 -4 }T
T{ -7 S>D -2 FM/MOD -> -1 3 }T
T{ 7 S>D 2 SM/REM -> 1 3 }T
T{ -7 S>D 2 SM/REM -> -1 -3 }T
T{ 7 S>D -2 SM/REM -> 1 -3 }T
T{ -7 S>D -2 SM/REM -> -1 3 }T
T{ 1 0 0 ' UM/MOD CATCH >R 2DROP DROP R> -> -10 }T
T{ 1 0 0 ' FM/MOD CATCH >R 2DROP DROP R> -> -10 }T
T{ 6 7 8 */MOD -> 2 5 }T

\ ---- characters and cells: one character per cell
T{ 1 CHARS -> 1 }T
T{ 1 CELLS 1 CHARS - -> 0 }T
HERE 1 C, HERE 2 C, CONSTANT 2NDC CONSTANT 1STC
T{ 1STC CHAR+ -> 2NDC }T
T{ 1STC C@ 2NDC C@ -> 1 2 }T
T{ 3 1STC C! 1STC C@ -> 3 }T
T{ 259 2NDC C! 2NDC C@ -> 3 }T
T{ -1 1STC C! 1STC C@ -> 255 }T
T{ HERE ALIGNED -> HERE }T
T{ 5 ALIGNED -> 5 }T
T{ ALIGN -> }T
T{ 1STC 2NDC U< -> TRUE }T
T{ 2NDC 1STC U< -> FALSE }T
T{ -1 1 U< -> FALSE }T
T{ 1 -1 U< -> TRUE }T
T{ BL -> 32 }T

\ ---- FILL, MOVE, ERASE on character cells
CREATE BUF 8 ALLOT
T{ BUF 8 CHAR a FILL BUF C@ BUF 7 + C@ -> 97 97 }T
T{ BUF 0 CHAR z FILL BUF C@ -> 97 }T
T{ S" xyz" BUF SWAP MOVE BUF 3 S" xyz" COMPARE -> 0 }T
T{ BUF BUF 1+ 3 MOVE BUF 4 S" xxyz" COMPARE -> 0 }T
T{ BUF 2 ERASE BUF C@ BUF 1+ C@ BUF 2 + C@ -> 0 0 121 }T
T{ PAD 3 CHAR q FILL PAD 3 S" qqq" COMPARE -> 0 }T

\ ---- counted strings, WORD, FIND, >NUMBER
T{ C" abc" COUNT NIP -> 3 }T
T{ C" abc" COUNT DROP C@ -> 97 }T
T{ C" " COUNT NIP -> 0 }T
: GS3 WORD COUNT SWAP C@ ;
T{ BL GS3 HELLO -> 5 CHAR H }T
T{ CHAR " GS3 "GOODBYE" -> 7 CHAR G }T
T{ BL WORD DUP FIND NIP -> -1 }T
T{ C" NO-SUCH-WORD" FIND NIP -> 0 }T
T{ 0. S" 123" >NUMBER -> 123 0 S" 123" + 0 }T
T{ 0. S" 12ab" >NUMBER NIP -> 12 0 2 }T
T{ 1. S" 2" >NUMBER 2DROP -> 12 0 }T
T{ 0. S" " >NUMBER NIP -> 0 0 0 }T
T{ HEX 0. S" fF" >NUMBER NIP DECIMAL -> 255 0 0 }T
T{ 0. S" 18446744073709551616" >NUMBER NIP -> 0 1 0 }T

\ ---- pictured numeric output
: PIC ( d -- c-addr u ) <# #S #> ;
T{ 0. PIC S" 0" COMPARE -> 0 }T
T{ 1234. PIC S" 1234" COMPARE -> 0 }T
T{ -1 -1 PIC NIP -> 39 }T
T{ 255. HEX PIC DECIMAL S" FF" COMPARE -> 0 }T
: SIGNED ( n -- c-addr u ) DUP ABS S>D <# #S ROT SIGN #> ;
T{ -42 SIGNED S" -42" COMPARE -> 0 }T
T{ 42 SIGNED S" 42" COMPARE -> 0 }T
T{ 12. <# # # CHAR . HOLD # #> S" 0.12" COMPARE -> 0 }T
T{ 5. <# S" px" HOLDS #S #> S" 5px" COMPARE -> 0 }T
T{ 7. <# # #> 2DROP 8. <# #S #> S" 8" COMPARE -> 0 }T

\ ---- parsing and the input source
T{ SOURCE NIP 0> -> TRUE }T
T{ SOURCE DROP C@ -> CHAR T }T
: GS4 SOURCE >IN ! DROP ;
T{ GS4 123 456
   -> }T
T{ >IN @ 0> -> TRUE }T
: GN1 PARSE-NAME ;
T{ GN1 abcd NIP -> 4 }T
T{ GN1   xy NIP -> 2 }T
T{ CHAR ) PARSE abc) NIP -> 3 }T
: SKIP3 >IN @ 3 + >IN ! ;
T{ SKIP3 99 7 -> 7 }T
: AGAIN? ( n -- n' ) 1+ DUP 3 < IF >IN @ 7 - >IN ! THEN ;
T{ 0 AGAIN? -> 3 }T

\ ---- ENVIRONMENT? answers what it knows and false otherwise
T{ S" MAX-CHAR" ENVIRONMENT? -> 255 TRUE }T
T{ S" /COUNTED-STRING" ENVIRONMENT? -> 255 TRUE }T
T{ S" FLOORED" ENVIRONMENT? -> TRUE TRUE }T
T{ S" MAX-N" ENVIRONMENT? -> 9223372036854775807 TRUE }T
T{ S" NO-SUCH-QUERY" ENVIRONMENT? -> FALSE }T

\ ---- number forms
T{ #-1289 -> -1289 }T
T{ $-10 -> -16 }T
T{ %-101 -> -5 }T
T{ 'z' -> 122 }T
T{ '"' -> 34 }T
T{ 1. -> 1 0 }T
T{ -1. -> -1 -1 }T
T{ $10. -> 16 0 }T
T{ : GL1 2. ; GL1 -> 2 0 }T
