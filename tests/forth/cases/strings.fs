\ Strings as cells, text output and parsing words.
S" hello" . S" hello" TYPE CR
: GREET ." Hello, " S" world" TYPE ." !" ; GREET CR
.( printed while interpreting) CR
S" a b+c/d" HTML-ESCAPE . CR
S" %1 and %2" S" one" STRING-ARG 2 STRING-ARG . CR
S" %2 %1 %1" 7 STRING-ARG . CR
S" total: " 42 ,, . CR
12 S" ab" ,, . CR
1.5E0 S" !" ,, . CR
S" 123xyz" 0 SWAP >NUMBER . . CR
S" 777" 0 SWAP CONVERT . . CR
CHAR " WORD quoted" . CR
CHAR | PARSE up to| . CR
65 EMIT 66 EMIT SPACE 3 SPACES 67 EMIT CR
12 5 .R -3 5 .R CR
S" 1 2 + ." EVALUATE CR
( a comment ) \ and another
S" xyz" S" xyz" = . S" xy" S" xyz" = . CR
S" text" 1+
S" " TYPE 5 TYPE
