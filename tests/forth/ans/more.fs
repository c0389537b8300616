\ Locals in braces, structures, memory allocation, the facility words and file words on
\ character buffers.

\ ---- {: ... :}
T{ : LC1 {: a b :} a b ; 1 2 LC1 -> 1 2 }T
T{ : LC2 {: a b :} b a ; 1 2 LC2 -> 2 1 }T
T{ : LC3 {: a | t :} t a ; 5 LC3 -> 0 5 }T
T{ : LC4 {: a b -- c :} a b + ; 3 4 LC4 -> 7 }T
T{ : LC5 {: a :} 10 TO a a ; 1 LC5 -> 10 }T
T{ : LC6 {: | x y :} 1 TO x 2 TO y x y ; LC6 -> 1 2 }T
T{ : LC7 {: a b c :} a b c ; 1 2 3 LC7 -> 1 2 3 }T
T{ : LC8 {: a :} a IF a 1- RECURSE a THEN ; 3 LC8 -> 1 2 3 }T
T{ : LC9 {: a
           b :} a b - ; 9 4 LC9 -> 5 }T

\ ---- BEGIN-STRUCTURE, +FIELD, FIELD:, CFIELD:
BEGIN-STRUCTURE POINT
  FIELD: P.X
  FIELD: P.Y
  CFIELD: P.TAG
END-STRUCTURE
T{ POINT -> 3 }T
CREATE PT POINT ALLOT
T{ 7 PT P.X ! 8 PT P.Y ! 65 PT P.TAG C! -> }T
T{ PT P.X @ PT P.Y @ PT P.TAG C@ -> 7 8 65 }T
T{ PT P.Y -> PT 1+ }T
T{ 0 10 +FIELD F10 -> 10 }T
T{ PT F10 -> PT 0 + }T
BEGIN-STRUCTURE EMPTY END-STRUCTURE
T{ EMPTY -> 0 }T

\ ---- ALLOCATE, RESIZE, FREE
T{ 5 ALLOCATE SWAP DROP -> 0 }T
VARIABLE MEM
T{ 3 ALLOCATE DROP MEM ! -> }T
T{ 11 MEM @ ! 22 MEM @ 2 + ! MEM @ @ MEM @ 2 + @ -> 11 22 }T
T{ MEM @ 3 + ' @ CATCH NIP -> -9 }T
T{ MEM @ 10 RESIZE NIP -> 0 }T
T{ MEM @ @ 33 MEM @ 9 + ! MEM @ 9 + @ -> 11 33 }T
T{ MEM @ FREE -> 0 }T
T{ MEM @ ' @ CATCH NIP -> -9 }T
T{ HERE FREE 0= -> FALSE }T
T{ -1 ALLOCATE NIP 0= -> FALSE }T
T{ 0 ALLOCATE NIP -> 0 }T

\ ---- facility
T{ 0 MS -> }T
T{ TIME&DATE 2000 > >R 13 < >R 32 < >R 24 < >R 60 < >R 60 < R> R> R> R> R>
   -> TRUE TRUE TRUE TRUE TRUE TRUE }T

\ ---- file words with character buffers
CREATE LINE 20 ALLOT
: TMP S" qzforth-more.tmp" ;
VARIABLE FID
T{ TMP W/O CREATE-FILE SWAP FID ! -> 0 }T
T{ S" first" FID @ WRITE-LINE -> 0 }T
T{ S" second line" FID @ WRITE-LINE -> 0 }T
T{ FID @ FILE-SIZE -> 18 0 0 }T
T{ FID @ FLUSH-FILE -> 0 }T
T{ FID @ CLOSE-FILE -> 0 }T
T{ TMP R/O OPEN-FILE SWAP FID ! -> 0 }T
T{ LINE 20 FID @ READ-LINE -> 5 TRUE 0 }T
T{ LINE 5 S" first" COMPARE -> 0 }T
T{ LINE 6 FID @ READ-LINE -> 6 TRUE 0 }T
T{ LINE 6 S" second" COMPARE -> 0 }T
T{ LINE 20 FID @ READ-FILE -> 6 0 }T
T{ LINE 5 S"  line" COMPARE -> 0 }T
T{ LINE 20 FID @ READ-LINE -> 0 FALSE 0 }T
T{ FID @ CLOSE-FILE -> 0 }T
T{ TMP FILE-STATUS NIP -> 0 }T
T{ TMP S" qzforth-more2.tmp" RENAME-FILE -> 0 }T
T{ TMP FILE-STATUS NIP 0= -> FALSE }T
T{ S" qzforth-more2.tmp" DELETE-FILE -> 0 }T
T{ TMP W/O CREATE-FILE SWAP FID ! -> 0 }T
T{ S" abcdef" FID @ WRITE-FILE -> 0 }T
T{ FID @ FILE-POSITION -> 6. 0 }T
T{ 2. FID @ REPOSITION-FILE FID @ FILE-POSITION -> 0 2. 0 }T
T{ 3. FID @ RESIZE-FILE FID @ FILE-SIZE -> 0 3. 0 }T
T{ FID @ CLOSE-FILE TMP DELETE-FILE -> 0 0 }T
CREATE ALLOCATED 2 ALLOT
T{ ALLOCATED FREE 0= ALLOCATED 4 RESIZE NIP 0= -> FALSE FALSE }T
T{ 2 ALLOCATE DROP 1+ FREE 0= -> FALSE }T
