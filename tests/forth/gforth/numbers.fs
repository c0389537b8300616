\ Double-cell numbers, pictured output and right-aligned printing; gforth prints the same.
1. D. -1. D. 123456789012345678901234567890. D. CR
-5. 8 D.R 5. 3 D.R 12345. 2 D.R CR
-1 U. 0 U. 42 6 U.R CR
HEX FF. D. -1 U. DECIMAL CR
: PIC ( d -- ) <# # # [CHAR] . HOLD #S #> TYPE SPACE ;
12345. PIC 5. PIC 0. PIC CR
: SIGNED ( n -- ) DUP ABS S>D <# #S ROT SIGN #> TYPE SPACE ;
-42 SIGNED 42 SIGNED 0 SIGNED CR
7 S>D 2 FM/MOD . . -7 S>D 2 FM/MOD . . -7 S>D 2 SM/REM . . CR
-1 -1 UM* D. 3 -4 M* D. 1. 2. D+ D. 10. 3. D- D. CR
5. 7 11 M*/ D. -5. 7 11 M*/ D. 1. D2* D. -8. D2/ D. CR
1. 2. D< . -1. 1. DU< . 0. D0= . -3. DABS D. 3. DNEGATE D. CR
: GREET C" hello" COUNT TYPE ; GREET CR
S" abcdef" 2 /STRING TYPE SPACE S" abc  " -TRAILING TYPE CR
S" abcdef" S" cd" SEARCH . TYPE CR
S" abc" S" abd" COMPARE . S" b" S" a" COMPARE . S" x" S" x" COMPARE . CR
DEFER GREETING  : HI ." hi" ;  ' HI IS GREETING GREETING CR
: LOOPS 0 10 DO I . -3 +LOOP ; LOOPS CR
: LOOPS2 1 4 DO I . -1 +LOOP ; LOOPS2 CR
