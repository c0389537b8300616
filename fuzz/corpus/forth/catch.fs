: R -5 THROW ; ' R CATCH . : L LOCALS| A B | A B - ; 1 2 L .
0 [IF] 1 [ELSE] 2 [THEN] . [DEFINED] DUP .
