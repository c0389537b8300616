// Errors raised by natives carry the line of the call.
var x = 1.5
print(x.toFixed(2))
print(
    x.toFixed(21))
