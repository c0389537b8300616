#include "scripthost/scriptbytes.h"

#include "script/escontext.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <QString>

QByteArray scriptBytes(ESContext &context, const ESValue &value) {
    if (value.isString())
        return value.string->text().toUtf8();
    if (!value.isObject())
        return {};
    ESObject *object = value.object;
    if (object->kind() == ESObject::Array) {
        auto *array = static_cast<ESArrayObject *>(object);
        // Numbers are read in place; anything else goes through `get` and conversions that
        // may run script code.
        if (array->m_sparse == 0 && array->m_elements.size() == array->m_length) {
            QByteArray bytes(qsizetype(array->m_length), Qt::Uninitialized);
            std::uint32_t i = 0;
            for (; i < array->m_length && array->m_elements[i].isNumber(); ++i)
                bytes[i] = char(context.toUint32(array->m_elements[i]) & 0xff);
            if (i == array->m_length)
                return bytes;
        }
    }
    double length = context.toInteger(context.get(object, context.names().length));
    // Larger byte arrays do not fit in a script array either.
    if (!(length > 0))
        return {};
    if (length > 0x7fffffff)
        context.throwRangeError(QStringLiteral("invalid array length"));
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if ((i & 0xfff) == 0xfff && context.shouldStop())
            return {};
        bytes[i] =
            char(context.toUint32(context.get(object, context.indexName(std::uint32_t(i)))) & 0xff);
    }
    return bytes;
}

ESValue scriptArray(ESContext &context, const char *bytes, qsizetype size) {
    context.reserveMemory(std::size_t(size) * sizeof(ESValue));
    ESArrayObject *array = context.newArray();
    array->m_elements.reserve(std::size_t(size));
    for (qsizetype i = 0; i < size; ++i)
        array->m_elements.push_back(ESValue::fromNumber(static_cast<unsigned char>(bytes[i])));
    array->m_length = std::uint32_t(size);
    return ESValue::fromObject(array);
}
