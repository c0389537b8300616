// Arrays: length maintenance and the Array.prototype methods.

var a = [1, 2, 3]
a.length = 1
print("shrinking length", a.length, a[1], a[2], a)
a[4] = "e"
print("storing beyond the end", a.length, a[3], a)
a.length = 7
print("growing length", a.length, a)
var far = []
far[1000000] = 1
print("sparse", far.length, far[999999], far[1000000])
far.length = 10
print("sparse cut", far.length, far[1000000])
var named = []
named.name = "not an element"
named["2"] = "two"
named["02"] = "not an index"
print("names and indices", named.length, named[2], named["02"], named.name)

print("constructor", new Array(3).length, new Array(3)[0], new Array(1, 2).length, Array(4, 5),
      new Array("3").length, new Array().length)

// join converts null to empty text and undefined to its name.
print("join", [1, 2, 3].join(), [1, 2, 3].join(" - "), [null, 1].join(), [undefined, 1].join(),
      [1, [2, 3]].join(";"), [].join())

print("push and pop", [].push(), (function() { var s = [1]; return s.push(2, 3) + ":" + s; })())
var stack = [1, 2, 3]
print("pop", stack.pop(), stack.pop(), stack, stack.length, [].pop())
var queue = [1, 2, 3]
print("shift", queue.shift(), queue, [].shift())
print("reverse", [1, 2, 3].reverse(), [].reverse(), [1].reverse())
var holes = [1, , 3]
holes.reverse()
print("reverse with a hole", holes.length, holes[0], holes[1], holes[2])

// concat keeps every element, holes and undefined ones included.
var joined = [1, 2].concat(3, [4, undefined, 5], [[6]])
print("concat", joined.length, joined, joined[3], joined[6].length)
var withHole = [1, , 3].concat([4])
print("concat keeps holes", withHole.length, withHole[1], withHole[3])

print("slice", [1, 2, 3, 4].slice(1, 3), [1, 2, 3, 4].slice(-2), [1, 2, 3, 4].slice(2),
      [1, 2, 3].slice(5).length, [1, 2, 3].slice(1, -1))

// sort compares texts unless given a comparator; it sorts in place.
print("sort", [3, 1, 2].sort(), [10, 9, 1].sort(), ["b", "a", "C"].sort(),
      [true, false].sort())
var numbers = [5, 20, 100, 1, 33]
numbers.sort(function(x, y) { return x - y; })
print("sort with comparator", numbers)
numbers.sort(function(x, y) { return y - x; })
print("descending", numbers)
var people = [{n: "carol", age: 30}, {n: "al", age: 25}, {n: "bob", age: 35}]
people.sort(function(p, q) { return p.n < q.n ? -1 : 1; })
print("objects by key", people[0].n, people[1].n, people[2].n)
var big = []
for (var i = 0; i < 200; i++) big.push((i * 7919) % 211)
big.sort(function(x, y) { return x - y; })
var ordered = true
for (var j = 1; j < big.length; j++) if (big[j - 1] > big[j]) ordered = false
print("sorts 200 numbers", ordered, big[0], big[199])
print("sort of one and none", [1].sort(), [].sort())

// Array.prototype methods work on array-like objects too.
var like = {length: 2, 0: "x", 1: "y"}
like.join = Array.prototype.join
like.push = Array.prototype.push
print("array-like", like.join("+"), like.push("z"), like.length, like[2])

"arrays done"
