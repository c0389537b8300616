// Objects, prototypes, property attributes and conversions to primitives.

var o = new Object()
o.a = 1
print("Object()", typeof Object(), typeof new Object(5), new Object("s").length, Object(null).a)
print("toString", o.toString(), Object.prototype.toString(), [].toString(), String(this),
      Math.toString())
print("class strings", o.toString.toString(), {}.toString == Object.prototype.toString)

// hasOwnProperty, isPrototypeOf and propertyIsEnumerable.
function Animal() { this.legs = 4; }
Animal.prototype.sound = "..."
var cat = new Animal()
print("own", cat.hasOwnProperty("legs"), cat.hasOwnProperty("sound"), "s".hasOwnProperty("length"),
      [1].hasOwnProperty("0"), [1].hasOwnProperty("length"))
print("prototype of", Animal.prototype.isPrototypeOf(cat), Object.prototype.isPrototypeOf(cat),
      cat.isPrototypeOf(Animal.prototype), Object.prototype.isPrototypeOf(5))
print("enumerable", cat.propertyIsEnumerable("legs"), cat.propertyIsEnumerable("sound"),
      [1].propertyIsEnumerable("length"), Math.propertyIsEnumerable("PI"))

// Read-only and not-deletable properties.
Math.PI = 3
print("read-only", Math.PI == 3, delete Math.PI, delete Math.abs, typeof Math.abs)
var f = function(a, b) {}
f.length = 9
print("function length", f.length, delete f.length)

// valueOf and toString drive the conversions; a result that is an object is skipped.
var money = {valueOf: function() { return 5; }, toString: function() { return "five"; }}
print("conversions", money + 1, money * 2, "" + money, money < 6, String(money), [money].join())
var onlyString = {toString: function() { return "7"; }}
print("toString only", onlyString * 2, onlyString + 1)
var skipsObject = {valueOf: function() { return {}; }, toString: function() { return "t"; }}
print("skips an object result", skipsObject + "!")
var skipsUndefined = {valueOf: function() { }, toString: function() { return "u"; }}
print("skips undefined", skipsUndefined + "!")
var when = new Date(0)
print("a Date prefers its text", typeof (when + 1), when - 0)

// Wrapper objects.
var bool = new Boolean(false)
print("wrappers", typeof bool, bool.valueOf(), bool ? "truthy" : "falsy", new Number(5) + 1,
      new String("ab") + "c", typeof new String("x"))
print("primitive methods", (5).toString(), true.toString(), "abc".toUpperCase())

// Properties named by numbers use the number's text.
var numbered = {}
numbered[1] = "one"
numbered[1.5] = "one and a half"
numbered[-2] = "minus two"
print("numeric names", numbered["1"], numbered["1.5"], numbered["-2"])

// An undeclared variable reads as undefined; assigning creates a global property.
print("undeclared", typeof neverDeclared, neverDeclared)
createdByAssignment = 1
print("created", this.createdByAssignment, this.hasOwnProperty("createdByAssignment"))

"objects done"
