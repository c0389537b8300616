#include "script/escode.h"

#include "script/escontext.h"
#include "script/esnumber.h"
#include "script/esobject.h"
#include "script/esopcodes.h"
#include "script/essource.h"
#include "script/esstring.h"
#include "script/esstringpool.h"

#include <algorithm>

ESCode::ESCode(std::shared_ptr<const ESSource> source, ESString *name, int index)
    : m_source(std::move(source)), m_name(name), m_index(index) {
    m_code.reserve(200);
    m_lines.reserve(200);
}

ESCode::~ESCode() = default;

int ESCode::lineAt(int offset) const {
    if (offset < 0 || offset >= int(m_lines.size()))
        return 0;
    return int(m_lines[std::size_t(offset)]);
}

int ESCode::findVariable(const ESString *name) const {
    for (std::size_t i = 0; i < m_variables.size(); ++i) {
        if (m_variables[i].name == name)
            return int(i);
    }
    return -1;
}

// The deepest stack any path through the code reaches, from the opcode table's stack
// effects, so that a call can check for room once on entry.
void ESCode::computeMaxStack() {
    const int n = size();
    std::vector<int> depthAt(std::size_t(n) + 1, -1);
    std::vector<int> work{0};
    depthAt[0] = 0;
    int deepest = 0;
    auto reach = [&](int target, int depth) {
        if (target < 0 || target > n || depthAt[std::size_t(target)] >= depth)
            return;
        depthAt[std::size_t(target)] = depth;
        work.push_back(target);
    };
    while (!work.empty()) {
        int pc = work.back();
        work.pop_back();
        if (pc >= n)
            continue;
        const std::uint8_t *code = bytes() + pc;
        const ESOpcodeInfo &info = kOpcodeInfo[code[0]];
        int depth = depthAt[std::size_t(pc)];
        int after = depth - esPopCount(code) + info.push;
        deepest = std::max({deepest, depth, after, depth + 1});
        int next = pc + info.length;
        int target = info.operands[0] == ESOperand::T ? int(esOperand(code, 0)) : -1;
        switch (info.flow) {
        case ESFlow::SEQ:
            reach(next, after);
            break;
        case ESFlow::JUMP:
            reach(target, depth);
            break;
        case ESFlow::BRANCH:
            reach(next, after);
            reach(target, after);
            break;
        case ESFlow::KEEP:
        case ESFlow::ITER:
            reach(next, depth - 1);
            reach(target, depth);
            break;
        case ESFlow::SWITCH:
            reach(next, depth - 1);
            reach(target, depth - 2);
            break;
        case ESFlow::END:
            break;
        }
    }
    m_maxStack = deepest + 1;
}

QString ESCode::listing(const ESContext &context) const {
    QString out;
    const ESPropertyTable &globals = context.globalObject()->m_properties;
    auto variableName = [this](int index) -> QString {
        if (index >= 0 && index < int(m_variables.size()))
            return m_variables[std::size_t(index)].name->text();
        return QStringLiteral("(null)");
    };
    for (int pc = 0; pc < size();) {
        const std::uint8_t *code = bytes() + pc;
        if (code[0] >= kOpcodeCount) {
            out += QStringLiteral("%1:  ??\n").arg(pc, 4, 16, QLatin1Char('0'));
            ++pc;
            continue;
        }
        const ESOpcodeInfo &info = kOpcodeInfo[code[0]];
        QString line = QStringLiteral("%1:  %2")
                           .arg(pc, 4, 16, QLatin1Char('0'))
                           .arg(QLatin1String(info.mnemonic ? info.mnemonic : "(null)"));
        for (int k = 0; k < 2; ++k) {
            if (info.operands[k] == ESOperand::NONE)
                break;
            int v = int(esOperand(code, k));
            QString text;
            switch (info.operands[k]) {
            case ESOperand::K:
                text = esFormatG(number(v));
                break;
            case ESOperand::S:
                text = v < context.pool().size() ? context.pool().at(v)->text()
                                                 : QStringLiteral("(null)");
                break;
            case ESOperand::G: {
                const ESProperty *p = v < globals.size() ? &globals.at(v) : nullptr;
                text = QStringLiteral("%1 [idx=%2]")
                           .arg(p && !p->isDeleted() ? p->name->text() : QStringLiteral("(null)"))
                           .arg(v);
                break;
            }
            case ESOperand::A:
                text = variableName(v);
                break;
            case ESOperand::L:
                text = variableName(v + m_parameterCount);
                break;
            case ESOperand::N:
                text = QStringLiteral("#%1").arg(v);
                break;
            case ESOperand::T:
                text = QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
                break;
            case ESOperand::NONE:
                break;
            }
            line += (k == 0 ? QStringLiteral("\t") : QStringLiteral(", ")) + text;
        }
        out += line + QLatin1Char('\n');
        pc += info.length;
    }
    return out;
}
