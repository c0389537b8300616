#include "scripthost/qobjectesclass.h"

#include "script/escontext.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "script/esstring.h"
#include "scripthost/scriptbytes.h"

#include <QMetaEnum>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QVariant>

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

thread_local ESContext *t_callingContext = nullptr;

// Nested lists and maps deeper than this are cut off: a cyclic structure must not recurse
// without end.
constexpr int kMaxDepth = 64;
constexpr int kMaxParameters = 10;

// Logs the type to the error category and names it for the script's error.
QString unsupported(QMetaType type) {
    QByteArray name = type.name() ? QByteArray(type.name()) : QByteArray("unknown");
    qCritical("Unsupported type %s", name.constData());
    return QStringLiteral("Unsupported type ") + QString::fromLatin1(name);
}

class CallingContext {
public:
    explicit CallingContext(ESContext *context) : m_saved(t_callingContext) {
        t_callingContext = context;
    }
    ~CallingContext() { t_callingContext = m_saved; }

private:
    ESContext *m_saved;
};

QVariant variantOf(ESContext &context, const ESValue &value, int depth);

QVariantList listOf(ESContext &context, ESObject *object, int depth) {
    QVariantList list;
    double length = context.toInteger(context.get(object, context.names().length));
    for (std::uint32_t i = 0; i < length && i < 0x7fffffffu; ++i) {
        if ((i & 0xfff) == 0xfff && context.shouldStop())
            break;
        list.append(variantOf(context, context.get(object, context.indexName(i)), depth + 1));
    }
    return list;
}

QVariantMap mapOf(ESContext &context, ESObject *object, int depth) {
    QVariantMap map;
    std::vector<std::pair<ESString *, std::uint32_t>> names;
    object->m_class->ownProperties(context, object, names);
    for (const auto &[name, attributes] : names) {
        if (!(attributes & ESProperty::DontEnum))
            map.insert(name->text(), variantOf(context, context.get(object, name), depth + 1));
    }
    return map;
}

QVariant variantOf(ESContext &context, const ESValue &value, int depth) {
    switch (value.type) {
    case ESValue::Boolean:
        return value.boolean();
    case ESValue::Number:
        return value.number;
    case ESValue::String:
    case ESValue::InternedString:
        return value.string->text();
    case ESValue::Null:
        return QVariant::fromValue(nullptr);
    case ESValue::Object:
        if (depth >= kMaxDepth || value.object->isFunction())
            return {};
        if (value.object->kind() == ESObject::Array)
            return listOf(context, value.object, depth);
        return mapOf(context, value.object, depth);
    default:
        return {};
    }
}

ESValue scriptValueOf(ESContext &context, const QVariant &value, int depth);

ESValue arrayOf(ESContext &context, const QVariantList &list, int depth) {
    ESArrayObject *array = context.newArray();
    for (qsizetype i = 0; i < list.size(); ++i)
        ESNativeArray::setElement(context, array, std::uint32_t(i),
                                  scriptValueOf(context, list[i], depth + 1));
    return ESValue::fromObject(array);
}

ESValue scriptValueOf(ESContext &context, const QVariant &value, int depth) {
    if (depth >= kMaxDepth)
        return ESValue::undefined();
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Void:
        return ESValue::undefined();
    case QMetaType::Nullptr:
        return ESValue::null();
    case QMetaType::Bool:
        return ESValue::fromBool(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return ESValue::fromNumber(value.toDouble());
    case QMetaType::QString:
    case QMetaType::QChar:
        return context.newString(value.toString());
    case QMetaType::QByteArray:
        return scriptArray(context, value.toByteArray());
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return arrayOf(context, value.toList(), depth);
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        ESObject *object = context.newObject();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            context.put(object, context.intern(it.key()), scriptValueOf(context, *it, depth + 1));
        return ESValue::fromObject(object);
    }
    case QMetaType::QObjectStar: {
        QObject *object = value.value<QObject *>();
        if (!object)
            return ESValue::null();
        // An object without a parent passes to the script: the context keeps it.
        bool owned = !object->parent();
        auto *bound = qobject_cast<ESQObject *>(object);
        QObjectESClass *cls = bound && owned ? bound : new QObjectESClass(object, owned);
        context.adoptClass(std::unique_ptr<ESClass>(cls));
        QByteArray name = object->metaObject()->className();
        return ESValue::fromObject(cls->scriptObject(context, name.constData()));
    }
    default:
        if (value.canConvert<QString>())
            return context.newString(value.toString());
        unsupported(value.metaType());
        return ESValue::undefined();
    }
}

// A number or boolean argument or result, passed to the meta-call without a variant.
union Scalar {
    bool b;
    int i;
    uint u;
    qint64 ll;
    quint64 ull;
    double d;
    float f;
};

bool isScalar(int id) {
    switch (id) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

qint64 clampedInt64(double d) {
    if (std::isnan(d))
        return 0;
    return d >= 9.2233720368547758e18    ? INT64_MAX
           : d <= -9.2233720368547758e18 ? INT64_MIN
                                         : qint64(d);
}

quint64 clampedUint64(double d) {
    if (!(d > 0))
        return 0;
    return d >= 1.8446744073709552e19 ? UINT64_MAX : quint64(d);
}

bool toScalar(ESContext &context, int id, const ESValue &value, Scalar &out) {
    switch (id) {
    case QMetaType::Bool:
        out.b = context.toBoolean(value);
        return true;
    case QMetaType::Int:
        out.i = context.toInt32(value);
        return true;
    case QMetaType::UInt:
        out.u = context.toUint32(value);
        return true;
    case QMetaType::LongLong:
        out.ll = clampedInt64(context.toInteger(value));
        return true;
    case QMetaType::ULongLong:
        out.ull = clampedUint64(context.toInteger(value));
        return true;
    case QMetaType::Double:
        out.d = context.toNumber(value);
        return true;
    case QMetaType::Float:
        out.f = float(context.toNumber(value));
        return true;
    default:
        return false;
    }
}

ESValue fromScalar(int id, const Scalar &value) {
    switch (id) {
    case QMetaType::Bool:
        return ESValue::fromBool(value.b);
    case QMetaType::Int:
        return ESValue::fromNumber(value.i);
    case QMetaType::UInt:
        return ESValue::fromNumber(value.u);
    case QMetaType::LongLong:
        return ESValue::fromNumber(double(value.ll));
    case QMetaType::ULongLong:
        return ESValue::fromNumber(double(value.ull));
    case QMetaType::Double:
        return ESValue::fromNumber(value.d);
    default:
        return ESValue::fromNumber(double(value.f));
    }
}

// Result types with a conversion back to script values.
bool convertsResult(int id) {
    switch (id) {
    case QMetaType::QString:
    case QMetaType::QStringList:
    case QMetaType::QByteArray:
    case QMetaType::QVariant:
    case QMetaType::QVariantList:
    case QMetaType::QVariantMap:
    case QMetaType::QObjectStar:
        return true;
    default:
        return isScalar(id);
    }
}

// One argument of a meta-call: a value of the parameter's type, or for a QVariant parameter
// the variant itself.
struct Argument {
    QVariant storage;
    void *pointer = nullptr;
};

// Converts a script value to `type`; false for a type the binding does not know. An argument
// not given stays default-constructed.
bool convertArgument(ESContext &context, QMetaType type, const ESValue &value, bool given,
                     Argument &out) {
    if (type.id() == QMetaType::QVariant) {
        out.storage = given ? variantOf(context, value, 0) : QVariant();
        out.pointer = &out.storage;
        return true;
    }
    out.storage = QVariant(type);
    out.pointer = out.storage.data();
    if (!given)
        return true;
    void *data = out.pointer;
    Scalar scalar;
    if (toScalar(context, type.id(), value, scalar)) {
        std::memcpy(data, &scalar, std::size_t(type.sizeOf()));
        return true;
    }
    switch (type.id()) {
    case QMetaType::QString:
        *static_cast<QString *>(data) = context.toText(value);
        return true;
    case QMetaType::QStringList: {
        QStringList list;
        if (value.isObject()) {
            for (const QVariant &item : listOf(context, value.object, kMaxDepth - 1))
                list.append(item.toString());
        } else if (!value.isNullOrUndefined()) {
            list.append(context.toText(value));
        }
        *static_cast<QStringList *>(data) = list;
        return true;
    }
    case QMetaType::QByteArray:
        *static_cast<QByteArray *>(data) = scriptBytes(context, value);
        return true;
    case QMetaType::QVariantList:
        *static_cast<QVariantList *>(data) =
            value.isObject() ? listOf(context, value.object, 0) : QVariantList();
        return true;
    case QMetaType::QVariantMap:
        *static_cast<QVariantMap *>(data) =
            value.isObject() ? mapOf(context, value.object, 0) : QVariantMap();
        return true;
    default:
        return false;
    }
}

} // namespace

QObjectESClass::QObjectESClass(QObject *object, bool owned) : m_object(object), m_owned(owned) {
    m_plainAccess = false;
}

QObjectESClass::~QObjectESClass() {
    if (m_owned)
        delete m_object.data();
}

ESContext *QObjectESClass::callingContext() {
    return t_callingContext;
}

ESValue QObjectESClass::toScript(ESContext &context, const QVariant &value) {
    return scriptValueOf(context, value, 0);
}

QVariant QObjectESClass::fromScript(ESContext &context, const ESValue &value) {
    return variantOf(context, value, 0);
}

void QObjectESClass::install(ESContext &context, const char *name) {
    ESObject *object = scriptObject(context, name);
    context.defineProperty(context.globalObject(), name, ESValue::fromObject(object),
                           ESProperty::DontEnum);
}

ESObject *QObjectESClass::scriptObject(ESContext &context, const char *name) {
    if (m_prototype || !m_object)
        return m_prototype;
    m_prototype = context.newObject(this, context.objectPrototype(), name);
    const QMetaObject *meta = m_object->metaObject();
    const QByteArray prefix = QByteArray(name) + ".prototype.";
    std::vector<QByteArray> names;
    for (int i = 0; i < meta->methodCount(); ++i) {
        QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Method || method.access() != QMetaMethod::Public)
            continue;
        QByteArray methodName = method.name();
        std::size_t index = 0;
        while (index < names.size() && names[index] != methodName)
            ++index;
        if (index == names.size()) {
            names.push_back(methodName);
            m_overloads.emplace_back();
        }
        Overload overload{method.methodIndex(), method.returnMetaType(), {}};
        for (int k = 0; k < method.parameterCount(); ++k)
            overload.parameterTypes.push_back(method.parameterMetaType(k));
        m_overloads[index].push_back(std::move(overload));
    }
    for (std::size_t index = 0; index < names.size(); ++index) {
        int length = 0;
        for (const Overload &overload : m_overloads[index])
            length = std::max(length, int(overload.parameterTypes.size()));
        QByteArray fullName = prefix + names[index];
        ESMethodDef record{names[index].constData(), fullName.constData(), length, int(index)};
        ESObject *function =
            context.defineMethod(m_prototype, record, context.functionPrototype(), this);
        // Padding happens here, per overload, not in the interpreter: the argument count
        // chooses the overload.
        function->m_parameterCount = 0;
    }
    for (int i = 0; i < meta->enumeratorCount(); ++i) {
        QMetaEnum enumeration = meta->enumerator(i);
        for (int k = 0; k < enumeration.keyCount(); ++k)
            context.defineProperty(m_prototype, enumeration.key(k),
                                   ESValue::fromNumber(enumeration.value(k)),
                                   ESProperty::ReadOnly | ESProperty::DontDelete);
    }
    return m_prototype;
}

const QObjectESClass::Overload &QObjectESClass::chooseOverload(int index, int argc) const {
    // The fewest parameters that take every argument; among equal counts the last listed.
    // When none takes them all, the longest form, and the extra arguments are ignored.
    const std::vector<Overload> &forms = m_overloads[std::size_t(index)];
    if (forms.size() == 1)
        return forms.front();
    const Overload *best = nullptr;
    const Overload *longest = nullptr;
    for (const Overload &form : forms) {
        std::size_t n = form.parameterTypes.size();
        if (n >= std::size_t(argc) && (!best || n <= best->parameterTypes.size()))
            best = &form;
        if (!longest || n >= longest->parameterTypes.size())
            longest = &form;
    }
    return best ? *best : *longest;
}

ESValue QObjectESClass::call(ESContext &context, ESObject *function, const ESValue &, int argc,
                             ESValue *argv) {
    int index = function->m_nativeIndex;
    if (index < 0 || std::size_t(index) >= m_overloads.size())
        context.throwError(QStringLiteral("bad signature in builtin call"));
    if (!m_object)
        context.throwError(QStringLiteral("object deleted"));
    const Overload &form = chooseOverload(index, argc);
    int n = int(form.parameterTypes.size());
    if (n > kMaxParameters)
        context.throwTypeError(QStringLiteral("Unsupported method with %1 parameters").arg(n));
    // Numbers and booleans live in plain slots; other types in variants made only for them.
    std::array<Scalar, kMaxParameters + 1> scalars;
    std::array<void *, kMaxParameters + 1> pointers{};
    std::optional<std::array<Argument, kMaxParameters + 1>> arguments;
    for (int i = 0; i < n; ++i) {
        QMetaType type = form.parameterTypes[std::size_t(i)];
        std::size_t slot = std::size_t(i) + 1;
        bool given = i < argc;
        if (given && toScalar(context, type.id(), argv[i], scalars[slot])) {
            pointers[slot] = &scalars[slot];
            continue;
        }
        if (!arguments)
            arguments.emplace();
        if (!convertArgument(context, type, given ? argv[i] : ESValue::undefined(), given,
                             (*arguments)[slot]))
            context.throwTypeError(unsupported(type));
        pointers[slot] = (*arguments)[slot].pointer;
    }
    // A stop while a list converted leaves only part of it.
    if (context.isStopped())
        return ESValue::undefined();
    int returnId = form.returnType.id();
    bool scalarResult = isScalar(returnId);
    if (scalarResult) {
        pointers[0] = &scalars[0];
    } else if (returnId != QMetaType::Void) {
        if (!arguments)
            arguments.emplace();
        convertArgument(context, form.returnType, ESValue::undefined(), false, (*arguments)[0]);
        pointers[0] = (*arguments)[0].pointer;
    }
    {
        CallingContext calling(&context);
        m_object->qt_metacall(QMetaObject::InvokeMetaMethod, form.methodIndex, pointers.data());
    }
    if (scalarResult)
        return fromScalar(returnId, scalars[0]);
    if (returnId == QMetaType::Void)
        return ESValue::undefined();
    if (!convertsResult(returnId)) {
        unsupported(form.returnType);
        return ESValue::undefined();
    }
    return scriptValueOf(context, (*arguments)[0].storage, 0);
}

bool QObjectESClass::getOwnProperty(ESContext &context, ESObject *object, ESString *name,
                                    ESValue *value, std::uint32_t *attributes) {
    if (ESClass::getOwnProperty(context, object, name, value, attributes))
        return true;
    if (!m_object)
        return false;
    QByteArray key = name->text().toUtf8();
    int index = m_object->metaObject()->indexOfProperty(key.constData());
    if (index < 0)
        return false;
    if (value) {
        QVariant v = m_object->property(key.constData());
        // Enumerations read as the numbers their keys stand for on the object.
        *value = m_object->metaObject()->property(index).isEnumType()
                     ? ESValue::fromNumber(v.toInt())
                     : scriptValueOf(context, v, 0);
    }
    if (attributes)
        *attributes = ESProperty::DontDelete;
    return true;
}

void QObjectESClass::put(ESContext &context, ESObject *object, ESString *name,
                         const ESValue &value) {
    if (object->ownEntry(name)) {
        ESClass::put(context, object, name, value);
        return;
    }
    QByteArray key = name->text().toUtf8();
    int index = m_object ? m_object->metaObject()->indexOfProperty(key.constData()) : -1;
    if (index < 0)
        context.throwError(QStringLiteral("unknown property: ") + name->text());
    QMetaProperty property = m_object->metaObject()->property(index);
    QVariant stored;
    if (property.isEnumType()) {
        QMetaEnum enumeration = property.enumerator();
        bool ok = false;
        int number = 0;
        if (value.isNumber()) {
            number = context.toInt32(value);
            ok = enumeration.valueToKey(number) != nullptr;
        } else {
            number = enumeration.keyToValue(context.toText(value).toUtf8().constData(), &ok);
        }
        if (!ok)
            context.throwError(QStringLiteral("invalid enum value: ") + context.toText(value));
        stored = number;
    } else if (property.metaType().id() == QMetaType::Bool) {
        stored = value.isString() ? value.string->text() == QLatin1String("true")
                                  : context.toBoolean(value);
    } else {
        Argument argument;
        if (!convertArgument(context, property.metaType(), value, true, argument))
            context.throwTypeError(unsupported(property.metaType()));
        stored = argument.storage;
    }
    if (!property.write(m_object, stored))
        context.throwError(QStringLiteral("read-only property: ") + name->text());
}
