#include "script/esclass.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <QString>

ESClass::~ESClass() = default;

ESValue ESClass::get(ESContext &context, ESObject *object, ESString *name) {
    ESValue value;
    if (getOwnProperty(context, object, name, &value, nullptr))
        return value;
    return object->m_prototype ? context.get(object->m_prototype, name) : ESValue::undefined();
}

void ESClass::put(ESContext &, ESObject *object, ESString *name, const ESValue &value) {
    ESPropertyTable &table = object->m_properties;
    int i = table.findAny(name);
    if (i < 0) {
        table.append(name, value, 0);
        return;
    }
    ESProperty &p = table.at(i);
    if (p.isDeleted())
        p.attributes = 0;
    else if (p.attributes & ESProperty::ReadOnly)
        return;
    p.value = value;
}

bool ESClass::getOwnProperty(ESContext &, ESObject *object, ESString *name, ESValue *value,
                             std::uint32_t *attributes) {
    ESProperty *p = object->ownEntry(name);
    if (!p)
        return false;
    if (value)
        *value = p->value;
    if (attributes)
        *attributes = p->attributes;
    return true;
}

bool ESClass::deleteProperty(ESContext &, ESObject *object, ESString *name) {
    int i = object->m_properties.find(name);
    if (i < 0)
        return true;
    if (object->m_properties.at(i).attributes & ESProperty::DontDelete)
        return false;
    object->m_properties.remove(i);
    return true;
}

void ESClass::ownProperties(ESContext &, ESObject *object,
                            std::vector<std::pair<ESString *, std::uint32_t>> &out) {
    ESPropertyTable &table = object->m_properties;
    for (int i = 0; i < table.size(); ++i) {
        const ESProperty &p = table.at(i);
        if (!p.isDeleted())
            out.emplace_back(p.name, p.attributes);
    }
}

ESValue ESClass::call(ESContext &context, ESObject *function, const ESValue &thisValue, int argc,
                      ESValue *argv) {
    std::size_t index = std::size_t(function->m_nativeIndex);
    if (index < m_methods.size() && m_methods[index])
        return m_methods[index](context, function, thisValue, argc, argv);
    if (m_methods.empty())
        return ESValue::undefined();
    context.throwError(QStringLiteral("bad signature in builtin call"));
}

ESObject *ESClass::construct(ESContext &, ESObject *, int, ESValue *) {
    return nullptr;
}

void ESClass::install(ESContext &context, const char *name) {
    m_prototype = context.newObject(this, context.objectPrototype(), name);
    context.defineProperty(context.globalObject(), name, ESValue::fromObject(m_prototype),
                           ESProperty::DontEnum);
}

void ESClass::defineMethods(ESContext &context, ESObject *holder,
                            std::span<const ESMethodDef> table) {
    for (const ESMethodDef &record : table) {
        context.defineMethod(holder, record, context.functionPrototype(), this);
        if (record.method) {
            std::size_t index = std::size_t(record.index);
            if (m_methods.size() <= index)
                m_methods.resize(index + 1, nullptr);
            m_methods[index] = record.method;
        }
    }
}

ESObject *ESClass::installConstructor(ESContext &context, const ESMethodDef &record,
                                      ESObject *prototype) {
    defineMethods(context, context.globalObject(), std::span<const ESMethodDef>(&record, 1));
    ESValue constructor = context.get(context.globalObject(), record.name);
    m_constructor = constructor.object;
    m_prototype = prototype;
    context.defineProperty(m_constructor, context.names().prototype, ESValue::fromObject(prototype),
                           ESProperty::ReadOnly | ESProperty::DontEnum | ESProperty::DontDelete);
    context.defineProperty(prototype, context.names().constructor, constructor,
                           ESProperty::DontEnum);
    return m_constructor;
}

void ESClass::defineConstants(ESContext &context, ESObject *holder,
                              std::span<const ESConstantDef> table) {
    for (const ESConstantDef &constant : table)
        context.defineProperty(holder, constant.name, ESValue::fromNumber(constant.value),
                               ESProperty::ReadOnly | ESProperty::DontEnum |
                                   ESProperty::DontDelete);
}
