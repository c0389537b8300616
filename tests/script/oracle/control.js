// Statements: switch, labels, loops and with.
function grade(score) {
    switch (Math.floor(score / 10)) {
    case 10:
    case 9: return "A"
    case 8: return "B"
    case 7: return "C"
    default: return "F"
    }
}
print(grade(95), grade(100), grade(81), grade(70), grade(12))
var out = []
outer: for (var i = 0; i < 4; i++) {
    for (var j = 0; j < 4; j++) {
        if (j == i) continue outer
        if (i == 3) break outer
        out.push(i + "" + j)
    }
}
print(out.join(" "))
var total = 0, k = 0
do { total += k; k++ } while (k < 10)
print(total)
var w = 100, steps = 0
while (w > 1) { w = Math.floor(w / 3); steps++ }
print(w, steps)
var obj = {width: 3, height: 4}
with (obj) { print(width * height) }
var fizz = []
for (var n = 1; n <= 15; n++) {
    if (n % 15 == 0) fizz.push("FizzBuzz")
    else if (n % 3 == 0) fizz.push("Fizz")
    else if (n % 5 == 0) fizz.push("Buzz")
    else fizz.push(n)
}
print(fizz.join(","))
var count = 0
for (;;) { if (++count >= 5) break }
print(count)
var x = 0
x += 5; x -= 2; x *= 4; x /= 3; x %= 3
print(x)
var t = true ? "yes" : "no", f = 0 ? "yes" : "no"
print(t, f, 1 && 2, 0 || "default", null || undefined || 7)
