S" a%1b" 5 STRING-ARG . S" x y" HTML-ESCAPE . 1 2 ,, .
CHAR , PARSE p,q . S" 7 8 +" EVALUATE .
