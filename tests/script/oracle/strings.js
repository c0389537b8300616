// String building and the plain-text string methods.
var s = ""
for (var i = 0; i < 10; i++) s += String.fromCharCode(97 + i)
print(s, s.length, s.charAt(3), s.charCodeAt(3), s.indexOf("def"), s.lastIndexOf("a"))
print(s.slice(2, 5), s.slice(-3), s.substring(5, 2), s.toUpperCase(), "MiXeD".toLowerCase())
var words = "the quick brown fox jumps over the lazy dog".split(" ")
print(words.length, words[4], words.join("-"), words.slice(1, 3).join(","))
var counts = {}
for (var w = 0; w < words.length; w++) {
    var word = words[w]
    counts[word] = (counts[word] ? counts[word] : 0) + 1
}
print(counts.the, counts.fox, counts.cat)
var reversed = words.slice(0).reverse().join(" ")
print(reversed)
var csv = "a,b,c;d,e;f"
var rows = csv.split(";")
for (var r = 0; r < rows.length; r++) print(r, rows[r].split(",").length, rows[r].split(",").join("|"))
print("abc".concat("def", 1, 2), "x" + 1 + 2, 1 + 2 + "x", "5" * "4", "10" - 3)
var padded = ""
for (var p = 0; p < 3; p++) padded = "0" + padded
print(padded + 7, ("" + 12345).length, String(123).charAt(0))
print("Hello".indexOf("l"), "Hello".indexOf("l", 3), "Hello".indexOf("z"), "Hello".search("ll"))
print("a-b-c".split("-").length, "".length, "x".length, "abc".charAt(5) == "")
var joined = []
for (var c = 0; c < 5; c++) joined.push(c * c)
print(joined.join(), joined.join(""), joined.join(", "), joined.toString())
