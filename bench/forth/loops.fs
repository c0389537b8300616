\ Nested counted loops: 30 million additions.
: LOOPS ( -- n )
    0 30 0 DO 1000 0 DO 1000 0 DO 1+ LOOP LOOP LOOP ;
LOOPS . CR
