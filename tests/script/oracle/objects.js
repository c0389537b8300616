// Objects, prototypes, closures and arrays.
function Account(owner, balance) { this.owner = owner; this.balance = balance; }
Account.prototype.deposit = function (amount) { this.balance += amount; return this; }
Account.prototype.toString = function () { return this.owner + ":" + this.balance; }
var a = new Account("ann", 10)
a.deposit(5).deposit(7)
print(a, a.balance, a.hasOwnProperty("balance"), a.hasOwnProperty("deposit"))
function Savings(owner) { this.owner = owner; this.balance = 0; this.rate = 2; }
Savings.prototype = new Account("proto", 0)
Savings.prototype.interest = function () { return this.balance * this.rate; }
var s = new Savings("sam")
s.deposit(50)
print(s, s.interest(), Account.prototype.isPrototypeOf(s))

function makeCounter() {
    var count = 0
    return { inc: function () { count++; return count; }, get: function () { return count; } }
}
var c1 = makeCounter(), c2 = makeCounter()
c1.inc(); c1.inc(); c2.inc()
print(c1.get(), c2.get())

var stack = [1, 2, 3]
stack.push(4, 5)
print(stack.pop(), stack.shift(), stack, stack.length)
var nums = [15, 3, 42, 8, 23, 4, 16]
nums.sort(function (x, y) { return x - y })
print(nums, nums.slice(2, 4), nums.concat([100, 200], 300).length)
var people = [{n: "cy", a: 31}, {n: "al", a: 25}, {n: "bo", a: 47}]
people.sort(function (p, q) { return p.a - q.a })
var names = []
for (var i = 0; i < people.length; i++) names.push(people[i].n)
print(names.join(" "))
var matrix = []
for (var r = 0; r < 3; r++) { matrix[r] = []; for (var c = 0; c < 3; c++) matrix[r][c] = r * 3 + c }
print(matrix[1][2], matrix[2].join(), matrix.length)
var o = {x: 1, y: 2}
delete o.x
print(o.x, o.y, typeof o.x)
var keys = []
for (var k in {b: 1, a: 2, c: 3}) keys.push(k)
print(keys.sort().join())
var arr = [5, 1, 4]
arr.length = 2
print(arr, arr.length)
arr[5] = 9
print(arr.length, arr[5], arr.slice(0, 2))
var fns = []
for (var f = 0; f < 3; f++) fns.push((function (v) { return function () { return v * 10; }; })(f))
print(fns[0](), fns[1](), fns[2]())
print(new Array(3).length, [1, 2, 3].reverse(), typeof [].push, [10, 1, 3].sort())
