#pragma once

#include "script/esvalue.h"

#include <QByteArray>

class ESContext;

// Byte arrays as scripts exchange them: Arrays of numbers 0..255. A string stands for its
// UTF-8 bytes; any other array-like object for its `length` elements, each taken modulo 256.
// Reading a long one polls for a stop; a stopped run gets no bytes and must not act on them.
QByteArray scriptBytes(ESContext &context, const ESValue &value);
ESValue scriptArray(ESContext &context, const char *bytes, qsizetype size);
inline ESValue scriptArray(ESContext &context, const QByteArray &bytes) {
    return scriptArray(context, bytes.constData(), bytes.size());
}
