// String building with split and join.
var text = "the quick brown fox jumps over the lazy dog and keeps running through the night";
var checksum = 0, longest = 0;
for (var round = 0; round < 20000; round++) {
    var words = text.split(" ");
    var upper = [];
    for (var i = 0; i < words.length; i++)
        upper.push(words[i].toUpperCase() + (round % 10));
    var line = upper.join(",");
    var parts = line.split(",");
    checksum = (checksum + parts.length + line.length + line.charCodeAt(round % line.length)) % 1000003;
    if (line.length > longest) longest = line.length;
    text = words.slice(1).join(" ") + " " + words[0];
}
print(checksum, longest);
