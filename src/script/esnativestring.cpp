#include "script/esnativestring.h"

#include "script/escontext.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The text of `this` for the generic methods.
ESString *thisString(ESContext &c, const ESValue &self) {
    if (self.isString())
        return self.string;
    if (self.isObject() && self.object->m_class == c.stringClass() &&
        self.object->m_value.isString())
        return self.object->m_value.string;
    ESString *string = c.toString(self);
    c.keep(ESValue::fromString(string));
    return string;
}

ESString *ownString(ESContext &c, const ESValue &self, const char *method) {
    if (self.isString())
        return self.string;
    if (self.isObject() && self.object->m_class == c.stringClass() &&
        self.object->m_value.isString())
        return self.object->m_value.string;
    c.throwTypeError(QStringLiteral("String.prototype.%1 called on non-String object")
                         .arg(QLatin1String(method)));
}

ESValue text(ESContext &c, QString s) {
    return c.newString(std::move(s));
}

// A position argument clamped to 0..length.
qsizetype clampedPosition(ESContext &c, const ESValue &v, qsizetype length, qsizetype absent) {
    if (v.isUndefined())
        return absent;
    double d = c.toInteger(v);
    return qsizetype(std::clamp(d, 0.0, double(length)));
}

// A position that counts from the end when negative.
qsizetype relativePosition(ESContext &c, const ESValue &v, qsizetype length, qsizetype absent) {
    if (v.isUndefined())
        return absent;
    double d = c.toInteger(v);
    if (d < 0)
        d = std::max(0.0, double(length) + d);
    return qsizetype(std::min(d, double(length)));
}

ESValue stringCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    if (argc == 0)
        return ESValue::fromString(c.intern(QStringView()));
    return ESValue::fromString(c.toString(argv[0]));
}

ESValue stringFromCharCode(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    QString s;
    s.reserve(argc);
    for (int i = 0; i < argc; ++i)
        s.append(QChar(char16_t(c.toUint32(argv[i]) & 0xFFFF)));
    return text(c, s);
}

ESValue stringToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromString(ownString(c, self, "toString"));
}

ESValue stringValueOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromString(ownString(c, self, "valueOf"));
}

ESValue stringCharAt(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    double position = c.toInteger(argv[0]);
    if (position < 0 || position >= double(s.size()))
        return ESValue::fromString(c.intern(QStringView()));
    return ESValue::fromString(c.intern(QStringView(s).mid(qsizetype(position), 1)));
}

ESValue stringCharCodeAt(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    double position = c.toInteger(argv[0]);
    if (position < 0 || position >= double(s.size()))
        return ESValue::fromNumber(kNaN);
    return ESValue::fromNumber(s[qsizetype(position)].unicode());
}

ESValue stringConcat(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    QString s = thisString(c, self)->text();
    for (int i = 0; i < argc; ++i)
        s += c.toString(argv[i])->text();
    return text(c, s);
}

ESValue stringIndexOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    QString search = c.toText(argv[0]);
    qsizetype from = clampedPosition(c, argv[1], s.size(), 0);
    return ESValue::fromNumber(double(s.indexOf(search, from)));
}

ESValue stringLastIndexOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    QString search = c.toText(argv[0]);
    double from = c.toNumber(argv[1]);
    qsizetype start = std::isnan(from)
                          ? s.size()
                          : qsizetype(std::clamp(std::trunc(from), 0.0, double(s.size())));
    if (search.isEmpty())
        return ESValue::fromNumber(double(start));
    start = std::min(start, s.size() - search.size());
    if (start < 0)
        return ESValue::fromNumber(-1);
    return ESValue::fromNumber(double(s.lastIndexOf(search, start)));
}

ESValue stringLocaleCompare(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    int r = QString::localeAwareCompare(thisString(c, self)->text(), c.toText(argv[0]));
    return ESValue::fromNumber(r < 0 ? -1 : r > 0 ? 1 : 0);
}

ESValue stringMatch(ESContext &, ESObject *, const ESValue &, int, ESValue *) {
    return ESValue::undefined();
}

// Every occurrence of the plain text is replaced.
ESValue stringReplace(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    QString s = thisString(c, self)->text();
    QString search = c.toText(argv[0]);
    QString replacement = c.toText(argv[1]);
    if (search.isEmpty())
        return text(c, replacement + s);
    return text(c, s.replace(search, replacement));
}

ESValue stringSearch(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    return ESValue::fromNumber(double(thisString(c, self)->text().indexOf(c.toText(argv[0]))));
}

ESValue stringSlice(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESString *string = thisString(c, self);
    const QString &s = string->text();
    qsizetype start = relativePosition(c, argv[0], s.size(), 0);
    qsizetype end = relativePosition(c, argv[1], s.size(), s.size());
    if (start == 0 && end == s.size())
        return ESValue::fromString(string);
    return text(c, s.mid(start, std::max<qsizetype>(0, end - start)));
}

ESValue stringSplit(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESString *string = thisString(c, self);
    const QString &s = string->text();
    ESArrayObject *array = c.newArray();
    auto add = [&](ESValue v) { ESNativeArray::setElement(c, array, array->m_length, v); };
    if (argv[0].isUndefined()) {
        add(ESValue::fromString(string));
        return ESValue::fromObject(array);
    }
    QString separator = c.toText(argv[0]);
    if (separator.isEmpty()) {
        for (qsizetype i = 0; i < s.size(); ++i)
            add(ESValue::fromString(c.intern(QStringView(s).mid(i, 1))));
        return ESValue::fromObject(array);
    }
    array->m_elements.reserve(std::size_t(s.count(separator)) + 1);
    qsizetype start = 0;
    for (;;) {
        qsizetype at = s.indexOf(separator, start);
        qsizetype end = at < 0 ? s.size() : at;
        add(end - start == 0 ? ESValue::fromString(c.intern(QStringView()))
                             : c.newString(s.mid(start, end - start)));
        if (at < 0)
            break;
        start = at + separator.size();
    }
    return ESValue::fromObject(array);
}

ESValue stringSubstring(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    qsizetype start = clampedPosition(c, argv[0], s.size(), 0);
    qsizetype end = clampedPosition(c, argv[1], s.size(), s.size());
    if (start > end)
        std::swap(start, end);
    return text(c, s.mid(start, end - start));
}

// substr(start, length): a negative start counts from the end; an absent length means
// the rest.
ESValue stringSubstr(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    const QString &s = thisString(c, self)->text();
    qsizetype start = relativePosition(c, argv[0], s.size(), 0);
    double length = argv[1].isUndefined() ? double(s.size()) : c.toInteger(argv[1]);
    double count = std::min(std::max(length, 0.0), double(s.size() - start));
    return text(c, s.mid(start, qsizetype(count)));
}

ESValue stringToLower(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return text(c, thisString(c, self)->text().toLower());
}

ESValue stringToUpper(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return text(c, thisString(c, self)->text().toUpper());
}

// White space removed at both ends and every inner run replaced by one space.
ESValue stringTrim(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return text(c, thisString(c, self)->text().simplified());
}

const ESMethodDef kConstructor = {"String", "String", 1, 0, stringCall};
const ESMethodDef kConstructorMethods[] = {
    {"fromCharCode", "String.fromCharCode", 0, 1, stringFromCharCode},
};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "String.prototype.toString", 0, 2, stringToString},
    {"valueOf", "String.prototype.valueOf", 0, 3, stringValueOf},
    {"charAt", "String.prototype.charAt", 1, 4, stringCharAt},
    {"charCodeAt", "String.prototype.charCodeAt", 1, 5, stringCharCodeAt},
    {"concat", "String.prototype.concat", 0, 6, stringConcat},
    {"indexOf", "String.prototype.indexOf", 2, 7, stringIndexOf},
    {"lastIndexOf", "String.prototype.lastIndexOf", 2, 8, stringLastIndexOf},
    {"localeCompare", "String.prototype.localeCompare", 1, 9, stringLocaleCompare},
    {"match", "String.prototype.match", 1, 10, stringMatch},
    {"replace", "String.prototype.replace", 2, 11, stringReplace},
    {"search", "String.prototype.search", 1, 12, stringSearch},
    {"slice", "String.prototype.slice", 2, 13, stringSlice},
    {"split", "String.prototype.split", 2, 14, stringSplit},
    {"substring", "String.prototype.substring", 2, 15, stringSubstring},
    {"toLowerCase", "String.prototype.toLowerCase", 0, 16, stringToLower},
    {"toLocaleLowerCase", "String.prototype.toLocaleLowerCase", 0, 17, stringToLower},
    {"toUpperCase", "String.prototype.toUpperCase", 0, 18, stringToUpper},
    {"toLocaleUpperCase", "String.prototype.toLocaleUpperCase", 0, 19, stringToUpper},
    {"trim", "String.prototype.trim", 0, 20, stringTrim},
    {"substr", "String.prototype.substr", 2, 21, stringSubstr},
};

} // namespace

void ESNativeString::install(ESContext &context, const char *) {
    ESObject *prototype = context.newObject(this, context.objectPrototype(), "String");
    prototype->m_value = ESValue::fromString(context.intern(QStringView()));
    ESObject *constructor = installConstructor(context, kConstructor, prototype);
    defineMethods(context, constructor, kConstructorMethods);
    defineMethods(context, prototype, kPrototypeMethods);
}

ESObject *ESNativeString::construct(ESContext &context, ESObject *function, int argc,
                                    ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    // Converted before the object exists: the conversion may run script and collect.
    ESValue value = argc > 0 ? ESValue::fromString(context.toString(argv[0]))
                             : ESValue::fromString(context.intern(QStringView()));
    ESObject *object = context.newObject(this, m_prototype, "String");
    object->m_value = value;
    return object;
}

bool ESNativeString::getOwnProperty(ESContext &context, ESObject *object, ESString *name,
                                    ESValue *value, std::uint32_t *attributes) {
    if (name == context.names().length && object->m_value.isString()) {
        if (value)
            *value = ESValue::fromNumber(object->m_value.string->size());
        if (attributes)
            *attributes = ESProperty::ReadOnly | ESProperty::DontEnum | ESProperty::DontDelete;
        return true;
    }
    return ESClass::getOwnProperty(context, object, name, value, attributes);
}

// `length` comes from the value and stays: deleting it fails like deleting any permanent
// property.
bool ESNativeString::deleteProperty(ESContext &context, ESObject *object, ESString *name) {
    if (name == context.names().length && object->m_value.isString())
        return false;
    return ESClass::deleteProperty(context, object, name);
}

void ESNativeString::put(ESContext &context, ESObject *object, ESString *name,
                         const ESValue &value) {
    if (name == context.names().length && object->m_value.isString())
        return;
    ESClass::put(context, object, name, value);
}
