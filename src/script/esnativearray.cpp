#include "script/esnativearray.h"

#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esheap.h"
#include "script/esobject.h"
#include "script/espersistent.h"
#include "script/esstring.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kMaxIndex = 0x7ffffffe; // element names stop below 2^31 - 1
constexpr std::size_t kMaxDense = std::size_t(1) << 26;
constexpr qsizetype kMaxText = qsizetype(1) << 28;
// Long loops over elements poll the context this often, so that a stop request ends them.
constexpr std::uint64_t kPollMask = 1023;

ESArrayObject *asArray(ESObject *o) {
    return o->m_kind == ESObject::Array ? static_cast<ESArrayObject *>(o) : nullptr;
}

// Generic element access: arrays directly, other objects through their properties.
double lengthOf(ESContext &c, ESObject *o) {
    if (ESArrayObject *a = asArray(o))
        return a->m_length;
    return c.toUint32(c.get(o, c.names().length));
}

ESValue getAt(ESContext &c, ESObject *o, double i) {
    return c.getIndexed(ESValue::fromObject(o), ESValue::fromNumber(i));
}

bool hasAt(ESContext &c, ESObject *o, double i) {
    return c.hasIndexed(o, ESValue::fromNumber(i));
}

void putAt(ESContext &c, ESObject *o, double i, const ESValue &v) {
    if (ESArrayObject *a = asArray(o); a && i <= kMaxIndex) {
        ESNativeArray::setElement(c, a, std::uint32_t(i), v);
        return;
    }
    c.put(o, c.pooled(c.toString(ESValue::fromNumber(i))), v);
}

void deleteAt(ESContext &c, ESObject *o, double i) {
    if (!hasAt(c, o, i))
        return;
    ESString *name = c.pooled(c.toString(ESValue::fromNumber(i)));
    o->m_class->deleteProperty(c, o, name);
}

void setLengthOf(ESContext &c, ESObject *o, double n) {
    if (ESArrayObject *a = asArray(o)) {
        ESNativeArray::setLength(c, a, n);
        return;
    }
    c.put(o, c.names().length, ESValue::fromNumber(n));
}

ESObject *thisObject(ESContext &c, const ESValue &self) {
    if (self.isObject())
        return self.object;
    ESObject *wrapper = c.toObject(self);
    c.keep(ESValue::fromObject(wrapper));
    return wrapper;
}

ESValue join(ESContext &c, ESObject *o, const QString &separator) {
    double length = lengthOf(c, o);
    QString out;
    for (double i = 0; i < length; ++i) {
        if (i > 0)
            out += separator;
        ESValue v = getAt(c, o, i);
        // null joins as empty text; undefined as its name.
        if (!v.isNull())
            out += c.toString(v)->text();
        if (out.size() > kMaxText)
            ESContext::fatal("out of memory");
        if ((std::uint64_t(i) & kPollMask) == kPollMask && c.shouldStop())
            return ESValue::undefined();
    }
    return c.newString(out);
}

ESObject *makeArray(ESContext &c, int argc, ESValue *argv) {
    ESArrayObject *array = c.newArray();
    if (argc == 1 && argv[0].isNumber()) {
        double n = argv[0].number;
        if (!(n >= 0 && n <= 4294967295.0 && n == std::trunc(n)))
            c.throwError(QStringLiteral("bad length in array constructor"));
        array->m_length = std::uint32_t(n);
        return array;
    }
    c.reserveMemory(std::size_t(argc) * sizeof(ESValue));
    array->m_elements.assign(argv, argv + argc);
    array->m_length = std::uint32_t(argc);
    return array;
}

ESValue arrayCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromObject(makeArray(c, argc, argv));
}

ESValue arrayToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    if (!self.isObject() || self.object->m_kind != ESObject::Array)
        c.throwError(QStringLiteral("Array.prototype.toString requires an array"));
    return join(c, self.object, QStringLiteral(","));
}

// Elements of `source` appended to `result` from position `at`; holes stay holes.
double appendElements(ESContext &c, ESArrayObject *result, double at, ESObject *source) {
    double length = lengthOf(c, source);
    for (double i = 0; i < length; ++i, ++at) {
        if (hasAt(c, source, i))
            putAt(c, result, at, getAt(c, source, i));
        if ((std::uint64_t(i) & kPollMask) == kPollMask && c.shouldStop())
            break;
    }
    return at;
}

ESValue arrayConcat(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    ESArrayObject *result = c.newArray();
    ESObject *o = thisObject(c, self);
    double at = 0;
    for (int k = -1; k < argc; ++k) {
        ESValue item = k < 0 ? ESValue::fromObject(o) : argv[k];
        if (item.isObject() && item.object->m_kind == ESObject::Array)
            at = appendElements(c, result, at, item.object);
        else
            putAt(c, result, at++, item);
    }
    ESNativeArray::setLength(c, result, std::min(at, 4294967295.0));
    return ESValue::fromObject(result);
}

ESValue arrayJoin(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    QString separator = argv[0].isUndefined() ? QStringLiteral(",") : c.toText(argv[0]);
    return join(c, o, separator);
}

ESValue arrayPop(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    ESObject *o = thisObject(c, self);
    double length = lengthOf(c, o);
    if (length == 0) {
        setLengthOf(c, o, 0);
        return ESValue::undefined();
    }
    ESValue last = getAt(c, o, length - 1);
    deleteAt(c, o, length - 1);
    setLengthOf(c, o, length - 1);
    return last;
}

ESValue arrayPush(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    double length = lengthOf(c, o);
    for (int i = 0; i < argc; ++i)
        putAt(c, o, length + i, argv[i]);
    setLengthOf(c, o, length + argc);
    return ESValue::fromNumber(length + argc);
}

ESValue arrayReverse(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    ESObject *o = thisObject(c, self);
    ESArrayObject *a = asArray(o);
    if (a && a->m_sparse == 0 && a->m_elements.size() == a->m_length) {
        std::reverse(a->m_elements.begin(), a->m_elements.end());
        return ESValue::fromObject(o);
    }
    double length = lengthOf(c, o);
    for (double lower = 0, upper = length - 1; lower < upper; ++lower, --upper) {
        bool hasLower = hasAt(c, o, lower), hasUpper = hasAt(c, o, upper);
        ESValue lowerValue = getAt(c, o, lower), upperValue = getAt(c, o, upper);
        if (hasUpper)
            putAt(c, o, lower, upperValue);
        else
            deleteAt(c, o, lower);
        if (hasLower)
            putAt(c, o, upper, lowerValue);
        else
            deleteAt(c, o, upper);
        if ((std::uint64_t(lower) & kPollMask) == kPollMask && c.shouldStop())
            break;
    }
    return ESValue::fromObject(o);
}

// unshift(items...): the items go in front, in order; answers the new length.
ESValue arrayUnshift(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    double length = lengthOf(c, o);
    for (double k = length; k > 0; --k) {
        if (hasAt(c, o, k - 1))
            putAt(c, o, k - 1 + argc, getAt(c, o, k - 1));
        else
            deleteAt(c, o, k - 1 + argc);
        if ((std::uint64_t(k) & kPollMask) == kPollMask && c.shouldStop())
            break;
    }
    for (int i = 0; i < argc; ++i)
        putAt(c, o, i, argv[i]);
    setLengthOf(c, o, length + argc);
    return ESValue::fromNumber(length + argc);
}

ESValue arrayShift(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    ESObject *o = thisObject(c, self);
    double length = lengthOf(c, o);
    if (length == 0) {
        setLengthOf(c, o, 0);
        return ESValue::undefined();
    }
    ESValue first = getAt(c, o, 0);
    ESArrayObject *a = asArray(o);
    if (a && a->m_sparse == 0 && a->m_elements.size() == a->m_length) {
        a->m_elements.erase(a->m_elements.begin());
        a->m_length -= 1;
        return first;
    }
    for (double k = 1; k < length; ++k) {
        if (hasAt(c, o, k))
            putAt(c, o, k - 1, getAt(c, o, k));
        else
            deleteAt(c, o, k - 1);
        if ((std::uint64_t(k) & kPollMask) == kPollMask && c.shouldStop())
            break;
    }
    deleteAt(c, o, length - 1);
    setLengthOf(c, o, length - 1);
    return first;
}

double relative(ESContext &c, const ESValue &v, double length, double absent) {
    if (v.isUndefined())
        return absent;
    double d = c.toInteger(v);
    return d < 0 ? std::max(length + d, 0.0) : std::min(d, length);
}

ESValue arraySlice(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    double length = lengthOf(c, o);
    double start = relative(c, argv[0], length, 0);
    double end = relative(c, argv[1], length, length);
    ESArrayObject *result = c.newArray();
    double n = 0;
    for (double k = start; k < end; ++k, ++n) {
        if (hasAt(c, o, k))
            putAt(c, result, n, getAt(c, o, k));
        if ((std::uint64_t(n) & kPollMask) == kPollMask && c.shouldStop())
            break;
    }
    ESNativeArray::setLength(c, result, n);
    return ESValue::fromObject(result);
}

// A Shell sort: gaps (n + 3) / 5, then (g + 1) / 3 down to 1; for each gap every position
// from n - g - 1 down to 0 sifts its element forward while it is out of order with the one
// g places later. Not stable.
ESValue arraySort(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    ESObject *comparator = nullptr;
    if (argc > 0 && !argv[0].isUndefined()) {
        if (!argv[0].isObject() || !argv[0].object->isFunction())
            c.throwError(QStringLiteral("Array.prototype.sort argument is not a function"));
        comparator = argv[0].object;
    }
    // The pair compared is held while the comparison runs script: the comparator, or a
    // toString, may change the array so that nothing else reaches them.
    ESPersistent heldA(&c), heldB(&c);
    auto outOfOrder = [&](const ESValue &a, const ESValue &b) {
        heldA.setValue(a);
        heldB.setValue(b);
        if (comparator) {
            ESValue pair[2] = {a, b};
            return c.toNumber(c.call(comparator, ESValue::undefined(), 2, pair)) > 0;
        }
        return c.toText(a).compare(c.toText(b)) > 0;
    };
    double n = lengthOf(c, o);
    std::uint64_t steps = 0;
    for (double gap = std::floor((n + 3) / 5); gap >= 1; gap = std::floor((gap + 1) / 3)) {
        for (double i = n - gap - 1; i >= 0; --i) {
            for (double j = i; j + gap < n; j += gap) {
                ESValue a = getAt(c, o, j), b = getAt(c, o, j + gap);
                if (!outOfOrder(a, b))
                    break;
                putAt(c, o, j, b);
                putAt(c, o, j + gap, a);
            }
            if ((++steps & kPollMask) == 0 && c.shouldStop())
                return ESValue::fromObject(o);
            if (c.isStopped())
                return ESValue::fromObject(o);
        }
        if (gap == 1)
            break;
    }
    return ESValue::fromObject(o);
}

const ESMethodDef kConstructor = {"Array", "Array", 1, 0, arrayCall};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Array.prototype.toString", 0, 2, arrayToString},
    {"toLocaleString", "Array.prototype.toLocaleString", 0, 3, arrayToString},
    {"concat", "Array.prototype.concat", 0, 4, arrayConcat},
    {"join", "Array.prototype.join", 1, 5, arrayJoin},
    {"pop", "Array.prototype.pop", 0, 6, arrayPop},
    {"push", "Array.prototype.push", 0, 7, arrayPush},
    {"reverse", "Array.prototype.reverse", 0, 8, arrayReverse},
    {"shift", "Array.prototype.shift", 0, 9, arrayShift},
    {"slice", "Array.prototype.slice", 2, 10, arraySlice},
    {"sort", "Array.prototype.sort", 1, 11, arraySort},
    {"unshift", "Array.prototype.unshift", 1, 12, arrayUnshift},
};

} // namespace

void ESNativeArray::install(ESContext &context, const char *) {
    ESArrayObject *prototype = context.heap().make<ESArrayObject>(this, context.objectPrototype(),
                                                                  context.names().arrayClass);
    installConstructor(context, kConstructor, prototype);
    defineMethods(context, prototype, kPrototypeMethods);
}

ESObject *ESNativeArray::construct(ESContext &context, ESObject *function, int argc,
                                   ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    return makeArray(context, argc, argv);
}

void ESNativeArray::setElement(ESContext &context, ESArrayObject *array, std::uint32_t index,
                               const ESValue &value) {
    std::vector<ESValue> &elements = array->m_elements;
    std::size_t size = elements.size();
    if (index < size) {
        elements[index] = value;
    } else {
        ESString *name = nullptr;
        int entry = -1;
        if (array->m_sparse > 0) {
            name = context.indexName(index);
            entry = array->m_properties.findAny(name);
        }
        bool dense = entry < 0 && index < kMaxDense &&
                     (index == size || (array->m_sparse == 0 && index < size + 64 + size / 2));
        if (dense) {
            if (index >= elements.capacity())
                context.reserveMemory((std::max<std::size_t>(index + 1, 2 * size) - size) *
                                      sizeof(ESValue));
            elements.resize(index, ESValue::hole());
            elements.push_back(value);
        } else {
            if (!name)
                name = context.indexName(index);
            if (entry >= 0) {
                ESProperty &p = array->m_properties.at(entry);
                if (p.isDeleted()) {
                    p.attributes = 0;
                    ++array->m_sparse;
                } else if (p.attributes & ESProperty::ReadOnly) {
                    return;
                }
                p.value = value;
            } else {
                array->m_properties.append(name, value, 0);
                ++array->m_sparse;
            }
        }
    }
    if (index >= array->m_length)
        array->m_length = index + 1;
}

void ESNativeArray::setLength(ESContext &context, ESArrayObject *array, double length) {
    if (!(length >= 0 && length <= 4294967295.0 && length == std::trunc(length)))
        context.throwRangeError(QStringLiteral("bad array length"));
    auto n = std::uint32_t(length);
    if (n < array->m_elements.size())
        array->m_elements.resize(n);
    if (array->m_sparse > 0 && n < array->m_length) {
        ESPropertyTable &table = array->m_properties;
        for (int i = 0; i < table.size(); ++i) {
            ESProperty &p = table.at(i);
            if (!p.isDeleted() && p.name->arrayIndex() >= 0 &&
                std::uint32_t(p.name->arrayIndex()) >= n) {
                table.remove(i);
                --array->m_sparse;
            }
        }
    }
    array->m_length = n;
}

void ESNativeArray::put(ESContext &context, ESObject *object, ESString *name,
                        const ESValue &value) {
    // The class's function objects (Array and its methods) are not arrays.
    if (object->m_kind != ESObject::Array) {
        ESClass::put(context, object, name, value);
        return;
    }
    auto *array = static_cast<ESArrayObject *>(object);
    if (name == context.names().length) {
        setLength(context, array, context.toNumber(value));
        return;
    }
    if (name->arrayIndex() >= 0) {
        setElement(context, array, std::uint32_t(name->arrayIndex()), value);
        return;
    }
    ESClass::put(context, object, name, value);
}

bool ESNativeArray::getOwnProperty(ESContext &context, ESObject *object, ESString *name,
                                   ESValue *value, std::uint32_t *attributes) {
    if (object->m_kind != ESObject::Array)
        return ESClass::getOwnProperty(context, object, name, value, attributes);
    auto *array = static_cast<ESArrayObject *>(object);
    if (name == context.names().length) {
        if (value)
            *value = ESValue::fromNumber(array->m_length);
        if (attributes)
            *attributes = ESProperty::DontEnum | ESProperty::DontDelete;
        return true;
    }
    std::int32_t index = name->arrayIndex();
    if (index >= 0 && std::size_t(index) < array->m_elements.size()) {
        const ESValue &v = array->m_elements[std::size_t(index)];
        if (v.isHole())
            return false;
        if (value)
            *value = v;
        if (attributes)
            *attributes = 0;
        return true;
    }
    return ESClass::getOwnProperty(context, object, name, value, attributes);
}

bool ESNativeArray::deleteProperty(ESContext &context, ESObject *object, ESString *name) {
    if (object->m_kind != ESObject::Array)
        return ESClass::deleteProperty(context, object, name);
    auto *array = static_cast<ESArrayObject *>(object);
    if (name == context.names().length)
        return false;
    std::int32_t index = name->arrayIndex();
    if (index >= 0 && std::size_t(index) < array->m_elements.size()) {
        array->m_elements[std::size_t(index)] = ESValue::hole();
        return true;
    }
    int entry = array->m_properties.find(name);
    if (entry >= 0 && index >= 0 &&
        !(array->m_properties.at(entry).attributes & ESProperty::DontDelete))
        --array->m_sparse;
    return ESClass::deleteProperty(context, object, name);
}

void ESNativeArray::ownProperties(ESContext &context, ESObject *object,
                                  std::vector<std::pair<ESString *, std::uint32_t>> &out) {
    if (object->m_kind != ESObject::Array) {
        ESClass::ownProperties(context, object, out);
        return;
    }
    auto *array = static_cast<ESArrayObject *>(object);
    for (std::size_t i = 0; i < array->m_elements.size(); ++i) {
        if (!array->m_elements[i].isHole())
            out.emplace_back(context.indexName(std::uint32_t(i)), 0);
    }
    out.emplace_back(context.names().length, ESProperty::DontEnum | ESProperty::DontDelete);
    ESClass::ownProperties(context, object, out);
}
