\ square a number
: square ( n -- n*n ) dup * ;
variable total  $FF total !
." hello" cr  s" text" type
( a comment
  over lines ) 10 0 do i . loop
