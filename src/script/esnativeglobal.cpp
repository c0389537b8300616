#include "script/esnativeglobal.h"

#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esnumber.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The first blank-separated word of the argument's text.
QString firstWord(ESContext &c, const ESValue &v) {
    const QStringList words = c.toText(v).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words.isEmpty() ? QString() : words.first();
}

ESValue globalEval(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    if (!argv[0].isString())
        return argv[0];
    ESCompletion completion = c.evaluateInScope(argv[0].string->text());
    return completion.type == ESCompletion::Normal ? completion.value : ESValue::undefined();
}

ESValue globalParseInt(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    QString word = firstWord(c, argv[0]);
    bool negative = false;
    if (word.startsWith(QLatin1Char('-')) || word.startsWith(QLatin1Char('+'))) {
        negative = word.startsWith(QLatin1Char('-'));
        word.remove(0, 1);
    }
    bool hexPrefix = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    int radix;
    if (argc < 2 || argv[1].isUndefined()) {
        radix = hexPrefix ? 16 : word.startsWith(QLatin1Char('0')) ? 8 : 10;
    } else {
        radix = c.toInt32(argv[1]);
        if (radix == 0)
            radix = hexPrefix ? 16 : 10;
    }
    if (radix == 16 && hexPrefix)
        word.remove(0, 2);
    if (radix < 2 || radix > 36 || word.isEmpty())
        return ESValue::fromNumber(kNaN);
    double value = 0;
    for (QChar ch : word) {
        int d = esDigitValue(ch.unicode());
        if (d >= radix)
            return ESValue::fromNumber(kNaN);
        value = value * radix + d;
    }
    return ESValue::fromNumber(negative ? -value : value);
}

ESValue globalParseFloat(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QString word = firstWord(c, argv[0]);
    ESNumberScan scan = esScanNumber(word, 0, ScanFraction | ScanSign | ScanInfinity);
    return ESValue::fromNumber(scan.status == ESNumberScan::Ok ? scan.value : kNaN);
}

ESValue globalIsNaN(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(std::isnan(c.toNumber(argv[0])));
}

ESValue globalIsFinite(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(std::isfinite(c.toNumber(argv[0])));
}

ESValue globalLoad(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QString path = c.toText(argv[0]);
    QStringList candidates{path};
    for (const QString &directory : c.globalClass()->searchPath())
        candidates << directory + QLatin1Char('/') + path;
    for (const QString &candidate : candidates) {
        QFile file(candidate);
        if (QFileInfo(candidate).isDir() || !file.open(QIODevice::ReadOnly))
            continue;
        QString source = QString::fromUtf8(file.readAll());
        ESCompletion completion = c.evaluate(candidate, source);
        if (completion.type == ESCompletion::Throw)
            throw ESException(completion.value, completion.text.toStdString());
        return ESValue::fromBool(true);
    }
    return ESValue::fromBool(false);
}

// Letters, digits and @*_+-./ stay; other code units become %XX below 256, else %uXXXX.
ESValue globalEscape(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    static const char kHex[] = "0123456789ABCDEF";
    static const QLatin1String kKept("@*_+-./");
    const QString text = c.toText(argv[0]);
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        bool kept = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                    (u < 128 && kKept.contains(QLatin1Char(char(u))));
        if (kept) {
            out += ch;
        } else if (u < 256) {
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[u >> 4]);
            out += QLatin1Char(kHex[u & 15]);
        } else {
            out += QLatin1String("%u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out += QLatin1Char(kHex[(u >> shift) & 15]);
        }
    }
    return c.newString(out);
}

// The code unit of `count` hexadecimal digits at `pos`, -1 when any is missing or not hex.
int hexUnit(const QString &text, qsizetype pos, int count) {
    if (pos + count > text.size())
        return -1;
    int unit = 0;
    for (int i = 0; i < count; ++i) {
        int d = esDigitValue(text[pos + i].unicode());
        if (d >= 16)
            return -1;
        unit = unit * 16 + d;
    }
    return unit;
}

// %uXXXX and %XX become their code units; a % not followed by either stays as it is.
ESValue globalUnescape(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    const QString text = c.toText(argv[0]);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%')) {
            int unit = -1;
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('u') &&
                (unit = hexUnit(text, i + 2, 4)) >= 0) {
                out += QChar(char16_t(unit));
                i += 5;
                continue;
            }
            if ((unit = hexUnit(text, i + 1, 2)) >= 0) {
                out += QChar(char16_t(unit));
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return c.newString(out);
}

const ESMethodDef kFunctions[] = {
    {"eval", "eval", 1, 1, globalEval},
    {"parseInt", "parseInt", 2, 2, globalParseInt},
    {"parseFloat", "parseFloat", 1, 3, globalParseFloat},
    {"isNaN", "isNaN", 1, 4, globalIsNaN},
    {"isFinite", "isFinite", 1, 5, globalIsFinite},
    {"load", "load", 1, 6, globalLoad},
    {"escape", "escape", 1, 7, globalEscape},
    {"unescape", "unescape", 1, 8, globalUnescape},
};

} // namespace

void ESNativeGlobal::install(ESContext &context, const char *) {
    ESObject *global = context.globalObject();
    m_prototype = context.objectPrototype();
    context.defineProperty(global, "NaN", ESValue::fromNumber(kNaN), ESProperty::DontEnum);
    context.defineProperty(global, "Infinity",
                           ESValue::fromNumber(std::numeric_limits<double>::infinity()),
                           ESProperty::DontEnum);
    context.defineProperty(global, "undefined", ESValue::undefined(), ESProperty::DontEnum);
    defineMethods(context, global, kFunctions);
}
