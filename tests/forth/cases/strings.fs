\ Strings as cells, text output and parsing words.
S" hello" . . S" hello" TYPE CR
: GREET ." Hello, " S" world" TYPE ." !" ; GREET CR
.( printed while interpreting) CR
S" a b+c/d" HTML-ESCAPE TYPE CR
S" %1 and %2" S" one" STRING-ARG 2 STRING-ARG TYPE CR
S" %2 %1 %1" 7 STRING-ARG TYPE CR
S" total: " 42 ,, TYPE CR
12 S" ab" ,, TYPE CR
1.5E0 S" !" ,, TYPE CR
0. S" 123xyz" >NUMBER TYPE . . CR
0. C" 777" CONVERT DROP . . CR
CHAR " WORD quoted" COUNT TYPE CR
CHAR | PARSE up to| TYPE CR
S\" tab\there\x21\q" TYPE CR
1234. <# # # CHAR , HOLD #S #> TYPE CR
-1 U. 255 HEX U. DECIMAL -12. D. 7 4 U.R 7. 4 D.R CR
65 EMIT 66 EMIT SPACE 3 SPACES 67 EMIT CR
12 5 .R -3 5 .R CR
S" 1 2 + ." EVALUATE CR
( a comment ) \ and another
S" xyz" S" xyz" COMPARE . S" xy" S" xyz" COMPARE . CR
S" text" 1+
S" " TYPE 5 TYPE
