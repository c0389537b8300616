var a = 1, b = 2.5, c;
c = a + b * 3 - -a;
c = a > b || a <= b && !c;
c = a >= b ? "big" : null;
c = typeof a + void 0 + (a, b);
c = (a & 7) | (b ^ 1) << 2 >>> 1 >> 1 % 4 / 2;
c = a == b != true;
a + b;
