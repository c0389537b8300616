\ Regions: CREATE, ALLOT, comma, fetch and store, HERE.
CREATE BUF 4 ALLOT
BUF . BUF 3 + . CR
11 BUF ! 22 BUF 1+ ! 33 BUF 2 CELLS + ! BUF @ . BUF 1+ @ . BUF 2 + @ . CR
BUF 3 + @ . CR
5 BUF +! BUF @ . CR
BUF 3 CELLS + BUF - . CR
1 2 BUF 2! BUF 2@ . . CR
CREATE LIST 1 , 2 , 3 , LIST 2 + @ . HERE . CR
VARIABLE V V @ . 7 V ! V @ . V . CR
S" text" V ! V @ . CR
5 ' DUP V ! V @ EXECUTE . . CR
CREATE SRC 1 , 2 , 3 , CREATE DST 3 ALLOT SRC DST 3 MOVE DST 2 + @ . CR
CREATE C 3 , CHAR a , CHAR b , CHAR c , C COUNT . @ EMIT CR
UNUSED 0> . CR
BUF 4 + @
9 BUF -1 + !
5 @
BUF BUF !  BUF @ .
CREATE SHRINK 3 ALLOT -2 ALLOT SHRINK 1 + @
-5 ALLOT
