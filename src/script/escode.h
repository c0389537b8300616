#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ESContext;
class ESSource;
class ESString;

// One variable of a function: a parameter, a local, the implicit `arguments`, or the name
// of a function declared in the function's body.
struct ESVariable {
    enum Flags {
        FunctionName = 0,
        Arguments = 2,
        Local = 6, // `var` and compiler temporaries
        Parameter = 8,
        DeclaredParameter = 12,
    };
    ESString *name;
    int flags;
};

// The compiled byte code of one function or program, with a source line per code byte,
// its number constants and its variable table (parameters first).
class ESCode {
public:
    ESCode(std::shared_ptr<const ESSource> source, ESString *name, int index);
    ~ESCode();

    const std::uint8_t *bytes() const { return m_code.data(); }
    int size() const { return int(m_code.size()); }
    int lineAt(int offset) const;
    const ESSource *source() const { return m_source.get(); }
    ESString *name() const { return m_name; }
    int index() const { return m_index; }

    int parameterCount() const { return m_parameterCount; }
    int localCount() const { return int(m_variables.size()) - m_parameterCount; }
    const std::vector<ESVariable> &variables() const { return m_variables; }
    int findVariable(const ESString *name) const;
    bool isMaterialised() const { return m_materialised; }
    bool usesEval() const { return m_usesEval; }
    // Position of `arguments` in the variable table, or -1.
    int argumentsIndex() const { return m_argumentsIndex; }
    // The deepest the value stack grows while this code runs (not counting calls).
    int maxStack() const { return m_maxStack; }
    double number(int k) const { return m_numbers[std::size_t(k)]; }

    // One instruction a line, as "%04x:  MNEMONIC\toperands".
    QString listing(const ESContext &context) const;

private:
    friend class ESCompiler;
    void computeMaxStack();

    std::vector<std::uint8_t> m_code;
    std::vector<std::uint32_t> m_lines;
    std::vector<double> m_numbers;
    std::vector<ESVariable> m_variables;
    int m_parameterCount = 0;
    int m_argumentsIndex = -1;
    int m_maxStack = 0;
    bool m_materialised = false;
    bool m_usesEval = false;
    std::shared_ptr<const ESSource> m_source;
    ESString *m_name;
    int m_index; // position among the context's functions; -1 for a program
};
