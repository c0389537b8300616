// A 10-million-iteration numeric loop over globals and locals.
var calls = 0, total = 0;
function run() {
    var local = 0;
    for (var i = 0; i < 10000000; i++) {
        local = local + (i & 255) * 3;
        total = total + 1;
    }
    calls = calls + 1;
    return local;
}
print(run(), total, calls);
