\ File words with string-cell names; runs in a scratch directory.
S" qzforth-case.txt" W/O CREATE-FILE . VALUE FID
S" line one" FID WRITE-LINE .
S" line two" FID WRITE-LINE .
S" tail" FID WRITE-FILE .
FID FILE-POSITION . D. FID CLOSE-FILE . CR
S" qzforth-case.txt" R/O OPEN-FILE . TO FID
80 FID READ-LINE . . . . CR
4 FID READ-LINE . . . . CR
80 FID READ-LINE . . . . CR
80 FID READ-LINE . . . . CR
80 FID READ-LINE . . . . CR
0. FID REPOSITION-FILE . 4 FID READ-FILE . . . CR
FID CLOSE-FILE . FID CLOSE-FILE . CR
S" qzforth-case.txt" R/W OPEN-FILE . TO FID FID FILE-POSITION . D. FID CLOSE-FILE . CR
S" qzforth-case.fs" W/O CREATE-FILE . TO FID
S" : FROM-FILE 123 ;" FID WRITE-LINE . FID CLOSE-FILE . CR
S" qzforth-case.fs" INCLUDED FROM-FILE . CR
INCLUDE qzforth-case.fs FROM-FILE . CR
S" qzforth-case.fs" R/O OPEN-FILE . INCLUDE-FILE FROM-FILE . CR
S" qzforth-case.txt" DELETE-FILE . S" qzforth-case.fs" DELETE-FILE . CR
S" qzforth-case.txt" DELETE-FILE 0> . CR
S" qzforth-case.txt" R/O OPEN-FILE 0> . . CR
S" x" 8 OPEN-FILE . . CR
R/O . W/O . R/W . R/O BIN . W/O BIN . CR
77 FILE-POSITION . D. 77 CLOSE-FILE . 1. 77 REPOSITION-FILE . CR
-1 -1 77 RESIZE-FILE . 1 1 77 REPOSITION-FILE . CR
80 77 READ-LINE . . . . CR
INCLUDE qzforth-no-such-file.fs
S" qzforth-no-such-file.fs" INCLUDED
77 INCLUDE-FILE
