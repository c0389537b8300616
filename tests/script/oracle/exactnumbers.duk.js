// Number text and `var arguments`, which mujs gets wrong itself (it prints some fractions
// inexactly and lets `var arguments` hide the arguments object): duktape only.

// Numbers with a fraction print in the shortest form that reads back as the same number.
var fractions = [1 / 3, 2 / 3, 0.1, 0.1 + 0.2, 123456.789, -1.5, 1234567.5, 0.000001,
                 0.0000015, 1e-7, -2.5e-10, 5e-324, 1.7976931348623157e-300, 4503599627370495.5];
for (var i = 0; i < fractions.length; i++)
    print("number", fractions[i], Number(String(fractions[i])) == fractions[i]);
print("sum", 0.1 * 3, 1 / 7, Math.PI, Math.E, Math.SQRT2);

// A var declaration leaves the arguments object in place.
function countArguments() { var arguments; return arguments.length; }
function assignArguments() { var arguments = 4; return arguments; }
print("arguments", countArguments(1, 2), assignArguments(1));
