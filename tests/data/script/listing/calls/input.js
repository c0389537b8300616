function f(a) { return a; }
var o = {m: f};
f(1, 2);
o.m(3);
o["m"](4);
o[f("m")](5);
f(f)(6);
(function () { return 7; })();
new f;
new f(8);
new o.m(9);
