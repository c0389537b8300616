// Library functions of the third edition added later: call and apply, unshift and the text
// of error objects. (substr, from the edition's annex, is missing from both peers.)
function describe(a, b) { return this.label + ":" + a + "," + b; }
var target = {label: "t"};
print("call", describe.call(target, 1, 2), describe.call(target, "x"));
print("apply", describe.apply(target, [3, 4]), Math.max.apply(null, [5, 9, 2]));
function count() { return arguments.length; }
print("apply arguments", count.apply(null, []), count.apply(null, [1, 2, 3]));
var list = [4, 5];
print("unshift", list.unshift(1, 2, 3), list.join(), list.unshift(), list.length);
var errors = [new TypeError("bad type"), new RangeError("far"), new Error("plain"),
              new SyntaxError("s"), new EvalError("e"), new URIError("u")];
for (var i = 0; i < errors.length; i++)
    print("error", errors[i].name, "[" + errors[i].message + "]");
