#include "script/escontext.h"

#include "script/esactivation.h"
#include "script/esclass.h"
#include "script/escode.h"
#include "script/escollector.h"
#include "script/escompiler.h"
#include "script/esexception.h"
#include "script/esheap.h"
#include "script/esnativearray.h"
#include "script/esnativeboolean.h"
#include "script/esnativedate.h"
#include "script/esnativeerror.h"
#include "script/esnativefunction.h"
#include "script/esnativeglobal.h"
#include "script/esnativemath.h"
#include "script/esnativenumber.h"
#include "script/esnativeobject.h"
#include "script/esnativestring.h"
#include "script/esnumber.h"
#include "script/esobject.h"
#include "script/espersistent.h"
#include "script/essource.h"
#include "script/esstring.h"
#include "script/esstringpool.h"

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Room a native leaves for the calls it makes after keeping values.
constexpr int kSlackForKept = 16;

// Names of indices below this are pooled once and cached.
constexpr std::uint32_t kCachedIndexNames = 1 << 16;

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kStackReserve = 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::size_t kStackReserve = 1024 * 1024;
#else
constexpr std::size_t kStackReserve = 256 * 1024;
#endif
#else
constexpr std::size_t kStackReserve = 256 * 1024;
#endif

// The lowest native stack address the engine lets its recursion reach on this thread.
std::uintptr_t nativeStackLimit() {
    static thread_local std::uintptr_t limit = 0;
    if (limit)
        return limit;
    auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    std::uintptr_t low = 0;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        void *address = nullptr;
        std::size_t size = 0;
        if (pthread_attr_getstack(&attributes, &address, &size) == 0)
            low = reinterpret_cast<std::uintptr_t>(address);
        pthread_attr_destroy(&attributes);
    }
    if (low == 0 || low >= here)
        low = here - 1024 * 1024;
    limit = low + kStackReserve;
    // An unlimited stack is used up to a generous bound, not to the next mapping.
    constexpr std::uintptr_t kMaxUse = 256u * 1024 * 1024;
    if (here > kMaxUse && limit < here - kMaxUse)
        limit = here - kMaxUse;
    return limit;
}

// The state of a for-in loop answers `index`, `length` and the names "0", "1", ...
class ESEnumerationClass : public ESClass {
public:
    ESEnumerationClass() { m_plainAccess = false; }
    bool getOwnProperty(ESContext &context, ESObject *object, ESString *name, ESValue *value,
                        std::uint32_t *attributes) override {
        auto *e = static_cast<ESEnumerationObject *>(object);
        ESValue v;
        if (name == context.names().index)
            v = ESValue::fromNumber(e->m_index);
        else if (name == context.names().length)
            v = ESValue::fromNumber(double(e->m_names.size()));
        else if (name->arrayIndex() >= 0 && std::size_t(name->arrayIndex()) < e->m_names.size())
            v = ESValue::fromString(e->m_names[std::size_t(name->arrayIndex())]);
        else
            return ESClass::getOwnProperty(context, object, name, value, attributes);
        if (value)
            *value = v;
        if (attributes)
            *attributes = 0;
        return true;
    }
    void put(ESContext &context, ESObject *object, ESString *name, const ESValue &value) override {
        if (name == context.names().index)
            static_cast<ESEnumerationObject *>(object)->m_index =
                std::uint32_t(context.toUint32(value));
        else
            ESClass::put(context, object, name, value);
    }
};

} // namespace

ESValue ESValue::fromString(ESString *s) {
    ESValue v;
    v.type = s->isInterned() ? InternedString : String;
    v.string = s;
    return v;
}

// Saves the running state on entry from a host or a native and restores it on the way
// out, also when a script error unwinds through it. The saved scope and `this` stay
// reachable for the collector meanwhile.
class ESEntry {
public:
    explicit ESEntry(ESContext &c)
        : m_c(c), m_sp(c.m_sp), m_saved{c.m_saved, c.m_scope, c.m_this, nullptr}, m_argc(c.m_argc),
          m_argv(c.m_argv), m_frame(c.m_frame), m_activationSlots(c.m_activationSlots) {
        c.m_saved = &m_saved;
        if (c.m_entryDepth++ == 0) {
            c.m_nativeStackLimit = nativeStackLimit();
            c.m_stopped = false;
        }
    }
    ~ESEntry() {
        m_c.m_sp = m_sp;
        m_c.m_saved = m_saved.previous;
        m_c.m_scope = m_saved.scope;
        m_c.m_this = m_saved.thisValue;
        m_c.m_argc = m_argc;
        m_c.m_argv = m_argv;
        m_c.m_frame = m_frame;
        m_c.m_activationSlots = m_activationSlots;
        m_c.m_compileSource = nullptr;
        if (--m_c.m_entryDepth == 0)
            m_c.m_stopped = false;
    }

private:
    ESContext &m_c;
    ESValue *m_sp;
    ESContext::SavedState m_saved;
    int m_argc;
    ESValue *m_argv;
    ESContext::Frame *m_frame;
    std::size_t m_activationSlots;
};

ESContext::ESContext() : ESContext(std::make_unique<ESNativeGlobal>()) {}

ESContext::ESContext(std::unique_ptr<ESNativeGlobal> globalClass)
    : m_heap(std::make_unique<ESHeap>()), m_pool(std::make_unique<ESStringPool>()) {
    // Pages of the stack are only touched as deep as scripts reach.
    m_stack = std::make_unique<ESPages>(sizeof(ESValue) * kStackSize, false);
    m_sp = reinterpret_cast<ESValue *>(m_stack->data());
    m_stackEnd = m_sp + kStackSize;
    m_this = ESValue::undefined();
    m_heap->setSignal(&m_pollNeeded);
    // The engine's own tests run whole suites with collections at every safe point.
    if (const char *stress = std::getenv("PALINDOR_SCRIPT_GC_STRESS"))
        m_collectionStress = *stress && std::strcmp(stress, "0") != 0;
    scheduleCollection();

    m_names = {
        intern("length"),      intern("prototype"),  intern("null"),      intern("true"),
        intern("false"),       intern("eval"),       intern("arguments"), intern("callee"),
        intern("constructor"), intern("index"),      intern("message"),   intern("fileName"),
        intern("lineNumber"),  intern("sourceLine"), intern("toString"),  intern("valueOf"),
        intern("undefined"),   intern("help"),       intern("name"),      intern("object"),
        intern("boolean"),     intern("number"),     intern("string"),    intern("function"),
        intern("Object"),      intern("Function"),   intern("Array"),     intern("Activation"),
        intern("Error")};
    // Small indices are pooled early and in order, so that for-in visits array elements in
    // ascending order.
    for (std::uint32_t i = 0; i < 256; ++i)
        indexName(i);

    m_classes[ObjectClass] = std::make_unique<ESNativeObject>();
    m_classes[FunctionClass] = std::make_unique<ESNativeFunction>();
    m_classes[FunctionPrototypeClass] = std::make_unique<ESClass>();
    m_classes[ArrayClass] = std::make_unique<ESNativeArray>();
    m_classes[StringClass] = std::make_unique<ESNativeString>();
    m_classes[BooleanClass] = std::make_unique<ESNativeBoolean>();
    m_classes[NumberClass] = std::make_unique<ESNativeNumber>();
    m_classes[MathClass] = std::make_unique<ESNativeMath>();
    m_classes[DateClass] = std::make_unique<ESNativeDate>();
    m_classes[ErrorClass] = std::make_unique<ESNativeError>();
    ESClass *error = m_classes[ErrorClass].get();
    m_classes[EvalErrorClass] = std::make_unique<ESNativeEvalError>(error);
    m_classes[RangeErrorClass] = std::make_unique<ESNativeRangeError>(error);
    m_classes[ReferenceErrorClass] = std::make_unique<ESNativeReferenceError>(error);
    m_classes[SyntaxErrorClass] = std::make_unique<ESNativeSyntaxError>(error);
    m_classes[TypeErrorClass] = std::make_unique<ESNativeTypeError>(error);
    m_classes[URIErrorClass] = std::make_unique<ESNativeURIError>(error);
    m_classes[GlobalClass] =
        globalClass ? std::move(globalClass) : std::make_unique<ESNativeGlobal>();
    m_classes[ActivationClass] = std::make_unique<ESActivation>();
    m_classes[EnumerationClass] = std::make_unique<ESEnumerationClass>();

    m_objectPrototype = m_heap->make<ESObject>(objectClass(), nullptr, intern("Object"));
    m_functionPrototype = m_heap->make<ESObject>(m_classes[FunctionPrototypeClass].get(),
                                                 m_objectPrototype, intern("Function.prototype"));
    m_functionPrototype->m_nativeIndex = 0;
    defineProperty(m_functionPrototype, m_names.length, ESValue::fromNumber(0),
                   ESProperty::ReadOnly | ESProperty::DontEnum | ESProperty::DontDelete);
    m_global =
        m_heap->make<ESObject>(m_classes[GlobalClass].get(), m_objectPrototype, intern("global"));
    m_compiler = std::make_unique<ESCompiler>(*this);
    installNatives();
}

ESContext::~ESContext() = default;

void ESContext::installNatives() {
    objectClass()->install(*this, "Object");
    booleanClass()->install(*this, "Boolean");
    arrayClass()->install(*this, "Array");
    globalClass()->install(*this, "Global");
    errorClass()->install(*this, "Error");
    rangeErrorClass()->install(*this, "RangeError");
    referenceErrorClass()->install(*this, "ReferenceError");
    syntaxErrorClass()->install(*this, "SyntaxError");
    typeErrorClass()->install(*this, "TypeError");
    evalErrorClass()->install(*this, "EvalError");
    uriErrorClass()->install(*this, "URIError");
    numberClass()->install(*this, "Number");
    mathClass()->install(*this, "Math");
    stringClass()->install(*this, "String");
    functionClass()->install(*this, "Function");
    dateClass()->install(*this, "Date");
}

ESObject *ESContext::arrayPrototype() const {
    return arrayClass()->prototype();
}
ESObject *ESContext::stringPrototype() const {
    return stringClass()->prototype();
}
ESObject *ESContext::numberPrototype() const {
    return numberClass()->prototype();
}
ESObject *ESContext::booleanPrototype() const {
    return booleanClass()->prototype();
}
ESObject *ESContext::datePrototype() const {
    return dateClass()->prototype();
}

ESNativeGlobal *ESContext::globalClass() const {
    return static_cast<ESNativeGlobal *>(m_classes[GlobalClass].get());
}

// --- Entry points -------------------------------------------------------------------------

namespace {

ESCompletion thrown(const ESException &e) {
    ESCompletion completion;
    completion.type = ESCompletion::Throw;
    completion.value = e.value();
    completion.text = QString::fromStdString(e.what());
    return completion;
}

} // namespace

ESCompletion ESContext::evaluate(const QString &fileName, const QString &source) {
    ESEntry entry(*this);
    try {
        std::unique_ptr<ESCode> program = m_compiler->compileProgram(fileName, source);
        ESCompletion completion;
        completion.value = runProgram(program.get());
        m_lastResult = completion.value;
        return completion;
    } catch (const ESException &e) {
        m_lastResult = e.value();
        return thrown(e);
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

ESCompletion ESContext::evaluateInScope(const QString &source) {
    if (!m_scope)
        return evaluate(QString(), source);
    ESEntry entry(*this);
    try {
        std::unique_ptr<ESCode> program = m_compiler->compileProgram(QString(), source, true);
        ESObject *variables = m_global;
        for (ESScope *scope = m_scope; scope; scope = scope->next) {
            if (scope->object->kind() == ESObject::Activation) {
                variables = scope->object;
                break;
            }
        }
        // A declaration leaves an existing variable as it is.
        for (const ESVariable &variable : program->variables()) {
            if (!variables->ownEntry(variable.name))
                defineProperty(variables, variable.name, ESValue::undefined(), 0);
        }
        if (m_sp + program->maxStack() + 16 > m_stackEnd)
            fatal("virtual machine stack too small");
        ESCompletion completion;
        completion.value = run(program.get(), m_sp, m_sp);
        return completion;
    } catch (const ESException &e) {
        return thrown(e);
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

ESCompletion ESContext::checkSyntax(const QString &fileName, const QString &source) {
    ESEntry entry(*this);
    int functions = functionCount();
    int globals = m_global->m_properties.size();
    try {
        m_compiler->compileProgram(fileName, source);
        // A check leaves nothing behind: neither the functions it compiled nor the global
        // variables it named.
        m_functions.resize(std::size_t(functions));
        m_global->m_properties.truncate(globals);
        return ESCompletion();
    } catch (const ESException &e) {
        return thrown(e);
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

ESValue ESContext::runProgram(ESCode *program) {
    m_scope = nullptr;
    m_this = ESValue::fromObject(m_global);
    m_argc = 0;
    m_argv = m_sp;
    if (m_sp + program->maxStack() + 16 > m_stackEnd)
        fatal("virtual machine stack too small");
    return run(program, m_sp, m_sp);
}

ESValue ESContext::call(ESObject *function, const ESValue &thisValue, int argc,
                        const ESValue *argv) {
    ESEntry entry(*this);
    if (!function || !function->isFunction())
        throwTypeError(QStringLiteral("can only call function objects"));
    try {
        ESValue *args = pushArguments(argc, argv);
        callFunction(function, thisValue, argc, args);
        return args[0];
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

ESValue *ESContext::pushArguments(int argc, const ESValue *argv) {
    if (m_sp + argc + 16 > m_stackEnd)
        fatal("virtual machine stack too small");
    ESValue *args = m_sp;
    std::copy(argv, argv + argc, args);
    m_sp = args + argc;
    return args;
}

ESObject *ESContext::construct(ESObject *function, int argc, const ESValue *argv) {
    ESEntry entry(*this);
    try {
        ESValue *args = pushArguments(argc, argv);
        constructValue(function ? ESValue::fromObject(function) : ESValue::undefined(), argc, args);
        return args[0].isObject() ? args[0].object : nullptr;
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

bool ESContext::carryOnExecuting() {
    // Not overridden: the interpreter stops asking, and polls only for the collector.
    m_hostPolls = false;
    m_pollNeeded = m_heap->collectionDue();
    return true;
}

bool ESContext::shouldStop() {
    if (m_stopped)
        return true;
    if (m_hostPolls && !carryOnExecuting())
        m_stopped = true;
    return m_stopped;
}

bool ESContext::nativeStackLow(std::size_t headroom) {
    if (!m_nativeStackLimit)
        m_nativeStackLimit = nativeStackLimit();
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) <
           m_nativeStackLimit + headroom;
}

void ESContext::reserveMemory(std::size_t bytes) {
    m_extraMemory += bytes;
    m_heap->addOutside(bytes);
    std::size_t used = m_heap->bytes() + m_extraMemory;
    if (used <= m_memoryLimit)
        return;
    // Garbage made since the last collection may account for the excess: the next safe
    // point collects, and until then allocation may overshoot the limit by a quarter. Over
    // the limit with little allocated since, what is reachable is too much.
    constexpr std::size_t kFewBytes = 64 * 1024;
    if (m_heap->allocatedSinceSweep() > kFewBytes && used - m_memoryLimit <= m_memoryLimit / 4) {
        m_heap->requestCollection();
        return;
    }
    fatal("out of memory");
}

void ESContext::setMemoryLimit(std::size_t bytes) {
    m_memoryLimit = bytes;
    scheduleCollection();
}

void ESContext::setCollectionStress(bool on) {
    m_collectionStress = on;
    scheduleCollection();
}

namespace {
// A collection is due after this much allocation, or after as much as survived the last
// one when that is more: the heap stays within about twice what is reachable, and the
// work of a collection is paid for by as much allocation.
constexpr std::size_t kCollectionFloor = 4 * 1024 * 1024;
} // namespace

void ESContext::scheduleCollection() {
    std::size_t live = m_heap->bytes() + m_extraMemory;
    std::size_t budget = std::max(kCollectionFloor, live);
    // Collect early enough that garbage alone cannot reach the memory limit.
    if (m_memoryLimit != SIZE_MAX)
        budget = std::min(budget, std::max<std::size_t>(
                                      (m_memoryLimit - std::min(live, m_memoryLimit)) / 2, 65536));
    // Under stress, any allocation at all makes a collection due.
    m_heap->setBudget(m_collectionStress ? 1 : budget);
    m_pollNeeded = m_hostPolls || m_heap->collectionDue();
}

void ESContext::collectGarbage() {
    auto start = std::chrono::steady_clock::now();
    ESCollector collector;
    collector.markObject(m_global);
    collector.markObject(m_objectPrototype);
    collector.markObject(m_functionPrototype);
    for (auto &cls : m_classes)
        collector.markClass(cls.get());
    // A host class's prototype must survive while no instance of it exists.
    for (auto &cls : m_adoptedClasses)
        collector.markClass(cls.get());
    for (auto *v = reinterpret_cast<ESValue *>(m_stack->data()); v < m_sp; ++v)
        collector.markValue(*v);
    collector.markScope(m_scope);
    collector.markValue(m_this);
    for (SavedState *s = m_saved; s; s = s->previous) {
        collector.markScope(s->scope);
        collector.markValue(s->thisValue);
        collector.markObject(s->function);
    }
    for (ESPersistent *p = m_persistents; p; p = p->m_next)
        collector.markValue(p->m_value);
    collector.markValue(m_lastResult);
    collector.drain();
    m_extraMemory = collector.outsideBytes();
    std::size_t freed = m_heap->sweep();
    scheduleCollection();

    std::chrono::duration<double> pause = std::chrono::steady_clock::now() - start;
    ++m_collectionStats.collections;
    m_collectionStats.freedBytes += freed;
    m_collectionStats.totalPause += pause.count();
    m_collectionStats.longestPause = std::max(m_collectionStats.longestPause, pause.count());
}

ESClass *ESContext::adoptClass(std::unique_ptr<ESClass> cls) {
    m_adoptedClasses.push_back(std::move(cls));
    return m_adoptedClasses.back().get();
}

// --- Errors ---------------------------------------------------------------------------------

void ESContext::fatal(const char *message) {
    throw ESFatalError(message);
}

ESObject *ESContext::newErrorObject(ESClass *errorClass, const QString &message) {
    ESObject *error = newObject(errorClass, errorClass->prototype(), m_names.errorClass);
    put(error, m_names.message, newString(message));
    return error;
}

void ESContext::throwError(ESClass *errorClass, const QString &message) {
    ESObject *error = newErrorObject(errorClass, message);
    const ESSource *source = currentSource();
    int line = currentLine();
    if (source && !source->fileName().isEmpty())
        put(error, m_names.fileName, newString(source->fileName()));
    if (source && line >= 1 && line <= source->lineCount()) {
        put(error, m_names.lineNumber, ESValue::fromNumber(line));
        put(error, m_names.sourceLine, newString(source->line(line)));
    }
    throw ESException(ESValue::fromObject(error), message.toStdString());
}

void ESContext::throwError(const QString &message) {
    throwError(errorClass(), message);
}

void ESContext::throwTypeError(const QString &message) {
    throwError(typeErrorClass(), message);
}

void ESContext::throwRangeError(const QString &message) {
    throwError(rangeErrorClass(), message);
}

void ESContext::throwSyntaxError(const QString &message, const ESSource *source, int line) {
    m_compileSource = source;
    m_compileLine = line;
    throwError(syntaxErrorClass(), message);
}

int ESContext::currentLine() const {
    if (m_compileSource)
        return m_compileLine;
    if (!m_frame)
        return 0;
    return m_frame->code->lineAt(int(m_frame->pc - m_frame->code->bytes()));
}

const ESSource *ESContext::currentSource() const {
    if (m_compileSource)
        return m_compileSource;
    return m_frame ? m_frame->code->source() : nullptr;
}

// --- Conversions ----------------------------------------------------------------------------

bool ESContext::toBoolean(const ESValue &value) {
    switch (value.type) {
    case ESValue::Undefined:
    case ESValue::Null:
        return false;
    case ESValue::Boolean:
    case ESValue::Number:
        // NaN is true: only a payload equal to zero is false.
        return value.number != 0.0;
    case ESValue::String:
    case ESValue::InternedString:
        return value.string->size() != 0;
    case ESValue::Object:
        return true;
    default:
        fatal("bad type in toBoolean");
    }
}

double ESContext::toNumber(const ESValue &value) {
    switch (value.type) {
    case ESValue::Undefined:
        return std::nan("");
    case ESValue::Null:
        return 0;
    case ESValue::Boolean:
    case ESValue::Number:
        return value.number;
    case ESValue::String:
    case ESValue::InternedString:
        return esStringToNumber(value.string->text());
    case ESValue::Object:
        return toNumber(toPrimitive(value, NumberHint));
    default:
        fatal("bad type in toNumber");
    }
}

double ESContext::toInteger(const ESValue &value) {
    double d = toNumber(value);
    if (std::isnan(d))
        return 0;
    return std::trunc(d);
}

std::uint32_t ESContext::toUint32(const ESValue &value) {
    double d = value.isNumber() ? value.number : toNumber(value);
    if (!std::isfinite(d))
        return 0;
    d = std::fmod(std::trunc(d), 4294967296.0);
    if (d < 0)
        d += 4294967296.0;
    return std::uint32_t(d);
}

std::int32_t ESContext::toInt32(const ESValue &value) {
    return std::int32_t(toUint32(value));
}

ESString *ESContext::toString(const ESValue &value, int radix) {
    switch (value.type) {
    case ESValue::Undefined:
        return m_names.undefined;
    case ESValue::Null:
        return m_names.null;
    case ESValue::Boolean:
        return value.number != 0 ? m_names.trueName : m_names.falseName;
    case ESValue::Number: {
        double d = value.number;
        // Small integers come from the pool's cache; larger ones are not pooled, so that
        // converting many numbers leaves nothing behind.
        if (radix == 10 && d >= 0 && d < kCachedIndexNames && d == std::trunc(d))
            return indexName(std::uint32_t(d));
        return newString(esNumberToString(d, radix)).string;
    }
    case ESValue::String:
    case ESValue::InternedString:
        return value.string;
    case ESValue::Object:
        return toString(toPrimitive(value, StringHint));
    default:
        fatal("unknown type in toString");
    }
}

QString ESContext::toText(const ESValue &value) {
    return toString(value)->text();
}

void ESContext::keep(const ESValue &value) {
    // A native's arguments end at m_sp; what is pushed above them is dropped when the
    // call returns.
    if (m_sp + kSlackForKept > m_stackEnd)
        fatal("virtual machine stack too small");
    *m_sp++ = value;
}

ESValue ESContext::toPrimitive(const ESValue &value, Hint hint) {
    switch (value.type) {
    case ESValue::Undefined:
    case ESValue::Null:
    case ESValue::Boolean:
    case ESValue::Number:
    case ESValue::String:
    case ESValue::InternedString:
        return value;
    case ESValue::Object:
        return defaultValue(value.object, hint);
    default:
        fatal("bad type in toPrimitive");
    }
}

ESValue ESContext::defaultValue(ESObject *object, Hint hint) {
    bool stringFirst = hint == StringHint || (hint == NoHint && object->m_class == dateClass());
    ESString *order[2] = {m_names.valueOf, m_names.toString};
    if (stringFirst)
        std::swap(order[0], order[1]);
    for (ESString *name : order) {
        ESValue method = get(object, name);
        if (method.isObject() && method.object->isFunction()) {
            ESValue result = call(method.object, ESValue::fromObject(object));
            if (!result.isUndefined() && !result.isObject())
                return result;
        }
    }
    throwTypeError(QStringLiteral("type error: no default value"));
}

ESObject *ESContext::toObject(const ESValue &value) {
    ESObject *wrapper;
    switch (value.type) {
    case ESValue::Undefined:
        throwTypeError(QStringLiteral("can't convert undefined to an object"));
    case ESValue::Null:
        throwTypeError(QStringLiteral("can't convert null to an object"));
    case ESValue::Boolean:
        wrapper = newObject(booleanClass(), booleanPrototype(), "Boolean");
        break;
    case ESValue::Number:
        wrapper = newObject(numberClass(), numberPrototype(), "Number");
        break;
    case ESValue::String:
    case ESValue::InternedString:
        wrapper = newObject(stringClass(), stringPrototype(), "String");
        break;
    case ESValue::Object:
        return value.object;
    default:
        fatal("unknown type in toObject");
    }
    wrapper->m_value = value;
    return wrapper;
}

QString ESContext::typeOf(const ESValue &value) {
    switch (value.type) {
    case ESValue::Undefined:
        return QStringLiteral("undefined");
    case ESValue::Boolean:
        return QStringLiteral("boolean");
    case ESValue::Number:
        return QStringLiteral("number");
    case ESValue::String:
    case ESValue::InternedString:
        return QStringLiteral("string");
    case ESValue::Object:
        if (value.object->isFunction())
            return QStringLiteral("function");
        return QStringLiteral("object");
    default:
        return QStringLiteral("object");
    }
}

// --- Making values --------------------------------------------------------------------------

ESString *ESContext::intern(QStringView text) {
    return m_pool->intern(text);
}

ESString *ESContext::intern(const char *text) {
    return m_pool->intern(QString::fromUtf8(text));
}

ESString *ESContext::pooled(ESString *string) {
    if (!string->m_pooled)
        string->m_pooled = m_pool->intern(string->text());
    return string->m_pooled;
}

ESString *ESContext::indexName(std::uint32_t index) {
    if (index >= kCachedIndexNames)
        return intern(QString::number(index));
    if (index >= m_indexNames.size())
        m_indexNames.resize(std::max<std::size_t>(index + 1, m_indexNames.size() * 2), nullptr);
    ESString *&name = m_indexNames[index];
    if (!name)
        name = intern(QString::number(index));
    return name;
}

ESValue ESContext::newString(QStringView text) {
    // Refuse absurd sizes before they exhaust the machine.
    constexpr qsizetype kMaxLength = qsizetype(1) << 28;
    if (text.size() > kMaxLength)
        fatal("out of memory");
    ESString *s = m_heap->makeString(text);
    if (m_heap->bytes() + m_extraMemory > m_memoryLimit)
        reserveMemory(0);
    return ESValue::fromString(s);
}

ESObject *ESContext::newObject() {
    return newObject(objectClass(), m_objectPrototype, m_names.objectClass);
}

ESObject *ESContext::newObject(ESClass *cls, ESObject *prototype, const char *classString) {
    return newObject(cls, prototype, intern(classString));
}

ESObject *ESContext::newObject(ESClass *cls, ESObject *prototype, ESString *classString) {
    if (m_heap->bytes() + m_extraMemory > m_memoryLimit)
        reserveMemory(0);
    return m_heap->make<ESObject>(cls, prototype, classString);
}

ESArrayObject *ESContext::newArray() {
    static_assert(std::is_base_of_v<ESObject, ESArrayObject>);
    if (m_heap->bytes() + m_extraMemory > m_memoryLimit)
        reserveMemory(0);
    return m_heap->make<ESArrayObject>(arrayClass(), arrayPrototype(), m_names.arrayClass);
}

ESObject *ESContext::newFunction(ESCode *code, ESScope *scope) {
    ESObject *function = newObject(functionClass(), m_functionPrototype, m_names.functionClass);
    function->m_nativeIndex = ESObject::kScriptFunction;
    function->m_code = code;
    function->m_scope = scope;
    function->m_parameterCount = code->parameterCount();
    defineProperty(function, m_names.length, ESValue::fromNumber(code->parameterCount()),
                   ESProperty::ReadOnly | ESProperty::DontEnum | ESProperty::DontDelete);
    ESObject *prototype = newObject();
    defineProperty(function, m_names.prototype, ESValue::fromObject(prototype),
                   ESProperty::DontEnum);
    defineProperty(prototype, m_names.constructor, ESValue::fromObject(function),
                   ESProperty::DontEnum);
    return function;
}

ESObject *ESContext::newFunction(const QString &parameters, const QString &body) {
    ESEntry entry(*this);
    const ESSource *source = currentSource();
    try {
        return m_compiler->compileFunction(source ? source->fileName() : QString(), parameters,
                                           body);
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

ESObject *ESContext::defineMethod(ESObject *holder, const ESMethodDef &record,
                                  ESObject *functionPrototype, ESClass *cls) {
    ESObject *function = newObject(cls, functionPrototype, record.fullName);
    function->m_nativeIndex = record.index;
    function->m_parameterCount = record.length;
    defineProperty(function, m_names.length, ESValue::fromNumber(record.length),
                   ESProperty::ReadOnly | ESProperty::DontEnum | ESProperty::DontDelete);
    if (record.help)
        defineProperty(function, m_names.help, newString(QString::fromUtf8(record.help)),
                       ESProperty::DontEnum);
    defineProperty(holder, intern(record.name), ESValue::fromObject(function),
                   ESProperty::DontEnum);
    return function;
}

void ESContext::defineProperty(ESObject *object, ESString *name, const ESValue &value,
                               std::uint32_t attributes) {
    object->m_properties.set(name, value, attributes);
}

void ESContext::defineProperty(ESObject *object, const char *name, const ESValue &value,
                               std::uint32_t attributes) {
    defineProperty(object, intern(name), value, attributes);
}

ESValue ESContext::get(ESObject *object, const char *name) {
    return get(object, intern(name));
}

// --- Listing --------------------------------------------------------------------------------

void ESContext::setListingOutput(std::function<void(const QString &)> output) {
    m_listingOutput = std::move(output);
}

void ESContext::listing(ESCode *code) {
    QString text = code->listing(*this);
    if (m_listingOutput) {
        m_listingOutput(text);
        return;
    }
    QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
}
