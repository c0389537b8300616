var g = 0;
var o = {};
function f(p, q) {
    var l = 1;
    l += p;
    p = q;
    l++;
    ++p;
    var r = q--;
    o.x = l;
    o["y"] = p;
    o[l] = 3;
    o.x *= 2;
    o[q] -= 1;
    o.z++;
    delete o.x;
    delete o[q];
    delete l;
    g = r;
    g++;
    return g;
}
