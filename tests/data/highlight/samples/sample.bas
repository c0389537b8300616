10 REM a program
20 LET A$ = "say ""hi"""
30 PRINT LEN(A$) + &HFF ' comment
40 IF X > 1.5E3 THEN GOTO 10
