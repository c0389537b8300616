#pragma once

#include <QObject>

// The bound object of the binding benchmark.
class Adder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE int add(int a, int b) { return a + b; }
};
