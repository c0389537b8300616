// Statements that direct the flow: if, loops, for-in, switch, labels and with.

var out = []
for (var i = 0; i < 5; i++) {
    if (i == 1) continue
    if (i == 4) break
    out.push(i)
}
print("for", out)

// An empty condition never ends the loop by itself.
var n = 0
for (;;) { if (++n == 3) break; }
print("for(;;)", n)

var w = 0, whiles = []
while (w < 3) whiles.push(w++)
print("while", whiles)

var d = 10, dos = []
do { dos.push(d); d++; } while (d < 3)
print("do runs once", dos)
var e = 0
do { e++; if (e == 2) continue; } while (e < 4)
print("do continue", e)

// Labelled continue reaches the outer loop's update.
var pairs = []
outer: for (var a = 0; a < 3; a++) {
    for (var b = 0; b < 3; b++) {
        if (b > a) continue outer
        if (a == 2 && b == 1) break outer
        pairs.push("" + a + b)
    }
}
print("labels", pairs)

// switch compares strictly and falls through until a break.
function classify(v) {
    var r = []
    switch (v) {
    case 1:
        r.push("one")
    case 2:
        r.push("two")
        break
    case "1":
        r.push("string one")
        break
    default:
        r.push("default")
    case 3:
        r.push("three")
    }
    return r.join("+")
}
print("switch", classify(1), classify(2), classify("1"), classify(3), classify(9))
switch (5) { }
switch (5) { case 4: print("never") }
print("switch without match")

// Inside a loop, `continue` in a switch continues the loop.
var odd = []
for (var k = 0; k < 6; k++) {
    switch (k % 2) {
    case 0:
        continue
    }
    odd.push(k)
}
print("switch continue", odd)

// for-in visits own and inherited enumerable properties once each, never a
// non-enumerable one, in an order that does not change from run to run.
function Base() {}
Base.prototype.inherited = 1
Base.prototype.shadowed = 2
var derived = new Base()
derived.own = 3
derived.shadowed = 4
var seen = []
for (var name in derived) seen.push(name + "=" + derived[name])
print("for-in", seen.sort())
var arrayKeys = []
for (var index in [7, 8, 9]) arrayKeys.push(index)
print("for-in array", arrayKeys)
var builtins = 0
for (var p in Math) builtins++
for (var q in Object.prototype) builtins++
print("for-in skips built-ins", builtins)
var target = {}
var count = 0
for (target.field in {x: 1, y: 2}) count++
print("for-in into a property", count, target.field == "x" || target.field == "y")

// with puts an object's properties in scope; assignments reach existing properties only.
var obj = {x: 1}
var x = "global x"
with (obj) {
    x = 2
    var fresh = 3
}
print("with", obj.x, x, obj.fresh, fresh)

// Leaving a with body by break or continue leaves its scope too.
var scoped = {marker: "inside"}
var marker = "outside"
for (var t = 0; t < 2; t++) {
    with (scoped) {
        if (t == 0) continue
        break
    }
}
print("with and break", marker)

// Closures created in a loop share the loop variable.
var fs = []
for (var c = 0; c < 3; c++) fs.push(function() { return c; })
print("closures over loop variable", fs[0](), fs[1](), fs[2]())

// A closure created per call keeps that call's variables.
function counter(start) {
    return function() { return start++; }
}
var c1 = counter(10), c2 = counter(20)
c1(); c1()
print("closures per call", c1(), c2())

"control done"
