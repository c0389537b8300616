#pragma once

#include "script/esclass.h"

// `Error` and its kinds: each has its own prototype, so the errors the engine raises carry
// the right class.
class ESNativeError : public ESClass {
public:
    // `base` is the class whose prototype this class's prototype inherits from (none for
    // Error itself).
    explicit ESNativeError(ESClass *base = nullptr) : m_base(base) {}
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;

private:
    ESClass *m_base;
};

class ESNativeEvalError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};
class ESNativeRangeError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};
class ESNativeReferenceError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};
class ESNativeSyntaxError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};
class ESNativeTypeError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};

class ESNativeURIError : public ESNativeError {
public:
    using ESNativeError::ESNativeError;
};
