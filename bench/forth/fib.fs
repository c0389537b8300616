\ Recursive Fibonacci through RECURSE, fib(25) ten times.
: FIB ( n -- fib ) DUP 2 < IF EXIT THEN DUP 1- RECURSE SWAP 2 - RECURSE + ;
: FIBS ( -- n ) 0 10 0 DO 25 FIB + LOOP ;
FIBS . CR
