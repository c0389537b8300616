#pragma once

#include "script/esvalue.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ESArrayObject;
class ESClass;
class ESCode;
class ESCompiler;
class ESHeap;
class ESNativeGlobal;
class ESObject;
class ESPages;
class ESPersistent;
class ESSource;
class ESString;
class ESStringPool;
struct ESMethodDef;
struct ESScope;

// The result of an evaluation.
struct ESCompletion {
    enum Type { Normal = 0, Throw = 4 };
    Type type = Normal;
    ESValue value = ESValue::undefined();
    QString text; // the error message of a throw
};

// What the collector has done in a context so far.
struct ESCollectionStats {
    std::uint64_t collections = 0;
    std::uint64_t freedBytes = 0;
    double totalPause = 0;   // seconds
    double longestPause = 0; // seconds
};

// Names every part of the engine uses, pooled once per context.
struct ESNames {
    ESString *length, *prototype, *null, *trueName, *falseName, *eval, *arguments, *callee,
        *constructor, *index, *message, *fileName, *lineNumber, *sourceLine, *toString, *valueOf,
        *undefined, *help, *name;
    // typeof answers
    ESString *object, *boolean, *number, *string, *function;
    // class strings
    ESString *objectClass, *functionClass, *arrayClass, *activationClass, *errorClass;
};

// One script world: a global object with the standard prototypes and natives, an interned
// string pool, the compiled code, a value stack and the interpreter. A context belongs to
// the thread that evaluates in it.
//
// Objects and strings live until the collector finds them unreachable. It runs between two
// instructions of a script, once enough was allocated since the last collection, or when
// collectGarbage() is called. What it reaches from: the value stack, the scope chains and
// `this` of the calls in progress (with the function and `this` of a native call), the
// global object, the classes' prototypes and constructors, the string pool, ESPersistent
// holders, and the value of the last evaluate(). A native or host that keeps an ESObject*
// or an unpooled ESString* in a C++ variable while it calls into script (call, construct,
// and conversions of objects, which may run their toString or valueOf) must hold it in an
// ESPersistent or reach it from one of these roots; between such calls raw pointers are
// safe, since allocation alone never collects.
class ESContext {
public:
    enum Hint { NoHint, NumberHint, StringHint };
    // Debug flag: print each compiled function's byte code after compilation.
    static constexpr int kDebugListing = 1 << 2;
    static constexpr int kStackSize = 1048576;

    // A context whose global object is of the given class (a plain ESNativeGlobal when
    // none is given).
    ESContext();
    explicit ESContext(std::unique_ptr<ESNativeGlobal> globalClass);
    virtual ~ESContext();
    ESContext(const ESContext &) = delete;
    ESContext &operator=(const ESContext &) = delete;

    // Compiles and runs a program. A script error gives a Throw completion carrying the
    // error object; an engine fault raises ESFatalError.
    ESCompletion evaluate(const QString &fileName, const QString &source);
    // Evaluates eval code in the scope of the running script: its names are found along
    // the current scope chain, and its declarations become variables of the innermost
    // function call (of the global object outside any function).
    ESCompletion evaluateInScope(const QString &source);
    // Compiles without running: a Throw completion for a syntax error, Normal otherwise.
    ESCompletion checkSyntax(const QString &fileName, const QString &source);
    // Calls and constructs from natives and hosts; script errors raise ESException.
    ESValue call(ESObject *function, const ESValue &thisValue, int argc = 0,
                 const ESValue *argv = nullptr);
    ESObject *construct(ESObject *function, int argc = 0, const ESValue *argv = nullptr);

    // Polled before every instruction when a subclass overrides it (and now and then by
    // long native loops); false stops the run, which then returns from every frame
    // without an error.
    virtual bool carryOnExecuting();
    bool isStopped() const { return m_stopped; }
    // For natives with long loops: polls, and answers whether to stop.
    bool shouldStop();

    // Errors. The error object gets `message`, and `fileName`, `lineNumber` and
    // `sourceLine` from the current position when they are known.
    [[noreturn]] void throwError(ESClass *errorClass, const QString &message);
    [[noreturn]] void throwError(const QString &message);
    [[noreturn]] void throwTypeError(const QString &message);
    [[noreturn]] void throwRangeError(const QString &message);
    [[noreturn]] void throwSyntaxError(const QString &message, const ESSource *source, int line);
    [[noreturn]] static void fatal(const char *message);

    // Conversions.
    bool toBoolean(const ESValue &value);
    double toNumber(const ESValue &value);
    double toInteger(const ESValue &value);
    std::int32_t toInt32(const ESValue &value);
    std::uint32_t toUint32(const ESValue &value);
    ESString *toString(const ESValue &value, int radix = 10);
    QString toText(const ESValue &value);
    ESValue toPrimitive(const ESValue &value, Hint hint);
    ESValue defaultValue(ESObject *object, Hint hint);
    ESObject *toObject(const ESValue &value);
    // For natives: keeps a value they made (a wrapper, a converted string) reachable until
    // the native call in progress returns, across the script it may run meanwhile.
    void keep(const ESValue &value);
    QString typeOf(const ESValue &value);

    // Properties.
    ESValue get(ESObject *object, ESString *name);
    ESValue get(ESObject *object, const char *name);
    void put(ESObject *object, ESString *name, const ESValue &value);
    void defineProperty(ESObject *object, ESString *name, const ESValue &value,
                        std::uint32_t attributes);
    void defineProperty(ESObject *object, const char *name, const ESValue &value,
                        std::uint32_t attributes);
    bool hasProperty(ESObject *object, ESString *name);
    // Variables along the scope chain, then the global object.
    ESValue getVariable(ESString *name, ESObject **holder = nullptr);
    void putVariable(ESString *name, const ESValue &value);
    bool deleteVariable(ESString *name);

    // Making values.
    ESString *intern(QStringView text);
    ESString *intern(const char *text);
    ESString *pooled(ESString *string); // the pooled twin of any string
    ESString *indexName(std::uint32_t index);
    ESValue newString(QStringView text);
    ESObject *newObject();
    ESObject *newObject(ESClass *cls, ESObject *prototype, const char *classString);
    ESObject *newObject(ESClass *cls, ESObject *prototype, ESString *classString);
    ESArrayObject *newArray();
    ESObject *newFunction(ESCode *code, ESScope *scope);
    ESObject *newFunction(const QString &parameters, const QString &body);
    ESObject *defineMethod(ESObject *holder, const ESMethodDef &record, ESObject *functionPrototype,
                           ESClass *cls);
    ESObject *newErrorObject(ESClass *errorClass, const QString &message);

    ESObject *globalObject() const { return m_global; }
    ESObject *objectPrototype() const { return m_objectPrototype; }
    ESObject *functionPrototype() const { return m_functionPrototype; }
    ESObject *arrayPrototype() const;
    ESObject *stringPrototype() const;
    ESObject *numberPrototype() const;
    ESObject *booleanPrototype() const;
    ESObject *datePrototype() const;

    ESClass *objectClass() const { return m_classes[ObjectClass].get(); }
    ESClass *functionClass() const { return m_classes[FunctionClass].get(); }
    ESClass *arrayClass() const { return m_classes[ArrayClass].get(); }
    ESClass *stringClass() const { return m_classes[StringClass].get(); }
    ESClass *booleanClass() const { return m_classes[BooleanClass].get(); }
    ESClass *numberClass() const { return m_classes[NumberClass].get(); }
    ESClass *mathClass() const { return m_classes[MathClass].get(); }
    ESClass *dateClass() const { return m_classes[DateClass].get(); }
    ESClass *errorClass() const { return m_classes[ErrorClass].get(); }
    ESClass *evalErrorClass() const { return m_classes[EvalErrorClass].get(); }
    ESClass *rangeErrorClass() const { return m_classes[RangeErrorClass].get(); }
    ESClass *referenceErrorClass() const { return m_classes[ReferenceErrorClass].get(); }
    ESClass *syntaxErrorClass() const { return m_classes[SyntaxErrorClass].get(); }
    ESClass *typeErrorClass() const { return m_classes[TypeErrorClass].get(); }
    ESClass *uriErrorClass() const { return m_classes[URIErrorClass].get(); }
    ESClass *activationClass() const { return m_classes[ActivationClass].get(); }
    ESNativeGlobal *globalClass() const;

    ESStringPool &pool() const { return *m_pool; }
    ESHeap &heap() const { return *m_heap; }
    const ESNames &names() const { return m_names; }
    ESCode *function(int index) const { return m_functions[std::size_t(index)].get(); }
    int functionCount() const { return int(m_functions.size()); }

    int debugFlags() const { return m_debugFlags; }
    void setDebugFlags(int flags) { m_debugFlags = flags; }
    // Where listings go; standard output when unset.
    void setListingOutput(std::function<void(const QString &)> output);
    // Raises "out of memory" once the live heap and the arrays take this many bytes.
    void setMemoryLimit(std::size_t bytes);
    void reserveMemory(std::size_t bytes);
    // Keeps a host class as long as the context, beyond every object of its heap: objects
    // created by the class point at it until the heap is gone.
    ESClass *adoptClass(std::unique_ptr<ESClass> cls);

    // Collects now. From a native, only when it holds nothing unrooted (see above).
    void collectGarbage();
    // Stress mode for tests: a collection at every safe point after any allocation, so that
    // a value used after it became unreachable shows up at once.
    void setCollectionStress(bool on);
    const ESCollectionStats &collectionStats() const { return m_collectionStats; }

    // The source line being executed (0 when none) and its file name.
    int currentLine() const;
    const ESSource *currentSource() const;

    // Whether the native stack is close to its end (with `headroom` bytes to spare); deep
    // recursion stops there with an error instead of overflowing it.
    bool nativeStackLow(std::size_t headroom = 0);
    // Strict equality: the same type (both string tags count as one) and the same value.
    static bool strictEquals(const ESValue &a, const ESValue &b);
    // Looks `name` up on the object and its prototype chain.
    bool lookup(ESObject *object, ESString *name, ESValue *value);
    // Property access with a computed key (`o[k]`). Reading a name that was never pooled
    // does not pool it, so that probing absent keys cannot grow the pool.
    ESValue getIndexed(const ESValue &base, const ESValue &key);
    bool hasIndexed(ESObject *object, const ESValue &key);
    void putIndexed(const ESValue &base, const ESValue &key, const ESValue &value);

private:
    friend class ESCompiler;
    friend class ESEntry;
    friend class ESPersistent;
    // One running ESCode, linked to its caller's: tells errors where they happened.
    struct Frame {
        Frame *previous;
        const ESCode *code;
        const std::uint8_t *pc;
    };
    // The state of a caller while a call runs, kept on the native stack and linked so that
    // the collector reaches it.
    struct SavedState {
        SavedState *previous;
        ESScope *scope;
        ESValue thisValue;
        ESObject *function;
    };

    enum ClassSlot {
        ObjectClass,
        FunctionClass,
        FunctionPrototypeClass,
        ArrayClass,
        StringClass,
        BooleanClass,
        NumberClass,
        MathClass,
        DateClass,
        ErrorClass,
        EvalErrorClass,
        RangeErrorClass,
        ReferenceErrorClass,
        SyntaxErrorClass,
        TypeErrorClass,
        URIErrorClass,
        GlobalClass,
        ActivationClass,
        EnumerationClass,
        ClassCount
    };

    void installNatives();
    void scheduleCollection();
    ESValue runProgram(ESCode *program);
    ESValue run(ESCode *code, ESValue *argv, ESValue *locals);
    // Calls the function value with argc arguments at argv (on the stack); the result is
    // left in argv[0].
    // Copies host arguments onto the stack, above everything in use.
    ESValue *pushArguments(int argc, const ESValue *argv);
    void callValue(const ESValue &function, const ESValue &thisValue, int argc, ESValue *argv);
    void callFunction(ESObject *function, const ESValue &thisValue, int argc, ESValue *argv);
    void constructValue(const ESValue &function, int argc, ESValue *argv);
    void checkNativeStack();
    void listing(ESCode *code);
    ESValue lookupName(ESString *name, ESValue *thisValue);
    ESValue getProperty(const ESValue &base, ESString *name);
    ESString *keyName(const ESValue &key);
    ESString *existingKeyName(const ESValue &key);
    bool hasDynamicNames(ESObject *object) const;
    ESValue methodOf(const ESValue &receiver, ESString *name, ESValue *thisValue);
    ESObject *enumerate(const ESValue &value);
    bool looseEquals(const ESValue &a, const ESValue &b);
    bool lessThan(const ESValue &a, const ESValue &b, bool orEqual);
    ESValue add(const ESValue &a, const ESValue &b);
    ESValue arithmetic(int opcode, const ESValue &a, const ESValue &b);
    void callScript(ESObject *function, const ESValue &thisValue, int argc, ESValue *argv);
    void padNativeArguments(const ESObject *function, int argc, ESValue *argv);
    ESObject *newActivation(const ESCode *code, int argc, const ESValue *argv);
    ESValue newArguments(ESObject *callee, int argc, ESValue *argv);
    void putValue(const ESValue &base, ESString *name, const ESValue &value);

    // Declared before the heap, so destroyed after it.
    std::vector<std::unique_ptr<ESClass>> m_adoptedClasses;
    std::unique_ptr<ESHeap> m_heap;
    std::unique_ptr<ESStringPool> m_pool;
    std::unique_ptr<ESCompiler> m_compiler;
    std::unique_ptr<ESClass> m_classes[ClassCount];
    std::vector<std::unique_ptr<ESCode>> m_functions;
    std::vector<ESString *> m_indexNames;
    ESNames m_names{};

    ESObject *m_global = nullptr;
    ESObject *m_objectPrototype = nullptr;
    ESObject *m_functionPrototype = nullptr;

    // The value stack and the state of the running call.
    std::unique_ptr<ESPages> m_stack;
    ESValue *m_sp = nullptr;
    ESValue *m_stackEnd = nullptr;
    ESScope *m_scope = nullptr;
    ESValue m_this = ESValue::undefined();
    int m_argc = 0;
    ESValue *m_argv = nullptr;
    Frame *m_frame = nullptr;
    const ESSource *m_compileSource = nullptr; // set while compiling, for error positions
    int m_compileLine = 0;

    int m_entryDepth = 0;
    // Value slots' worth of activation objects of the calls in progress: they count against
    // the stack like locals do, so a deep recursion is bounded by bytes, not only by depth.
    std::size_t m_activationSlots = 0;
    std::uintptr_t m_nativeStackLimit = 0;
    bool m_stopped = false;
    bool m_pollNeeded = true; // the interpreter stops at L_POLL before each instruction
    bool m_hostPolls = true;  // carryOnExecuting is overridden
    bool m_collectionStress = false;
    SavedState *m_saved = nullptr;
    ESPersistent *m_persistents = nullptr;
    ESValue m_lastResult = ESValue::undefined();
    ESCollectionStats m_collectionStats;
    int m_debugFlags = 0;
    std::size_t m_memoryLimit = SIZE_MAX;
    std::size_t m_extraMemory = 0;
    std::function<void(const QString &)> m_listingOutput;
};
