\ Sieve of Eratosthenes over a CREATE/ALLOT region of 8190 flags, 200 passes.
8190 CONSTANT SIZE
CREATE FLAGS SIZE CELLS ALLOT
: SIEVE ( -- primes )
    SIZE 0 DO 1 FLAGS I CELLS + ! LOOP
    0 SIZE 0 DO
        FLAGS I CELLS + @ IF
            I 2* 3 +                  ( count prime )
            DUP I + BEGIN DUP SIZE < WHILE
                0 OVER CELLS FLAGS + !  OVER +
            REPEAT 2DROP
            1+
        THEN
    LOOP ;
: SIEVES ( -- primes ) 0 200 0 DO DROP SIEVE LOOP ;
SIEVES . CR
