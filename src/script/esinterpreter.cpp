// The interpreter loop of ESContext with the calls, property access and operators it uses.
#include "script/escontext.h"

#include "script/esclass.h"
#include "script/escode.h"
#include "script/esexception.h"
#include "script/esheap.h"
#include "script/esnativearray.h"
#include "script/esnumber.h"
#include "script/esobject.h"
#include "script/esopcodes.h"
#include "script/espersistent.h"
#include "script/esstring.h"
#include "script/esstringpool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

namespace {

// Room kept above a frame for natives and the values a call pushes before it checks.
constexpr int kSlack = 32;

inline std::int32_t fastInt32(double d) {
    if (d >= -2147483648.0 && d <= 2147483647.0)
        return std::int32_t(d); // also maps NaN to an unspecified value: filtered below
    return 0;
}

} // namespace

// --- Property access ------------------------------------------------------------------------

bool ESContext::lookup(ESObject *object, ESString *name, ESValue *value) {
    for (ESObject *o = object; o; o = o->m_prototype) {
        if (o->m_class->hasPlainAccess()) {
            if (ESProperty *p = o->ownEntry(name)) {
                *value = p->value;
                return true;
            }
        } else if (o->m_class->getOwnProperty(*this, o, name, value, nullptr)) {
            return true;
        }
    }
    return false;
}

ESValue ESContext::get(ESObject *object, ESString *name) {
    for (ESObject *o = object; o; o = o->m_prototype) {
        if (!o->m_class->hasPlainAccess())
            return o->m_class->get(*this, o, name);
        if (ESProperty *p = o->ownEntry(name))
            return p->value;
    }
    return ESValue::undefined();
}

bool ESContext::hasProperty(ESObject *object, ESString *name) {
    ESValue ignored;
    return lookup(object, name, &ignored);
}

void ESContext::put(ESObject *object, ESString *name, const ESValue &value) {
    object->m_class->put(*this, object, name, value);
}

ESValue ESContext::getVariable(ESString *name, ESObject **holder) {
    for (ESScope *s = m_scope; s; s = s->next) {
        ESValue value;
        if (lookup(s->object, name, &value)) {
            if (holder)
                *holder = s->object;
            return value;
        }
    }
    if (holder)
        *holder = m_global;
    return get(m_global, name);
}

// The value of a name and the `this` a call of it gets: the object it was found in, or
// the global object for activation objects, which scripts must never see.
ESValue ESContext::lookupName(ESString *name, ESValue *thisValue) {
    ESObject *holder = nullptr;
    ESValue value = getVariable(name, &holder);
    if (thisValue) {
        if (holder->m_kind == ESObject::Activation)
            holder = m_global;
        *thisValue = ESValue::fromObject(holder);
    }
    return value;
}

void ESContext::putVariable(ESString *name, const ESValue &value) {
    for (ESScope *s = m_scope; s; s = s->next) {
        if (hasProperty(s->object, name)) {
            put(s->object, name, value);
            return;
        }
    }
    put(m_global, name, value);
}

bool ESContext::deleteVariable(ESString *name) {
    for (ESScope *s = m_scope; s; s = s->next) {
        if (hasProperty(s->object, name))
            return s->object->m_class->deleteProperty(*this, s->object, name);
    }
    if (hasProperty(m_global, name))
        return m_global->m_class->deleteProperty(*this, m_global, name);
    return false;
}

ESString *ESContext::keyName(const ESValue &key) {
    switch (key.type) {
    case ESValue::InternedString:
        return key.string;
    case ESValue::String:
        return pooled(key.string);
    case ESValue::Number:
        if (key.number >= 0 && key.number < 2147483647.0 &&
            key.number == double(std::uint32_t(key.number)))
            return indexName(std::uint32_t(key.number));
        return intern(esNumberToString(key.number));
    default:
        return pooled(toString(key));
    }
}

ESValue ESContext::getProperty(const ESValue &base, ESString *name) {
    switch (base.type) {
    case ESValue::Object:
        return get(base.object, name);
    case ESValue::String:
    case ESValue::InternedString:
        if (name == m_names.length)
            return ESValue::fromNumber(base.string->size());
        return get(stringPrototype(), name);
    case ESValue::Number:
        return get(numberPrototype(), name);
    case ESValue::Boolean:
        return get(booleanPrototype(), name);
    default:
        return get(toObject(base), name);
    }
}

void ESContext::putValue(const ESValue &base, ESString *name, const ESValue &value) {
    ESObject *object = base.isObject() ? base.object : toObject(base);
    put(object, name, value);
}

// The pooled name of a key if it exists; null when the key's text was never pooled, in
// which case no property table holds it.
ESString *ESContext::existingKeyName(const ESValue &key) {
    switch (key.type) {
    case ESValue::InternedString:
        return key.string;
    case ESValue::String:
        if (!key.string->m_pooled)
            key.string->m_pooled = m_pool->find(key.string->text());
        return key.string->m_pooled;
    case ESValue::Number:
        if (key.number >= 0 && key.number < double(m_indexNames.size()) &&
            key.number == double(std::uint32_t(key.number))) {
            if (ESString *name = m_indexNames[std::size_t(key.number)])
                return name;
        }
        return m_pool->find(esNumberToString(key.number));
    default:
        return m_pool->find(toString(key)->text());
    }
}

// Whether an object on the chain may answer names that are not in its table: host
// classes may; arrays, strings and for-in states answer only pooled names or indices.
bool ESContext::hasDynamicNames(ESObject *object) const {
    for (ESObject *o = object; o; o = o->m_prototype) {
        ESClass *cls = o->m_class;
        if (!cls->hasPlainAccess() && cls != arrayClass() && cls != stringClass() &&
            cls != m_classes[EnumerationClass].get())
            return true;
    }
    return false;
}

namespace {

// The element index a key names, or -1.
std::int64_t indexOfKey(const ESValue &key) {
    if (key.isNumber()) {
        double d = key.number;
        if (d >= 0 && d < 2147483647.0 && d == double(std::uint32_t(d)))
            return std::int64_t(d);
        return -1;
    }
    if (key.type == ESValue::InternedString)
        return key.string->arrayIndex();
    if (key.type == ESValue::String)
        return ESString::arrayIndexOf(key.string->text());
    return -1;
}

const ESValue *denseElement(ESObject *o, const ESValue &key) {
    if (o->m_kind != ESObject::Array)
        return nullptr;
    auto *array = static_cast<ESArrayObject *>(o);
    std::int64_t i = indexOfKey(key);
    if (i < 0 || std::size_t(i) >= array->m_elements.size() ||
        array->m_elements[std::size_t(i)].isHole())
        return nullptr;
    return &array->m_elements[std::size_t(i)];
}

} // namespace

ESValue ESContext::getIndexed(const ESValue &base, const ESValue &key) {
    if (base.isObject()) {
        ESObject *o = base.object;
        if (o->m_kind == ESObject::Array && key.isNumber()) {
            auto *array = static_cast<ESArrayObject *>(o);
            double d = key.number;
            if (d >= 0 && d < double(array->m_elements.size())) {
                auto i = std::uint32_t(d);
                if (double(i) == d && !array->m_elements[i].isHole())
                    return array->m_elements[i];
            }
        }
        if (const ESValue *element = denseElement(o, key))
            return *element;
        ESString *name = existingKeyName(key);
        if (!name) {
            if (!hasDynamicNames(o))
                return ESValue::undefined();
            name = keyName(key);
        }
        return get(o, name);
    }
    if (base.isUndefined() || base.isNull())
        toObject(base);
    ESString *name = existingKeyName(key);
    return name ? getProperty(base, name) : ESValue::undefined();
}

bool ESContext::hasIndexed(ESObject *object, const ESValue &key) {
    if (denseElement(object, key))
        return true;
    ESString *name = existingKeyName(key);
    if (!name) {
        if (!hasDynamicNames(object))
            return false;
        name = keyName(key);
    }
    return hasProperty(object, name);
}

void ESContext::putIndexed(const ESValue &base, const ESValue &key, const ESValue &value) {
    if (base.isObject()) {
        ESObject *o = base.object;
        if (o->m_kind == ESObject::Array && key.isNumber()) {
            double d = key.number;
            if (d >= 0 && d < 2147483647.0 && d == double(std::uint32_t(d))) {
                ESNativeArray::setElement(*this, static_cast<ESArrayObject *>(o), std::uint32_t(d),
                                          value);
                return;
            }
        }
        put(o, keyName(key), value);
        return;
    }
    ESObject *wrapper = toObject(base);
    put(wrapper, keyName(key), value);
}

// The function a property call uses and its `this`. Native methods take primitive
// receivers as they are; script functions get them wrapped.
ESValue ESContext::methodOf(const ESValue &receiver, ESString *name, ESValue *thisValue) {
    ESObject *prototype;
    switch (receiver.type) {
    case ESValue::Object:
        *thisValue = receiver;
        return get(receiver.object, name);
    case ESValue::String:
    case ESValue::InternedString:
        if (name == m_names.length)
            return ESValue::fromNumber(receiver.string->size());
        prototype = stringPrototype();
        break;
    case ESValue::Number:
        prototype = numberPrototype();
        break;
    case ESValue::Boolean:
        prototype = booleanPrototype();
        break;
    default:
        toObject(receiver);
        return ESValue::undefined();
    }
    ESValue function = get(prototype, name);
    if (function.isObject() && function.object->isNativeFunction())
        *thisValue = receiver;
    else
        *thisValue = ESValue::fromObject(toObject(receiver));
    return function;
}

ESObject *ESContext::enumerate(const ESValue &value) {
    ESObject *object = toObject(value);
    std::vector<std::pair<ESString *, std::uint32_t>> own;
    std::unordered_set<ESString *> seen;
    auto *e = m_heap->make<ESEnumerationObject>(m_classes[EnumerationClass].get(), nullptr,
                                                m_names.objectClass);
    for (ESObject *o = object; o; o = o->m_prototype) {
        own.clear();
        o->m_class->ownProperties(*this, o, own);
        for (auto &[name, attributes] : own) {
            // The nearest object with the name decides whether it is visited.
            if (seen.insert(name).second && !(attributes & ESProperty::DontEnum))
                e->m_names.push_back(name);
        }
    }
    // By position in the string pool: the same order on every run.
    std::sort(e->m_names.begin(), e->m_names.end(),
              [](ESString *a, ESString *b) { return a->poolIndex() < b->poolIndex(); });
    return e;
}

// --- Operators ------------------------------------------------------------------------------

bool ESContext::strictEquals(const ESValue &a, const ESValue &b) {
    if (a.isString() && b.isString())
        return a.string == b.string || a.string->text() == b.string->text();
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case ESValue::Undefined:
    case ESValue::Null:
        return true;
    case ESValue::Boolean:
    case ESValue::Number:
        return a.number == b.number;
    case ESValue::Object:
        return a.object == b.object;
    default:
        return false;
    }
}

bool ESContext::looseEquals(const ESValue &a, const ESValue &b) {
    if (a.type == b.type || (a.isString() && b.isString()))
        return strictEquals(a, b);
    // Null and undefined equal each other and nothing else.
    if (a.isNullOrUndefined() || b.isNullOrUndefined())
        return a.isNullOrUndefined() && b.isNullOrUndefined();
    if (a.isNumber() && b.isString())
        return a.number == toNumber(b);
    if (a.isString() && b.isNumber())
        return toNumber(a) == b.number;
    if (a.isBoolean())
        return looseEquals(ESValue::fromNumber(a.number), b);
    if (b.isBoolean())
        return looseEquals(a, ESValue::fromNumber(b.number));
    if (a.isObject() && (b.isNumber() || b.isString()))
        return looseEquals(toPrimitive(a, NoHint), b);
    if (b.isObject() && (a.isNumber() || a.isString()))
        return looseEquals(a, toPrimitive(b, NoHint));
    return false;
}

bool ESContext::lessThan(const ESValue &a, const ESValue &b, bool orEqual) {
    ESValue pa = toPrimitive(a, NumberHint);
    ESValue pb = b;
    if (b.isObject()) {
        // Its valueOf may collect: pa, perhaps a fresh string, must survive that.
        ESPersistent held(this, pa);
        pb = toPrimitive(b, NumberHint);
    }
    if (pa.isString() && pb.isString()) {
        // Code-unit order.
        int c = QStringView(pa.string->text()).compare(QStringView(pb.string->text()));
        return orEqual ? c <= 0 : c < 0;
    }
    double x = toNumber(pa), y = toNumber(pb);
    return orEqual ? x <= y : x < y;
}

ESValue ESContext::add(const ESValue &a, const ESValue &b) {
    ESValue pa = toPrimitive(a, NoHint);
    ESValue pb = b;
    if (b.isObject()) {
        // Its valueOf may collect: pa, perhaps a fresh string, must survive that.
        ESPersistent held(this, pa);
        pb = toPrimitive(b, NoHint);
    }
    if (pa.isString() || pb.isString()) {
        const QString &x = toString(pa)->text();
        if (x.isEmpty())
            return ESValue::fromString(toString(pb));
        const QString &y = toString(pb)->text();
        if (y.isEmpty())
            return ESValue::fromString(toString(pa));
        return newString(x + y);
    }
    return ESValue::fromNumber(toNumber(pa) + toNumber(pb));
}

ESValue ESContext::arithmetic(int opcode, const ESValue &a, const ESValue &b) {
    switch (opcode) {
    case OP_ADD:
        if (a.isNumber() && b.isNumber())
            return ESValue::fromNumber(a.number + b.number);
        return add(a, b);
    case OP_SUB:
        return ESValue::fromNumber(toNumber(a) - toNumber(b));
    case OP_MUL:
        return ESValue::fromNumber(toNumber(a) * toNumber(b));
    case OP_DIV:
        return ESValue::fromNumber(toNumber(a) / toNumber(b));
    case OP_MOD:
        return ESValue::fromNumber(std::fmod(toNumber(a), toNumber(b)));
    case OP_BITAND:
        return ESValue::fromNumber(toInt32(a) & toInt32(b));
    case OP_BITOR:
        return ESValue::fromNumber(toInt32(a) | toInt32(b));
    case OP_BITXOR:
        return ESValue::fromNumber(toInt32(a) ^ toInt32(b));
    case OP_SHL:
        return ESValue::fromNumber(std::int32_t(toUint32(a) << (toUint32(b) & 31)));
    case OP_SHR:
        return ESValue::fromNumber(toInt32(a) >> (toUint32(b) & 31));
    case OP_USHR:
        return ESValue::fromNumber(toUint32(a) >> (toUint32(b) & 31));
    default:
        fatal("bad arithmetic opcode");
    }
}

// --- Calls ----------------------------------------------------------------------------------

void ESContext::callValue(const ESValue &function, const ESValue &thisValue, int argc,
                          ESValue *argv) {
    if (!function.isObject() || !function.object->isFunction())
        throwTypeError(QStringLiteral("not a function object"));
    callFunction(function.object, thisValue, argc, argv);
}

// A native function sees at least as many arguments as it declares: the missing ones are
// undefined, and the stack pointer moves past them so that nested calls keep them.
void ESContext::padNativeArguments(const ESObject *function, int argc, ESValue *argv) {
    int n = std::max(argc, function->m_parameterCount);
    if (argv + n + kSlack > m_stackEnd)
        fatal("virtual machine stack too small");
    for (int i = argc; i < n; ++i)
        argv[i] = ESValue::undefined();
    m_sp = argv + n;
}

void ESContext::callFunction(ESObject *function, const ESValue &thisValue, int argc,
                             ESValue *argv) {
    if (!function->isFunction())
        throwTypeError(QStringLiteral("can only call function objects"));
    if (nativeStackLow())
        fatal("virtual machine stack too small");
    if (function->m_nativeIndex == ESObject::kScriptFunction) {
        callScript(function, thisValue, argc, argv);
        return;
    }
    padNativeArguments(function, argc, argv);
    // The arguments are on the stack; the function and `this` are kept reachable here.
    SavedState saved{m_saved, nullptr, thisValue, function};
    m_saved = &saved;
    ESValue result = function->m_class->call(*this, function, saved.thisValue, argc, argv);
    m_saved = saved.previous;
    argv[0] = result;
}

ESObject *ESContext::newActivation(const ESCode *code, int argc, const ESValue *argv) {
    auto *activation = m_heap->make<ESObject>(activationClass(), nullptr, m_names.activationClass,
                                              ESObject::Activation);
    const std::vector<ESVariable> &variables = code->variables();
    int parameters = code->parameterCount();
    for (int i = 0; i < int(variables.size()); ++i) {
        ESValue value =
            i < parameters && i < std::max(argc, parameters) ? argv[i] : ESValue::undefined();
        activation->m_properties.append(variables[std::size_t(i)].name, value,
                                        ESProperty::DontDelete);
    }
    return activation;
}

ESValue ESContext::newArguments(ESObject *callee, int argc, ESValue *argv) {
    ESObject *arguments = newObject();
    for (int i = 0; i < argc; ++i)
        arguments->m_properties.append(indexName(std::uint32_t(i)), argv[i], 0);
    defineProperty(arguments, m_names.length, ESValue::fromNumber(argc), ESProperty::DontEnum);
    defineProperty(arguments, m_names.callee, ESValue::fromObject(callee), ESProperty::DontEnum);
    return ESValue::fromObject(arguments);
}

void ESContext::callScript(ESObject *function, const ESValue &thisValue, int argc, ESValue *argv) {
    ESCode *code = function->m_code;
    int parameters = code->parameterCount();
    int localCount = code->localCount();
    ESValue *locals = argv + std::max(argc, parameters);
    // An activation keeps a property entry per variable for as long as the call runs.
    std::size_t activationSlots =
        code->isMaterialised() ? code->variables().size() *
                                     (sizeof(ESProperty) + sizeof(ESValue) - 1) / sizeof(ESValue)
                               : 0;
    if (std::size_t(m_stackEnd - locals) <
        std::size_t(localCount + code->maxStack() + kSlack) + m_activationSlots + activationSlots)
        fatal("virtual machine stack too small");
    for (ESValue *p = argv + argc; p < locals; ++p)
        *p = ESValue::undefined();

    SavedState saved{m_saved, m_scope, m_this, function};
    m_saved = &saved;
    int savedArgc = m_argc;
    ESValue *savedArgv = m_argv;
    m_scope = function->m_scope;
    m_this = thisValue;
    m_argc = argc;
    m_argv = argv;

    ESValue *sp = locals;
    if (code->isMaterialised()) {
        m_scope = m_heap->makeScope(m_scope, newActivation(code, argc, argv));
    } else {
        for (int i = 0; i < localCount; ++i)
            *sp++ = ESValue::undefined();
    }
    if (int index = code->argumentsIndex(); index >= 0) {
        ESValue arguments = newArguments(function, argc, argv);
        if (code->isMaterialised())
            m_scope->object->m_properties.at(index).value = arguments;
        else
            locals[index - parameters] = arguments;
    }
    m_sp = sp;
    m_activationSlots += activationSlots;
    ESValue result = run(code, argv, locals);
    m_activationSlots -= activationSlots;
    m_saved = saved.previous;
    m_scope = saved.scope;
    m_this = saved.thisValue;
    m_argc = savedArgc;
    m_argv = savedArgv;
    argv[0] = result;
}

void ESContext::constructValue(const ESValue &functionValue, int argc, ESValue *argv) {
    if (!functionValue.isObject() || !functionValue.object->isFunction())
        throwTypeError(QStringLiteral("new must be given a constructor object"));
    ESObject *function = functionValue.object;
    if (nativeStackLow())
        fatal("virtual machine stack too small");
    if (function->isScriptFunction()) {
        ESValue prototype = get(function, m_names.prototype);
        ESObject *object =
            newObject(objectClass(), prototype.isObject() ? prototype.object : m_objectPrototype,
                      m_names.objectClass);
        callScript(function, ESValue::fromObject(object), argc, argv);
        if (!argv[0].isObject())
            argv[0] = ESValue::fromObject(object);
        return;
    }
    padNativeArguments(function, argc, argv);
    SavedState saved{m_saved, nullptr, ESValue::undefined(), function};
    m_saved = &saved;
    ESObject *result = function->m_class->construct(*this, function, argc, argv);
    m_saved = saved.previous;
    if (!result)
        throwError(function->m_classString->text() +
                   QStringLiteral(" failed to generate an object"));
    argv[0] = ESValue::fromObject(result);
}

// --- The interpreter ------------------------------------------------------------------------

ESValue ESContext::run(ESCode *code, ESValue *argv, ESValue *locals) {
    if (m_stopped)
        return ESValue::undefined();
    Frame frame{m_frame, code, code->bytes()};
    m_frame = &frame;
    struct Leave {
        ESContext *context;
        Frame *frame;
        ~Leave() { context->m_frame = frame->previous; }
    } leave{this, &frame};

    static_assert(kOpcodeCount == 111, "the dispatch table below lists every opcode");
#define OP(value, id, mnemonic, a, b, pop, push, flow) &&L_##id,
#define BAD16                                                                                      \
    &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD,      \
        &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD,
    static const void *const kDispatch[256] = {
#include "script/esopcodes.def"
        BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 && L_BAD};
#undef OP
#undef BAD16

    const std::uint8_t *pc = code->bytes();
    ESValue *sp = m_sp;
    ESValue result;

#define OPERAND(k) (unsigned(pc[1 + 2 * (k)]) << 8 | pc[2 + 2 * (k)])
#define DISPATCH()                                                                                 \
    do {                                                                                           \
        frame.pc = pc;                                                                             \
        m_sp = sp;                                                                                 \
        if (m_pollNeeded)                                                                          \
            goto L_POLL;                                                                           \
        goto *kDispatch[*pc];                                                                      \
    } while (0)
#define NEXT(length)                                                                               \
    do {                                                                                           \
        pc += (length);                                                                            \
        DISPATCH();                                                                                \
    } while (0)
#define JUMP(target)                                                                               \
    do {                                                                                           \
        pc = code->bytes() + (target);                                                             \
        DISPATCH();                                                                                \
    } while (0)
#define PUSH(value) (*sp++ = (value))
#define ACTIVATION() (m_scope->object->m_properties)
// Two numbers are combined in place; any other operands go through the general conversion.
#define NUMBER_OPERATION(assign, opcode)                                                           \
    {                                                                                              \
        ESValue &a = sp[-2];                                                                       \
        const ESValue &b = sp[-1];                                                                 \
        if (a.isNumber() && b.isNumber())                                                          \
            a.number assign b.number;                                                              \
        else                                                                                       \
            a = arithmetic(opcode, ESValue(a), ESValue(b));                                        \
        --sp;                                                                                      \
        NEXT(1);                                                                                   \
    }
// Calls with the arguments at `args`; the result takes the place of the first of them.
#define CALL_THEN_NEXT(function, self, length)                                                     \
    callValue(function, self, argc, args);                                                         \
    sp = args + 1;                                                                                 \
    NEXT(length)

    DISPATCH();

L_POLL:
    // A safe point: every value in use is on the stack or in the saved states.
    if (m_heap->collectionDue())
        collectGarbage();
    if (m_stopped || (m_hostPolls && !carryOnExecuting())) {
        m_stopped = true;
        return ESValue::undefined();
    }
    goto *kDispatch[*pc];

L_BAD:
    std::printf("%04x:  ??\n", unsigned(pc - code->bytes()));
    throwTypeError(QStringLiteral("??"));

L_NUM:
    PUSH(ESValue::fromNumber(code->number(int(OPERAND(0)))));
    NEXT(3);
L_NUM_0:
L_NUM_1:
L_NUM_2:
L_NUM_3:
L_NUM_4:
L_NUM_M1 : {
    static constexpr double kSmall[] = {0, 1, 2, 3, 4, -1};
    static_assert(OP_NUM_M1 - OP_NUM_0 == 5);
    PUSH(ESValue::fromNumber(kSmall[*pc - OP_NUM_0]));
    NEXT(1);
}
L_NULL_:
    PUSH(ESValue::null());
    NEXT(1);
L_TRUE_:
    PUSH(ESValue::fromBool(true));
    NEXT(1);
L_FALSE_:
    PUSH(ESValue::fromBool(false));
    NEXT(1);
L_UNDEFINED:
    PUSH(ESValue::undefined());
    NEXT(1);
L_THIS:
    PUSH(m_this);
    NEXT(1);
L_STR:
    PUSH(ESValue::fromString(m_pool->at(int(OPERAND(0)))));
    NEXT(3);

L_NEW : {
    ESValue *args = sp - 1;
    constructValue(ESValue(args[0]), 0, args);
    sp = args + 1;
    NEXT(1);
}
L_NEWA : {
    int argc = int(OPERAND(0));
    ESValue function = sp[-1];
    ESValue *args = sp - 1 - argc;
    m_sp = sp - 1;
    constructValue(function, argc, args);
    sp = args + 1;
    NEXT(3);
}
L_DROP:
    --sp;
    NEXT(1);
L_DUP:
    sp[0] = sp[-1];
    ++sp;
    NEXT(1);
L_VOID:
    sp[-1] = ESValue::undefined();
    NEXT(1);
L_TYPEOF : {
    const ESValue &v = sp[-1];
    ESString *name;
    switch (v.type) {
    case ESValue::Undefined:
        name = m_names.undefined;
        break;
    case ESValue::Boolean:
        name = m_names.boolean;
        break;
    case ESValue::Number:
        name = m_names.number;
        break;
    case ESValue::String:
    case ESValue::InternedString:
        name = m_names.string;
        break;
    case ESValue::Object:
        name = v.object->isFunction() ? m_names.function : m_names.object;
        break;
    default:
        name = m_names.object;
        break;
    }
    sp[-1] = ESValue::fromString(name);
    NEXT(1);
}
L_ENUM:
    sp[-1] = ESValue::fromObject(enumerate(sp[-1]));
    NEXT(1);
L_NEXT : {
    const ESValue &v = sp[-1];
    if (!v.isObject() || v.object->m_kind != ESObject::Enumeration)
        fatal("tos isn't a property object");
    auto *e = static_cast<ESEnumerationObject *>(v.object);
    if (e->m_index < e->m_names.size()) {
        sp[-1] = ESValue::fromString(e->m_names[e->m_index++]);
        JUMP(OPERAND(0));
    }
    --sp;
    NEXT(3);
}
L_CLOSURE:
    PUSH(ESValue::fromObject(newFunction(function(int(OPERAND(0))), m_scope)));
    NEXT(3);
L_MKARRAY : {
    int n = int(OPERAND(0));
    ESArrayObject *array = newArray();
    reserveMemory(std::size_t(n) * sizeof(ESValue));
    array->m_elements.assign(sp - n, sp);
    array->m_length = std::uint32_t(n);
    sp -= n;
    PUSH(ESValue::fromObject(array));
    NEXT(3);
}
L_NEWOBJ:
    PUSH(ESValue::fromObject(newObject()));
    NEXT(1);
L_WITH : {
    ESObject *object = toObject(sp[-1]);
    --sp;
    m_scope = m_heap->makeScope(m_scope, object);
    NEXT(1);
}
L_ENDWITH:
    m_scope = m_scope->next;
    NEXT(1);
L_INITF : {
    ESValue value = sp[-1];
    --sp;
    sp[-1].object->m_properties.set(m_pool->at(int(OPERAND(0))), value, 0);
    NEXT(3);
}

L_CALLW : {
    int argc = int(OPERAND(1));
    ESValue *args = sp - argc;
    ESValue self;
    ESValue function = lookupName(m_pool->at(int(OPERAND(0))), &self);
    CALL_THEN_NEXT(function, self, 5);
}
L_CALLF : {
    int argc = int(OPERAND(1));
    ESValue receiver = sp[-1];
    ESValue *args = sp - 1 - argc;
    ESValue self;
    ESValue function = methodOf(receiver, m_pool->at(int(OPERAND(0))), &self);
    m_sp = sp - 1;
    CALL_THEN_NEXT(function, self, 5);
}
L_CALLG : {
    int argc = int(OPERAND(1));
    ESValue *args = sp - argc;
    ESValue function = m_global->m_properties.at(int(OPERAND(0))).value;
    CALL_THEN_NEXT(function, ESValue::fromObject(m_global), 5);
}
L_CALLA : {
    int argc = int(OPERAND(1));
    ESValue *args = sp - argc;
    CALL_THEN_NEXT(ESValue(argv[OPERAND(0)]), ESValue::fromObject(m_global), 5);
}
L_CALLAM:
L_CALLLM : {
    int argc = int(OPERAND(1));
    ESValue *args = sp - argc;
    unsigned index = OPERAND(0);
    if (*pc == OP_CALLLM)
        index += unsigned(code->parameterCount());
    ESValue function = ACTIVATION().at(int(index)).value;
    CALL_THEN_NEXT(function, ESValue::fromObject(m_global), 5);
}
L_CALLL : {
    int argc = int(OPERAND(1));
    ESValue *args = sp - argc;
    CALL_THEN_NEXT(ESValue(locals[OPERAND(0)]), ESValue::fromObject(m_global), 5);
}
L_CALLX : {
    int argc = int(OPERAND(0));
    ESValue key = sp[-1];
    ESValue receiver = sp[-2];
    ESValue *args = sp - 2 - argc;
    ESValue self;
    ESValue function;
    if (receiver.isObject() && receiver.object->m_kind == ESObject::Array && key.isNumber()) {
        self = receiver;
        function = getIndexed(receiver, key);
    } else {
        function = methodOf(receiver, keyName(key), &self);
    }
    m_sp = sp - 2;
    CALL_THEN_NEXT(function, self, 3);
}
L_CALL : {
    int argc = int(OPERAND(0));
    ESValue function = sp[-1];
    ESValue *args = sp - 1 - argc;
    m_sp = sp - 1;
    CALL_THEN_NEXT(function, ESValue::fromObject(m_global), 3);
}

L_GETW:
    PUSH(lookupName(m_pool->at(int(OPERAND(0))), nullptr));
    NEXT(3);
L_GETF : {
    ESValue base = sp[-1];
    ESString *name = m_pool->at(int(OPERAND(0)));
    if (base.isObject()) {
        // Plain objects are searched inline.
        ESObject *o = base.object;
        for (;;) {
            if (!o->m_class->hasPlainAccess()) {
                sp[-1] = get(o, name);
                break;
            }
            if (ESProperty *p = o->ownEntry(name)) {
                sp[-1] = p->value;
                break;
            }
            o = o->m_prototype;
            if (!o) {
                sp[-1] = ESValue::undefined();
                break;
            }
        }
    } else {
        sp[-1] = getProperty(base, name);
    }
    NEXT(3);
}
L_GETG:
    PUSH(m_global->m_properties.at(int(OPERAND(0))).value);
    NEXT(3);
L_GETA:
    PUSH(argv[OPERAND(0)]);
    NEXT(3);
L_GETL:
    PUSH(locals[OPERAND(0)]);
    NEXT(3);
L_GETAM:
    PUSH(ACTIVATION().at(int(OPERAND(0))).value);
    NEXT(3);
L_GETLM:
    PUSH(ACTIVATION().at(int(OPERAND(0)) + code->parameterCount()).value);
    NEXT(3);
L_GETX : {
    ESValue key = sp[-1];
    ESValue base = sp[-2];
    sp[-2] = getIndexed(base, key);
    --sp;
    NEXT(1);
}

L_PUTW : {
    ESValue value = sp[-1];
    --sp;
    putVariable(m_pool->at(int(OPERAND(0))), value);
    NEXT(3);
}
L_PUTF : {
    ESValue base = sp[-1];
    ESValue value = sp[-2];
    sp -= 2;
    putValue(base, m_pool->at(int(OPERAND(0))), value);
    NEXT(3);
}
L_PUTG : {
    ESProperty &p = m_global->m_properties.at(int(OPERAND(0)));
    if (p.isDeleted())
        p.attributes = 0;
    if (!(p.attributes & ESProperty::ReadOnly))
        p.value = sp[-1];
    --sp;
    NEXT(3);
}
L_PUTA:
    argv[OPERAND(0)] = sp[-1];
    --sp;
    NEXT(3);
L_PUTL:
    locals[OPERAND(0)] = sp[-1];
    --sp;
    NEXT(3);
L_PUTAM:
    ACTIVATION().at(int(OPERAND(0))).value = sp[-1];
    --sp;
    NEXT(3);
L_PUTLM:
    ACTIVATION().at(int(OPERAND(0)) + code->parameterCount()).value = sp[-1];
    --sp;
    NEXT(3);
L_PUTX : {
    ESValue key = sp[-1];
    ESValue base = sp[-2];
    ESValue value = sp[-3];
    sp -= 3;
    putIndexed(base, key, value);
    NEXT(1);
}

L_ADD : {
    ESValue &a = sp[-2];
    const ESValue &b = sp[-1];
    if (a.isNumber() && b.isNumber())
        a.number += b.number;
    else
        a = add(ESValue(a), ESValue(b));
    --sp;
    NEXT(1);
}
L_SUB:
    NUMBER_OPERATION(-=, OP_SUB);
L_MUL:
    NUMBER_OPERATION(*=, OP_MUL);
L_DIV:
    NUMBER_OPERATION(/=, OP_DIV);
L_MOD:
L_BITAND:
L_BITOR:
L_BITXOR:
L_SHL:
L_SHR:
L_USHR : {
    ESValue &a = sp[-2];
    const ESValue &b = sp[-1];
    int op = *pc;
    if (a.isNumber() && b.isNumber()) {
        double x = a.number, y = b.number;
        std::int32_t i = fastInt32(x), j = fastInt32(y);
        if (double(i) == x && double(j) == y && (op != OP_MOD || j != 0)) {
            switch (op) {
            case OP_MOD: {
                // The remainder takes the dividend's sign, -0 included.
                std::int64_t r = std::int64_t(i) % std::int64_t(j);
                a.number = r == 0 && std::signbit(x) ? -0.0 : double(r);
                break;
            }
            case OP_BITAND:
                a.number = i & j;
                break;
            case OP_BITOR:
                a.number = i | j;
                break;
            case OP_BITXOR:
                a.number = i ^ j;
                break;
            case OP_SHL:
                a.number = std::int32_t(std::uint32_t(i) << (j & 31));
                break;
            case OP_SHR:
                a.number = i >> (j & 31);
                break;
            default:
                a.number = std::uint32_t(i) >> (j & 31);
                break;
            }
            --sp;
            NEXT(1);
        }
    }
    a = arithmetic(op, ESValue(a), ESValue(b));
    --sp;
    NEXT(1);
}
L_ADDX:
L_SUBX:
L_MULX:
L_DIVX:
L_MODX:
L_BITANDX:
L_BITORX:
L_BITXORX:
L_SHLX:
L_SHRX:
L_USHRX : {
    ESValue key = sp[-1];
    ESValue base = sp[-2];
    ESValue right = sp[-3];
    ESValue value = arithmetic(*pc - 1, getIndexed(base, key), right);
    putIndexed(base, key, value);
    sp -= 2;
    sp[-1] = value;
    NEXT(1);
}

L_INC:
    sp[-1] = ESValue::fromNumber(toNumber(sp[-1]) + 1);
    NEXT(1);
L_DEC:
    sp[-1] = ESValue::fromNumber(toNumber(sp[-1]) - 1);
    NEXT(1);
L_INCG:
L_DECG : {
    ESValue old = m_global->m_properties.at(int(OPERAND(0))).value;
    double d = old.isNumber() ? old.number : toNumber(old);
    ESProperty &p = m_global->m_properties.at(int(OPERAND(0)));
    if (p.isDeleted())
        p.attributes = 0;
    if (!(p.attributes & ESProperty::ReadOnly))
        p.value = ESValue::fromNumber(*pc == OP_INCG ? d + 1 : d - 1);
    NEXT(3);
}
L_INCA:
L_DECA : {
    ESValue &v = argv[OPERAND(0)];
    double d = v.isNumber() ? v.number : toNumber(v);
    argv[OPERAND(0)] = ESValue::fromNumber(*pc == OP_INCA ? d + 1 : d - 1);
    NEXT(3);
}
L_INCL:
L_DECL : {
    ESValue &v = locals[OPERAND(0)];
    if (v.isNumber()) {
        v.number += *pc == OP_INCL ? 1 : -1;
    } else {
        double d = toNumber(ESValue(v));
        locals[OPERAND(0)] = ESValue::fromNumber(*pc == OP_INCL ? d + 1 : d - 1);
    }
    NEXT(3);
}
L_INCM:
L_INCLM:
L_DECAM:
L_DECLM : {
    int index = int(OPERAND(0));
    if (*pc == OP_INCLM || *pc == OP_DECLM)
        index += code->parameterCount();
    double d = toNumber(ACTIVATION().at(index).value);
    bool up = *pc == OP_INCM || *pc == OP_INCLM;
    ACTIVATION().at(index).value = ESValue::fromNumber(up ? d + 1 : d - 1);
    NEXT(3);
}
L_PREINCX:
L_POSTINCX:
L_PREDECX:
L_POSTDECX : {
    ESValue key = sp[-1];
    ESValue base = sp[-2];
    double old = toNumber(getIndexed(base, key));
    bool up = *pc == OP_PREINCX || *pc == OP_POSTINCX;
    double updated = up ? old + 1 : old - 1;
    putIndexed(base, key, ESValue::fromNumber(updated));
    --sp;
    sp[-1] = ESValue::fromNumber(*pc == OP_PREINCX || *pc == OP_PREDECX ? updated : old);
    NEXT(1);
}

L_DELETEW:
    PUSH(ESValue::fromBool(deleteVariable(m_pool->at(int(OPERAND(0))))));
    NEXT(3);
L_DELETEX : {
    ESValue key = sp[-1];
    ESValue base = sp[-2];
    ESObject *object = toObject(base);
    bool deleted = object->m_class->deleteProperty(*this, object, keyName(key));
    --sp;
    sp[-1] = ESValue::fromBool(deleted);
    NEXT(1);
}

L_LT:
L_LE : {
    ESValue &a = sp[-2];
    const ESValue &b = sp[-1];
    bool r;
    if (a.isNumber() && b.isNumber())
        r = *pc == OP_LT ? a.number < b.number : a.number <= b.number;
    else
        r = lessThan(ESValue(a), ESValue(b), *pc == OP_LE);
    a = ESValue::fromBool(r);
    --sp;
    NEXT(1);
}
L_EQ:
L_NE:
L_IDENTITY:
L_NIDENTITY : {
    int op = *pc;
    bool r =
        op == OP_EQ || op == OP_NE ? looseEquals(sp[-2], sp[-1]) : strictEquals(sp[-2], sp[-1]);
    sp[-2] = ESValue::fromBool(op == OP_NE || op == OP_NIDENTITY ? !r : r);
    --sp;
    NEXT(1);
}
L_LOGNOT:
    sp[-1] = ESValue::fromBool(!toBoolean(sp[-1]));
    NEXT(1);
L_BITNOT:
    sp[-1] = ESValue::fromNumber(~toInt32(sp[-1]));
    NEXT(1);
L_POS:
    if (!sp[-1].isNumber())
        sp[-1] = ESValue::fromNumber(toNumber(ESValue(sp[-1])));
    NEXT(1);
L_NEG:
    sp[-1] = ESValue::fromNumber(-toNumber(ESValue(sp[-1])));
    NEXT(1);

L_LOGAND:
    if (!toBoolean(sp[-1]))
        JUMP(OPERAND(0));
    --sp;
    NEXT(3);
L_LOGOR:
    if (toBoolean(sp[-1]))
        JUMP(OPERAND(0));
    --sp;
    NEXT(3);
L_J:
    JUMP(OPERAND(0));
L_JT : {
    const ESValue &v = sp[-1];
    --sp;
    bool t = v.type == ESValue::Boolean ? v.number != 0 : toBoolean(v);
    if (t)
        JUMP(OPERAND(0));
    NEXT(3);
}
L_JF : {
    const ESValue &v = sp[-1];
    --sp;
    bool t = v.type == ESValue::Boolean ? v.number != 0 : toBoolean(v);
    if (!t)
        JUMP(OPERAND(0));
    NEXT(3);
}
L_JT_DROP : {
    bool t = toBoolean(sp[-1]);
    --sp;
    if (t) {
        --sp;
        JUMP(OPERAND(0));
    }
    NEXT(3);
}
L_JLT : {
    const ESValue &a = sp[-2];
    const ESValue &b = sp[-1];
    bool r = a.isNumber() && b.isNumber() ? a.number < b.number
                                          : lessThan(ESValue(a), ESValue(b), false);
    sp -= 2;
    if (r)
        JUMP(OPERAND(0));
    NEXT(3);
}
L_RET:
    result = sp[-1];
    return result;
L_RETU:
    return ESValue::undefined();

#undef OPERAND
#undef DISPATCH
#undef NEXT
#undef JUMP
#undef PUSH
#undef ACTIVATION
#undef CALL_THEN_NEXT
#undef NUMBER_OPERATION
}
