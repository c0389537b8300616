// Lexing and parsing: automatic semicolons, literals, comments, escapes and labels.

// A line break ends a statement where a semicolon is missing.
var x = 1
var y = 2
print("asi", x, y)

// `return` followed by a line break returns undefined.
function early() {
    return
    42;
}
print("return newline", early())

// A `++` after a line break belongs to the next statement.
var i = 5, j = 10
i
++j
print("prefix after newline", i, j)

// Array literals: an empty position and a trailing comma each add an undefined element.
var holes = [1,,2]
print("holes", holes.length, holes[1], holes[2])
var trailing = [1,]
print("trailing", trailing.length, trailing[1])
print("empty", [].length, [,].length)

// Object literal keys: identifiers, strings and numbers; a trailing comma is allowed.
var o = {name: "n", "quoted key": 2, 7: "seven", 1.5: "x",}
print("object", o.name, o["quoted key"], o[7], o["1.5"])

// Number literals: decimal, fraction, exponent, hexadecimal and octal.
print("numbers", 10, 0.5, .25, 5., 1e3, 2E-2, 0x1F, 0XFF, 017, 0)

// String escapes.
print("escapes", "a\tb" == "a" + String.fromCharCode(9) + "b", "\x41\u0042\103", "\101\400".length,
      'single "double"', "double 'single'", "back\\slash", "\v" == "v", "\q")
print("octal", "\0".charCodeAt(0), "\7".charCodeAt(0), "\77".charCodeAt(0), "\377".charCodeAt(0))

/* A block comment
   spanning lines */
print("comments", 1 /* inline */ + 2) // trailing

// Member access with literal keys is the same as dot access.
var p = {a: 1}
print("keys", p["a"], p.a)

// Labelled statements and nested labels.
a: b: for (var k = 0; k < 3; k++) {
    if (k == 1) continue a
    if (k == 2) break b
    print("labelled", k)
}
block: {
    print("in block")
    break block
    print("never")
}

// Keywords that are reserved are not identifiers, but `instanceof` is an ordinary name.
var instanceof = "a name"
print(instanceof)

// The value of the program is the value of its last statement.
"syntax done"
