// Operators and the conversions behind them.

print("arithmetic", 7 + 3, 7 - 3, 7 * 3, 7 / 2, 7 % 3, -7 % 3, 7 % -3, 5.5 % 2)
print("division", 1 / 0, -1 / 0, 0 / 0, 1 / 3)
var zero = 0
print("signed zero remainder", 1 / (-zero % 5), 1 / (-4 % 2), 1 / (zero % -5))
print("string plus", "a" + 1, 1 + "a", 1 + 2 + "3", "1" + 2 + 3, "x" + null + undefined + true)
print("numeric strings", "6" * "7", "10" / "4", "3" - 1, +"  12  ", +"", +"0x10", -"5")
print("unary", -(-3), +true, +null, +undefined, ~5, ~-1, !0, !"", !"a", !!NaN)
print("bitwise", 5 & 3, 5 | 3, 5 ^ 3, 1 << 4, -16 >> 2, -16 >>> 28, 1 << 32, 2147483648 | 0)

// Loose equality.
print("equality", 1 == "1", 0 == "", "0" == false, true == 1, null == undefined,
      null == null, undefined == undefined, NaN == NaN, null == 0, "abc" == "abc")
print("inequality", 1 != 2, "a" != "a", null != undefined)
var a = {}, b = {}
print("objects", a == a, a == b, ({valueOf: function() { return 3; }}) == 3,
      ({toString: function() { return "s"; }}) == "s")

// Relational operators compare strings by code units, everything else as numbers.
print("relational", 1 < 2, 2 <= 2, 3 > 2, 2 >= 3, "a" < "b", "B" < "a", "10" < "9",
      "10" < 9, NaN < 1, NaN >= 1, null < 1, undefined < 1)

// typeof
print("typeof", typeof undefined, typeof null, typeof true, typeof 1, typeof "s",
      typeof {}, typeof [], typeof print, typeof Math.abs, typeof function() {},
      typeof notDeclared)

// Logical operators yield one of their operands.
print("logical", 0 || "x", 1 || "x", 0 && "x", 1 && "x", null || undefined, "" && 1)

// Conditional and comma operators.
var c = (1, 2, 3)
print("conditional", true ? "yes" : "no", 0 ? "yes" : "no", c)

// Compound assignment on variables, properties and indexed properties.
var n = 10
n += 5; n -= 3; n *= 2; n /= 4; n %= 4
var m = 6
m <<= 2; m >>= 1; m >>>= 1; m &= 7; m |= 8; m ^= 3
var s = "a"
s += "b"
var obj = {v: 1, w: "x"}
obj.v += 10
obj["w"] += "y"
var arr = [1, 2]
arr[1] *= 21
print("compound", n, m, s, obj.v, obj.w, arr[1], (obj.v -= 1), obj.v)

// Increment and decrement, prefix and postfix, on every kind of variable.
var g = 1
var gp = g++, gq = ++g, gr = g--, gs = --g
print("global inc", gp, gq, gr, gs, g)
function locals(p) {
    var l = 10
    var r = [p++, ++p, l--, --l]
    return r + " " + p + " " + l
}
print("local inc", locals(1))
var prop = {k: 5}
print("property inc", prop.k++, ++prop.k, prop["k"]--, --prop["k"], prop.k)
var str = "5"
print("string inc", str++, str, typeof str)
with ({w: 1}) {
    print("by name inc", w++, ++w, w)
}

// delete
var d = {x: 1, y: 2}
print("delete", delete d.x, d.x, delete d["y"], d.y, delete d.missing, delete g)
this.gone = 1
print("delete global property", delete this.gone, typeof this.gone)

// void
var sideEffect = 0
print("void", void 0, void (sideEffect = 5), sideEffect)

"operators done"
