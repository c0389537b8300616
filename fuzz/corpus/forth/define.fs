: SQ DUP * ;
7 SQ . CR
: F ( n -- ) 0 ?DO I . LOOP ;
5 F
