#include "script/esnumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

int esDigitValue(char16_t u) {
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    return 99;
}

namespace {

int digitValue(QChar c) {
    return esDigitValue(c.unicode());
}

bool isDigit(QStringView text, qsizetype i) {
    return i < text.size() && text[i] >= u'0' && text[i] <= u'9';
}

bool isAlnum(QStringView text, qsizetype i) {
    return i < text.size() && digitValue(text[i]) < 36;
}

// Radix conversion multiplies and adds digit by digit in double precision.
ESNumberScan scanRadix(QStringView text, qsizetype start, int radix) {
    ESNumberScan scan;
    scan.radix = radix;
    qsizetype i = start;
    double value = 0;
    while (isAlnum(text, i)) {
        int d = digitValue(text[i]);
        if (d >= radix) {
            scan.status = ESNumberScan::BadDigit;
            scan.badDigit = text[i];
            scan.end = i;
            return scan;
        }
        value = value * radix + d;
        ++i;
    }
    if (i == start) {
        scan.status = ESNumberScan::BadDigit;
        scan.badDigit = start < text.size() ? text[start] : QChar(u'x');
        scan.end = start;
        return scan;
    }
    scan.status = ESNumberScan::Ok;
    scan.value = value;
    scan.end = i;
    return scan;
}

double convertDecimal(QStringView text) {
    std::string ascii;
    ascii.reserve(std::size_t(text.size()));
    for (QChar c : text) {
        if (c != u'+')
            ascii.push_back(char(c.unicode()));
    }
    double value = 0;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when it overflows or underflows: tell which from
        // the decimal exponent of the first significant digit.
        bool negative = !ascii.empty() && ascii[0] == '-';
        long exponent = 0, position = 0;
        bool seenPoint = false, significant = false;
        for (std::size_t k = 0; k < ascii.size(); ++k) {
            char c = ascii[k];
            if (c == '.') {
                seenPoint = true;
            } else if (c >= '0' && c <= '9') {
                if (!significant && c != '0') {
                    significant = true;
                    exponent = seenPoint ? -position - 1 : 0;
                }
                if (significant && !seenPoint)
                    ++exponent;
                if (!significant && seenPoint)
                    ++position;
            } else if (c == 'e' || c == 'E') {
                // Far beyond any double either way: clamp before adding.
                long written = std::strtol(ascii.c_str() + k + 1, nullptr, 10);
                exponent += std::clamp(written, -100000L, 100000L);
                break;
            }
        }
        value = exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -value : value;
    }
    return value;
}

} // namespace

ESNumberScan esScanNumber(QStringView text, qsizetype pos, int options) {
    ESNumberScan scan;
    qsizetype i = pos;
    if (options & ScanWhiteSpace) {
        while (i < text.size() && text[i].isSpace())
            ++i;
    }
    qsizetype signStart = i;
    if ((options & ScanSign) && i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if ((options & ScanHex) && i + 1 < text.size() && text[i] == u'0' &&
        (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        ESNumberScan hex = scanRadix(text, i + 2, 16);
        if (hex.status == ESNumberScan::Ok && text[signStart] == u'-')
            hex.value = -hex.value;
        return hex;
    }
    if ((options & ScanOctal) && text.mid(i).startsWith(u'0') && isDigit(text, i + 1)) {
        ESNumberScan octal = scanRadix(text, i + 1, 8);
        if (octal.status == ESNumberScan::Ok && text[signStart] == u'-')
            octal.value = -octal.value;
        return octal;
    }
    if ((options & ScanInfinity) && text.mid(i).startsWith(u"Infinity")) {
        scan.status = ESNumberScan::Ok;
        scan.value = std::numeric_limits<double>::infinity();
        if (text[signStart] == u'-')
            scan.value = -scan.value;
        scan.end = i + 8;
        return scan;
    }
    bool anyDigit = false;
    while (isDigit(text, i)) {
        ++i;
        anyDigit = true;
    }
    if ((options & ScanFraction) && i < text.size() && text[i] == u'.') {
        qsizetype j = i + 1;
        while (isDigit(text, j)) {
            ++j;
            anyDigit = true;
        }
        if (anyDigit)
            i = j;
    }
    if (!anyDigit) {
        scan.end = pos;
        return scan;
    }
    if ((options & ScanFraction) && i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (isDigit(text, j)) {
            while (isDigit(text, j))
                ++j;
            i = j;
        }
    }
    scan.status = ESNumberScan::Ok;
    scan.value = convertDecimal(text.mid(signStart, i - signStart));
    scan.end = i;
    return scan;
}

double esStringToNumber(QStringView text) {
    text = text.trimmed();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (text.isEmpty())
        return nan;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        ESNumberScan hex = scanRadix(text, 2, 16);
        return hex.status == ESNumberScan::Ok && hex.end == text.size() ? hex.value : nan;
    }
    ESNumberScan scan = esScanNumber(text, 0, ScanFraction | ScanSign | ScanInfinity);
    return scan.status == ESNumberScan::Ok && scan.end == text.size() ? scan.value : nan;
}

namespace {

const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// Exact digits of an integral double too large for 64 bits: the mantissa shifted into a
// multi-word integer, then divided by the radix repeatedly.
QString bigIntegerDigits(double magnitude, int radix) {
    int exponent = 0;
    double fraction = std::frexp(magnitude, &exponent); // magnitude = fraction * 2^exponent
    auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    int shift = exponent - 53;
    std::vector<std::uint32_t> words(std::size_t(shift / 32 + 3), 0);
    int wordShift = shift / 32, bitShift = shift % 32;
    unsigned __int128 wide = static_cast<unsigned __int128>(mantissa) << bitShift;
    for (int k = 0; k < 3 && wide; ++k) {
        words[std::size_t(wordShift + k)] = std::uint32_t(wide);
        wide >>= 32;
    }
    QString reversed;
    auto nonZero = [&] {
        for (std::uint32_t w : words) {
            if (w)
                return true;
        }
        return false;
    };
    while (nonZero()) {
        std::uint64_t remainder = 0;
        for (std::size_t k = words.size(); k-- > 0;) {
            std::uint64_t current = (remainder << 32) | words[k];
            words[k] = std::uint32_t(current / std::uint64_t(radix));
            remainder = current % std::uint64_t(radix);
        }
        reversed.append(QChar(kDigits[remainder]));
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

} // namespace

QString esNumberToString(double value, int radix) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (value == 0)
        return QStringLiteral("0");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value != std::trunc(value))
        return esFormatShortest(value);
    double magnitude = std::fabs(value);
    QString digits;
    if (magnitude < 9223372036854775808.0) {
        auto n = std::uint64_t(magnitude);
        char buffer[72];
        char *end = buffer + sizeof buffer;
        char *p = end;
        do {
            *--p = kDigits[n % unsigned(radix)];
            n /= unsigned(radix);
        } while (n);
        digits = QString::fromLatin1(p, end - p);
    } else {
        digits = bigIntegerDigits(magnitude, radix);
    }
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

namespace {

// The digits of to_chars' scientific form, without the point, and its exponent.
std::string splitScientific(std::string_view text, int &exponent) {
    std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.')
            digits.push_back(c);
    }
    const char *start = text.data() + e + 1;
    if (*start == '+')
        ++start;
    std::from_chars(start, text.data() + text.size(), exponent);
    return digits;
}

// `count` significant decimal digits of `magnitude` (finite, not negative), rounded half up
// on its exact binary value, and the decimal exponent of the first digit. Zero has the
// exponent 0.
std::string roundedDigits(double magnitude, int count, int &exponent) {
    if (magnitude == 0) {
        exponent = 0;
        return std::string(std::size_t(count), '0');
    }
    // A double has at most 767 significant decimal digits, so this precision is exact.
    char buffer[820];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                std::chars_format::scientific, 780);
    std::string exact =
        splitScientific(std::string_view(buffer, std::size_t(result.ptr - buffer)), exponent);
    std::string digits = exact.substr(0, std::size_t(count));
    if (exact[std::size_t(count)] >= '5') {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[i - 1];
        }
    }
    return digits;
}

// The shortest round-trip digits of `magnitude` (finite, not zero) and their exponent.
std::string shortestDigits(double magnitude, int &exponent) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    return splitScientific(std::string_view(buffer, std::size_t(result.ptr - buffer)), exponent);
}

std::string exponentForm(const std::string &digits, int exponent) {
    std::string out = digits.substr(0, 1);
    if (digits.size() > 1)
        out += '.' + digits.substr(1);
    out += exponent >= 0 ? "e+" : "e-";
    out += std::to_string(std::abs(exponent));
    return out;
}

QString withSign(double value, const std::string &text) {
    std::string out = value < 0 ? "-" + text : text;
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace

QString esFormatShortest(double value) {
    int exponent = 0;
    std::string digits = shortestDigits(std::fabs(value), exponent);
    int k = int(digits.size());
    int n = exponent + 1; // the value is 0.digits * 10^n
    std::string out = value < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits + std::string(std::size_t(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, std::size_t(n)) + '.' + digits.substr(std::size_t(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(std::size_t(-n), '0') + digits;
    } else {
        out += exponentForm(digits, n - 1);
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString esFormatG(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString esFormatFixed(double value, int digits) {
    char buffer[400];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString esFormatExponential(double value, int fractionDigits) {
    double magnitude = std::fabs(value);
    int exponent = 0;
    std::string digits = fractionDigits < 0 && magnitude != 0
                             ? shortestDigits(magnitude, exponent)
                             : roundedDigits(magnitude, std::max(fractionDigits, 0) + 1, exponent);
    return withSign(value, exponentForm(digits, exponent));
}

QString esFormatPrecision(double value, int precision) {
    int exponent = 0;
    std::string digits = roundedDigits(std::fabs(value), precision, exponent);
    if (exponent < -6 || exponent >= precision)
        return withSign(value, exponentForm(digits, exponent));
    std::string out;
    if (exponent < 0)
        out = "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
    else if (exponent + 1 == precision)
        out = digits;
    else
        out = digits.substr(0, std::size_t(exponent + 1)) + '.' +
              digits.substr(std::size_t(exponent + 1));
    return withSign(value, out);
}
