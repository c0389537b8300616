\ Integer arithmetic, comparison and bit words; floats.
3 4 + . 10 3 - . 6 7 * . CR
17 5 / . 17 5 MOD . 17 5 /MOD . . CR
-17 5 / . -17 5 MOD . 17 -5 / . 17 -5 MOD . CR
1000000 3 7 */ . 10 3 4 */MOD . . CR
5 NEGATE . -5 ABS . 3 9 MAX . 3 9 MIN . CR
1 1+ . 1 1- . 4 2* . -9 2/ . CR
$F0 $3C AND . $F0 $3C OR . $F0 $3C XOR . 0 INVERT . CR
1 10 LSHIFT . 1024 3 RSHIFT . -1 1 RSHIFT . CR
1 2 < . 2 1 < . 1 2 > . 2 2 = . 2 3 <> . 2 2 >= . CR
0 0= . 5 0= . -5 0< . 5 0> . 0 0<> . 0 0>= . CR
-1 1 U< . -1 1 U> . 3 1 5 WITHIN . 5 1 5 WITHIN . CR
TRUE . FALSE . CR
9223372036854775807 1+ . CR
HEX FF . 10 . -1 . DECIMAL 10 . CR
2 BASE ! 1010 . DECIMAL CR
1.5E0 . 2E . -3.25e2 . 1e100 . CR
3.0E0 FLOOR . -3.5E0 FLOOR . 0E0 FSIN . 0E0 FCOS . 0E0 FTAN . CR
1 0 /
1.5E0 1 +
1 FLOOR
S" x" DROP NEGATE
' DUP 1 +
.S
