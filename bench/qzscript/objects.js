// Object and array churn: make objects, push them, sort them, read them back.
function Item(id, weight) { this.id = id; this.weight = weight; this.tags = [id % 7, id % 11]; }
var seed = 12345;
function random() { seed = (seed * 1103515245 + 12345) % 2147483648; return seed; }
var sum = 0, firsts = 0;
for (var round = 0; round < 40; round++) {
    var items = [];
    for (var i = 0; i < 5000; i++)
        items.push(new Item(i, (random() % 100000) * 5000 + i));
    items.sort(function (a, b) { return a.weight - b.weight; });
    var pairs = [];
    for (var j = 0; j < items.length; j += 5)
        pairs.push({first: items[j].id, second: items[j].tags[0] + items[j].tags[1]});
    for (var k = 0; k < pairs.length; k++) sum = (sum + pairs[k].second) % 1000003;
    firsts = (firsts + items[0].weight + items[items.length - 1].weight) % 1000003;
}
print(sum, firsts);
