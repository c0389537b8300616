function outer(p) {
    var hidden = p;
    function inner() {
        return hidden + arguments.length;
    }
    return inner;
}
function usesArguments() {
    return arguments[0];
}
function plain(x, x) {
    var y = x;
    return y;
}
