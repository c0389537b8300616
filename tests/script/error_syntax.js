// A syntax error stops compilation before anything runs.
print("never")
var a = [1, 2
var b = 3
