// String values and String.prototype.

var s = "Hello, World"
print("length", s.length, "".length, new String("abc").length)
print("charAt", s.charAt(0), s.charAt(4), "[" + s.charAt(99) + "]", "[" + s.charAt(-1) + "]")
print("charCodeAt", s.charCodeAt(0), s.charCodeAt(99), "\u00e9".charCodeAt(0))
print("fromCharCode", String.fromCharCode(), String.fromCharCode(72, 105), String.fromCharCode(65601))
print("indexOf", s.indexOf("o"), s.indexOf("o", 5), s.indexOf("o", -5), s.indexOf("xyz"),
      s.indexOf(""), s.indexOf("", 99))
print("lastIndexOf", s.lastIndexOf("o"), s.lastIndexOf("o", 5), s.lastIndexOf("o", 3),
      s.lastIndexOf("H", 0), s.lastIndexOf("zz"), s.lastIndexOf(""))
print("search and match", s.search("World"), s.search("world"), s.match("o"))
print("concat", "a".concat("b", 1, null), "x".concat())

// replace swaps every occurrence of plain text.
print("replace", "aXbX".replace("X", "-"), "a.b.c".replace(".", ""), "aaa".replace("a", "aa"),
      "abc".replace("", "-"), "abc".replace("z", "-"))

// split keeps empty pieces.
var parts = "a,b,,c".split(",")
print("split", parts.length, parts[2] == "", parts, "abc".split("").length, "abc".split().length,
      "".split(",").length, ",".split(",").length, "a--b".split("--"))

print("slice", s.slice(7), s.slice(-5), s.slice(0, 5), s.slice(-5, -1), s.slice(5, 2) == "")
print("substring", s.substring(7), s.substring(5, 0), s.substring(-3, 2), s.substring(2, 99))
print("case", s.toUpperCase(), s.toLowerCase(), "\u00c9".toLowerCase() == "\u00e9",
      s.toLocaleUpperCase(), s.toLocaleLowerCase())
print("trim", "[" + "  a   b  ".trim() + "]", "[" + "\t x \n y ".trim() + "]", "[" + "".trim() + "]")
print("localeCompare", "a".localeCompare("b"), "b".localeCompare("a"), "a".localeCompare("a"))

// Comparison is by code units.
print("compare", "a" < "b", "Z" < "a", "abc" < "abd", "ab" < "abc", "" < "a", "\u00e9" > "z")

// String() converts; new String() wraps.
print("String()", String(), String(12), String(null), String([1, 2]), typeof String(1),
      typeof new String(1), new String("w").valueOf(), "v".valueOf(), "t".toString())

// Strings are values: equal texts are equal however they were made.
var built = "ab" + "c"
print("equality", built == "abc", "abc".slice(0) == built, ("a" + "bc").length)

"strings done"
