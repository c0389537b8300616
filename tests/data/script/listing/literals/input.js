var a = [1, , "s", [2], 100000];
var o = {k: 1, "quoted": [], 3: 4.5};
var e = [];
var n = -1;
var t = true, f = false, u = null;
