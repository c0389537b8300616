// Functions: declarations, expressions, closures, arguments, this, constructors.

// Declarations exist before the first statement of their body runs.
print("hoisted", hoisted(2))
function hoisted(v) { return v * 10; }

function outer() {
    return inner() + 1
    function inner() { return 41; }
}
print("hoisted inner", outer())

// length is the declared parameter count.
function three(a, b, c) {}
print("length", three.length, (function() {}).length, Math.max.length, print.length)

// Missing arguments are undefined; extra ones are only in `arguments`.
function args(a, b) {
    return [a, b, arguments.length, arguments[2], arguments.callee == args].join(",")
}
print("arguments", args(1), args(1, 2, 3))
function sum() {
    var total = 0
    for (var i = 0; i < arguments.length; i++) total += arguments[i]
    return total
}
print("variadic", sum(), sum(1, 2, 3, 4))

// A repeated parameter name: the last one wins.
function twice(a, a) { return a; }
print("repeated parameter", twice(1, 2))

// Named function expressions assign themselves to their name.
var f = function named(n) { return n <= 1 ? 1 : n * named(n - 1); }
print("named expression", f(5), typeof named)

// Calls of computed function values.
print("computed callee", (function(x) { return x + 1; })(1))
function maker() { return function(y) { return function(z) { return y * z; }; }; }
print("curried", maker()(6)(7))
var table = [function() { return "first"; }, function() { return "second"; }]
print("indexed callee", table[1](), table[0]())

// Recursion.
function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
print("fib", fib(20))

// Closures see later changes of the variables they close over.
function box() {
    var value = 1
    return {
        get: function() { return value; },
        set: function(v) { value = v; }
    }
}
var b = box()
b.set(42)
print("shared closure", b.get())

// Names used only inside a nested function and declared nowhere are globals.
function setsGlobal() { return function() { undeclaredGlobal = "set"; }; }
setsGlobal()()
print("implicit global", undeclaredGlobal)

// this: the receiver of a method call, the global object otherwise.
var o = {
    name: "o",
    who: function() { return this.name; },
    nested: function() { return (function() { return this == globalThis; })(); }
}
var globalThis = this
print("this", o.who(), o["who"](), o.nested())

// Constructors and prototypes.
function Point(x, y) {
    this.x = x
    this.y = y
}
Point.prototype.sum = function() { return this.x + this.y; }
var pt = new Point(3, 4)
print("constructor", pt.sum(), pt.constructor == Point, Point.prototype.isPrototypeOf(pt))
function Returns() { this.ignored = true; return {replaced: true}; }
var r = new Returns()
print("constructor returning an object", r.replaced, r.ignored)
function NoArgs() { this.made = true; }
print("new without parentheses", (new NoArgs).made)
Point.prototype = 5
print("non-object prototype", new Point(1, 1).sum)

// The Function constructor.
var add = new Function("a", "b", "return a + b")
var answer = Function("return 42")
print("Function", add(2, 3), answer(), add.length, Function("a, b", "c", "return a+b+c")(1, 2, 3))
print("function text", add.toString(), "" + fib)

// eval runs a separate program in the same context.
var evalGlobal = 1
print("eval", eval("evalGlobal + 1"), eval("1 +"), eval(5), eval("var fromEval = 9; fromEval"),
      fromEval)

"functions done"
