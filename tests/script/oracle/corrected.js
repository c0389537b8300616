// Rules this engine once got wrong: loose equality of null and undefined, the order of
// evaluation, eval's scope, native argument conversion and deleting a String's length.

// Null and undefined equal each other and nothing else.
var values = [null, undefined, 0, "", false, NaN, "null", {}];
var row = "";
for (var a = 0; a < 2; a++)
    for (var b = 0; b < values.length; b++)
        row += (values[a] == values[b] ? "1" : "0") + (values[a] != values[b] ? "1" : "0");
print("equality", row);

// Left operands and assignment targets are evaluated first.
var log = "";
function left() { log += "L"; return 1; }
function right() { log += "R"; return 2; }
var comparisons = [left() > right(), left() >= right(), left() < right(), left() <= right()];
print("comparisons", comparisons.join(), log);
var src = [10, 20, 30], dst = [], k = 0;
dst[k] = src[k++];
print("target first", dst.length, dst[0], k);
var slots = [5, 6, 7], j = 0;
slots[j++] = j;
print("key first", slots.join());
var first = {}, second = {}, holder = first;
function swapHolder() { holder = second; return "v"; }
holder.value = swapHolder();
print("object first", first.value, second.value);
var counter = 0, steps = [];
while (counter++ < counter && steps.length < 3) steps.push(counter);
var limit = 3;
print("loop", steps.join(), limit > (limit = 0), limit);

// Eval code runs in the caller's scope.
function evalReads() { var x = 5; return eval("x + 1"); }
function evalDeclares() { eval("var y = 7"); return y; }
function evalFunction(a) { eval("function twice() { return a * 2; }"); return twice(); }
function evalOuter() {
    var z = 1;
    function inner() { return eval("z = z + 1; z"); }
    return inner() + z;
}
function evalThis() { return eval("this"); }
var receiver = {m: evalThis};
print("eval", evalReads(), evalDeclares(), typeof y, evalFunction(21), typeof twice,
      evalOuter(), receiver.m() == receiver);
var globalValue = 3;
eval("var fromEval = globalValue + 1");
print("global eval", fromEval);

// Natives convert their operands left to right.
var order = "";
function tracked(name, value) { return {valueOf: function() { order += name; return value; }}; }
print("atan2", Math.atan2(tracked("y", 1), tracked("x", 1)) == Math.PI / 4, order);

// A String object's length stays.
var boxed = new String("abc");
print("delete length", delete boxed.length, boxed.length);
