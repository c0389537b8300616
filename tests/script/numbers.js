// Numbers: text forms, conversions, Number and Math.

print("integers", 0, -0, 1, -1, 123456789, 2147483648, 9007199254740993, 1e15, 1e21, -1e21)
print("huge integers", Math.pow(2, 63), Math.pow(2, 64), 1e25, -Math.pow(2, 70))
print("fractions", 0.5, 1 / 3, 2 / 3, 0.1 + 0.2, 123.456, 1e-7, 1.5e-10, 3.14159265)
print("special", NaN, Infinity, -Infinity, Number.NaN, Number.POSITIVE_INFINITY)
print("radix", (255).toString(16), (-255).toString(16), (255).toString(2), (35).toString(36),
      (10).toString(), (10).toString(0), (8).toString(8), Math.pow(2, 64).toString(16),
      (0.5).toString(2), (12).toString(10))

print("toFixed", (1.005).toFixed(2), (1.5).toFixed(0), (2.5).toFixed(0), (1234.5678).toFixed(2),
      (0).toFixed(3), (-1.5).toFixed(1), (1e21).toFixed(2), (123).toFixed(), NaN.toFixed(2))

// String to number: trimmed, whole text, hexadecimal, Infinity; empty text is NaN.
print("from text", Number("42"), Number("  42  "), Number(" 0x1F "), Number("1e3"), Number(".5"),
      Number("5."), Number("-Infinity"), Number(""), Number(" "), Number("12px"),
      Number("0x"), Number("010"), Number(null), Number(undefined), Number(true), Number(false))

print("parseInt", parseInt("12px"), parseInt("  42 "), parseInt("010"), parseInt("0x1f"),
      parseInt("42 43"), parseInt("-17"), parseInt("ff", 16), parseInt("0xff", 16),
      parseInt("777", 8), parseInt("9", 8), parseInt("z", 36), parseInt("1", 37), parseInt(""),
      parseInt("08"), parseInt("12", 0))
print("parseFloat", parseFloat("0.1"), parseFloat("3.5px"), parseFloat("  -2.5e3 "),
      parseFloat("Infinity"), parseFloat("abc"), parseFloat(".5"), parseFloat("1e1000"))
print("isNaN", isNaN(NaN), isNaN("abc"), isNaN("12"), isNaN(undefined), isNaN(null))
print("isFinite", isFinite(1), isFinite(Infinity), isFinite(NaN), isFinite("7"))

print("Number", Number(), typeof Number(1), typeof new Number(1), new Number(7).valueOf(),
      Number.MAX_VALUE > 1e308, Number.MIN_VALUE > 0, Number.MIN_VALUE / 2,
      Number.NEGATIVE_INFINITY)

print("Math constants", Math.PI, Math.E, Math.SQRT2, Math.LN2, Math.LN10, Math.LOG2E,
      Math.LOG10E, Math.SQRT1_2)
print("Math functions", Math.abs(-3), Math.ceil(1.2), Math.floor(-1.2), Math.sqrt(16),
      Math.pow(2, 0.5), Math.exp(0), Math.log(Math.E), Math.sin(0), Math.cos(0),
      Math.tan(0), Math.atan2(1, 1) * 4, Math.acos(1), Math.asin(0), Math.atan(0))
print("Math.max and min", Math.max(), Math.min(), Math.max(1, 3, 2), Math.min(1, 3, 2),
      Math.max(1, NaN, 3), Math.min("2", 1), Math.max(-0, 0))
print("Math.round", Math.round(2.5), Math.round(-2.5), Math.round(-0.4), 1 / Math.round(-0.4),
      1 / Math.round(-0), Math.round(0.49), Math.round(NaN))
var r = Math.random()
print("Math.random", r >= 0 && r < 1, typeof r)

// Integer conversions of the bit operators wrap at 32 bits.
print("int32", 4294967296 | 0, 4294967295 | 0, -1 >>> 0, 1.9 | 0, -1.9 | 0, NaN | 0,
      Infinity | 0, 1 << 33)

"numbers done"
