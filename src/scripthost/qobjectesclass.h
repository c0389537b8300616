#pragma once

#include "script/esclass.h"

#include <QMetaType>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QVariant;

// Binds a QObject to scripts through its meta-object: each invokable method becomes a method
// of the script object (overloads, default-argument forms among them, share one name), each
// enumeration key a read-only number, and each property a named value read and written
// through the object.
class QObjectESClass : public ESClass {
public:
    // With `owned` the class deletes the object when it goes (with its context).
    explicit QObjectESClass(QObject *object, bool owned = false);
    ~QObjectESClass() override;

    // Defines the bound object on the global object under `name`.
    void install(ESContext &context, const char *name) override;
    // The bound script object, made on first use; its class string is `name`.
    ESObject *scriptObject(ESContext &context, const char *name);

    ESValue call(ESContext &context, ESObject *function, const ESValue &thisValue, int argc,
                 ESValue *argv) override;
    bool getOwnProperty(ESContext &context, ESObject *object, ESString *name, ESValue *value,
                        std::uint32_t *attributes) override;
    void put(ESContext &context, ESObject *object, ESString *name, const ESValue &value) override;

    QObject *object() const { return m_object; }

    // The context of the host call in progress on this thread, or null: invokable methods
    // that wait use it to notice a stop request.
    static ESContext *callingContext();

    // Conversions between script values and the toolkit's variants.
    static ESValue toScript(ESContext &context, const QVariant &value);
    static QVariant fromScript(ESContext &context, const ESValue &value);

private:
    // One invokable form, with its types read once from the meta-object.
    struct Overload {
        int methodIndex;
        QMetaType returnType;
        std::vector<QMetaType> parameterTypes;
    };
    const Overload &chooseOverload(int index, int argc) const;

    QPointer<QObject> m_object;
    bool m_owned;
    // By method index: the forms sharing the name, in meta-method order.
    std::vector<std::vector<Overload>> m_overloads;
};

// A QObject that is its own script class: host objects derive from it, and a context adopts
// one to keep it, with the objects bound to it, as long as itself.
class ESQObject : public QObject, public QObjectESClass {
    Q_OBJECT
public:
    explicit ESQObject(QObject *parent = nullptr) : QObject(parent), QObjectESClass(this) {}
};
