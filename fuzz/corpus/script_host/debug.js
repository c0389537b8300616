var n = Debug.breakexpr(0x20000010);
Debug.print('*(unsigned int *)0x20000000', 'x');
Debug.setprintradix(16);
var s = Debug.evaluate('(1 + 2) * 3') + n + Debug.stopped() + Debug.deletebreak(0);
Debug.wait(1);
Debug.go();
