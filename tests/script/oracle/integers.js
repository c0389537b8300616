// Integer arithmetic, bit operations and recursion.
function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
function gcd(a, b) { while (b != 0) { var t = a % b; a = b; b = t; } return a; }
function factorial(n) { var r = 1; for (var i = 2; i <= n; i++) r *= i; return r; }
print(fib(15), gcd(1071, 462), factorial(10), factorial(18))

var sieve = [], primes = []
for (var i = 2; i < 100; i++) {
    if (sieve[i]) continue
    primes.push(i)
    for (var j = i * i; j < 100; j += i) sieve[j] = true
}
print(primes.length, primes.join(" "))

print(7 + 3, 7 - 10, 6 * 7, 20 / 4, 17 % 5, -17 % 5, 2147483647 + 1, -2147483648 - 1)
print(5 & 3, 5 | 3, 5 ^ 3, ~5, 1 << 10, -64 >> 3, -64 >>> 26, 0xFF, 0x7fffffff | 0, 0x80000000 | 0)
var bits = 0
for (var k = 0; k < 32; k += 3) bits |= 1 << k
print(bits, bits >>> 0, bits >> 16, (bits & 0xffff) ^ 0x5555)
print(Math.floor(7 / 2), Math.ceil(7 / 2), Math.abs(-9), Math.max(3, 8, 1), Math.min(3, 8, 1),
      Math.pow(3, 4), Math.sqrt(144))
var collatz = 0, n = 27
while (n != 1) { n = n % 2 ? 3 * n + 1 : n / 2; collatz++ }
print("collatz", collatz)
var digits = 0
for (var v = 1234567; v > 0; v = Math.floor(v / 10)) digits += v % 10
print("digits", digits, (255).toString(16), (255).toString(2), (-42).toString(8), parseInt("7f", 16))
print(1 == 1, 1 != 2, 3 < 2, "abc" < "abd", 2 >= 2, !true, !0, typeof 5, typeof "x", typeof {})
