#pragma once

#include <QString>
#include <QStringView>

// Number scanning and formatting shared by the lexer, the conversions and the natives.
// Nothing here uses the C locale or a shared buffer, so contexts on different threads may
// convert at the same time.

enum ESScanOption {
    ScanFraction = 1,   // a fraction and an exponent
    ScanHex = 2,        // 0x prefix
    ScanOctal = 4,      // a leading 0 followed by digits
    ScanWhiteSpace = 8, // leading white space
    ScanSign = 16,      // a leading + or -
    ScanInfinity = 32,  // the word Infinity
};

struct ESNumberScan {
    enum Status { Ok, NoNumber, BadDigit };
    Status status = NoNumber;
    double value = 0;
    qsizetype end = 0; // position after the number
    QChar badDigit;    // BadDigit: the offending character
    int radix = 10;    // BadDigit: the radix it was read in
};

// The value of a digit in the radixes up to 36 (0-9, then a-z or A-Z), 99 for others.
int esDigitValue(char16_t c);

ESNumberScan esScanNumber(QStringView text, qsizetype pos, int options);

// The script conversion of a string to a number: white space trimmed, an empty text NaN,
// "0x" followed by hexadecimal digits, otherwise a whole decimal number or Infinity.
double esStringToNumber(QStringView text);

// Digits of `value` in radix 2..36; values with a fraction are written in decimal, in the
// shortest form that reads back as the same number (see esFormatShortest).
QString esNumberToString(double value, int radix = 10);

// The shortest decimal digits that read back as `value` (finite, not zero), placed as the
// third edition's number-to-string conversion does: plain digits while the decimal
// exponent is between -6 and 21, otherwise one digit, a fraction and "e+N" or "e-N".
QString esFormatShortest(double value);

// printf's "%g" (six significant digits, the shorter of fixed and exponent form).
QString esFormatG(double value);

// printf's "%.*f".
QString esFormatFixed(double value, int digits);

// The third edition's toExponential: one digit, `fractionDigits` more after the point and
// "e+N" or "e-N"; a negative `fractionDigits` asks for as many digits as it takes to read
// back as `value`. Ties round away from zero, on the exact value of the double. `value`
// must be finite.
QString esFormatExponential(double value, int fractionDigits);

// The third edition's toPrecision: `precision` significant digits, in fixed form while the
// decimal exponent is between -6 and `precision` - 1, otherwise in exponent form. `value`
// must be finite.
QString esFormatPrecision(double value, int precision);
