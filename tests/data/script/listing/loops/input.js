var total = 0;
for (var i = 0; i < 10; i++) {
    if (i == 5) continue;
    total += i;
}
while (total > 0) total--;
do { total++; } while (total < 3);
for (;;) { break; }
for (var k in this) total++;
outer: for (var a = 0; a < 2; a++) {
    for (var b = 0; b > -2; b--) {
        continue outer;
    }
}
