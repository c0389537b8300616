// A call of something that is not a function ends the script with its place.
function helper(o) {
    return o.missing(1)
}
print("before")
helper({})
print("never")
