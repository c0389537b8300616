#pragma once

#include <QDate>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A QObject with what the binding must handle: default arguments, overloads, every
// convertible type, one it cannot convert, properties and an enumeration.
class TestObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count MEMBER m_count)
    Q_PROPERTY(bool enabled MEMBER m_enabled)
    Q_PROPERTY(Mode mode MEMBER m_mode)
    Q_PROPERTY(QString label READ label)
public:
    enum Mode { Slow, Fast = 5, Turbo };
    Q_ENUM(Mode)

    Q_INVOKABLE int add(int a, int b) { return a + b; }
    Q_INVOKABLE QString join(const QString &a, const QString &b = QStringLiteral("B"),
                             int times = 1) {
        return (a + b).repeated(times);
    }
    // Two forms of two parameters: the later one answers.
    Q_INVOKABLE QString pick(int a, int b) { return QStringLiteral("int %1 %2").arg(a).arg(b); }
    Q_INVOKABLE QString pick(const QString &a, const QString &b) {
        return a + QLatin1Char('+') + b;
    }
    Q_INVOKABLE qint64 wide(qint64 value) { return value * 2; }
    Q_INVOKABLE float narrow(float value) { return value / 4; }
    Q_INVOKABLE uint unsignedValue(uint value) { return value; }
    Q_INVOKABLE bool negate(bool value) { return !value; }
    Q_INVOKABLE QStringList words(const QStringList &list) {
        ++m_calls;
        QStringList out = list;
        out.append(QString::number(list.size()));
        return out;
    }
    Q_INVOKABLE QVariant echo(const QVariant &value) { return value; }
    Q_INVOKABLE QVariantList reverse(const QVariantList &list) {
        QVariantList out(list.crbegin(), list.crend());
        return out;
    }
    Q_INVOKABLE QVariantMap keys(const QVariantMap &map) {
        QVariantMap out = map;
        out.insert(QStringLiteral("count"), map.size());
        return out;
    }
    Q_INVOKABLE int dayOf(const QDate &date) {
        ++m_calls;
        return date.day();
    }
    Q_INVOKABLE QDate today() {
        ++m_calls;
        return QDate(2024, 2, 29);
    }
    Q_INVOKABLE QObject *child() {
        auto *object = new TestObject;
        object->m_count = 41;
        return object;
    }

    QString label() const { return QStringLiteral("fixed"); }

    int m_count = 0;
    bool m_enabled = false;
    Mode m_mode = Slow;
    int m_calls = 0;
};
