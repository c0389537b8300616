// Recursion that never ends stops with a fatal error, not a crash.
function down(n) { return down(n + 1) + 1; }
print("before")
down(0)
